#!/usr/bin/env python3
"""Checks the relative links of Markdown files: every [text](path) and
[text](path#anchor) must name an existing file or folder and, with an anchor,
a heading of that file, by GitHub's rule (lower case, spaces to '-', every
other character but letters, digits, '-' and '_' dropped; a repeated heading
gets -1, -2, ...). Links in code are not links. One line per broken link,
and exit 1 if there is any.

    check-links.py FILE.md...
"""
import os
import re
import sys

FENCE = re.compile(r"^\s*(```|~~~)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$")
CODE_SPAN = re.compile(r"(`+).*?\1")
LINK = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")


def Lines(path):
    """The lines of PATH outside fenced code, with their numbers."""
    fenced = False
    with open(path, encoding="utf-8") as file:
        for number, line in enumerate(file, 1):
            if FENCE.match(line):
                fenced = not fenced
            elif not fenced:
                yield number, line


def Anchors(path):
    seen = {}
    for _, line in Lines(path):
        match = HEADING.match(line)
        if match:
            anchor = re.sub(r"[^\w\- ]", "", match.group(1).lower()).replace(" ", "-")
            count = seen.get(anchor, 0)
            seen[anchor] = count + 1
            yield anchor if count == 0 else f"{anchor}-{count}"


def Broken(path):
    for number, line in Lines(path):
        for target in LINK.findall(CODE_SPAN.sub("", line)):
            if re.match(r"[A-Za-z][A-Za-z0-9+.-]*:", target):
                continue  # http:, mailto: and the like are not checked here
            name, _, anchor = target.partition("#")
            resolved = os.path.normpath(os.path.join(os.path.dirname(path), name)) if name else path
            if not os.path.exists(resolved):
                yield f"{path}:{number}: broken link {target}: no such file {resolved}"
            elif anchor and (not resolved.endswith(".md") or anchor not in set(Anchors(resolved))):
                yield f"{path}:{number}: broken link {target}: no heading #{anchor} in {resolved}"


problems = [problem for path in sys.argv[1:] for problem in Broken(path)]
print("\n".join(problems) if problems else f"Links: {len(sys.argv) - 1} Markdown files, every relative link resolves.")
sys.exit(1 if problems else 0)
