#!/usr/bin/env python3
"""Writes the 64-bit list of product codes (P1 P3 P4 P7 P8 P6), one a line, read from the
product's code table, so the test packages always carry the codes the product looks for."""
import re
import sys

source, out = sys.argv[1], sys.argv[2]
with open(source, encoding="utf-8") as f:
    text = f.read()
start = text.index("kProductCodeP[8]")
codes = re.findall(r'L"(\{[0-9A-F-]{36}\})"', text[start:])[:8]
if len(codes) != 8:
    sys.exit("product_codes: expected eight codes")
order = [0, 2, 3, 6, 7, 5]
with open(out, "w", encoding="ascii") as f:
    f.write("\n".join(codes[i] for i in order) + "\n")
