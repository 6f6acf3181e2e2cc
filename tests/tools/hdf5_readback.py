#!/usr/bin/env python3
"""qxdump --hdf5 against an independent reading of the same files.

Generates cases with qxgen, converts them with qxconv in both byte orders,
exports every converted file (SV and SH, TP18 and TP19) and the result files
with qxdump --hdf5, then reads each record file with NumPy alone, by its
length markers and the record rules of docs/file-formats.md, and the HDF5
file with h5py, and compares every header field and every value bit for bit
(reals as their 32-bit patterns).

usage: hdf5_readback.py QXGEN QXCONV QXDUMP
Exit status 0 when everything agrees, 1 with the disagreements listed, 77
when h5py or NumPy is missing.
"""
import os
import sys
import tempfile

try:
    import h5py
    import numpy as np
except ImportError as e:  # pragma: no cover - depends on the machine
    print(f'skipped: {e}')
    sys.exit(77)

from readback_common import fail, failures, report, run  # noqa: E402 (after the check for NumPy)

QXGEN, QXCONV, QXDUMP = sys.argv[1:4]

# Converted maxima records by the code written: identifier words per item,
# reals per item, whether the reals are pairs, and for SV and SH the
# component read behind each value (or pair); 0 is a zero filler.
CONVERTED_MAXIMA = {
    101: (1, 4, True, [1, 3], [2, 0]),
    102: (1, 4, True, [1, 3], [2, 0]),
    103: (2, 4, True, [1, 3], [2, 0]),
    104: (1, 4, True, [1, 3], [2, 0]),
    105: (1, 3, False, [1, 3, 6], [4, 5, 0]),
    106: (1, 4, False, [1, 2, 3, 4], None),
    107: (1, 2, False, [1, 2], [0, 3]),
    108: (1, 1, False, [4], None),
    109: (1, 1, False, [1], None),
    110: (1, 3, False, [1, 2, 3], None),
    111: (1, 3, False, [0, 1, 3], None),
    112: (1, 3, False, [0, 1, 3], None),
}
# Component counts of maxima codes in a TP18 file (108 and codes above 112:
# from the record's length).
READ_MAXIMA_ND = {104: 3, 105: 9, 106: 5, 107: 4, 109: 1, 110: 3, 111: 4, 112: 4}
# Element records of the model section: name, count slot, densities follow.
SV_ELEMENTS = [('solid', 1, True), ('beam', 2, False), ('spring', 3, False),
               ('rotational_spring', 3, False), ('water', 5, False), ('water_boundary', 6, False),
               ('shell', 7, False), ('rigid', 8, False), ('joint', 10, False), ('void', 9, False)]
SH_ELEMENTS = [('solid', 1, True), ('spring', 3, False)]

checked = {'values': 0, 'files': 0}
kinds_seen = set()
maxima_seen = set()


def same(where, h5_value, expected):
    """An HDF5 value (dataset or attribute) has the type and shape of the
    expected array and the same bytes (in host order)."""
    got = np.asarray(h5_value)
    exp = np.asarray(expected)
    exp = exp.astype(exp.dtype.newbyteorder('='))
    if got.shape != exp.shape or got.dtype.kind != exp.dtype.kind or got.dtype.itemsize != exp.dtype.itemsize:
        fail(where, f'{got.dtype} {got.shape}, the file gives {exp.dtype} {exp.shape}')
        return
    if not np.array_equal(np.atleast_1d(got).view(np.uint8), np.atleast_1d(exp).view(np.uint8)):
        fail(where, f'values differ: {got.ravel()[:4]} ... against {exp.ravel()[:4]} ...')
    checked['values'] += exp.size


def records(path, e):
    """Every record of a file as (offset, payload bytes)."""
    raw = np.fromfile(path, dtype=np.uint8)
    pos, out = 0, []
    while pos < raw.size:
        n = int(raw[pos:pos + 4].view(e + 'i4')[0])
        assert raw[pos + 4 + n:pos + 8 + n].view(e + 'i4')[0] == n, f'{path}: bad marker at {pos}'
        out.append((pos, raw[pos + 4:pos + 4 + n]))
        pos += n + 8
    return out


class Reader:
    """The records of a file taken in order."""

    def __init__(self, recs):
        self.recs, self.i = recs, 0

    def more(self):
        return self.i < len(self.recs)

    def take(self):
        self.i += 1
        return self.recs[self.i - 1]


