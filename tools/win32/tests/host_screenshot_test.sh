#!/usr/bin/env bash
# host_screenshot_test.sh WINDOWS_BUILD_DIR: the README's pictures are made by NorvexHost.exe's
# "screenshot" command from the sample installation and show the toolbar with its popups
# (check_screenshots.py). Runs inside the Wine session of scripts/with-wine.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=$(mktemp -d /tmp/norvex-screenshot-test.XXXXXX)
trap 'rm -rf "$out"' EXIT
bash "$root/scripts/take-screenshots.sh" "$1" "$out" >/dev/null
python3 "$here/check_screenshots.py" "$out"
