#!/usr/bin/env python3
"""compare-host-output.py EXPECTED ACTUAL

Compares the output of NorvexHost.exe (real windows, real fonts) with a session's expected
output (recorded with norvex-host, whose text metrics are fixed). Every line other than the
`item` lines of `layout` must be identical. A run of `item` lines (one layout) must have:
- the same elements (id, kind, visibility, enabled state, caption), the shown ones in the same
  order; hidden ones are compared as a set, since their left edges, and so their place in the
  sorted list, follow from text widths; a hidden chevron counts as no chevron;
- a chevron shown exactly when the expected layout has one;
- every element at y 0, the search box 22 high, every other element 24 high;
- the search box at the expected left edge, 70 or 200 wide when the expected one is, else at
  least 70; the grip and the chevron as wide as expected;
- between shown neighbours left of the chevron (or of the settings button) the expected gap
  (2 pixels, 3 before the grip), and between the chevron and the settings button too;
- the settings button's right edge where expected (the client width, or 323), unless it was
  laid out in the flow after an agent (listed after the grip): then its 2-pixel gap.
"{year}" in the expected output stands for the current year (the about box's copyright line ends
in it).
Exit status 0 when the outputs match, 1 otherwise (with the reasons on standard output).
"""

import datetime
import difflib
import sys


class Item:
    def __init__(self, line):
        parts = line.split(" ", 9)
        if len(parts) < 9:
            raise ValueError("malformed item line: " + repr(line))
        self.line = line
        self.id = int(parts[1])
        self.kind = parts[2]
        self.left, self.top, self.width, self.height = map(int, parts[3:7])
        self.visible = parts[7] == "1"
        self.enabled = parts[8] == "1"
        self.caption = parts[9] if len(parts) > 9 else ""

    @property
    def right(self):
        return self.left + self.width

    def identity(self):
        return (self.id, self.kind)

    def facts(self):
        return (self.id, self.kind, self.visible, self.enabled, self.caption)


def item_left(line):
    parts = line.split(" ")
    return int(parts[3]) if len(parts) > 3 and parts[3].lstrip("-").isdigit() else 0


def segments(lines):
    """Single lines as strings, the item lines of each layout as lists. Items are sorted by their
    left edges, so a layout that follows another at once starts where the left edge drops."""
    out = []
    for line in lines:
        if line.startswith("item "):
            if (out and isinstance(out[-1], list) and
                    item_left(line) >= item_left(out[-1][-1])):
                out[-1].append(line)
            else:
                out.append([line])
        else:
            out.append(line)
    return out


def shown_pairs(items, all_pairs=False):
    """Neighbouring shown elements whose gap is fixed, keyed by their identities."""
    shown = [i for i in items if i.visible]
    pairs = {}
    for a, b in zip(shown, shown[1:]):
        gap = b.left - a.right
        # The room before the right end is free; a settings button listed after the grip is laid
        # out in the flow like any agent (2 pixels after its neighbour) and keeps that gap.
        at_right_end = b.kind == "chevron" or (b.kind == "settings" and gap != 2)
        if at_right_end and a.kind != "chevron" and not all_pairs:
            continue
        pairs[(a.identity(), b.identity())] = gap
    return pairs


def in_flow(item, items):
    """A settings button that the relayout placed after its neighbour, not at the right end."""
    shown = [i for i in items if i.visible]
    for a, b in zip(shown, shown[1:]):
        if b is item:
            return a.kind != "chevron" and b.left - a.right == 2
    return False


def compare_layout(expected_lines, actual_lines):
    problems = []
    expected = [Item(l) for l in expected_lines]
    actual = [Item(l) for l in actual_lines]
    actual = [i for i in actual if not (i.kind == "chevron" and not i.visible)]

    if sorted(i.facts() for i in expected) != sorted(i.facts() for i in actual):
        problems.append("the elements differ (id, kind, visibility, enabled state or caption)")
    exp_shown = [i.identity() for i in expected if i.visible]
    act_shown = [i.identity() for i in actual if i.visible]
    if exp_shown != act_shown:
        problems.append("the shown elements are in another order: %s" % act_shown)
    if problems:
        return problems

    lefts = [i.left for i in actual]
    if lefts != sorted(lefts):
        problems.append("the items are not sorted by their left edges")
    by_id = {i.identity(): i for i in expected}
    for item in actual:
        want = by_id[item.identity()]
        name = "%s %d" % (item.kind, item.id)
        if not item.visible:
            continue
        if item.top != 0:
            problems.append("%s: top %d, not 0" % (name, item.top))
        height = 22 if item.kind == "search" else 24
        if item.height != height:
            problems.append("%s: height %d, not %d" % (name, item.height, height))
        if item.kind == "search":
            if item.left != want.left:
                problems.append("%s: left %d, not %d" % (name, item.left, want.left))
            if want.width in (70, 200) and item.width != want.width:
                problems.append("%s: width %d, not %d" % (name, item.width, want.width))
            if item.width < 70:
                problems.append("%s: width %d, under 70" % (name, item.width))
        if item.kind in ("grip", "chevron") and item.width != want.width:
            problems.append("%s: width %d, not %d" % (name, item.width, want.width))
        if item.kind == "settings" and not in_flow(want, expected) and item.right != want.right:
            problems.append("%s: right edge %d, not %d" % (name, item.right, want.right))
    want_gaps = shown_pairs(expected)
    for pair, gap in shown_pairs(actual, all_pairs=True).items():
        if pair in want_gaps and gap != want_gaps[pair]:
            problems.append("gap between %s and %s: %d, not %d" % (pair[0], pair[1], gap,
                                                                   want_gaps[pair]))
    return problems


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        expected_text = f.read().replace("{year}", str(datetime.date.today().year)).splitlines()
    with open(sys.argv[2], encoding="utf-8", errors="replace") as f:
        actual_text = f.read().splitlines()
    expected, actual = segments(expected_text), segments(actual_text)
    problems = []
    if [isinstance(s, list) for s in expected] != [isinstance(s, list) for s in actual]:
        problems.append("the lines differ:")
        problems.extend(difflib.unified_diff(expected_text, actual_text, "expected", "actual",
                                             lineterm=""))
    else:
        layouts = 0
        for want, got in zip(expected, actual):
            if isinstance(want, list):
                layouts += 1
                found = compare_layout(want, got)
                problems.extend("layout %d: %s" % (layouts, problem) for problem in found)
                if found:
                    problems.append("  expected:\n    " + "\n    ".join(want))
                    problems.append("  actual:\n    " + "\n    ".join(got))
            elif want != got:
                problems.append("expected %r, got %r" % (want, got))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