def check_model(path, rd, e, side, g):
    where = f'{path} /model'
    counts = rd.take()[1].view(e + 'i4')
    same(where + ' title', np.frombuffer(g.attrs['title'], np.uint8),
         np.frombuffer(counts[:18].astype('<i4').tobytes().rstrip(b'\0'), np.uint8))
    same(where + ' ndpt', g.attrs['ndpt'], counts[18])
    same(where + ' nelm', g.attrs['nelmh' if side == 'SH' else 'nelm'], counts[19:29])
    ndpt, nelm = int(counts[18]), counts[19:29]

    bound = rd.take()[1].view(e + 'i4')
    b = g['boundary']
    same(where + ' keyb', b.attrs['keyb'], bound[0:3])
    same(where + ' nbound', b.attrs['nbound'], bound[3:6])
    nb = [max(int(n), 0) for n in bound[3:6]]
    at = 6
    for name, n, lists in (('left', nb[0], 2), ('right', nb[1], 2), ('base', nb[2], 1)):
        if lists == 2:
            same(f'{where} boundary/{name}', b[name], np.column_stack([bound[at:at + n], bound[at + n:at + 2 * n]]))
        else:
            same(f'{where} boundary/{name}', b[name], bound[at:at + n])
        at += lists * n

    nodes = rd.take()[1]
    same(where + ' nodes/number', g['nodes/number'], nodes[:4 * ndpt].view(e + 'i4'))
    same(where + ' nodes/x', g['nodes/x'], nodes[4 * ndpt:8 * ndpt].view(e + 'f4'))
    same(where + ' nodes/z', g['nodes/z'], nodes[8 * ndpt:].view(e + 'f4'))

    held = set()
    for name, slot, densities in (SH_ELEMENTS if side == 'SH' else SV_ELEMENTS):
        n = int(nelm[slot - 1])
        if n <= 0:
            continue
        rec = rd.take()[1]
        held.add(name)
        same(f'{where} elements/{name}', g['elements/' + name], rec[4:4 + 20 * n].view(e + 'i4').reshape(n, 5))
        if densities:
            same(f'{where} elements/{name}_density', g[f'elements/{name}_density'], rec[4 + 20 * n:].view(e + 'f4'))
    tables = {k for k in g['elements'] if not k.endswith('_density')} if 'elements' in g else set()
    if tables != held:
        fail(where, f'element tables {sorted(tables)}, the file holds {sorted(held)}')


def ordinary_values(where, g, data, axis, rule):
    """An ordinary block's data records: the axis records, then `values`."""
    names = set(g)
    expected = set()
    if axis and data:
        same(where + ' frequency', g['frequency'], data[0])
        expected.add('frequency')
    values = data[axis:]
    if values:
        expected.add('values')
        if rule - axis >= 2 and all(v.size == values[0].size for v in values):
            same(where + ' values', g['values'], np.stack(values))
        else:
            same(where + ' values', g['values'], values[0])
            for k, v in enumerate(values[1:], start=axis + 2):
                same(f'{where} record_{k}', g[f'record_{k}'], v)
                expected.add(f'record_{k}')
    if names != expected:
        fail(where, f'datasets {sorted(names)}, expected {sorted(expected)}')


