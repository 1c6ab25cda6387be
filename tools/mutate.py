#!/usr/bin/env python3
"""Mutation testing for printzone: how many injected faults does the suite catch?

Each mutant changes one line of src/**/*.cpp or src/**/*.hpp:
  compare   flips a comparison operator written with blanks around it:
            ' < ' <-> ' <= ', ' > ' <-> ' >= ', ' == ' <-> ' != '
  off-by-one  an integer literal after a comparison or after + - += -= grows
            by one (' < 40' -> ' < 41', '- 1' -> '- 2')
  drop      a line holding one whole assignment, ++/--, or call statement
            becomes ';' (declarations, return, break, continue, case are kept)
Comment text, string and character literals, preprocessor lines and
static_assert are never touched.

For every mutant the file is changed, the tree is rebuilt incrementally in
DIR/build-mutation and the tests run with ctest (without the slow vtk_readers
test). A mutant is "killed" when a test fails or times out, "survived" when
all pass, "stillborn" when it does not compile (left out of the kill rate).
The file is restored before the next mutant and on any exit, Ctrl-C included.

Usage:
  python3 tools/mutate.py [--tree DIR] [--count N] [--seed S] [--jobs J] [--list]

All candidate sites are listed in file and line order and the sample is drawn
with random.Random(seed), so the same --count and --seed on the same sources
give the same mutants: runs before and after a change to the tests compare
directly. --list prints the sample without building anything. The report also
goes to DIR/build-mutation/report.txt.
"""
import argparse, os, random, re, signal, subprocess, sys, time
from pathlib import Path

SWAP = {'<': '<=', '<=': '<', '>': '>=', '>=': '>', '==': '!=', '!=': '=='}
COMPARE = re.compile(r'(?<= )(<=|>=|==|!=|<|>)(?= )')
BOUND = re.compile(r'(?<= )(?:<=|>=|==|!=|<|>|[-+]=?) (\d+)(?![\w.\'])')
LVAL = r'\*?[A-Za-z_]\w*(?:(?:::|\.|->)[A-Za-z_]\w*|\[[^\]]*\])*'
STATEMENT = re.compile(rf'^(?:{LVAL}\s*(?:[-+*/%&|^]|<<|>>)?=(?!=).+'
                       rf'|(?:\+\+|--){LVAL}|{LVAL}(?:\+\+|--)|{LVAL}\(.*\));$')
KEYWORDS = {'return', 'break', 'continue', 'case', 'default', 'goto', 'throw', 'delete', 'new',
            'using', 'typedef', 'if', 'for', 'while', 'switch', 'do', 'else', 'sizeof', 'assert'}


def code_lines(text):
    """Each line with comments blanked and literal contents replaced by '_',
    so that the patterns see code only (columns are kept)."""
    out, state, delim = [], None, ''  # state: None, 'block' or 'raw'
    for line in text.split('\n'):
        code, i = [], 0
        while i < len(line):
            c = line[i]
            if state == 'block':
                end = line.find('*/', i)
                stop = len(line) if end < 0 else end + 2
                code.append(' ' * (stop - i)); i = stop
                state = 'block' if end < 0 else None
            elif state == 'raw':
                end = line.find(')' + delim + '"', i)
                stop = len(line) if end < 0 else end + len(delim) + 2
                code.append('_' * (stop - i)); i = stop
                state = 'raw' if end < 0 else None
            elif line.startswith('//', i):
                break
            elif line.startswith('/*', i):
                state = 'block'
            elif c == 'R' and line.startswith('"', i + 1) and (i == 0 or not line[i - 1].isalnum()):
                paren = line.find('(', i)
                delim, state = line[i + 2:paren], 'raw'
                code.append('R"' + '_' * (paren - i - 1)); i = paren + 1
            elif c in '"\'' and not (c == "'" and i and (line[i - 1].isalnum() or line[i - 1] == '_')):
                j = i + 1
                while j < len(line) and line[j] != c:
                    j += 2 if line[j] == '\\' else 1
                code.append(c + '_' * (min(j, len(line)) - i - 1) + (c if j < len(line) else ''))
                i = j + 1
            else:
                code.append(c); i += 1
        out.append(''.join(code))
    return out


