#!/usr/bin/env bash
# refresh_cp932_table.sh BUILD_ROOT
# Writes platform/testdata/cp932_table.txt with Windows' own conversion (cp932_table.exe of the
# Windows build, run under Wine), then updates the POSIX encoder's corrections from the
# difference with the native build's table. Build both configurations first; rebuild the native
# one afterwards and run this again until it reports no difference.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
table="$root/platform/testdata/cp932_table.txt"
bash "$root/scripts/with-wine.sh" "$build/windows" /usr/lib/wine/wine64 \
  "$build/windows/bin/cp932_table.exe" "Z:${table//\//\\}"
posix=$(mktemp)
trap 'rm -f "$posix"' EXIT
"$build/native/bin/cp932_table" "$posix"
python3 "$root/platform/tools/cp932_corrections.py" "$table" "$posix" \
  "$root/platform/posix/code_page_932_corrections.h"
