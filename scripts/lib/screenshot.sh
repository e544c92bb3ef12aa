#!/usr/bin/env bash
# Starts verbwright.exe in a Wine virtual desktop on $DISPLAY, waits for its window, saves a
# screenshot of it to $1 and closes it. Expects WINEPREFIX and DISPLAY to be set up.
set -euo pipefail
out=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$(winepath -w "$root/build/windows/verbwright.exe")
cd "${VERBWRIGHT_START_FOLDER:-$root/build/windows}"
wine explorer /desktop=verbwright,640x400 "$exe" </dev/null >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  xdotool search --name "Verbwright by Quellbrin" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1.5
mkdir -p "$(dirname "$out")"
desktop=$(xdotool search --name "verbwright - Wine desktop" 2>/dev/null | head -1 || true)
if [ -n "$desktop" ]; then
  import -window "$desktop" "$out"
else
  import -window root "$out"
fi
wine taskkill /f /im verbwright.exe >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
