#!/usr/bin/env python3
# Prints the search folding tables of ui/text_fold.cpp: for each block, one
# character per code point: its folded letter, '.' for unchanged, '-' for a
# mark that folding drops, '*' for a letter that folds to two (listed after).
import unicodedata

BLOCKS = [(0x00C0, 0x0250), (0x0370, 0x0400), (0x0400, 0x0500), (0x1E00, 0x1F00), (0x1F00, 0x2000)]
# Letters with a stroke or a ligature have no decomposition; searches fold them anyway.
EXTRA = {'ø': 'o', 'đ': 'd', 'ł': 'l', 'ħ': 'h', 'ŧ': 't', 'ı': 'i', 'ƀ': 'b', 'ƚ': 'l',
         'ƶ': 'z', 'ǥ': 'g', 'ȼ': 'c', 'ɇ': 'e', 'ɉ': 'j', 'ɍ': 'r', 'ɏ': 'y', 'æ': 'ae', 'œ': 'oe'}


def strip(text):
    return ''.join(c for c in text if unicodedata.category(c) not in ('Mn', 'Me'))


def fold(c):
    if unicodedata.category(c) in ('Mn', 'Me'):
        return '-'
    out = strip(unicodedata.normalize('NFKD', c)).casefold()
    out = strip(unicodedata.normalize('NFKD', out))
    out = ''.join(EXTRA.get(x, x) for x in out)
    if not out or not out.isalpha() or out == c or len(out) > 2:
        return '.'
    return out


expansions = []
for first, end in BLOCKS:
    row = ''
    print(f'// U+{first:04X}..U+{end - 1:04X}')
    for code in range(first, end):
        f = fold(chr(code))
        if len(f) == 2:
            expansions.append((code, f))
            f = '*'
        row += f
        if len(row) == 64:
            print(f'u"{row}"')
            row = ''
    if row:
        print(f'u"{row}"')
print(', '.join(f'{{0x{c:04X}, u"{f}"}}' for c, f in expansions))
