#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 60), starting from the seed inputs under fuzz/corpus. New inputs go to a scratch
# corpus under build/fuzz; crashes are written to build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p build/fuzz/findings
status=0
for target in web_message_fuzzer arguments_fuzzer fetch_json_fuzzer operations_fuzzer; do
    work="build/fuzz/corpus/$target"
    mkdir -p "$work"
    echo "== $target for ${seconds}s"
    if ! "build/fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="build/fuzz/findings/$target-" "$work" "fuzz/corpus/$target" \
            2>"build/fuzz/$target.log"; then
        echo "$target found a failure; see build/fuzz/$target.log and build/fuzz/findings" >&2
        status=1
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "build/fuzz/$target.log" || true
done
exit "$status"
