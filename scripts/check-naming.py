#!/usr/bin/env python3
"""check-naming.py BUILD_DIR   |   check-naming.py --base

Checks the names declared on the lines changed since the branch left main against the naming
rules of .clang-tidy (the dialect of docs/architecture.md), with clang-tidy and the build's
compile commands: a native build checks the changed files outside win32/ folders, a Windows
build (mingw-w64) the ones inside them. New source files in a win32/ or posix/ folder must end
in _win.cpp or _posix.cpp. The changed lines are those of `git diff` between the merge base of
HEAD and main (origin/main when there is no local main) and the working tree, plus new files
that git does not ignore; on main itself, the uncommitted changes. Without git or a main to
compare with, nothing is checked. Exits 1 when a name breaks a rule.

--base prints the merge base (nothing when there is none), for the other style checks.
"""

import concurrent.futures
import json
import os
import re
import shlex
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp", ".inl")
HUNK = re.compile(r"^@@ -\S+ \+(\d+)(?:,(\d+))? @@")
DIAGNOSTIC = re.compile(r"^(.+?):(\d+):(\d+): (warning|error): (.*) \[([^\]]+)\]$")


def git(*args):
    return subprocess.run(["git", "-C", ROOT, *args], check=True, capture_output=True,
                          text=True).stdout


def merge_base():
    """The commit the branch left main at, or None."""
    for main in ("main", "origin/main"):
        try:
            return git("merge-base", "HEAD", main).strip() or None
        except (OSError, subprocess.CalledProcessError):
            continue
    return None


def changed_lines(base):
    """{path: [(first, last), ...]} of the source lines added or changed since `base`."""
    changed = {}
    current = None
    diff = git("diff", "-U0", "--no-color", "--diff-filter=AMR", base, "--")
    for line in diff.split("\n"):
        if line.startswith("+++ "):
            name = line[4:]
            current = name[2:] if name.startswith("b/") else None
            if current and not current.endswith(SOURCE_SUFFIXES):
                current = None
            continue
        match = HUNK.match(line)
        if match and current:
            first = int(match.group(1))
            count = int(match.group(2)) if match.group(2) is not None else 1
            if count:
                changed.setdefault(current, []).append((first, first + count - 1))
    for path in git("ls-files", "--others", "--exclude-standard").split("\n"):
        if path.endswith(SOURCE_SUFFIXES):
            with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as f:
                changed[path] = [(1, max(1, sum(1 for _ in f)))]
    return changed


def added_files(base):
    added = git("diff", "--name-only", "--diff-filter=A", base, "--").split("\n")
    added += git("ls-files", "--others", "--exclude-standard").split("\n")
    return [path for path in added if path]


def is_test_code(path):
    parts = path.split("/")
    return "_test" in parts[-1] or any(p in ("tests", "bench", "fuzz") for p in parts[:-1])


def file_name_problems(paths):
    """New sources of a win32/ or posix/ folder without the folder's suffix."""
    problems = []
    for path in paths:
        parts = path.split("/")
        if not path.endswith(".cpp") or is_test_code(path):
            continue
        for folder, suffix in (("win32", "_win.cpp"), ("posix", "_posix.cpp")):
            if folder in parts[:-1] and not parts[-1].endswith(suffix):
                problems.append(f"{path}: a source file in a {folder}/ folder ends in {suffix}")
    return problems


def compiler_of(build):
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        entries = json.load(f)
    if not entries:
        return None
    entry = entries[0]
    arguments = entry.get("arguments") or shlex.split(entry["command"])
    return arguments[0]


def cross_include_arguments(compiler):
    """clang-tidy finds the target from a mingw-w64 compiler's name but not that compiler's C++
    library: its own search folders are handed over."""
    run = subprocess.run([compiler, "-x", "c++", "-E", "-v", "-o", os.devnull, os.devnull],
                         capture_output=True, text=True)
    folders, inside = [], False
    for line in run.stderr.split("\n"):
        if line.startswith("#include <...> search starts here"):
            inside = True
        elif line.startswith("End of search list"):
            break
        elif inside:
            folders.append(os.path.normpath(line.strip()))
    arguments = ["--extra-arg=-nostdinc++"]
    return arguments + [f"--extra-arg=-isystem{folder}" for folder in folders
                        if "c++" in folder.split(os.sep)]


def run_tidy(build, path, line_filter, extra):
    command = ["clang-tidy", "-p", build, "--quiet", "--header-filter=.*",
               f"--line-filter={line_filter}", *extra, os.path.join(ROOT, path)]
    run = subprocess.run(command, capture_output=True, text=True, cwd=ROOT)
    return run.stdout + run.stderr


def main():
    if sys.argv[1:] == ["--base"]:
        print(merge_base() or "")
        return 0
    if len(sys.argv) != 2:
        print(__doc__.strip().split("\n")[0])
        return 2
    build = os.path.abspath(sys.argv[1])
    try:
        base = merge_base()
    except OSError:
        base = None
    if not base:
        print("no main branch to compare with: no names checked")
        return 0

    compiler = compiler_of(build)
    windows = compiler is not None and "mingw" in os.path.basename(compiler)
    changed = {path: ranges for path, ranges in changed_lines(base).items()
               if ("win32" in path.split("/")[:-1]) == windows}
    problems = file_name_problems(p for p in added_files(base) if p in changed)
    extra = cross_include_arguments(compiler) if windows else []

    line_filter = json.dumps([{"name": os.path.join(ROOT, path), "lines": [list(r) for r in ranges]}
                              for path, ranges in sorted(changed.items())])
    seen, unparsed = set(), set()
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        outputs = pool.map(lambda path: (path, run_tidy(build, path, line_filter, extra)),
                           sorted(changed))
        for path, output in outputs:
            for line in output.split("\n"):
                match = DIAGNOSTIC.match(line)
                if not match:
                    continue
                where = os.path.relpath(match.group(1), ROOT)
                if "readability-identifier-naming" in match.group(6):
                    seen.add(f"{where}:{match.group(2)}:{match.group(3)}: {match.group(5)}")
                elif match.group(6) == "clang-diagnostic-error":
                    unparsed.add(path)

    for path in sorted(unparsed):
        print(f"note: {path} did not compile completely for clang-tidy; its names were checked "
              "as far as it parsed")
    problems += sorted(seen)
    for problem in problems:
        print(problem)
    which = "inside" if windows else "outside"
    print(f"{len(changed)} changed file(s) {which} win32/ folders since {base[:12]}: "
          f"{len(problems)} name(s) against the dialect")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
