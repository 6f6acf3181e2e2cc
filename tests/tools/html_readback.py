#!/usr/bin/env python3
"""qxdump --html against the bytes of the files it shows.

Generates a case whose histories are long enough to be reduced, converts it
big-endian with qxconv, and writes one page of its four converted files and
its two result files. Then reads the page's JSON index and array block and,
for every block, the records of the file with NumPy at the offsets that
`qxdump --records` lists, and checks:
  - every curve: its count, its kept samples (values bit for bit), the
    envelope (the first smallest and first largest sample of each of the
    buckets, the first and last samples), the peak and where it stands, the
    abscissa (axis record, k*dt in double precision, or k);
  - every maxima table: identifiers, values and each column's largest
    magnitude;
  - every model: nodes, boundary lists and element rows, held once for the
    files that share it.

usage: html_readback.py QXGEN QXCONV QXDUMP
Exit status 0 when everything agrees, 1 with the disagreements listed, 77
when NumPy is missing.
"""
import base64
import json
import os
import re
import sys
import tempfile

try:
    import numpy as np
except ImportError as e:  # pragma: no cover - depends on the machine
    print(f'skipped: {e}')
    sys.exit(77)

from readback_common import File, fail, failures, report, run  # noqa: E402 (after the check for NumPy)

QXGEN, QXCONV, QXDUMP = (os.path.abspath(p) for p in sys.argv[1:4])
checked = {'curves': 0, 'reduced': 0, 'tables': 0, 'models': 0}


def page_data(path):
    text = open(path, encoding='utf-8').read()
    index = json.loads(re.search(r'<script type="application/json" id="qx-index">(.*?)</script>', text, re.S)[1])
    lines = re.search(r'<script type="text/plain" id="qx-arrays">(.*?)</script>', text, re.S)[1].split('\n')
    types = {'f': '<f4', 'i': '<i4', 'u': '<u4'}

    def array(i):
        line = lines[i]
        return np.frombuffer(base64.b64decode(line[2:]), dtype=types[line[0]]).astype('=' + types[line[0]][1:])
    return index, array


def real(v):
    return float(v) if not isinstance(v, str) else {'NaN': np.nan, 'Infinity': np.inf, '-Infinity': -np.inf}[v]


def bits(a):
    return np.asarray(a, dtype=np.float32).view(np.uint32)


def first_peak(y):
    """Index of the first sample of the largest magnitude, NaN aside."""
    a = np.abs(y.astype(np.float64))
    if np.all(np.isnan(a)):
        return None
    return int(np.nanargmax(a))


def check_curve(where, c, y, x_of, buckets, array):
    n = len(y)
    if c['count'] != n:
        fail(where, f"count {c['count']}, the record holds {n}")
        return
    got = array(c['y'])
    k = array(c['k']).astype(np.int64) if 'k' in c else np.arange(len(got))
    if c['whole'] != (n <= 2 * buckets) or (c['whole'] and 'k' in c):
        fail(where, f"whole is {c['whole']} for {n} values")
    if len(k) != len(got) or (len(k) and (np.any(np.diff(k) <= 0) or k[0] < 0 or k[-1] >= n)):
        fail(where, 'kept samples not in order or out of the curve')
        return
    if not np.array_equal(bits(got), bits(y[k])):
        fail(where, 'kept values differ from the record')
    if n and (k[0] != 0 or k[-1] != n - 1):
        fail(where, 'first or last sample not kept')
    if not c['whole']:
        checked['reduced'] += 1
        if len(k) > 2 * buckets + 3:
            fail(where, f'{len(k)} samples kept of {n}')
        kept = set(k.tolist())
        for b in range(buckets):
            lo, hi = b * n // buckets, (b + 1) * n // buckets
            seg = y[lo:hi]
            if np.all(np.isnan(seg)):
                need = {lo}
            else:
                need = {lo + int(np.nanargmin(seg)), lo + int(np.nanargmax(seg))}
            if not need <= kept:
                fail(where, f'bucket {b}: samples {sorted(need - kept)} missing')
                break
    p = first_peak(y)
    if p is None:
        if 'peak' in c:
            fail(where, 'a peak of NaN alone')
    elif c.get('peakIndex') != p or bits([real(c.get('peak', 'NaN'))])[0] != bits([y[p]])[0]:
        fail(where, f"peak {c.get('peak')} at {c.get('peakIndex')}, the record's is {y[p]} at {p}")
    else:
        # An axis record's abscissa is a real4 (written in its fewest
        # digits), k*dt a double.
        at, want = real(c['peakAt']), x_of(p)
        if 'x' in c:
            at, want = bits([at])[0], bits([want])[0]
        if at != want and not (np.isnan(at) and np.isnan(want)):
            fail(where, f"peak at {c['peakAt']}, expected {x_of(p)}")
    if 'x' in c:
        xs = array(c['x'])
        exp = np.array([x_of(int(i)) for i in k], dtype=np.float32)
        if not np.array_equal(bits(xs), bits(exp)):
            fail(where, 'abscissae differ from the axis record')
    checked['curves'] += 1


