#!/usr/bin/env python3
"""Look for suspect make texts in a dump of the data file (`vx414-dis dump FILE FOLDER`).

usage: check_make_texts.py DUMP [--makes data/dtc-makes] [--scantool SCANTOOL_DUMP]

Reports, per make section:
  repeated   a code the section holds twice (the build refuses these)
  sae        a code of a range the standard defines (the build leaves these out)
  opposite   the section's text and another list of the make's group, or a sibling make,
             say the opposite: advance/retard, high/low, rich/lean, open/short
  bank       the same, for bank 1 against bank 2
  glued      a title that looks like two fault descriptions run together
Each finding says whether a correction in corrections.tsv touches the code ("mended") or
not ("open"). The other lists are the data set's (makes.tsv) and, with --scantool, the
sections of a scantool-only build's dump (`vx414-dis build -o F --glossary G --codes
codes.dat`, then `vx414-dis dump F SCANTOOL_DUMP`). Exit status 1 when a repeated or SAE-range
code is found, 0 otherwise (the other kinds are for a person to judge).
"""
import argparse
import collections
import os
import re
import sys

PAIRS = [("opposite", r"advance[ds]?", r"retard(?:ed|s)?"),
         ("opposite", r"high(?:er)?", r"low(?:er)?"),
         ("opposite", r"rich", r"lean"),
         ("opposite", r"open", r"short(?:ed)?"),
         ("bank", r"bank ?1", r"bank ?2")]
FAULT_WORDS = r"malfunction|fault|performance|failure|error|circuit (?:low|high)|not (?:cycled|tested)|incomplete"


def is_maker_range(code):
    letter, first = code[0].upper(), code[1]
    if letter == "P":
        return first == "1" or (first == "3" and code[2] in "0123")
    return letter in "BCU" and first in "12"


def read_pairs(path):
    rows = []
    if not os.path.exists(path):
        return rows
    with open(path, encoding="utf-8") as fh:
        for line in fh:
            line = line.rstrip("\n")
            if line and not line.startswith("#"):
                rows.append(line.split("\t"))
    return rows


def section_file(entry):
    return entry.replace(" ", "_") + ".tsv"


def scantool_file(list_id):
    make = list_id[3:]
    return ("land_rover" if make == "Landrover" else make.lower()) + ".tsv"


def has(pattern, text):
    return re.search(r"(?<![a-z0-9])(?:" + pattern + r")(?![a-z0-9])", text) is not None


def conflict(kind_a, pat_a, pat_b, mine, other):
    a, b = mine.lower(), other.lower()
    return (has(pat_a, a) and not has(pat_b, a) and has(pat_b, b) and not has(pat_a, b)) or \
           (has(pat_b, a) and not has(pat_a, a) and has(pat_a, b) and not has(pat_b, b))


def glued(text):
    """Two fault descriptions run together: an em dash, or a fault word ("Malfunction",
    "Fault", "Performance", "Circuit High" ...) followed straight by a new capitalised
    description that has a fault word of its own ("Dual Alternator Lower Fault Manifold
    Absolute Pressure (MAP) Sensor Circuit Intermittent High Voltage")."""
    if "\u2014" in text:
        return True
    for match in re.finditer(r"(?:" + FAULT_WORDS + r")(?:,)? (?=(?-i:[A-Z]))", text, re.IGNORECASE):
        rest = text[match.end():]
        if match.start() == 0 or re.match(
                r"(?:Bank|Sensor|Signal|Input|Detected|Voltage|Resistance|Fault|Malfunction|Side|Mode|Problem)\b", rest):
            continue
        if \
                re.search(FAULT_WORDS + r"|intermittent|voltage|input|switch", rest, re.IGNORECASE) and \
                len(rest.split()) >= 3:
            return True
    return False


def covering(corrections, list_ids, code):
    """A correction of the lists named touches the code: one naming the code, or one over
    every code that drops rows by their text (drop-like, drop-containing)."""
    for lists, codes, action in corrections:
        if not set(lists) & set(list_ids):
            continue
        if codes == "*":
            if action in ("drop-like", "drop-containing"):
                return True
            continue
        first, _, last = codes.partition("-")
        last = last or first
        if first[0] == code[0] and first <= code <= last:
            return True
    return False


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dump")
    parser.add_argument("--makes", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "dtc-makes"))
    parser.add_argument("--scantool")
    args = parser.parse_args(argv[1:])

    group_of_list = {r[0]: r[1] for r in read_pairs(os.path.join(args.makes, "lists.tsv"))}
    families = [r for r in read_pairs(os.path.join(args.makes, "families.tsv")) if r[2] != "-"]
    corrections = [(r[0].split(","), r[1], r[2]) for r in read_pairs(os.path.join(args.makes, "corrections.tsv"))]

    other_texts = collections.defaultdict(lambda: collections.defaultdict(list))  # group -> code -> [(where, text)]
    for make, code, title in read_pairs(os.path.join(args.makes, "makes.tsv")):
        group = group_of_list.get("ds:" + make, "none")
        if group != "none":
            other_texts[group][code].append(("ds:" + make, title))
    if args.scantool:
        for list_id, group in group_of_list.items():
            if list_id.startswith("st:") and group != "none":
                for code, text in read_pairs(os.path.join(args.scantool, scantool_file(list_id))):
                    other_texts[group][code].append((list_id, text))

    sections = {}
    for entry, group, sources, _ in families:
        rows = read_pairs(os.path.join(args.dump, section_file(entry)))
        if rows:
            sections[entry] = (group, sources.split(","), rows)
    for entry, (group, _, rows) in sections.items():
        for code, text in rows:
            other_texts[group][code].append((entry, text))

    findings = []
    seen = set()

    def report(kind, entry, sources, code, detail, where=None):
        key = (kind, sections[entry][0], code, detail)
        if key in seen:
            return
        seen.add(key)
        touched = sources + ([where] if where else [])
        state = "mended" if covering(corrections, touched, code) else "open"
        findings.append((kind, state, entry, code, detail))

    for entry, (group, sources, rows) in sorted(sections.items()):
        texts = collections.defaultdict(list)
        for code, text in rows:
            texts[code].append(text)
        for code, mine in sorted(texts.items()):
            if len(set(t.lower() for t in mine)) > 1:
                report("repeated", entry, sources, code, " | ".join(mine))
            if not is_maker_range(code):
                report("sae", entry, sources, code, mine[0])
            for text in mine:
                if glued(text):
                    report("glued", entry, sources, code, text)
                for where, other in other_texts[group].get(code, []):
                    for kind, pat_a, pat_b in PAIRS:
                        if conflict(kind, pat_a, pat_b, text, other):
                            report(kind, entry, sources, code, '"%s" against %s "%s"' % (text, where, other),
                                   where if where.startswith(("st:", "ds:")) else None)

    for kind, state, entry, code, detail in findings:
        print("%-8s %-6s %-15s %s %s" % (kind, state, entry, code, detail))
    counts = collections.Counter((kind, state) for kind, state, *_ in findings)
    codes = collections.defaultdict(set)
    for kind, state, entry, code, _ in findings:
        codes[kind].add((sections[entry][0], code))
    print("summary (findings; distinct group+code):")
    for kind in ("repeated", "sae", "opposite", "bank", "glued"):
        print("  %-8s %3d open, %3d mended; %3d codes" % (
            kind, counts[(kind, "open")], counts[(kind, "mended")], len(codes[kind])))
    return 1 if counts[("repeated", "open")] + counts[("repeated", "mended")] + counts[("sae", "open")] + \
        counts[("sae", "mended")] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
