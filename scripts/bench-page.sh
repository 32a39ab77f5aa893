#!/usr/bin/env bash
# Builds the map page and times it in Chromium beside a bare Leaflet baseline: first map drawing,
# 2,000 stations, 300 PIREPs and the hazards, and the search field per keystroke; then the
# longest main-thread task at start and for single replies of 12 MiB (bench/page/long-tasks.mjs).
#   scripts/bench-page.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
node scripts/build-web.mjs build/web >/dev/null
node bench/page/run.mjs "${1:-9}"
node bench/page/long-tasks.mjs "${2:-5}"
