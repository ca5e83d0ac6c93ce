#!/usr/bin/env python3
"""check-layers.py [SOURCE_DIR]

Checks every #include of the C and C++ sources against the order of folders in
docs/architecture.md (the table under "## Layers": one row per folder with its layer number).
A file may include files of its own top-level folder and of folders of a lower layer; the
shared test helpers in tests/ may include any folder, and only test code includes them.
Prints each include that runs against the order and exits 1 when there is one.
"""

import os
import re
import subprocess
import sys

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp", ".inl")
TEST_HELPERS = "tests"

# Files allowed to break the order; none today.
EXCEPTIONS = set()

ROW = re.compile(r"^\|\s*(\d+)\s*\|\s*`([A-Za-z0-9_.-]+)/`\s*\|")
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)')


def read_layers(doc_path):
    """The layer of each top-level folder, from the table under "## Layers"."""
    layers = {}
    in_section = False
    with open(doc_path, encoding="utf-8") as doc:
        for line in doc:
            if line.startswith("## "):
                in_section = line.strip() == "## Layers"
                continue
            match = ROW.match(line) if in_section else None
            if match:
                layers[match.group(2)] = int(match.group(1))
    return layers


def source_files(root):
    """Tracked and new (not ignored) files when the tree is a git checkout, else every file."""
    try:
        listed = subprocess.run(
            ["git", "-C", root, "ls-files", "--cached", "--others", "--exclude-standard"],
            check=True, capture_output=True, text=True).stdout.split("\n")
        files = [f for f in listed if f]
    except (OSError, subprocess.CalledProcessError):
        files = []
        for folder, dirs, names in os.walk(root):
            dirs[:] = [d for d in dirs if not d.startswith(".") and not d.startswith("build")]
            files += [os.path.relpath(os.path.join(folder, n), root) for n in names]
    return sorted(f.replace(os.sep, "/") for f in files
                  if f.endswith(SOURCE_SUFFIXES) and os.path.isfile(os.path.join(root, f)))


def is_test_code(path):
    """Tests, benchmarks and fuzz targets, and the programs that make their data (a tools/
    folder inside a subsystem)."""
    parts = path.split("/")
    name = parts[-1]
    return ("_test" in name or any(p in ("tests", "bench", "fuzz") for p in parts[:-1])
            or "tools" in parts[1:-1])


def check(root):
    doc = os.path.join(root, "docs", "architecture.md")
    layers = read_layers(doc)
    if not layers:
        return ["docs/architecture.md: no table of layers under \"## Layers\""]
    problems = []
    for path in source_files(root):
        folder = path.split("/")[0]
        if "/" not in path:
            continue
        if folder != TEST_HELPERS and folder not in layers:
            problems.append(f"{path}: the folder {folder}/ has no layer in docs/architecture.md")
            continue
        if path in EXCEPTIONS:
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                included = match.group(1) or match.group(2)
                target = included.split("/")[0] if "/" in included else None
                if target is None or target == folder:
                    continue
                where = f"{path}:{number}: #include \"{included}\""
                if target == TEST_HELPERS:
                    if not is_test_code(path):
                        problems.append(f"{where}: only test code includes {TEST_HELPERS}/")
                    continue
                if target not in layers or folder == TEST_HELPERS:
                    continue
                if layers[target] >= layers[folder]:
                    problems.append(f"{where}: {target}/ (layer {layers[target]}) is not below "
                                    f"{folder}/ (layer {layers[folder]})")
    return problems


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    problems = check(root)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) against the order of docs/architecture.md")
        return 1
    print("every include follows the order of docs/architecture.md")
    return 0


if __name__ == "__main__":
    sys.exit(main())
