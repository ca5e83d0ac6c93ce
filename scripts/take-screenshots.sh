#!/usr/bin/env bash
# take-screenshots.sh BUILD_DIR OUT_DIR
# Shows the sample toolbar under Wine in the states of the band tests' Preview (buttons pressed,
# disabled and hot; the drop-down with the history; a menu with images) and saves one picture
# of each as OUT_DIR/NAME.png (the top 260 x 1040 pixels of the screen). Needs imagemagick.
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

bash "$here/with-wine.sh" "$build" bash -c '
  set -euo pipefail
  /usr/lib/wine/wine64 "$0/bin/band_tests.exe" --gtest_also_run_disabled_tests \
      --gtest_filter="*Preview*" 2>/dev/null |
  while read -r word name _; do
    name=${name%$'"'"'\r'"'"'}  # the Windows program ends its lines with CR LF
    [ "$word" = stage ] || continue
    [ "$name" = done ] && continue
    import -window root "$1/$name-full.png"
    convert "$1/$name-full.png" -crop 1040x260+0+0 +repage "$1/$name.png"
    rm -f "$1/$name-full.png"
    echo "$1/$name.png"
  done
' "$build" "$out"
