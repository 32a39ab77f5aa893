#!/usr/bin/env bash
# Runs every test suite of the project and fails if any of them fails.
#   scripts/test.sh                  set up (scripts/setup.sh), then run all stages
#   scripts/test.sh --no-setup ...   skip the set-up
#   scripts/test.sh STAGE...         run only the named stages
# Stages: core asan tsan fuzz page linux windows e2e (linux and e2e need root: they use
# network namespaces); "loader" runs only the loader's tests of the windows build
set -uo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
source scripts/wine-env.sh

all_stages=(core asan tsan fuzz page linux windows e2e)
run_setup=1
stages=()
for argument in "$@"; do
    case "$argument" in
        --no-setup) run_setup=0 ;;
        -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
        *) stages+=("$argument") ;;
    esac
done
[ ${#stages[@]} -gt 0 ] || stages=("${all_stages[@]}")

if [ "$run_setup" -eq 1 ]; then
    scripts/setup.sh || { echo "set-up failed" >&2; exit 1; }
fi

jobs="$(nproc 2>/dev/null || echo 2)"

configure() {
    cmake --preset "$1" >"build/configure-$1.log" 2>&1 || { cat "build/configure-$1.log"; return 1; }
}

configure_and_build() {
    configure "$1" && cmake --build --preset "$1" -j "$jobs"
}

# Native tests of the portable core and the checks, in a debug build; the Linux host's tests
# (label linux) are the linux stage's, the page's the page stage's.
stage_core() {
    configure_and_build debug && ctest --preset debug -j "$jobs" -LE "page|e2e|linux"
}

# The portable core under AddressSanitizer and UndefinedBehaviorSanitizer.
stage_asan() {
    configure_and_build asan && ctest --preset asan -j "$jobs"
}

# The portable core under ThreadSanitizer: the cache, the point sub-tasks, the executor.
stage_tsan() {
    configure_and_build tsan && ctest --preset tsan -j "$jobs"
}

# The map page built into the debug tree and its tests in Chromium (npm ci'd by setup.sh).
stage_page() {
    configure debug && cmake --build --preset debug --target corvane_web &&
        ctest --preset debug -L page -j "$jobs"
}

# The Linux desktop host: its unit tests, its installed layout, the real program with the real
# page, WebKitGTK and libcurl against the fake services on a virtual display, and its Debian
# package (release build) installed, run and purged.
stage_linux() {
    configure_and_build debug && CORVANE_JOBS="$jobs" scripts/package-linux.sh &&
        ctest --preset debug -L linux -j "$jobs"
}

# Each fuzz target briefly, so none of them rots.
stage_fuzz() {
    scripts/fuzz.sh "${FUZZ_SECONDS:-8}"
}

# Starts a persistent wineserver for a prefix inside the build tree, preparing the prefix on
# first use, so each test program starts quickly.
prepare_wine() {
    wine_environment "$root/build/windows/wineprefix"
    wineserver --kill >/dev/null 2>&1 || true  # a server left from an earlier run
    "$root/scripts/wine-prepare.sh" "$WINEPREFIX"
    start_wine_services
}

stop_wine() {
    wineserver --kill >/dev/null 2>&1 || true
}

# The whole project built for 64-bit Windows, its tests run under Wine.
stage_windows() {
    configure_and_build windows || return 1
    prepare_wine
    ctest --preset windows
    local status=$?
    stop_wine
    return $status
}

# The Windows build's WinHTTP client and operations against the fake weather services over real
# HTTPS, each test program in a network namespace of its own with its own wineserver
# (tools/run_isolated.sh).
stage_e2e() {
    configure_and_build windows && ctest --preset e2e
}

# The runtime loader's tests alone (label loader), from the same Windows build and prefix; the
# windows stage runs them too.
stage_loader() {
    configure_and_build windows || return 1
    prepare_wine
    ctest --preset windows -L loader
    local status=$?
    stop_wine
    return $status
}

# Sets cpu to the CPU seconds (user + system) of every finished child process so far: on a
# shared or busy machine the wall time says little, the CPU time what a quiet one would take.
# Called in this shell, not in $(...), whose subshell would count only its own children.
children_cpu() {
    times >build/times.txt
    cpu=$(awk 'NR == 2 { for (i = 1; i <= NF; i++) { split($i, t, /[ms]/); total += t[1] * 60 + t[2] }
                         printf "%d", total }' build/times.txt)
}

mkdir -p build
failed=()
for stage in "${stages[@]}"; do
    if ! declare -F "stage_$stage" >/dev/null; then
        echo "unknown stage '$stage' (stages: ${all_stages[*]})" >&2
        exit 2
    fi
    echo "=== stage $stage"
    start=$SECONDS
    children_cpu
    start_cpu=$cpu
    if "stage_$stage"; then
        outcome="passed in"
    else
        outcome="FAILED after"
        failed+=("$stage")
    fi
    children_cpu
    echo "=== stage $stage $outcome $((SECONDS - start)) s (CPU $((cpu - start_cpu)) s)"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED stages: ${failed[*]}"
    exit 1
fi
echo "All stages passed: ${stages[*]}"
