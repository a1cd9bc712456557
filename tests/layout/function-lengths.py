#!/usr/bin/env python3
"""Lists every function in the C++ sources under a folder whose body spans more than a limit of
lines (from the line of its opening brace to the line of its closing one). Namespaces, classes,
structs, unions and enums are looked into, not counted; a braced initialiser (`= {`) is data, not a
function. Comments, strings and character literals are skipped when braces are counted.

usage: function-lengths.py FOLDER [LIMIT]    (LIMIT 100 by default; exit 1 when one is longer)
"""
import os
import re
import sys

CONTAINER = re.compile(r'\b(namespace|class|struct|union|enum)\b[^;()]*$')


def strip(text):
    """The text with comments, strings and character literals blanked, lines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i)
            i = n if j < 0 else j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j]))
            i = j
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == '_')):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            if not m:
                out.append(c)
                i += 1
                continue
            end = text.find(')' + m.group(1) + '"', i)
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j]))
            i = j
        elif c in '"\'':
            if c == "'" and i > 0 and text[i - 1].isalnum() and i + 1 < n and text[i + 1].isalnum():
                out.append(' ')  # a digit separator (1'000)
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            out.append(' ' * (min(j, n - 1) + 1 - i))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def long_functions(path, limit):
    text = strip(open(path, encoding='utf-8', errors='replace').read())
    found = []
    stack = []  # per open brace: (kind, line, header)
    header_start = 0
    line = 1
    for i, c in enumerate(text):
        if c == '\n':
            line += 1
        elif c in ';':
            if not stack or stack[-1][0] == 'container':
                header_start = i + 1
        elif c == '{':
            header = text[header_start:i]
            inside = stack[-1][0] if stack else 'container'
            if inside != 'container':
                kind = 'inner'
            elif CONTAINER.search(' '.join(header.split())) or re.search(r'=\s*$', header):
                kind = 'container' if not re.search(r'=\s*$', header) else 'data'
            elif ')' in header:
                kind = 'function'
            else:
                kind = 'data'
            stack.append((kind, line, ' '.join(header.split())[-80:]))
            header_start = i + 1
        elif c == '}':
            if not stack:
                continue
            kind, start, header = stack.pop()
            if kind == 'function' and line - start + 1 > limit:
                found.append((start, line - start + 1, header))
            if not stack or stack[-1][0] == 'container':
                header_start = i + 1
    return found


def main():
    folder = sys.argv[1]
    limit = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    status = 0
    for root, _, files in os.walk(folder):
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h')):
                continue
            path = os.path.join(root, name)
            for start, length, header in long_functions(path, limit):
                print(f'{os.path.relpath(path, folder)}:{start}: a function of {length} lines '
                      f'(the limit is {limit}): {header}', file=sys.stderr)
                status = 1
    return status


if __name__ == '__main__':
    sys.exit(main())
