#!/usr/bin/env bash
# run-again-if-hung.sh SECONDS COMMAND...
# Runs COMMAND; when it has not ended after SECONDS, ends it and every process it started, and
# runs it once more. Any other ending, a pass or a failure, is COMMAND's own exit status.
#
# For the one Windows test that drives another program's windows: under Wine a process now and
# then hangs for good in its first use of the display (a lock in the start of Wine's display
# driver; about once in 50 runs of that test program here), which says nothing of our code.
set -uo pipefail

seconds=$1
shift
for attempt in 1 2; do
  # A session of its own, so that the programs it starts (Wine starts each as a child process)
  # can be ended with it: one left running would keep the test runner's output open.
  setsid "$@" &
  pid=$!
  (sleep "$seconds" && kill -KILL -- "-$pid") </dev/null >/dev/null 2>&1 &
  watcher=$!
  wait "$pid"
  status=$?
  if kill -0 "$watcher" 2>/dev/null; then
    kill "$watcher" 2>/dev/null
    exit "$status"
  fi
  echo "run-again-if-hung.sh: no end after ${seconds} s (run ${attempt} of 2): $*" >&2
done
exit 1
