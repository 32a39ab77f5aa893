#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix with Wine's own diagnostics silenced.
# Used as the test emulator of the Windows build: wine-run.sh PREFIX PROGRAM [ARGS...]
set -euo pipefail
export WINEPREFIX="$1"
shift
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine_binary=/usr/lib/wine/wine64
[ -x "$wine_binary" ] || wine_binary=wine
exec "$wine_binary" "$@"
