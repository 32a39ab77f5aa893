#!/usr/bin/env bash
# Builds the Windows program with mingw-w64 and leaves the ready-to-copy folder, its zip and the
# installer:
#   build/windows/dist/CorvaneWeather/            CorvaneWeather.exe, web/, THIRD-PARTY-NOTICES.txt
#   build/windows/dist/CorvaneWeather-<version>-win64.zip
#   build/windows/dist/CorvaneWeather-<version>-win64-setup.exe
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
cmake --preset windows >build/configure-windows.log 2>&1 || { cat build/configure-windows.log; exit 1; }
cmake --build --preset windows --target corvane_package
ls -d build/windows/dist/CorvaneWeather build/windows/dist/CorvaneWeather-*-win64.zip \
    build/windows/dist/CorvaneWeather-*-win64-setup.exe
