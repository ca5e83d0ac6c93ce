#!/usr/bin/env bash
# demo.sh NATIVE_BUILD_DIR: the toolbar at work on the sample installation, hosted by
# norvex-host, with a throw-away per-user profile.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
install="$root/sample/install"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
host() { "$build/bin/norvex-host" --install "$install" --profile "$profile" "$@"; }

echo "== What the toolbar reads from the sample installation"
"$build/bin/norvex-inspect" --install "$install" --profile "$profile" | head -8
echo
echo "== Laid out 1200 pixels wide, then 640: the agents that do not fit go to the chevron"
host --width 1200 <<'EOF_SESSION'
layout
width 640
layout
EOF_SESSION
echo
echo "== A search through each encoding: the default engine (UTF-8), then two engines"
echo "   chosen from the search agent's menu (Shift_JIS, EUC-JP); an empty box resets it"
host --width 1200 <<'EOF_SESSION'
type 東京 タワー
key Enter
menu 2025 8201
menu 2025 8202
type
key Enter
EOF_SESSION
echo
echo "== A Translation item (the button adopts it), a help item, the page language"
host --width 1200 <<'EOF_SESSION'
type こんにちは
menu 2026 8301
press 2026
menu 2024 8101
page http://news.example.jp/ shift_jis ja
layout
EOF_SESSION
echo
echo "== The history that these searches left in the profile"
cat "$profile/Norvex/NorvexHistory.ini" 2>/dev/null | iconv -f UTF-16 -t UTF-8 || echo "(none)"