def check_block(where, f, b, listed, buckets, array):
    data = [r for r in listed['records'] if r[2] == 'data']
    if b['maxima']:
        check_maxima(where, f, b, data, array)
        return
    curves = b['curves']
    tp18 = f.path.endswith('TP18')
    spectrum = b['kind'] in ('FOUR', 'AMPL')
    axis_record = f.converted and tp18 and spectrum
    rec2 = [r for r in listed['records'] if r[2] == 'REC2']
    step = None
    if rec2:
        off, length, _ = rec2[0]
        step = float(f.payload(off, 8, 'f4')[1]) if f.converted else float(f.payload(off, 12, 'u1')[4:12].view('<f8')[0])
    values = data[1:] if axis_record and data else data
    if len(curves) != len(values):
        fail(where, f'{len(curves)} curves for {len(values)} value records')
        return
    if axis_record and data:
        axis = f.payload(data[0][0], data[0][1], 'f4')
        expect_axis = 'frequency'
        x_of = lambda k: float(axis[k]) if k < len(axis) else np.nan
    elif b['kind'] == 'WAVE' or (spectrum and not f.converted):
        expect_axis = 'time' if b['kind'] == 'WAVE' else 'frequency'
        if not (step > 0 and np.isfinite(step)):
            expect_axis = 'index'
        x_of = (lambda k: k * step) if expect_axis != 'index' else float
    else:
        expect_axis, x_of = 'index', float
    if axis_record and data and not (np.all(np.isfinite(axis)) and np.all(np.diff(axis) >= 0)):
        expect_axis, x_of = 'index', float
    if b['axis'] != expect_axis:
        fail(where, f"axis {b['axis']}, expected {expect_axis}")
        return
    if expect_axis in ('time', 'frequency') and not axis_record and real(b['axisStep']) != step:
        fail(where, f"step {b['axisStep']}, the file's is {step!r}")
    for i, (c, r) in enumerate(zip(curves, values)):
        check_curve(f'{where} curve {i + 1}', c, f.payload(r[0], r[1] // 4 * 4, 'f4'), x_of, buckets, array)


def check_maxima(where, f, b, data, array):
    t = b.get('table')
    if not data:
        if t:
            fail(where, 'a table without a data record')
        return
    if not t:
        fail(where, 'no table')
        return
    words = f.payload(data[0][0], data[0][1], 'i4')
    na = int(words[0])
    two = 'id2' in t
    if not f.converted:
        id1, id2 = words[1:1 + na], words[1 + na:1 + 2 * na]
    elif two:
        id1, id2 = words[1:1 + 2 * na:2], words[2:2 + 2 * na:2]
    else:
        id1, id2 = words[1:1 + na], None
    start = 1 + (2 if two or not f.converted else 1) * na
    reals = f.payload(data[0][0], data[0][1], 'f4')[start:]
    per = len(t['names'])
    if t['na'] != na or len(reals) != na * per or t['rows'] != min(na, 5000):
        fail(where, f"na {t['na']} rows {t['rows']} columns {per}, the record has na {na} and {len(reals)} reals")
        return
    rows = t['rows']
    if not np.array_equal(array(t['id1']), id1[:rows]) or (two and not np.array_equal(array(t['id2']), id2[:rows])):
        fail(where, 'identifiers differ')
    if not np.array_equal(bits(array(t['values'])), bits(reals[:rows * per])):
        fail(where, 'values differ')
    table = reals.reshape(na, per)
    for col, p in enumerate(t['columnPeaks']):
        item = first_peak(table[:, col])
        if item is None:
            if p is not None:
                fail(where, f'column {col}: a peak of NaN alone')
        elif p is None or p['item'] != item or bits([real(p['value'])])[0] != bits([table[item, col]])[0]:
            fail(where, f'column {col}: peak {p}, the record has {table[item, col]} at item {item}')
        elif p['id1'] != id1[item]:
            fail(where, f'column {col}: item identifier {p["id1"]}, the record has {id1[item]}')
    checked['tables'] += 1


def check_model(where, f, m, array):
    nodes = f.model['nodes'][0]
    words = f.payload(nodes[0], nodes[1], 'i4')
    n = len(words) // 3
    if not (np.array_equal(array(m['nodes']['number']), words[:n]) and
            np.array_equal(bits(array(m['nodes']['x'])), words[n:2 * n].view(np.uint32)) and
            np.array_equal(bits(array(m['nodes']['z'])), words[2 * n:].view(np.uint32))):
        fail(where, 'nodes differ')
    bound = f.model['bound'][0]
    words = f.payload(bound[0], bound[1], 'i4')
    b = m['boundary']
    lists = np.concatenate([array(i) for side in ('left', 'right', 'base') for i in b[side]])
    if b['keyb'] + b['nbound'] != words[:6].tolist() or not np.array_equal(lists, words[6:]):
        fail(where, 'boundary lists differ')
    heads = [h for h in f.model if h not in ('counts', 'bound', 'nodes')]
    if [e['kind'] for e in m['elements']] != heads:
        fail(where, f"element records {[e['kind'] for e in m['elements']]}, the file lists {heads}")
        return
    for e in m['elements']:
        off, length = f.model[e['kind']][0]
        words = f.payload(off, length, 'i4')
        count = int(words[0])
        if e['count'] != count or not np.array_equal(array(e['rows']), words[1:1 + 5 * count]):
            fail(where, f"{e['kind']} rows differ")
    checked['models'] += 1


def main():
    with tempfile.TemporaryDirectory() as tmp:
        run([QXGEN, '--out', os.path.join(tmp, 'case'), '--seed', '5', '--size', '8M'])
        run([QXCONV], 'case.qxin\ncase.TP18\nYes\n', tmp)
        names = ['case_QX2D.TP18', 'case_QXSH.TP18', 'case_QX2D.TP19', 'case_QXSH.TP19', 'case.TP18', 'case.TP19']
        paths = [os.path.join(tmp, n) for n in names]
        page = os.path.join(tmp, 'case.html')
        run([QXDUMP, '--html', page] + paths)
        index, array = page_data(page)
        files = [File(QXDUMP, p, '_QX' in p) for p in paths]

        if [f['path'] for f in index['files']] != paths:
            fail('files', [f['path'] for f in index['files']])
        blocks = index['blocks']
        expected = [(i, b['number']) for i, f in enumerate(files) for b in f.blocks]
        if [(b['file'], b['number']) for b in blocks] != expected:
            fail('blocks', 'not every block of every file, in file order')
        else:
            for b in blocks:
                f = files[b['file']]
                listed = f.blocks[b['number'] - 1]
                where = f"{names[b['file']]} block {b['number']} {b['kind']}"
                if b['kind'] != listed['kind']:
                    fail(where, f"listed as {listed['kind']}")
                    continue
                check_block(where, f, b, listed, index['buckets'], array)

        # Models: one per distinct section (SV and SH), each checked against
        # the first file that begins with it; result files begin with none.
        models = [f['model'] for f in index['files']]
        if models[0] != models[2] or models[1] != models[3] or models[0] == models[1] or models[4:] != [-1, -1]:
            fail('models', f'files point at models {models}')
        if len(index['models']) != 2:
            fail('models', f"{len(index['models'])} models held")
        for i, m in enumerate(index['models']):
            check_model(f'model {i}', files[models.index(i)], m, array)

    if checked['reduced'] < 50 or checked['tables'] < 20 or checked['models'] != 2:
        fail('coverage', f'too little checked: {checked}')
    return report(f"{len(failures)} disagreements; {checked['curves']} curves ({checked['reduced']} reduced), "
                  f"{checked['tables']} maxima tables, {checked['models']} models checked")


if __name__ == '__main__':
    sys.exit(main())
