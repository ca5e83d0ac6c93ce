#!/usr/bin/env bash
# run-fuzzers.sh FUZZ_BUILD_DIR SECONDS: runs every fuzz target from its corpus for SECONDS.
set -euo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
passed=0
failed=0
for target in "$build"/bin/fuzz_*; do
  name=$(basename "$target")
  corpus_name=${name#fuzz_}
  corpus_name=${corpus_name%%_*}
  work=$(mktemp -d)
  cp -r "$root/fuzz/corpus/$corpus_name/." "$work/" 2>/dev/null || true
  if "$target" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 "$work" \
      >"$work.log" 2>&1; then
    echo "fuzz $name: $(grep -Eo 'Done [0-9]+ runs' "$work.log" | tail -1 || echo done)"
    passed=$((passed + 1))
  else
    echo "fuzz $name: FAILED"
    tail -40 "$work.log"
    failed=$((failed + 1))
  fi
  rm -rf "$work" "$work.log"
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
