#!/usr/bin/env bash
# run-host-sessions.sh NATIVE_BUILD_DIR: drives norvex-host with each tools/sessions/*.in on the
# sample installation (fresh profile each) and compares its output with the .expected file, where
# "{year}" stands for the current year (the about box's copyright line ends in it). A first line
# "#! ARGS" gives extra arguments (for example "#! --width 1000"). The host must end
# with exit status 1 when the expected output holds a refusal ("norvex-host: ..."), else 0.
set -uo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
passed=0
failed=0
for input in "$root"/tools/sessions/*.in; do
  name=$(basename "$input" .in)
  expected="${input%.in}.expected"
  profile=$(mktemp -d)
  extra=$(head -1 "$input" | sed -n 's/^#! //p')
  # shellcheck disable=SC2086
  # The installation is named relative to the checkout, so that outputs do not depend on where
  # the checkout lies.
  actual=$(cd "$root" && "$build/bin/norvex-host" --install sample/install --profile "$profile" \
           $extra < "$input" 2>&1)
  status=$?
  want_status=0
  if grep -q '^norvex-host: ' "$expected"; then want_status=1; fi
  if [ "$status" -ne "$want_status" ]; then
    echo "session $name: exit status $status, expected $want_status"
    failed=$((failed + 1))
  elif diff -u <(sed "s/{year}/$(date +%Y)/g" "$expected") <(printf '%s\n' "$actual") \
      >"$profile.diff"; then
    passed=$((passed + 1))
  else
    echo "session $name: output differs"
    cat "$profile.diff"
    failed=$((failed + 1))
  fi
  rm -rf "$profile" "$profile.diff"
done
echo "sessions: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
