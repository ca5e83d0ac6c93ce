#!/usr/bin/env bash
# host_start_test.sh WINDOWS_BUILD_DIR TEST_BAND_DLL: NorvexHost.exe refuses to start, with exit
# status 2 and a clear message, without a toolbar module in the installation folder, with
# --profile, and with a bad command line; with a module and no commands it ends with status 0.
# Runs inside the Wine session of scripts/with-wine.sh.
set -uo pipefail
build=$(cd "$1" && pwd)
dll=$2
WINE=/usr/lib/wine/wine64
work=$(mktemp -d /tmp/norvex-host-start.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/empty" "$work/install"
cp "$build/bin/NorvexHost.exe" "$work/"
cp "$dll" "$work/install/NorvexToolbar.dll"
failed=0

# expect STATUS MESSAGE-PATTERN ARGS...: the host's exit status and standard error.
expect() {
  local want_status=$1 pattern=$2
  shift 2
  local output status
  output=$(cd "$work" && "$WINE" NorvexHost.exe "$@" </dev/null 2>&1 >/dev/null)
  status=$?
  if [ "$status" -ne "$want_status" ] || ! grep -qE -- "$pattern" <<<"$output"; then
    echo "NorvexHost.exe $*: status $status, output '$output'; expected $want_status, /$pattern/"
    failed=1
  fi
}

expect 2 '^NorvexHost: no NorvexToolbar\.dll in empty$' --install empty
expect 2 '^NorvexHost: no NorvexToolbar\.dll in missing$' --install missing
expect 2 '^NorvexHost: --profile is not supported' --install install --profile "$work"
expect 2 '^usage: NorvexHost --install DIR' --width 300
expect 2 '^usage: NorvexHost --install DIR' --install install --bogus
expect 0 '^$' --install install
[ "$failed" -eq 0 ] && echo "host start checks passed"
exit "$failed"
