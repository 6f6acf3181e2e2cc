"""What the read-back tests share: the list of disagreements and its report,
running the programs, and a file's records as `qxdump --records` lists them.

The tests import it from their own folder, where Python looks first for a
script's imports; it needs NumPy, so they import it after they have checked
that NumPy is there.
"""
import re
import subprocess

import numpy as np

failures = []


def fail(where, what):
    failures.append(f'{where}: {what}')


def report(summary):
    """Prints the first disagreements and the summary line; the exit status."""
    for f in failures[:50]:
        print(f)
    print(summary)
    return 1 if failures else 0


def run(argv, stdin=None, cwd=None):
    r = subprocess.run(argv, input=stdin, cwd=cwd, capture_output=True, text=True)
    if r.returncode != 0:
        raise SystemExit(f'{" ".join(argv)} failed ({r.returncode}): {r.stderr}')
    return r


def listing(qxdump, path):
    """Model records and blocks as `qxdump --records` lists them: model
    records by name as (offset, length); blocks with their number, kind,
    codes nc1..nc6 (for maxima: code, nc2 and zeros) and records as (offset,
    length, role)."""
    model, blocks = {}, []
    for line in run([qxdump, '--records', path]).stdout.splitlines():
        m = re.match(r'^block (\d+) @\d+ (\S+)(.*)$', line)
        if m:
            nc = re.search(r'nc=([-\d,]+)', m[3])
            code = re.search(r'code=(-?\d+) nc2=(-?\d+)', m[3])
            codes = [int(v) for v in nc[1].split(',')] if nc else \
                [int(code[1]), int(code[2]), 0, 0, 0, 0] if code else None
            blocks.append({'number': int(m[1]), 'kind': m[2], 'nc': codes, 'records': []})
            continue
        m = re.match(r'^  (\w+) @(\d+) length=(\d+)', line)
        if m and not blocks:
            model.setdefault(m[1], []).append((int(m[2]), int(m[3])))
            continue
        m = re.match(r'^  record @(\d+) length=(\d+) (\S+)', line)
        if m and blocks:
            blocks[-1]['records'].append((int(m[1]), int(m[2]), m[3]))
    return model, blocks


class File:
    """A record file's bytes and listing. A converted file in big-endian
    order begins with the model counts' length marker 116 read big-endian;
    result files are read little-endian."""

    def __init__(self, qxdump, path, converted):
        self.path = path
        self.bytes = np.fromfile(path, dtype=np.uint8)
        self.converted = converted
        self.e = '>' if converted and self.bytes[:4].view('>i4')[0] == 116 else '<'
        self.model, self.blocks = listing(qxdump, path)

    def payload(self, offset, length, dtype):
        """A record's payload as values of dtype in host order."""
        return self.bytes[offset + 4:offset + 4 + length].view(self.e + dtype).astype('=' + dtype)
