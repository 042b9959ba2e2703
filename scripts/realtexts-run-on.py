#!/usr/bin/env python3
"""Makes the real texts into texts whose paragraphs run on, for score.py.

usage: realtexts-run-on.py [--by-hand] SOURCE DEST

SOURCE is the folder of the real texts (books.json, raw/, gt/); DEST gets
the same layout. In every text the blank line between two paragraphs of
the body is taken out, so that a paragraph's end shows only as a text
without blank lines between paragraphs shows it: by a short last line, a
sentence's end, a speech opening after it. Such breaks then count as meant
breaks (kept). A paragraph of the body is one that the truth has wrapped
over several lines, or a line standing alone that is not a heading: at
least 20 characters, ending a sentence, marked by the truth neither as a
meant break nor as a heading. Headings, verse, letters and lists keep their
blank lines, as such texts keep them.

With --by-hand every wrapped paragraph is first broken again as by hand,
as older transcriptions are: each line ends at the last word that fits
within a column picked at random between seven tenths of the text's width
and the width (the same columns on every run).
"""
import json
import lzma
import os
import random
import re
import sys

SENTENCE_END = re.compile(rb"[.!?][\"')]?$")
LEAST_ALONE = 20
# A hand breaks a line somewhere past this share of the width: the next
# word would have fit after most lines, as it does in such texts.
BY_HAND_FROM = 0.7
# The width of a text: what 97 in 100 of its wrapped lines stay within.
WIDTH_SHARE = 0.97


def by_hand(lines, gt, rng):
    """every wrapped paragraph broken again at random columns, and the truth
    renumbered to match"""
    widths = sorted(len(line.rstrip()) for a, b in gt["prose"] for line in lines[a:b])
    width = widths[int(len(widths) * WIDTH_SHARE)] if widths else 72
    ends = dict(gt["prose"])
    cr = b"\r" if lines and lines[0].endswith(b"\r") else b""
    out, number, prose = [], {}, []
    i = 0
    while i < len(lines):
        if i not in ends:
            number[i] = len(out)
            out.append(lines[i])
            i += 1
            continue
        end = ends[i]
        first, second = lines[i].rstrip(), lines[i + 1].rstrip()
        indent = [line[:len(line) - len(line.lstrip())] for line in (first, second)]
        broken, line = [], indent[0]
        limit = rng.randint(int(width * BY_HAND_FROM), width)
        for word in b" ".join(line.strip() for line in lines[i:end + 1]).split():
            if line.strip() and len(line) + 1 + len(word) > limit:
                broken.append(line)
                line = indent[1] + word
                limit = rng.randint(int(width * BY_HAND_FROM), width)
            else:
                line += (b" " if line.strip() else b"") + word
        broken.append(line)
        if len(broken) < 2:  # still a wrapped paragraph
            broken = [line.rstrip() for line in lines[i:end + 1]]
        number[end] = len(out) + len(broken) - 1
        prose.append([len(out), number[end]])
        out.extend(line + cr for line in broken)
        i = end + 1
    truth = dict(gt)
    truth["lines"] = len(out)
    truth["prose"] = prose
    truth["joins"] = [[number[a], number[b]] for a, b in gt["joins"]]
    truth["kept"] = [[number[k[0]]] + k[1:] for k in gt["kept"]]
    truth["hyphens"] = []  # the words are no longer split where they were
    return out, truth


def run_on(lines, gt):
    """the lines without the blank lines between paragraphs, and the truth
    renumbered to match"""
    wrapped_starts = {a for a, _ in gt["prose"]}
    wrapped_ends = {b for _, b in gt["prose"]}
    marked = {k[0] for k in gt["kept"]} | {k[0] + 1 for k in gt["kept"]}
    for a, b in gt["joins"]:
        marked.update(range(a, b + 1))

    def blank(i):
        return not lines[i].strip()

    def alone(i):
        return (0 < i < len(lines) - 1 and blank(i - 1) and blank(i + 1) and i not in marked
                and len(lines[i].strip()) >= LEAST_ALONE
                and SENTENCE_END.search(lines[i].strip()) is not None)

    dropped, ends = set(), []
    for i in range(len(lines) - 2):
        if ((i in wrapped_ends or alone(i)) and blank(i + 1) and not blank(i + 2)
                and (i + 2 in wrapped_starts or alone(i + 2))):
            dropped.add(i + 1)
            ends.append(i)
    number, kept_lines = {}, []
    for i, line in enumerate(lines):
        if i not in dropped:
            number[i] = len(kept_lines)
            kept_lines.append(line)
    truth = dict(gt)
    truth["lines"] = len(kept_lines)
    truth["prose"] = [[number[a], number[b]] for a, b in gt["prose"]]
    truth["joins"] = [[number[a], number[b]] for a, b in gt["joins"]]
    truth["kept"] = sorted([[number[k[0]]] + k[1:] for k in gt["kept"]] +
                           [[number[i], "paragraph"] for i in ends])
    truth["hyphens"] = [[number[i], keep] for i, keep in gt.get("hyphens", [])]
    return kept_lines, truth


def main(source, dest, hand):
    rng = random.Random(1)
    for folder in ("raw", "gt"):
        os.makedirs(os.path.join(dest, folder), exist_ok=True)
    with open(os.path.join(source, "books.json"), encoding="utf-8") as f:
        books = json.load(f)
    for book in books["books"]:
        bid = book["id"]
        raw = lzma.open(os.path.join(source, "raw", bid + ".txt.xz")).read()
        with lzma.open(os.path.join(source, "gt", bid + ".gt.json.xz"), "rt", encoding="utf-8") as f:
            gt = json.load(f)
        lines = raw.split(b"\n")
        if lines and lines[-1] == b"":
            lines.pop()
        if hand:
            lines, gt = by_hand(lines, gt, rng)
        lines, truth = run_on(lines, gt)
        with lzma.open(os.path.join(dest, "raw", bid + ".txt.xz"), "wb") as f:
            f.write(b"\n".join(lines) + b"\n")
        with lzma.open(os.path.join(dest, "gt", bid + ".gt.json.xz"), "wt", encoding="utf-8") as f:
            json.dump(truth, f)
    with open(os.path.join(dest, "books.json"), "w", encoding="utf-8") as f:
        json.dump(books, f)


if __name__ == "__main__":
    args = sys.argv[1:]
    hand = args[:1] == ["--by-hand"]
    if hand:
        args = args[1:]
    if len(args) != 2:
        sys.exit(__doc__)
    main(args[0], args[1], hand)
