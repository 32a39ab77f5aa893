#!/usr/bin/env bash
# Renders the application icon from its vector source, resources/corvane-weather.svg:
#   scripts/make-icons.sh            -> resources/corvane-weather.ico (seven 32-bit images)
#   scripts/make-icons.sh --png DIR  -> DIR/<size>.png only, for the Linux icon theme
# The .ico is kept in the repository so Windows builds need no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/.."
source_svg=resources/corvane-weather.svg
png_dir=""
if [ "${1:-}" = "--png" ]; then
    png_dir="$2"
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
    rsvg-convert --width "$size" --height "$size" "$source_svg" --output "$work/$size.png"
done

if [ -n "$png_dir" ]; then
    mkdir -p "$png_dir"
    for size in "${sizes[@]}"; do
        cp "$work/$size.png" "$png_dir/$size.png"
    done
    exit 0
fi
images=()
for size in "${sizes[@]}"; do
    images+=("PNG32:$work/$size.png")
done
# PNG32: straight 8-bit RGBA in every entry, whatever the picture's own colours.
convert "${images[@]}" resources/corvane-weather.ico