def maxima_values(where, g, rec, e, ids, reals, pairs, na, components):
    words = rec.view(e + 'i4')
    if ids == 2:
        id1, id2 = words[1:1 + 2 * na:2], words[2:2 + 2 * na:2]
    else:
        id1, id2 = words[1:1 + na], None
    start = 4 * (1 + ids * na)
    flat = rec[start:].view(e + 'f4')
    same(where + ' item_id1', g['item_id1'], id1)
    if id2 is not None:
        same(where + ' item_id2', g['item_id2'], id2)
    elif 'item_id2' in g:
        fail(where, 'item_id2 where the record holds one identifier per item')
    name = 'pairs' if pairs else 'values'
    shape = (na, reals // 2, 2) if pairs else (na, reals)
    same(f'{where} {name}', g[name], flat.reshape(shape))
    if components is not None:
        same(where + ' components', g[name].attrs['components'], np.array(components, np.int32))


def check_converted_blocks(path, rd, e, family, side, blocks):
    number, last_107_data = 0, False
    while rd.more():
        offset, rec1 = rd.take()
        number += 1
        name = rec1[:4].tobytes().decode('ascii')
        h = rec1[4:].view(e + 'i4')
        where = f'{path} block {number} ({name} at {offset})'
        g = blocks[f'{number:06d}']
        kinds_seen.add((family, 'converted', name))
        if g.attrs['kind'] != name or g.attrs['offset'] != offset:
            fail(where, f'kind {g.attrs["kind"]} at {g.attrs["offset"]}')
        for i in range(6):
            same(f'{where} nc{i + 1}', g.attrs[f'nc{i + 1}'], h[i])
        same(where + ' dap', g.attrs['dap'], rec1[28:32].view(e + 'f4')[0])
        same(where + ' lrec', g.attrs['lrec'], h[7])
        if name == 'MAXR':
            code = int(h[0])
            has_data = (100 < code <= 112 and code != 108) or (code == 108 and last_107_data)
            last_107_data = code == 107 and has_data
            if not has_data:
                if set(g):
                    fail(where, f'datasets {sorted(g)} for a maxima header without data')
                continue
            rec = rd.take()[1]
            ids, reals, pairs, sv, sh = CONVERTED_MAXIMA[code]
            maxima_seen.add((side, code))
            na = int(rec[:4].view(e + 'i4')[0])
            maxima_values(where, g, rec, e, ids, reals, pairs, na, sh if side == 'SH' else sv)
            continue
        last_107_data = False
        rec2 = rd.take()[1]
        same(where + ' nsize2', g.attrs['nsize2'], rec2[:4].view(e + 'i4')[0])
        same(where + ' dtt', g.attrs['dtt'], rec2[4:8].view(e + 'f4')[0])
        same(where + ' yt', g.attrs['yt'], rec2[8:24].view(e + 'f4'))
        if family == 'TP19':
            rule, axis = (0 if name == 'INFO' else 1), 0
        else:
            rule = {'WAVE': 1, 'FOUR': 3, 'AMPL': 3, 'SPEC': 2}.get(name, 0)
            axis = 1 if name in ('FOUR', 'AMPL') else 0
        data = [rd.take()[1].view(e + 'f4') for _ in range(rule)]
        ordinary_values(where, g, data, axis, rule)
    return number


def tp18_dropped(name, nc):
    """Records that a TP18 reader passes over for a block it drops, else None."""
    nc1, nc2, nc3 = nc[0], nc[1], nc[2]
    if nc1 == 13 or nc1 > 33:
        return 2
    if nc2 == 5:
        return 2 if nc1 > 10 else 1
    if name == 'AMPL' and ((nc2 == 2 and nc3 in (1, 3)) or (nc2 in (1, 3) and nc3 == 2)):
        return 2
    return None


def check_result_blocks(path, rd, family, blocks):
    number = 0
    while rd.more():
        offset, rec1 = rd.take()
        number += 1
        name = rec1[:4].tobytes().decode('ascii')
        h = rec1[4:].view('<i4') if len(rec1) % 4 == 0 else rec1[4:4 + 4 * ((len(rec1) - 4) // 4)].view('<i4')
        where = f'{path} block {number} ({name} at {offset})'
        g = blocks[f'{number:06d}']
        kinds_seen.add((family, 'result', name))
        if g.attrs['kind'] != name or g.attrs['offset'] != offset:
            fail(where, f'kind {g.attrs["kind"]} at {g.attrs["offset"]}')
        if name == 'MAXR' and family == 'TP18':
            code = int(h[0])
            same(where + ' nc1', g.attrs['nc1'], h[0])
            same(where + ' nc2', g.attrs['nc2'], h[1])
            same(where + ' lrec', g.attrs['lrec'], h[2])
            rec = rd.take()[1]
            na = int(rec[:4].view('<i4')[0])
            nd = 6 if code <= 103 else READ_MAXIMA_ND.get(code)
            if nd is None and na > 0 and (len(rec) - 4 - 8 * na) % (8 * na) == 0 and len(rec) >= 4 + 8 * na:
                nd = (len(rec) - 4 - 8 * na) // (8 * na)
            if nd and na >= 0 and len(rec) == 4 + 8 * na + 8 * nd * na:
                words = rec.view('<i4')
                same(where + ' nd', g.attrs['nd'], np.int32(nd))
                same(where + ' item_id1', g['item_id1'], words[1:1 + na])
                same(where + ' item_id2', g['item_id2'], words[1 + na:1 + 2 * na])
                same(where + ' pairs', g['pairs'], rec[4 + 8 * na:].view('<f4').reshape(na, nd, 2))
                same(where + ' components', g['pairs'].attrs['components'], np.arange(1, nd + 1, dtype=np.int32))
                maxima_seen.add(('read', code))
            else:
                same(where + ' record_1', g['record_1'], rec[:len(rec) // 4 * 4].view('<u4'))
                maxima_seen.add(('read, not fitting', code))
            continue
        nc = [int(v) for v in h[:6]]
        for i in range(6):
            same(f'{where} nc{i + 1}', g.attrs[f'nc{i + 1}'], h[i])
        same(where + ' dmp', g.attrs['dmp'], rec1[28:36].view('<f8')[0])
        same(where + ' lrec', g.attrs['lrec'], rec1[36:40].view('<i4')[0])
        rec2 = rd.take()[1]
        same(where + ' nsize2', g.attrs['nsize2'], rec2[:4].view('<i4')[0])
        same(where + ' dt', g.attrs['dt'], rec2[4:12].view('<f8')[0])
        same(where + ' yt', g.attrs['yt'], rec2[12:28].view('<f4'))
        if family == 'TP19':
            rule = 0 if name == 'INFO' else 2 if name == 'AMPL' else 1
            dropped = None
        else:
            dropped = tp18_dropped(name, nc)
            rule = dropped if dropped is not None else {'WAVE': 1, 'FOUR': 2, 'AMPL': 2, 'SPEC': 2}.get(name, 0)
        if (dropped is not None) != ('dropped' in g.attrs):
            fail(where, 'dropped mark disagrees')
        data = [rd.take()[1] for _ in range(rule)]
        data = [d[:len(d) // 4 * 4].view('<f4') for d in data]
        ordinary_values(where, g, data, 0, rule)
    return number


def check_export(path, family, converted, side=None):
    out = path + '.h5'
    run([QXDUMP, '--hdf5', out, path])
    checked['files'] += 1
    recs = records(path, '<')  if not converted else None
    if converted:
        first = np.fromfile(path, dtype=np.uint8, count=4)
        e = '<' if first.view('<i4')[0] == 116 else '>'
        recs = records(path, e)
    else:
        e = '<'
    rd = Reader(recs)
    with h5py.File(out, 'r') as f:
        a = f.attrs
        want = {'kind': 'converted file' if converted else 'result file', 'family': family,
                'byte_order': 'little-endian' if e == '<' else 'big-endian', 'source_file': path,
                'source_bytes': os.path.getsize(path)}
        if converted:
            want['variant'] = side
        for k, v in want.items():
            if a.get(k) != v:
                fail(path, f'root attribute {k} is {a.get(k)!r}, not {v!r}')
        if not str(a.get('program_version', '')).startswith('qxdump '):
            fail(path, 'no program version')
        if converted:
            check_model(path, rd, e, side, f['model'])
            n = check_converted_blocks(path, rd, e, family, side, f['blocks'])
        else:
            if 'model' in f:
                fail(path, 'a result file has no model section')
            n = check_result_blocks(path, rd, family, f['blocks'])
        if len(f['blocks']) != n:
            fail(path, f'{len(f["blocks"])} block groups, the file holds {n} blocks')
        if 'unplaced' in f:
            fail(path, 'records outside blocks')


def main():
    with tempfile.TemporaryDirectory() as top:
        cases = [(['--seed', '21', '--size', '40k'], True),
                 (['--seed', '912', '--size', '300k', '--no-info'], True),
                 # Records that do not fit their counts: exported as words.
                 (['--seed', '3', '--size', '60k', '--hostile-na', '--hostile-nsize2', 'TP18,TP19'], False)]
        for k, (args, convert) in enumerate(cases):
            base = os.path.join(top, f'case{k}')
            os.makedirs(base)
            run([QXGEN, '--out', os.path.join(base, 'case')] + args)
            for family in ('TP18', 'TP19'):
                check_export(os.path.join(base, 'case.' + family), family, False)
            if not convert:
                continue
            for answer, order in (('No', 'le'), ('Yes', 'be')):
                d = os.path.join(base, order)
                os.makedirs(d)
                for f in ('case.qxin', 'case.TP18', 'case.TP19'):
                    os.link(os.path.join(base, f), os.path.join(d, f))
                run([QXCONV], stdin=f'case.qxin\ncase.TP18\n{answer}\n', cwd=d)
                for family in ('TP18', 'TP19'):
                    for side, mark in (('SV', '_QX2D'), ('SH', '_QXSH')):
                        check_export(os.path.join(d, f'case{mark}.{family}'), family, True, side)

    # The cases must hold every kind of block, so that a kind left out of
    # the export cannot pass unnoticed.
    for need in [('TP18', 'converted', k) for k in ('INFO', 'WAVE', 'FOUR', 'AMPL', 'SPEC', 'MAXR')] + \
                [('TP19', 'converted', k) for k in ('INFO', 'WAVE', 'SPEC')] + \
                [('TP18', 'result', k) for k in ('INFO', 'WAVE', 'FOUR', 'AMPL', 'SPEC', 'MAXR')] + \
                [('TP19', 'result', 'AMPL')]:
        if need not in kinds_seen:
            fail('cases', f'no {need[2]} block in a {need[1]} {need[0]} file')
    for side in ('SV', 'SH'):
        for code, shape in CONVERTED_MAXIMA.items():
            if (side == 'SV' or shape[4] is not None) and (side, code) not in maxima_seen:
                fail('cases', f'no maxima record of code {code} in an {side} file')
    if not any(m[0] == 'read, not fitting' for m in maxima_seen):
        fail('cases', 'no maxima record that does not fit its na')

    return report(f'{checked["files"]} exports, {checked["values"]} values compared, {len(failures)} disagreements')


if __name__ == '__main__':
    sys.exit(main())
