#!/usr/bin/env bash
# host_interactive_test.sh WINDOWS_BUILD_DIR: NorvexHost.exe --interactive shows its window (the
# address line, the band, the log) with the real toolbar module and reads no commands; a click
# into the search box, typing and Enter search; closing the window (WM_CLOSE, as the close box
# sends it; here from taskkill) closes the band and ends the host with status 0. Runs inside the
# Wine session of scripts/with-wine.sh.
set -uo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../../.." && pwd)
WINE=/usr/lib/wine/wine64
work=$(mktemp -d /tmp/norvex-interactive.XXXXXX)
host_pid=""
cleanup() {
  if [ -n "$host_pid" ]; then kill "$host_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
cp -r "$root/sample/install" "$work/install"
cp "$build/bin/NorvexToolbar.dll" "$build/bin/NorvexHost.exe" "$work/install/"

# Standard input holds "quit": a host that read it would end at once.
echo quit > "$work/input"
cd "$work"
"$WINE" install/NorvexHost.exe --install install --interactive < "$work/input" \
  > "$work/output" 2>&1 &
host_pid=$!

shown=0
for _ in $(seq 1 300); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"NorvexHost"'; then shown=1; break; fi
  sleep 0.1
done
if [ "$shown" -ne 1 ]; then
  echo "no window named NorvexHost appeared"
  cat "$work/output"
  exit 1
fi
# Its size: the frame is 800 x 480 with the band inside.
geometry=$(xwininfo -root -tree | grep '"NorvexHost"' | head -1)
if ! grep -qE ' (8[0-9][0-9])x(4[0-9][0-9]|5[0-9][0-9])\+' <<<"$geometry"; then
  echo "unexpected window: $geometry"
  exit 1
fi

# A person's mouse and keyboard, as X events: a click into the search box (30 pixels from the
# frame's left, 64 from its top: below Wine's caption, the address line and the margins), a word
# typed, Enter: the search goes to the browser.
window=$(xdotool search --name '^NorvexHost$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool windowfocus "$window"
xdotool mousemove $((X + 30)) $((Y + 64)) click 1
xdotool type --delay 20 'tokyo'
xdotool key Return
searched=0
for _ in $(seq 1 100); do
  if grep -q '^navigate http://search\.norvex\.example/search?q=tokyo&' "$work/output"; then
    searched=1
    break
  fi
  sleep 0.1
done
if [ "$searched" -ne 1 ]; then
  echo "typing into the search box and Enter did not search; output:"
  cat "$work/output"
  exit 1
fi

"$WINE" taskkill /im NorvexHost.exe >/dev/null 2>&1
status=""
for _ in $(seq 1 300); do
  if ! kill -0 "$host_pid" 2>/dev/null; then
    wait "$host_pid"
    status=$?
    break
  fi
  sleep 0.1
done
host_pid_was=$host_pid
host_pid=""
if [ -z "$status" ]; then
  kill "$host_pid_was" 2>/dev/null
  echo "NorvexHost.exe --interactive did not end when its window was closed"
  exit 1
fi
if [ "$status" -ne 0 ] || [ "$(wc -l < "$work/output")" -ne 1 ]; then
  echo "NorvexHost.exe --interactive ended with status $status, output:"
  cat "$work/output"
  exit 1
fi
echo "interactive host shown and closed"
