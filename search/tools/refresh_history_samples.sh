#!/usr/bin/env bash
# refresh_history_samples.sh BUILD_ROOT
# Writes search/testdata/history_wine.ini with the Windows build under Wine (the system's own
# profile functions) and search/testdata/history_posix.ini with the native build (our store).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
wine_file="$root/search/testdata/history_wine.ini"
bash "$root/scripts/with-wine.sh" "$build/windows" /usr/lib/wine/wine64 \
  "$build/windows/bin/history_sample.exe" "Z:${wine_file//\//\\}"
"$build/native/bin/history_sample" "$root/search/testdata/history_posix.ini"
