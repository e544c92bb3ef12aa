#!/usr/bin/env bash
# Starts verbwright.exe in a Wine virtual desktop on $DISPLAY, waits for its window, saves a
# screenshot of it to $1 and closes it. With a second file $2, it then picks the first program of
# the file list with the keyboard, presses the add button and saves the confirmation there too,
# answering Cancel. Expects WINEPREFIX and DISPLAY to be set up.
set -euo pipefail
out=$1
confirm=${2:-}
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
shoot() {
  if [ -n "$desktop" ]; then
    import -window "$desktop" "$1"
  else
    import -window root "$1"
  fi
}
shoot "$out"
if [ -n "$confirm" ]; then
  # From the add button, six tabs reach the file list; Down picks its first program, which
  # suggests a menu text; one more tab comes back round to the add button.
  window=$(xdotool search --name "Verbwright by Quellbrin" | head -1)
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  xdotool key --delay 80 Tab Tab Tab Tab Tab Tab Down Tab space
  for _ in $(seq 1 50); do
    [ "$(xdotool search --name "^确认$" 2>/dev/null | wc -l)" -gt 0 ] && break
    sleep 0.1
  done
  sleep 1
  shoot "$confirm"
  xdotool key Escape
fi
wine taskkill /f /im verbwright.exe >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
