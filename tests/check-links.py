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
HEADING = re.compile(r"^#{1,6}\s+(.*?)(?:\s+#+)?\s*$")
CODE_SPAN = re.compile(r"(`+)(?:(?!\n[ \t]*\n).)*?\1", re.S)  # within a paragraph
LINK = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")


def Numbered(path):
    """The lines of PATH with their numbers; 0 for a line of fenced code."""
    fenced = False
    with open(path, encoding="utf-8") as file:
        for number, line in enumerate(file, 1):
            fence = bool(FENCE.match(line))
            fenced ^= fence
            yield (0 if fenced or fence else number), line


def Anchors(path):
    seen = {}
    for number, line in Numbered(path):
        match = number and HEADING.match(line)
        if match:
            anchor = re.sub(r"[^\w\- ]", "", match.group(1).lower()).replace(" ", "-")
            count = seen.get(anchor, 0)
            seen[anchor] = count + 1
            yield anchor if count == 0 else f"{anchor}-{count}"


def Broken(path):
    # Code spans go, but not their line breaks: a link may span lines.
    text = "".join(line if number else "\n" for number, line in Numbered(path))
    text = CODE_SPAN.sub(lambda span: "\n" * span.group().count("\n"), text)
    for link in LINK.finditer(text):
        target, number = link.group(1), text.count("\n", 0, link.start()) + 1
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
