#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix with Wine's own diagnostics silenced.
# Used as the test emulator of the Windows build: wine-run.sh PREFIX PROGRAM [ARGS...]
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_environment "$1"
shift
exec "$wine" "$@"
