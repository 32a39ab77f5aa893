#!/usr/bin/env bash
# The Debian package on this machine, as a user gets it: checks it with lintian, installs it with
# apt-get, checks what it put where, starts the installed program with the command of its desktop
# entry against the demo's services on a virtual display and checks that it draws the map (one
# screenshot), then purges it and checks that the machine is as it was before.
#   deb_test.sh DEB VERSION ARTIFACTS      (needs root: apt-get and a network namespace)
set -euo pipefail
deb="$(realpath "$1")"
version="$2"
artifacts="$3"
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../../.." && pwd)"
apt=(apt-get -y -q -o DPkg::Lock::Timeout=300)
export DEBIAN_FRONTEND=noninteractive

[ -f "$deb" ] || { echo "no package $deb; scripts/package-linux.sh makes it" >&2; exit 1; }
# The package is installed machine-wide: one run at a time, whichever build tree it comes from.
exec 9>/run/lock/corvane-weather-deb-test.lock
flock 9
if dpkg-query -W -f='${Status}' corvane-weather 2>/dev/null | grep -q ' installed$'; then
    echo "corvane-weather is already installed here; this test installs and purges it," \
         "so remove it first (apt-get purge corvane-weather)" >&2
    exit 1
fi

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
expect_equal() {  # WHAT ACTUAL EXPECTED
    [ "$2" = "$3" ] || fail "$1 is '$2', expected '$3'"
}

work="$(mktemp -d)"
packages_before="$work/packages-before"
dpkg-query -W -f='${Package}\n' | sort >"$packages_before"
cleanup() {
    if dpkg-query -W -f='${Status}' corvane-weather 2>/dev/null | grep -q installed; then
        "${apt[@]}" purge corvane-weather >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "--- lintian"
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1 ||
    fail "lintian reports errors or warnings"
grep -v 'running with root privileges' "$work/lintian.log" || true

echo "--- control fields"
expect_equal "Version" "$(dpkg-deb -f "$deb" Version)" "$version"
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libwebkit2gtk-4.1-0 libgtk-3-0 libcurl4 libc6 ca-certificates; do
    grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done

echo "--- apt-get install"
(cd "$(dirname "$deb")" && "${apt[@]}" install --no-install-recommends "./$(basename "$deb")") \
    >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "apt-get install"; exit 1; }
dpkg -L corvane-weather | sort >"$work/files"
expect_equal "installed version" "$(dpkg-query -W -f='${Version}' corvane-weather)" "$version"
metainfo=/usr/share/metainfo/org.corvaneweather.CorvaneWeather.metainfo.xml
desktop=/usr/share/applications/corvane-weather.desktop
for file in /usr/bin/corvane-weather /usr/share/corvane-weather/web/index.html "$desktop" \
            "$metainfo" /usr/share/man/man1/corvane-weather.1.gz \
            /usr/share/doc/corvane-weather/copyright /usr/share/doc/corvane-weather/changelog.gz \
            /usr/share/icons/hicolor/scalable/apps/corvane-weather.svg \
            /usr/share/icons/hicolor/256x256/apps/corvane-weather.png; do
    grep -qx "$file" "$work/files" || fail "the package does not hold $file"
done
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
expect_equal "corvane-weather --version" "$(corvane-weather --version)" "corvane-weather $version"
for notice in "National Weather Service" "Aviation Weather Center" "US Census Bureau" \
              "leaflet 1.9.4" "topojson-client" "us-atlas" "nlohmann/json" "BSD-2-Clause" \
              "Permission is hereby granted"; do
    grep -qF "$notice" /usr/share/doc/corvane-weather/copyright || fail "the copyright file lacks '$notice'"
done

echo "--- the installed program, started as the menu starts it, against the demo's services"
"$repo/tools/run_isolated.sh" --services "$repo/demo/demo_services.py" -- \
    xvfb-run -a -s "-screen 0 1920x1080x24" \
    /usr/bin/python3 "$here/installed_map.py" --desktop-entry "$desktop" --version "$version" \
    --screenshot "$artifacts/linux-installed-map.png" || fail "the installed program's map"

echo "--- apt-get purge"
"${apt[@]}" purge corvane-weather >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "apt-get purge"; }
dpkg-query -W -f='${Status}' corvane-weather 2>/dev/null | grep -q installed && fail "still installed"
while read -r path; do
    # Folders such as /usr/share/icons/hicolor belong to other packages too.
    if [ -e "$path" ] && [ ! -d "$path" ]; then fail "left after purge: $path"; fi
done <"$work/files"
[ -e /usr/share/corvane-weather ] && fail "left after purge: /usr/share/corvane-weather"
[ -e /usr/share/doc/corvane-weather ] && fail "left after purge: /usr/share/doc/corvane-weather"
dpkg-query -W -f='${Package}\n' | sort >"$work/packages-after"
if ! diff -u "$packages_before" "$work/packages-after"; then
    fail "the installed packages differ from before the test"
fi

[ "$failures" -eq 0 ] && echo "Debian package OK: installed, ran and purged cleanly"
exit "$failures"
