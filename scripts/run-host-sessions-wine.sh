#!/usr/bin/env bash
# run-host-sessions-wine.sh WINDOWS_BUILD_DIR [--dll PATH] [--sessions DIR]
# Drives NorvexHost.exe under Wine with each session (default: tools/sessions/*.in) on a copy of
# the sample installation that holds the toolbar module (default: BUILD/bin/NorvexToolbar.dll)
# and the host, with a fresh per-user folder each, and compares the output with the .expected
# file (scripts/compare-host-output.py: every line alike, layout items by their geometry rules).
# A first line "#! ARGS" gives extra arguments. The host must end with exit status 1 when the
# expected output holds a refusal, else 0.
#
# It runs inside the Wine session of scripts/with-wine.sh (its prefix, server and display), as
# ctest does for the Windows build: bash scripts/with-wine.sh BUILD bash scripts/run-host-...
set -uo pipefail
build=$(cd "$1" && pwd)
shift
root=$(cd "$(dirname "$0")/.." && pwd)
dll="$build/bin/NorvexToolbar.dll"
sessions="$root/tools/sessions"
while [ $# -gt 0 ]; do
  case "$1" in
    --dll) dll=$2; shift 2 ;;
    --sessions) sessions=$2; shift 2 ;;
    *) echo "run-host-sessions-wine.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "run-host-sessions-wine.sh: run it inside scripts/with-wine.sh (no WINEPREFIX or DISPLAY)" >&2
  exit 2
fi
if [ ! -f "$build/bin/NorvexHost.exe" ]; then
  echo "run-host-sessions-wine.sh: $build/bin/NorvexHost.exe is missing" >&2
  exit 2
fi
# Status 77 tells ctest that the test was skipped: a build without the toolbar module.
if [ ! -f "$dll" ]; then
  echo "run-host-sessions-wine.sh: $dll is missing: sessions skipped" >&2
  exit 77
fi
WINE=/usr/lib/wine/wine64

passed=0
failed=0
for input in "$sessions"/*.in; do
  name=$(basename "$input" .in)
  expected="${input%.in}.expected"
  work=$(mktemp -d /tmp/norvex-host-session.XXXXXX)
  # A session may name another installation ("#! --install DIR", relative to the checkout);
  # it is copied under the same relative name, so that "start" lines read as in the native runs.
  extra=$(head -1 "$input" | sed -n 's/^#! //p')
  install=sample/install
  if [[ " $extra " =~ \ --install\ ([^ ]+) ]]; then
    install=${BASH_REMATCH[1]}
    extra=$(printf '%s' " $extra " | sed "s| --install $install | |")
  fi
  mkdir -p "$work/$(dirname "$install")"
  cp -r "$root/$install" "$work/$install"
  cp "$dll" "$work/$install/NorvexToolbar.dll"
  cp "$build/bin/NorvexHost.exe" "$work/$install/NorvexHost.exe"
  # The pages that sessions load, under the same relative names.
  mkdir -p "$work/tools/sessions"
  cp -r "$root/tools/sessions/pages" "$work/tools/sessions/pages"
  # A fresh per-user folder: the toolbar's folder under the Windows user's application data.
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Norvex \
         "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow/Norvex
  # A host caught in a modal loop must fail its session, not hang the run.
  # shellcheck disable=SC2086
  (cd "$work" && timeout 120 "$WINE" "$install/NorvexHost.exe" --install "$install" \
     $extra < "$input" > "$work/output" 2>&1)
  status=$?
  sed -i 's/^NorvexHost: /norvex-host: /' "$work/output"
  want_status=0
  if grep -q '^norvex-host: ' "$expected"; then want_status=1; fi
  if [ "$status" -ne "$want_status" ]; then
    echo "session $name: exit status $status, expected $want_status"
    cat "$work/output"
    failed=$((failed + 1))
  elif python3 "$root/scripts/compare-host-output.py" "$expected" "$work/output"; then
    passed=$((passed + 1))
  else
    echo "session $name: output differs"
    failed=$((failed + 1))
  fi
  rm -rf "$work"
done
echo "sessions under Wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
