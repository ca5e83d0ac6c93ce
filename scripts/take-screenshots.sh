#!/usr/bin/env bash
# take-screenshots.sh WINDOWS_BUILD_DIR OUT_DIR
# Plays scripts/screenshots.in through NorvexHost.exe under Wine on a copy of the sample
# installation with a fresh per-user folder (SESSION=FILE plays another session); the session's
# "screenshot" lines write their PNG files into OUT_DIR. Prints the host's event lines, then
# "picture: PATH" per picture. Runs its own Wine session (scripts/with-wine.sh) unless it is
# already inside one.
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
session=${SESSION:-$root/scripts/screenshots.in}

if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  exec bash "$root/scripts/with-wine.sh" "$build" bash "$0" "$build" "$out"
fi
for file in NorvexHost.exe NorvexToolbar.dll; do
  if [ ! -f "$build/bin/$file" ]; then
    echo "take-screenshots.sh: $build/bin/$file is missing" >&2
    exit 2
  fi
done

work=$(mktemp -d /tmp/norvex-screenshots.XXXXXX)
# The per-user folder of the prefix is left as fresh as the session found it.
clean_profile() {
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Norvex \
         "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow/Norvex
}
trap 'rm -rf "$work"; clean_profile' EXIT
cp -r "$root/sample/install" "$work/install"
cp "$build/bin/NorvexToolbar.dll" "$build/bin/NorvexHost.exe" "$work/install/"
clean_profile
# The drop-down opens in the size a user last left it (the first time it is 200 x 50, two
# lines): large enough for the picture to show the whole history.
for users in "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow; do
  mkdir -p "$users/Norvex"
  printf '[window_diams]\r\ndropwidth=300\r\ndropheight=110\r\n' > "$users/Norvex/UserConfig.ini"
done
# The pictures are written where the host runs: in OUT_DIR.
(cd "$out" && timeout 120 /usr/lib/wine/wine64 "$work/install/NorvexHost.exe" \
   --install "$work/install" < "$session" > "$work/output" 2>&1) || {
  echo "take-screenshots.sh: NorvexHost.exe failed:" >&2
  cat "$work/output" >&2
  exit 1
}
# What the toolbar did, then the pictures.
cat "$work/output"
sed -n 's/^screenshot \([^ ]*\).*/\1/p' "$session" | while read -r name; do
  echo "picture: $out/$name"
done
