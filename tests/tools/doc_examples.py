#!/usr/bin/env python3
"""The shell examples of the user's documents, run as they are printed.

    doc_examples.py SOURCE_DIR BUILD_DIR

Every ```console block of README.md and docs/reading.md is a transcript: a
line that begins with "$ " is a command, and the lines under it, up to the
next command, are what it prints (standard output and standard error as a
terminal shows them together). The blocks run in the order of the documents,
each in a fresh bash in out/example/ of a scratch tree laid out as the Quick
start leaves a clone: example/, build/ (the programs under test, first on
PATH) and out/example/ holding the example converted with every run option.
What a block makes stays for the blocks after it, as for a reader who follows
the documents. A code block followed by a paragraph that begins "Saved as
`NAME`" is written to out/example/NAME before the first block runs.

Two things that a printed transcript holds and a script does not:
- answers typed at the terminal: the comment `<!-- typed: A | B | C -->`
  right before a block gives them as its standard input, and the lines that
  echo them are taken out of the transcript before it is compared;
- what differs from run to run: qxbatch's durations "in M:SS" are compared
  as "in 0:00", and its progress lines "[K/N] ..." without K and in sorted
  order, as cases converted side by side end in any order.

The python3 on PATH is the one running this script (it must have NumPy, h5py
and meshio). Exit 0 when every command prints what its document shows.
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

DOCUMENTS = ['README.md', 'docs/reading.md']
SEPARATOR = '\x1e'  # printed before each command, to split the block's output


class Block:
    def __init__(self, document, line, commands, typed):
        self.document, self.line = document, line
        self.commands = commands  # [(command, expected lines)]
        self.typed = typed


def parse(document, text):
    """The console blocks of a document, and the code blocks it saves."""
    lines = text.split('\n')
    blocks, saved = [], {}
    k = 0
    while k < len(lines):
        fence = re.match(r'^```(\w*)$', lines[k])
        if not fence:
            k += 1
            continue
        end = lines.index('```', k + 1)
        body = lines[k + 1:end]
        if fence.group(1) == 'console':
            typed = []
            before = k - 1
            while before >= 0 and lines[before] == '':
                before -= 1
            comment = re.match(r'^<!-- typed: (.*) -->$', lines[before]) if before >= 0 else None
            if comment:
                typed = [a.strip() for a in comment.group(1).split('|')]
            commands = []
            for line in body:
                if line.startswith('$ '):
                    commands.append((line[2:], []))
                elif commands:
                    commands[-1][1].append(line)
                else:
                    raise SystemExit(f'{document}:{k + 1}: a console block begins with output, not a command')
            blocks.append(Block(document, k + 1, commands, typed))
        else:
            after = end + 1
            while after < len(lines) and lines[after] == '':
                after += 1
            name = re.match(r'^Saved as `([^`/]+)`', lines[after]) if after < len(lines) else None
            if name:
                saved[name.group(1)] = '\n'.join(body) + '\n'
        k = end + 1
    return blocks, saved


def without_typed(block):
    """The block's commands with the lines that echo its typed answers taken
    out of what they print, in the order the answers were typed."""
    left, commands = list(block.typed), []
    for command, expected in block.commands:
        kept = []
        for line in expected:
            if left and line == left[0]:
                left.pop(0)
            else:
                kept.append(line)
        commands.append((command, kept))
    if left:
        raise SystemExit(f'{block.document}:{block.line}: the typed answers {left} are not in the transcript')
    return commands


def normalised(text):
    """Text as compared: durations as 0:00, and qxbatch's progress lines
    without their counter and sorted, since cases converted side by side end
    in any order."""
    lines, progress = [], []
    for line in re.sub(r'\bin \d+:\d\d\b', 'in 0:00', text).split('\n'):
        counted = re.match(r'^qxbatch: \[\d+/(\d+)\] (.*)$', line)
        if counted:
            progress.append(f'qxbatch: [{counted.group(1)}] {counted.group(2)}')
            continue
        lines += sorted(progress) + [line]
        progress = []
    return '\n'.join(lines + sorted(progress))


def prepare(top, source, build):
    """The scratch tree: the example, the programs, the example converted."""
    shutil.copytree(os.path.join(source, 'example'), os.path.join(top, 'example'))
    os.symlink(build, os.path.join(top, 'build'))
    work = os.path.join(top, 'out', 'example')
    os.makedirs(work)
    for name in ('case1.qxin', 'case1.TP18', 'case1.TP19'):
        shutil.copy(os.path.join(source, 'example', name), work)
    subprocess.run([os.path.join(build, 'qxconv'), '-stru', '-spec', '-ampl', '-wave', '-maxr', '-four'],
                   input=b'case1.qxin\ncase1.TP18\nNo\n', cwd=work, stdout=subprocess.DEVNULL, check=True)
    tools = os.path.join(top, 'bin')
    os.makedirs(tools)
    os.symlink(sys.executable, os.path.join(tools, 'python3'))
    return work, tools


def run_block(block, work, env):
    script = 'exec 2>&1\n' + ''.join(f"printf '{SEPARATOR}\\n'\n{command}\n" for command, _ in block.commands)
    r = subprocess.run(['bash', '-c', script], input='\n'.join(block.typed + ['']).encode() if block.typed else b'',
                       cwd=work, env=env, stdout=subprocess.PIPE, timeout=600)
    parts = r.stdout.decode('utf-8', 'replace').split(SEPARATOR + '\n')
    return parts[1:] + [''] * (len(block.commands) + 1 - len(parts))


def main():
    source, build = (os.path.abspath(a) for a in sys.argv[1:3])
    faults = commands = 0
    blocks, saved = [], {}
    for document in DOCUMENTS:
        with open(os.path.join(source, document), encoding='utf-8') as f:
            b, s = parse(document, f.read())
        if not b:
            print(f'doc_examples: {document} holds no console block', file=sys.stderr)
            faults += 1
        blocks += b
        saved.update(s)
    with tempfile.TemporaryDirectory() as top:
        work, tools = prepare(top, source, build)
        for name, text in saved.items():
            with open(os.path.join(work, name), 'w', encoding='utf-8') as f:
                f.write(text)
        env = dict(os.environ, PATH=f'{tools}:{os.path.join(top, "build")}:{os.environ["PATH"]}', LC_ALL='C')
        for block in blocks:
            outputs = run_block(block, work, env)
            for (command, shown), got in zip(without_typed(block), outputs):
                commands += 1
                where = f'{block.document}:{block.line}'
                want = ''.join(line + '\n' for line in shown)
                if normalised(got) != normalised(want):
                    faults += 1
                    print(f'doc_examples: {where}: $ {command}', file=sys.stderr)
                    sys.stderr.writelines(difflib.unified_diff(want.splitlines(True), got.splitlines(True),
                                                               'as printed', 'as run'))
    print(f'doc_examples: {commands} commands in {len(blocks)} blocks of {", ".join(DOCUMENTS)}, '
          f'{len(saved)} files saved, {faults} faults')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
