#!/usr/bin/env bash
# demo.sh NATIVE_BUILD_DIR [WINDOWS_BUILD_DIR]: the toolbar at work on the sample installation,
# hosted by norvex-host, with a throw-away per-user profile (norvex-inspect and norvex-host);
# then, with a Windows build, the real toolbar module in NorvexHost.exe under Wine, with pictures.
set -euo pipefail
build=$1
windows=${2:-}
root=$(cd "$(dirname "$0")/.." && pwd)
install="$root/sample/install"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT

section() { printf '\n== %s\n' "$1"; }

# The host's "item" lines of each layout, left to right under a header naming the columns,
# hidden ones marked; the chevron menu's lines under a header of their own; every other line as
# it is.
tidy() {
  awk '
    function flush(   i, j, t, tl) {
      if (n == 0) return
      for (i = 2; i <= n; i++) {          # insertion sort by LEFT, stable
        t = line[i]; tl = left[i]
        for (j = i - 1; j >= 1 && left[j] > tl; j--) { line[j + 1] = line[j]; left[j + 1] = left[j] }
        line[j + 1] = t; left[j + 1] = tl
      }
      printf "   %-5s %-9s %5s %4s %6s %6s %-7s %s\n", "ID", "KIND", "LEFT", "TOP", "WIDTH",
             "HEIGHT", "ENABLED", "CAPTION"
      for (i = 1; i <= n; i++) print line[i]
      n = 0
      split("", seen)
    }
    $1 == "item" {
      if ($2 in seen) flush()            # a second layout right after the first
      seen[$2] = 1
      caption = ""
      for (k = 10; k <= NF; k++) caption = caption (k > 10 ? " " : "") $k
      n++
      left[n] = ($8 == "1" ? 0 : 100000) + $4   # the hidden ones after the shown ones
      line[n] = sprintf("   %-5s %-9s %5s %4s %6s %6s %-7s %s%s", $2, $3, $4, $5, $6, $7,
                        ($9 == "1" ? "yes" : "no"), caption,
                        ($8 == "1" ? "" : "   (hidden: in the chevron menu)"))
      next
    }
    $1 == "overflow" && !inMenu { flush(); print "   chevron menu (ID CAPTION; a submenu indented):"; inMenu = 1 }
    $1 == "overflow" || $1 == "child" { print "     " $0; next }
    { flush(); inMenu = 0; print }
    END { flush() }
  '
}
host() { "$build/bin/norvex-host" --install "$install" --profile "$profile" "$@" | tidy; }

section "What the toolbar reads from the sample installation (norvex-inspect)"
"$build/bin/norvex-inspect" --install "$install" --profile "$profile"

section "The catalogue check (norvex-inspect --check): the sample has no mistakes"
"$build/bin/norvex-inspect" --check --install "$install"

section "Laid out 1200 pixels wide, then 640: the agents that do not fit go to the chevron"
echo "   (left to right, then the hidden buttons; the search box is 5025, the grip 5024, the"
echo "   chevron 0, a button 2024 + its position in AgentMaster.xml)"
host --width 1200 <<'EOF_SESSION'
layout
width 640
layout
EOF_SESSION

section "A search through each encoding: the default engine (UTF-8), then two engines"
echo "   chosen from the search agent's menu (Shift_JIS, EUC-JP); an empty box resets it."
echo "   The search agent's menu is the 2nd menu built, so its items are 8200 + position:"
echo "   8201 is its second item, 8202 its third."
host --width 1200 <<'EOF_SESSION'
type 東京 タワー
key Enter
menu 2025 8201
menu 2025 8202
type
key Enter
EOF_SESSION

section "A Translation item (the button adopts it), a help item, the page language"
echo "   8301: the 2nd item of the 3rd menu (Translation); 8101: the 2nd item of the 1st (settings)."
echo "   A Shift_JIS page in Japanese makes the Web Page Translation button item 1 (8501)."
host --width 1200 <<'EOF_SESSION'
type こんにちは
menu 2026 8301
press 2026
menu 2024 8101
page http://news.example.jp/ shift_jis ja
layout
EOF_SESSION

section "The history that these searches left in the profile (NorvexHistory.ini)"
iconv -f UTF-16 -t UTF-8 "$profile/Norvex/NorvexHistory.ini" 2>/dev/null || echo "(none)"

if [ -n "$windows" ]; then
  section "The real toolbar: NorvexToolbar.dll in NorvexHost.exe under Wine (scripts/screenshots.in)"
  echo "   Three searches, the history drop-down, the news agent's menu, the chevron's menu;"
  echo "   each \"screenshot\" line of the session saves a picture."
  bash "$root/scripts/take-screenshots.sh" "$windows" "$windows/demo-screenshots"
fi
