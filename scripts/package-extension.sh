#!/usr/bin/env bash
# package-extension.sh OUTPUT_DIR: the store package of the extension, a zip of extension/
# without the manifest's `key` (the store signs the package with the item's own key, whose public
# half is the `key` of the unpacked extension). Needs extension/generated (the native build's
# fold_table target).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
if [ ! -f "$root/extension/generated/fold_table.js" ]; then
  echo "package-extension: extension/generated is missing; build the fold_table target first" >&2
  exit 1
fi
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp -r "$root/extension/." "$stage/"
python3 - "$stage/manifest.json" <<'PY'
import json, sys
path = sys.argv[1]
manifest = json.load(open(path, encoding="utf-8"))
manifest.pop("key", None)
json.dump(manifest, open(path, "w", encoding="utf-8"), ensure_ascii=False, indent=2)
PY
version=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["version"])' "$stage/manifest.json")
zip_file="$out/norvex-extension-$version.zip"
rm -f "$zip_file"
(cd "$stage" && python3 -m zipfile -c "$zip_file" .)
echo "$zip_file"
