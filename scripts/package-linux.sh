#!/usr/bin/env bash
# Builds the Linux desktop host in the release configuration and makes its Debian package with
# CPack:
#   build/release/corvane-weather_<version>_<architecture>.deb
# Install it with:  sudo apt-get install ./build/release/corvane-weather_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
cmake --preset release >build/configure-release.log 2>&1 || { cat build/configure-release.log; exit 1; }
cmake --build --preset release -j "${CORVANE_JOBS:-2}"
cpack --preset deb >build/package-linux.log 2>&1 || { cat build/package-linux.log; exit 1; }
ls build/release/corvane-weather_*.deb
