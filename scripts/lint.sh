#!/usr/bin/env bash
# lint.sh NATIVE_BUILD WINDOWS_BUILD
# Checks, without changing anything, the lines changed since the branch left main: their format
# against .clang-format (what clang-format would change is printed; `git clang-format BASE`
# applies it), then their names against .clang-tidy in both builds (scripts/check-naming.py).
set -uo pipefail
cd "$(dirname "$0")/.."
status=0

base=$(python3 scripts/check-naming.py --base)
if [ -z "$base" ]; then
  echo "no main branch to compare with: format not checked"
else
  format=$(git clang-format --diff --extensions h,hpp,c,cc,cpp,inl "$base" -- 2>&1)
  case "$format" in
    "no modified files to format"|"clang-format did not modify any files") ;;
    *)
      echo "$format"
      echo "clang-format would change the lines above (git clang-format $base applies it)"
      status=1
      ;;
  esac
fi

python3 scripts/check-naming.py "$1" || status=1
python3 scripts/check-naming.py "$2" || status=1
exit "$status"
