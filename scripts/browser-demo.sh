#!/usr/bin/env bash
# browser-demo.sh NATIVE_BUILD: Debian's chromium with a temporary profile, the extension loaded
# unpacked and the bridge registered into the profile for the sample installation, its per-user
# files in a temporary folder; a local server shows the test pages. Closing chromium ends it.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "browser-demo: no display; run it on a desktop (make screenshots shows the extension headless)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/profile" "$work/user"
"$build/bin/norvex-bridge" --register --profile "$work/profile" --install "$root/sample/install"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$root/browser/tests/pages" >/dev/null 2>&1 &
server=$!
echo "browser-demo: the profile is $work/profile, the per-user files $work/user/Norvex"
echo "browser-demo: the extension's button opens the quick search; the side panel (its menu) shows the toolbar"
sandbox=()
if [ "$(id -u)" = 0 ]; then sandbox=(--no-sandbox); fi  # chromium refuses root without it
XDG_DATA_HOME="$work/user" /usr/bin/chromium "${sandbox[@]}" \
  --user-data-dir="$work/profile" --no-first-run --no-default-browser-check \
  --disable-background-networking --disable-component-update --disable-sync \
  --load-extension="$root/extension" --disable-extensions-except="$root/extension" \
  "http://127.0.0.1:$port/rules.html"