def sites(tree):
    """All mutants of the tree as (file, line number, operator, original text,
    mutated text, mutated line)."""
    found = []
    files = sorted(p for p in (tree / 'src').rglob('*') if p.suffix in ('.cpp', '.hpp'))
    for path in files:
        rel, lines = path.relative_to(tree).as_posix(), path.read_bytes().decode().split('\n')
        prev, in_assert = ';', False
        for n, (line, code) in enumerate(zip(lines, code_lines('\n'.join(lines))), 1):
            stripped = code.strip()
            if not stripped:
                continue
            if in_assert or 'static_assert' in code or stripped.startswith('#'):
                in_assert = (in_assert or 'static_assert' in code) and ';' not in code
                prev = ';'
                continue
            # (operator, match, replaced span, new text, end of the text shown
            # in the report, which starts at the operand left of the match)
            muts = []
            for m in COMPARE.finditer(code):
                right = line.find(' ', m.end() + 1)
                muts.append(('compare', m, m.span(), SWAP[m.group(1)], len(line) if right < 0 else right))
            for m in BOUND.finditer(code):
                muts.append(('off-by-one', m, m.span(1), str(int(m.group(1)) + 1), m.end(1)))
            for op, m, (s, e), new, b in muts:
                mutated = line[:s] + new + line[e:]
                a = line.rfind(' ', 0, m.start() - 1) + 1
                found.append((rel, n, op, line[a:b], mutated[a:b + len(mutated) - len(line)], mutated))
            first = re.match(r'[A-Za-z_]\w*', stripped.lstrip('+-*'))
            if (STATEMENT.match(stripped) and (not first or first.group() not in KEYWORDS)
                    and (prev[-1] in ';{}):' or prev.endswith('else'))
                    and all(stripped.count(o) == stripped.count(c) for o, c in ('()', '[]', '{}'))):
                indent = line[:len(line) - len(line.lstrip())]
                found.append((rel, n, 'drop', line.strip(), ';', indent + ';'))
            prev = stripped
    return found


def run(cmd, timeout=None):
    """Runs cmd in its own process group, killing the group on timeout or Ctrl-C.
    Returns the exit code, or None on timeout."""
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        proc.communicate(timeout=timeout)
        return proc.returncode
    except subprocess.TimeoutExpired:
        return None
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--tree', type=Path, default=Path(__file__).resolve().parents[1])
    ap.add_argument('--count', type=int, default=40)
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--jobs', type=int, default=2)
    ap.add_argument('--list', action='store_true', help='print the sampled mutants and exit')
    args = ap.parse_args()
    # A kill by SIGTERM unwinds like Ctrl-C, so the mutated file is restored.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit('mutate.py: terminated'))
    tree, build = args.tree.resolve(), args.tree.resolve() / 'build-mutation'

    candidates = sites(tree)
    sample = sorted(random.Random(args.seed).sample(candidates, min(args.count, len(candidates))))
    if args.list:
        print(f'{len(candidates)} candidate sites, {len(sample)} sampled (seed {args.seed})')
        for f, n, op, old, new, _ in sample:
            print(f'{f}:{n}  {op}  {old} -> {new}')
        return 0
    dirty = subprocess.run(['git', '-C', str(tree), 'status', '--porcelain', '--', 'src'],
                           capture_output=True, text=True, check=True).stdout
    if dirty:
        sys.exit(f'mutate.py: uncommitted changes in {tree}/src; commit or stash them first:\n{dirty}')

    make = ['cmake', '--build', str(build), '-j', str(args.jobs)]
    test = ['ctest', '--test-dir', str(build), '-j', str(args.jobs), '--timeout', '120', '-E', 'vtk_readers']
    if not (build / 'CMakeCache.txt').exists() and run(
            ['cmake', '-S', str(tree), '-B', str(build), '-DCMAKE_BUILD_TYPE=Release']) != 0:
        sys.exit('mutate.py: cmake configure failed')
    if run(make) != 0:
        sys.exit('mutate.py: the unmutated tree does not build')
    started = time.monotonic()
    if run(test) != 0:
        sys.exit(f'mutate.py: tests fail on the unmutated tree; see {build}/Testing/Temporary/LastTest.log')
    # ctest's --timeout does not cut tests that set their own TIMEOUT, so a
    # mutant that loops is also stopped by a cap on the whole test run.
    cap = max(120.0, 10 * (time.monotonic() - started))

    report, counts = [], {'killed': 0, 'survived': 0, 'stillborn': 0}
    try:
        for f, n, op, old, new, mutated in sample:
            path = tree / f
            original = path.read_bytes()
            lines = original.decode().split('\n')
            lines[n - 1] = mutated
            try:
                path.write_bytes('\n'.join(lines).encode())
                if run(make) != 0:
                    outcome = 'stillborn'
                else:
                    outcome = 'survived' if run(test, timeout=cap) == 0 else 'killed'
            finally:
                path.write_bytes(original)
            counts[outcome] += 1
            report.append(f'{outcome:<9}  {f}:{n}  {op}  {old} -> {new}')
            print(report[-1], flush=True)
    finally:
        tried = counts['killed'] + counts['survived']
        rate = f'{100 * counts["killed"] / tried:.1f}%' if tried else 'n/a'
        report.append(f'\n{len(report)} of {len(sample)} mutants: {counts["killed"]} killed, '
                      f'{counts["survived"]} survived, {counts["stillborn"]} stillborn; kill rate {rate}')
        print(report[-1])
        (build / 'report.txt').write_text('\n'.join(report) + '\n')
    return 0


if __name__ == '__main__':
    sys.exit(main())
