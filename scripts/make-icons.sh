#!/usr/bin/env bash
# Renders the application icon from its vector source:
#   scripts/make-icons.sh            -> resources/corvane-weather.ico (seven 32-bit images)
#   scripts/make-icons.sh PNG_DIR    -> also PNG_DIR/<size>.png for the Linux icon theme
# The .ico is kept in the repository so Windows builds need no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/.."
source_svg=resources/corvane-weather.svg
png_dir="${1:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
    rsvg-convert --width "$size" --height "$size" "$source_svg" --output "$work/$size.png"
done
images=()
for size in "${sizes[@]}"; do
    images+=("$work/$size.png")
done
# PNG32: straight 8-bit RGBA in every entry, whatever the picture's own colours.
convert "${images[@]/#/PNG32:}" -define icon:format=bmp resources/corvane-weather.ico 2>/dev/null ||
    convert "${images[@]/#/PNG32:}" resources/corvane-weather.ico

if [ -n "$png_dir" ]; then
    mkdir -p "$png_dir"
    for size in "${sizes[@]}"; do
        cp "$work/$size.png" "$png_dir/$size.png"
    done
fi
