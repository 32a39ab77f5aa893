#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks the installed layout: the program, its page
# folder where the program looks for it, the desktop entry, the icon at every size, and the
# AppStream metainfo, manual page, copyright and changelog the Debian package carries.
#   install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
expect_file() {
    if [ ! -f "$prefix/$1" ]; then
        echo "missing after install: $1" >&2
        failures=$((failures + 1))
    fi
}
expect_file bin/corvane-weather
expect_file share/corvane-weather/web/index.html
expect_file share/corvane-weather/web/js/main.js
expect_file share/applications/corvane-weather.desktop
expect_file share/icons/hicolor/scalable/apps/corvane-weather.svg
expect_file share/metainfo/org.corvaneweather.CorvaneWeather.metainfo.xml
expect_file share/man/man1/corvane-weather.1.gz
expect_file share/doc/corvane-weather/copyright
expect_file share/doc/corvane-weather/changelog.gz
for size in 16 24 32 48 64 128 256; do
    expect_file "share/icons/hicolor/${size}x${size}/apps/corvane-weather.png"
done
[ -x "$prefix/bin/corvane-weather" ] || { echo "bin/corvane-weather is not executable" >&2; failures=$((failures + 1)); }
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/corvane-weather.desktop" || failures=$((failures + 1))
fi
"$prefix/bin/corvane-weather" --help | grep -q -- --demo || { echo "the installed program does not run" >&2; failures=$((failures + 1)); }
# Nothing of the tests or the build tree is installed.
if find "$prefix" -name '*test*' | grep -q .; then
    echo "test files were installed:" >&2
    find "$prefix" -name '*test*' >&2
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "install layout OK"
exit "$failures"
