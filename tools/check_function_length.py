#!/usr/bin/env python3
"""Lists the C++ functions under a folder that span LIMIT lines or more, counted from the line with
the function's name to its closing brace. Exits 1 when it finds one, 0 otherwise.
Usage: check_function_length.py FOLDER [LIMIT]   (LIMIT defaults to 60)

Function bodies are found by matching braces in the text with comments, string and character
literals and preprocessor lines blanked out: a brace block at namespace or class level whose header
(the text since the previous ';', '{' or '}') holds a parameter list and ends with it (or with
qualifiers such as const, override, noexcept or a trailing return type) is a body. Brace
initialisers of constructors and of data are skipped; class, struct, union, enum, namespace and
extern "C" blocks are entered."""
import os
import re
import sys

SCOPE_KEYWORDS = re.compile(r'^(?:template\s*<.*>\s*)?(?:namespace|class|struct|union|enum|extern)\b', re.S)
QUALIFIERS = re.compile(r'^(?:\s|const\b|volatile\b|override\b|final\b|noexcept\b|&|->[\w:<>,\s*&]+)*$')


def blank(text):
    """The text with comments, literals and preprocessor lines replaced by blanks (lines kept)."""
    out = []
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == '#':
            # A directive, with its continuation lines.
            while i < n and not (text[i] == '\n' and text[i - 1] != '\\'):
                out.append(' ')
                i += 1
            continue
        if c == '/' and text.startswith('//', i):
            while i < n and text[i] != '\n':
                out.append(' ')
                i += 1
            continue
        if c == '/' and text.startswith('/*', i):
            end = text.find('*/', i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:end]))
            i = end
            continue
        raw = re.match(r'R"([^(\s]*)\(', text[i:i + 20]) if c == 'R' and (i == 0 or not text[i - 1].isalnum()) else None
        if raw:
            end = text.find(')' + raw.group(1) + '"', i)
            end = n if end < 0 else end + len(raw.group(1)) + 2
            out.append('""' + re.sub(r'[^\n]', ' ', text[i + 2:end]))
            i = end
            continue
        if c in '"\'':
            j = i + 1
            while j < n and text[j] != c and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            out.append(c + ' ' * (min(j, n) - i - 1) + c)
            i = j + 1
            continue
        out.append(c)
        if c == '\n':
            line_start = True
        elif not c.isspace():
            line_start = False
        i += 1
    return ''.join(out)


def matching_brace(text, at):
    depth = 0
    for j in range(at, len(text)):
        if text[j] == '{':
            depth += 1
        elif text[j] == '}':
            depth -= 1
            if depth == 0:
                return j
    return len(text) - 1


def outside_parens(header):
    """The header with everything inside parentheses removed."""
    out, depth = [], 0
    for c in header:
        if c == '(':
            depth += 1
        elif c == ')':
            depth -= 1
        elif depth == 0:
            out.append(c)
    return ''.join(out)


def functions(text):
    """(name line, closing line) of every function body in `text` (already blanked)."""
    found = []
    header_start = 0
    i = 0
    while i < len(text):
        c = text[i]
        if c in ';}':
            header_start = i + 1
        elif c == '{':
            header = text[header_start:i]
            stripped = header.strip()
            has_parameters = '(' in stripped and ')' in stripped and \
                '=' not in re.sub(r'operator\s*[^\s(]*', '', outside_parens(stripped))
            rest = stripped[stripped.rfind(')') + 1:].strip()
            # After the parameters: qualifiers, or a constructor's completed initialiser list.
            ends_header = QUALIFIERS.match(rest) or (rest.startswith(':') and rest[-1] in ')}')
            if has_parameters and ends_header:
                close = matching_brace(text, i)
                name_at = header_start + header.index('(')
                found.append((text.count('\n', 0, name_at) + 1, text.count('\n', 0, close) + 1))
                i = close
                header_start = close + 1
            elif SCOPE_KEYWORDS.match(stripped):
                header_start = i + 1  # enter the namespace or class
            elif has_parameters:
                i = matching_brace(text, i)  # a member's brace initialiser: the header goes on
            else:
                i = matching_brace(text, i)  # data, or a scope we do not look into
                header_start = i + 1
        i += 1
    return found


def check(folder, limit):
    faults = []
    for root, _, files in os.walk(folder):
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h')):
                continue
            path = os.path.join(root, name)
            with open(path, encoding='utf-8', errors='replace') as f:
                text = blank(f.read())
            for first, last in functions(text):
                if last - first + 1 >= limit:
                    faults.append('%s:%d: function spans %d lines (limit: under %d)' % (path, first, last - first + 1, limit))
    return sorted(faults)


def main():
    if len(sys.argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    faults = check(sys.argv[1], int(sys.argv[2]) if len(sys.argv) == 3 else 60)
    for fault in faults:
        print(fault)
    if faults:
        print('function length check failed: %d function(s)' % len(faults))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
