#!/usr/bin/env bash
# with-wine.sh BUILD_DIR COMMAND...
# Runs COMMAND with a Wine session of its own around it: one Xvfb, one persistent wineserver,
# the prefix BUILD_DIR/wineprefix (made on first use). Everything is shut down when COMMAND
# ends, whether it passed or failed, so repeated runs neither hang nor leave processes behind.
set -euo pipefail

build=$(cd "$1" && pwd)
shift

export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Under this locale Wine's ANSI code page is 932, as on a Japanese Windows.
if locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
fi
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# A display number that nobody uses.
display=99
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
  display=$((display + 1))
done
export DISPLAY=":${display}"

xvfb_pid=""
child=""
cleanup() {
  if [ -n "$child" ]; then kill "$child" >/dev/null 2>&1 || true; fi
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'cleanup; trap - EXIT; exit 130' INT
trap 'cleanup; trap - EXIT; exit 143' TERM

Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X${display}" ] && break
  sleep 0.05
done
if ! kill -0 "$xvfb_pid" 2>/dev/null; then
  echo "with-wine.sh: Xvfb did not start on $DISPLAY" >&2
  exit 1
fi

mkdir -p "$WINEPREFIX"
"$WINESERVER" -p </dev/null >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/.norvex-ready" ]; then
  # Wine's background processes inherit the stdio of whoever starts them: keep it away from
  # the caller's pipes, or a test runner reading them waits for ever.
  "$WINE" wineboot -i </dev/null >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  # A crashing test must fail, not wait for a debugger that nobody will drive.
  "$WINE" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    </dev/null >/dev/null 2>&1 || true
  mkdir -p "$WINEPREFIX/drive_c/Temp"
  touch "$WINEPREFIX/.norvex-ready"
  # Start afresh on the finished prefix: the service control manager of the first boot does not
  # keep the services that are created while the prefix is still settling.
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
fi
"$WINE" wineboot </dev/null >/dev/null 2>&1

# Wine closes its desktop a second after the last program on it ends, and a program that starts
# in that second keeps the closing desktop's window: it no longer sees the windows of programs
# that start after it. The build's desktop holder (tests/win32) stays on the desktop until the
# session ends, so that one desktop serves every test.
holder="$build/bin/wine_desktop_holder.exe"
if [ -f "$holder" ]; then
  "$WINE" "$holder" </dev/null >/dev/null 2>&1 &
fi

# The command runs as a child we wait for, so that a TERM or INT reaches the trap at once.
# (A background command would otherwise read /dev/null: keep our standard input for it.)
set +e
exec 3<&0
"$@" <&3 &
child=$!
wait "$child"
status=$?
child=""
set -e
exit $status
