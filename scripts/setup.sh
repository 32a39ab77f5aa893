#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmarks need on Debian 12, then the page's
# npm packages. Safe to run again: apt-get and npm ci leave what is already there.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    # native build and the portable core's tests, benchmarks and fuzzers
    build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev
    nlohmann-json3-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
    # static analysis of the C++ (tests/CMakeLists.txt: clang_tidy)
    clang-tidy
    # test tooling: fake services, network namespaces, throwaway certificates
    python3 iproute2 openssl ca-certificates procps psmisc curl
    # the demo's and the test services' radar, satellite and base-map pictures
    python3-pil
    # Windows cross build and its tests under Wine on a virtual display
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
    wine wine64 xvfb xauth xdotool x11-utils
    # icon artwork, the ready-to-copy zip, the Windows installer (NSIS) and the Debian package
    # checks (dpkg-shlibdeps, lintian, AppStream)
    librsvg2-bin imagemagick zip nsis dpkg-dev file lintian appstream
    # the map page's browser tests, and the printed briefing's text and picture from its PDF
    chromium poppler-utils
    # the Linux desktop host
    libgtk-3-dev libwebkit2gtk-4.1-dev libcurl4-openssl-dev xdg-utils webkit2gtk-driver
    python3-selenium
    desktop-file-utils
)
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    packages+=(nodejs npm)
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${packages[@]}"

if [ -f package-lock.json ]; then
    npm ci --no-audit --no-fund
fi
echo "Set-up complete."
