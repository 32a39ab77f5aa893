#!/usr/bin/env bash
# Starts the map on the current (virtual) display, waits until it has drawn its data, saves a
# picture of the screen and closes the program the way a user would:
#   capture-map.sh FILE PROGRAM [ARGS...]
set -euo pipefail
file="$1"
shift
"$@" &
program=$!
# The map draws within a few seconds of the services answering.
for _ in $(seq 20); do
    sleep 1
    kill -0 "$program" 2>/dev/null || break
done
if kill -0 "$program" 2>/dev/null; then
    mkdir -p "$(dirname "$file")"
    import -window root "$file"
    kill -TERM "$program"
fi
wait "$program"
status=$?
[ -f "$file" ] && echo "Saved a picture of the map: $file"
exit "$status"
