#!/usr/bin/env python3
"""Packs DumpCodePages' output into oci-lite/CodePageData.inc, the tables CodePages.cpp reads.

Usage: pack-code-pages.py <DumpCodePages output> <CodePageData.inc>

Each code page becomes four strings of 16-bit values, three characters a value (ALPHABET, six
bits a character, most significant first):
  leads      the lead bytes (none for a single-byte code page);
  single     the 256 bytes' characters, as runs (below);
  pairs      for each lead byte in order, the 256 characters of lead + trail, as runs;
  exceptions unit, bytes pairs where the encoding differs from the rule CodePages.cpp builds it
             by (the first byte or pair, in order, that reads as the unit; pairs with trail 0
             and the lead bytes alone do not count); bytes: a byte, lead << 8 | trail, or
             0xFFFF for a unit the code page lacks.
Runs: a header value h; h < 0x8000: h values follow; 0x8000 | n: n copies of the next value;
0xC000 | n: n values counting up from the next value.
"""
import collections
import sys

ALPHABET = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz#$"
NONE = 0xFFFF


def pack_value(value):
    return ALPHABET[value >> 12] + ALPHABET[(value >> 6) & 63] + ALPHABET[value & 63]


def pack_runs(values):
    out = []
    literal = []

    def flush():
        while literal:
            chunk = literal[:0x7FFF]
            del literal[:0x7FFF]
            out.append(len(chunk))
            out.extend(chunk)

    i = 0
    while i < len(values):
        j = i + 1
        while j < len(values) and j - i < 0x3FFF and values[j] == values[j - 1] + 1:
            j += 1
        if j - i >= 3:
            flush()
            out += [0xC000 | (j - i), values[i]]
            i = j
            continue
        j = i + 1
        while j < len(values) and j - i < 0x3FFF and values[j] == values[i]:
            j += 1
        if j - i >= 3:
            flush()
            out += [0x8000 | (j - i), values[i]]
            i = j
            continue
        literal.append(values[i])
        i += 1
    flush()
    return out


def main():
    leads = collections.defaultdict(list)
    decode = collections.defaultdict(dict)
    encode = collections.defaultdict(dict)
    pages = []
    for line in open(sys.argv[1]):
        fields = line.split()
        page = int(fields[0])
        if page not in pages:
            pages.append(page)
        kind = fields[1]
        if kind == "L":
            leads[page].append(int(fields[2], 16))
        elif kind == "D":
            decode[page][fields[2]] = [int(x, 16) for x in fields[3:]]
        elif kind == "E":
            data = [int(x, 16) for x in fields[3:]]
            encode[page][int(fields[2], 16)] = (
                NONE if not data else data[0] if len(data) == 1 else (data[0] << 8) | data[1])
    rows = []
    for page in pages:
        d = decode[page]
        lead_set = set(leads[page])
        single = []
        for b in range(256):
            units = d["%02X" % b]
            assert len(units) == 1, (page, b, units)
            single.append(units[0])
        pairs = []
        for lead in leads[page]:
            for trail in range(256):
                units = d["%02X%02X" % (lead, trail)]
                # Trail 0 ends the pair: the lead alone, then the zero.
                assert len(units) == 1 or (trail == 0 and units == [single[lead], 0]), (
                    page, lead, trail, units)
                pairs.append(units[0])
        rule = {}
        for b in range(256):
            if b not in lead_set:
                rule.setdefault(single[b], b)
        for index, lead in enumerate(leads[page]):
            for trail in range(1, 256):
                rule.setdefault(pairs[index * 256 + trail], (lead << 8) | trail)
        exceptions = []
        for unit in range(0x10000):
            if rule.get(unit, NONE) != encode[page][unit]:
                exceptions += [unit, encode[page][unit]]
        rows.append((page, leads[page], pack_runs(single), pack_runs(pairs), exceptions))
        print("%5d: %d exceptions" % (page, len(exceptions) // 2), file=sys.stderr)

    with open(sys.argv[2], "w") as out:
        out.write("// Made by oci-lite/tools/pack-code-pages.py from DumpCodePages' output (Windows'\n")
        out.write("// own conversions, read under Wine): do not edit.\n// clang-format off\n")
        for page, lead_list, single, pairs, exceptions in rows:
            out.write("{%d,\n" % page)
            for values in (lead_list, single, pairs, exceptions):
                text = "".join(pack_value(v) for v in values)
                if not text:
                    out.write(' "",\n')
                    continue
                for start in range(0, len(text), 96):
                    out.write(' "%s"\n' % text[start:start + 96])
                out.write(",\n")
            out.write("},\n")
        out.write("// clang-format on\n")


if __name__ == "__main__":
    main()
