#!/usr/bin/env python3
"""The house rules a reader relies on, checked over src/:
- no file longer than 500 lines and no function body longer than 80;
- outside src/win/ (the Windows layer by its folder) and the files directly in
  src/ (main.cpp, which wires them), a file's
  name ends in _win exactly when it needs Windows: a source the Windows build
  alone compiles, or a header that includes a Windows header, directly or
  through another header of ours.
Prints every breach; exits 1 when there is one."""
import os
import re
import sys

MAX_FILE, MAX_FUNCTION = 500, 80
WINDOWS_HEADERS = re.compile(r'#\s*include\s*<(windows|commctrl|shlobj|shellapi|oleacc|windowsx|objbase|shobjidl|'
                             r'tlhelp32|shlwapi|shobjidl_core|wincodec|uxtheme|dwmapi|psapi)\.h>', re.I)
OWN_INCLUDE = re.compile(r'#\s*include\s*"([^"]+)"')
NOT_A_FUNCTION = re.compile(r'^(class|struct|enum|union|extern|static_assert|inline constexpr|constexpr)\b|=\s*\{')


def code_of(line):
    """The line without a trailing // comment."""
    at = line.find('//')
    return (line if at < 0 else line[:at]).rstrip()


def long_functions(lines):
    """(line of its "{", length) of each top-level body over MAX_FUNCTION lines.
    The code is formatted: a definition begins at column 0, its body opens with
    a line ending in "{" and ends at the next "}" at column 0. A declaration (a
    line or lines ending in ";") and a definition on one line are no start."""
    start = opened = None
    for i, line in enumerate(lines):
        code = code_of(line)
        if line.startswith('}'):
            if opened is not None and not NOT_A_FUNCTION.search(lines[start].strip()) and i - opened - 1 > MAX_FUNCTION:
                yield opened + 1, i - opened - 1
            start = opened = None
        elif start is None:
            if (code and not code[0].isspace() and not code.startswith(('#', 'template', 'namespace'))
                    and not code.endswith(';') and not (code.count('{') and code.count('{') == code.count('}'))):
                start = i
                if code.endswith('{'):
                    opened = i
        elif opened is None:
            if code.endswith(';'):
                start = None  # a declaration over several lines
            elif code.endswith('{'):
                opened = i


def listed_sources(src, list_name):
    names = set()
    for folder in os.listdir(src):
        cmake = os.path.join(src, folder, 'sources.cmake')
        if not os.path.isfile(cmake):
            continue
        text = open(cmake, encoding='utf-8').read()
        for block in re.findall(r'list\(APPEND ' + list_name + r'\s+([^)]*)\)', text):
            names.update(os.path.relpath(os.path.join(os.path.dirname(src), n), src) for n in block.split())
    return names


def needs_windows_headers(src, headers):
    direct = {h: bool(WINDOWS_HEADERS.search(open(os.path.join(src, h), encoding='utf-8').read())) for h in headers}
    includes = {h: set(OWN_INCLUDE.findall(open(os.path.join(src, h), encoding='utf-8').read())) for h in headers}
    needs = {h for h, d in direct.items() if d or h.startswith('win' + os.sep)}
    changed = True
    while changed:
        changed = False
        for h in headers:
            if h not in needs and includes[h] & needs:
                needs.add(h)
                changed = True
    return needs


def main(src):
    files = sorted(os.path.relpath(os.path.join(d, f), src) for d, _, fs in os.walk(src) for f in fs
                   if f.endswith(('.cpp', '.h')))
    if not files:
        print('no sources under', src)
        return 1
    breaches = []
    for f in files:
        lines = open(os.path.join(src, f), encoding='utf-8').read().split('\n')
        if len(lines) - 1 > MAX_FILE:
            breaches.append(f'{f}: {len(lines) - 1} lines')
        breaches += [f'{f}:{at}: a function of {n} lines' for at, n in long_functions(lines)]
    # Every list of Windows-only sources: the program's and the shell DLL's.
    windows_only = listed_sources(src, r'KORVELLO_\w*WIN_SOURCES')
    windows_headers = needs_windows_headers(src, [f for f in files if f.endswith('.h')])
    for f in files:
        if f.startswith('win' + os.sep) or os.sep not in f:
            continue
        needs = f in windows_only if f.endswith('.cpp') else f in windows_headers
        marked = os.path.splitext(f)[0].endswith('_win')
        if needs != marked:
            breaches.append(f'{f}: ' + ('needs Windows: name it *_win' if needs else 'portable: no _win in its name'))
    for b in breaches:
        print(b)
    return 1 if breaches else 0


def self_test():
    """The rules fail where they must: a tree with one breach of each kind."""
    import contextlib
    import io
    import tempfile
    with tempfile.TemporaryDirectory() as top:
        src = os.path.join(top, 'src')
        os.makedirs(os.path.join(src, 'ui'))
        files = {
            'ui/sources.cmake': 'list(APPEND KORVELLO_WIN_SOURCES\n  src/ui/window.cpp\n  src/ui/ok_win.cpp\n)\n',
            'ui/window.cpp': 'int A() { return 1; }\n',
            'ui/ok_win.cpp': '#include "ui/face.h"\n',
            'ui/face.h': '#include "ui/ok_win.h"\n',
            'ui/ok_win.h': '#include <windows.h>\n',
            'ui/plain_win.h': 'int B();\n',
            'ui/long.cpp': 'int G() { return 1; }  // one line\nint H(int a,\n      int b);\nvoid F(int a = 0,\n       int b = 1) {\n' + '    a++;\n' * 81 + '}\nvoid E() {\n' + '    b++;\n' * 80 + '}\n',
            'ui/big.cpp': '// x\n' * 501,
        }
        for name, text in files.items():
            with open(os.path.join(src, name), 'w', encoding='utf-8') as f:
                f.write(text)
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            code = main(src)
        want = ['ui/window.cpp: needs Windows', 'ui/face.h: needs Windows', 'ui/plain_win.h: portable',
                'ui/long.cpp:5: a function of 81 lines', 'ui/big.cpp: 501 lines']
        missing = [w for w in want if w not in out.getvalue()]
        extra = [line for line in out.getvalue().splitlines() if not any(line.startswith(w) for w in want)]
        for m in missing:
            print('not reported:', m)
        for e in extra:
            print('reported wrongly:', e)
        return 0 if code == 1 and not missing and not extra else 1


if __name__ == '__main__':
    if sys.argv[1:] == ['--self-test']:
        sys.exit(self_test())
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'src')))
