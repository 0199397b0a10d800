#!/usr/bin/env python3
"""Check data/glossary.tsv: line count, fields, encoding, order and size."""
import os
import sys

EXPECTED_LINES = 832
MAX_TOTAL = 25400

# Terms a reader's user meets on the screen, in code texts and in adapter manuals; each must
# have an entry of its own.
REQUIRED_TERMS = """MFI EI VAF SRT PAIR DFI TFP TOT EBP ICP IPR VCM EBTCM HEGO EST CL OL ELM327 VCI SID
DID NRC DoIP MIL DMM Correlation DI""".split() + [
    "Inertia switch", "Equivalence ratio", "Karman vortex", "Wheel slip", "Warm-up cycle"]
# Each family of codes needs an entry whose term starts with its letter and a digit.
CODE_FAMILIES = "PCBU"


def main(argv):
    path = argv[1] if len(argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "glossary.tsv")
    errors = []
    with open(path, "rb") as fh:
        raw = fh.read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as exc:
        print("FAIL: not valid UTF-8: %s" % exc)
        return 1
    if "\r" in text:
        errors.append("file contains CR characters")
    if text and not text.endswith("\n"):
        errors.append("last line is not newline-terminated")
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()

    total = 0
    longest = (0, "")
    seen = {}
    keys = []
    for num, line in enumerate(lines, 1):
        fields = line.split("\t")
        if len(fields) != 2:
            errors.append("line %d: expected 2 fields, got %d" % (num, len(fields)))
            continue
        term, definition = fields
        if not term.strip() or not definition.strip():
            errors.append("line %d: empty field" % num)
        if term != term.strip() or definition != definition.strip():
            errors.append("line %d: leading/trailing spaces" % num)
        try:
            size = len(term.encode("cp1252")) + len(definition.encode("cp1252"))
        except UnicodeEncodeError:
            errors.append("line %d: character not in Windows-1252" % num)
            size = len(term.encode("utf-8")) + len(definition.encode("utf-8"))
        total += size
        if size > longest[0]:
            longest = (size, term)
        key = term.lower()
        if key in seen:
            errors.append("line %d: duplicate term %r (first on line %d)"
                          % (num, term, seen[key]))
        else:
            seen[key] = num
        keys.append((key, num))

    for (prev, _), (cur, num) in zip(keys, keys[1:]):
        if cur < prev:
            errors.append("line %d: not in case-insensitive order" % num)

    for term in REQUIRED_TERMS:
        if term.lower() not in seen:
            errors.append("required term %r has no entry" % term)
    for letter in CODE_FAMILIES:
        if not any(len(k) > 1 and k[0] == letter.lower() and k[1].isdigit() for k in seen):
            errors.append("no entry for the %s code family" % letter)

    if len(lines) != EXPECTED_LINES:
        errors.append("expected %d lines, found %d" % (EXPECTED_LINES, len(lines)))
    if total > MAX_TOTAL:
        errors.append("total size %d exceeds %d" % (total, MAX_TOTAL))

    print("lines: %d" % len(lines))
    print("unique terms: %d" % len(seen))
    print("total bytes (term + definition, cp1252): %d of %d" % (total, MAX_TOTAL))
    print("longest line: %d bytes (%s)" % (longest[0], longest[1]))
    if errors:
        for err in errors[:50]:
            print("FAIL: " + err)
        if len(errors) > 50:
            print("FAIL: ... %d more" % (len(errors) - 50))
        return 1
    print("OK")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
