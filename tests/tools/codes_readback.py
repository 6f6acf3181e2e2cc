#!/usr/bin/env python3
"""qxdump --codes and --xdmf read back: h5py and meshio against the files.

Converts the bundled example case, then:
  - exports every converted file and the TP18 result file to HDF5 with the
    example's code map and checks the attributes of every block (quantity,
    unit, direction, node, abscissa, record names; for maxima what ia1 and
    ia2 hold and the names of the values) against what the map's rows say,
    read here by a small reading of the map of its own (the first row that
    picks a block decides);
  - checks that an export with a map that names nothing holds exactly what
    one without a map holds;
  - writes the XDMF of the SV and SH files and reads it with meshio: the
    nodes against the file's node record, the elements of each kind against
    the element records, the boundary lists, and maxima fields against the
    maxima records' bytes.

usage: codes_readback.py QXCONV QXDUMP EXAMPLE_DIR
Exit status 0 when everything agrees, 1 with the disagreements listed, 77
when h5py, NumPy or meshio is missing.
"""
import csv
import math
import os
import re
import shutil
import sys
import tempfile

try:
    import h5py
    import meshio
    import numpy as np
except ImportError as e:  # pragma: no cover - depends on the machine
    print(f'skipped: {e}')
    sys.exit(77)

from readback_common import File, fail, failures, report, run  # noqa: E402 (after the check for NumPy)

QXCONV, QXDUMP, EXAMPLE = sys.argv[1:4]
MAP = os.path.join(EXAMPLE, 'case1-codes.csv')
checked = {'blocks named': 0, 'attributes': 0, 'maxima named': 0, 'mesh values': 0}


# -- the map, read by this test ----------------------------------------------

def load_map(path):
    with open(path, encoding='utf-8-sig') as f:
        lines = [l for l in f if l.strip() and not l.lstrip().startswith('#')]
    return [{k.strip().lower(): (v or '').strip() for k, v in row.items()} for row in csv.DictReader(lines)]


def file_picked(selector, name):
    if selector == '*':
        return True
    if selector.startswith('_QX') and '.' not in selector:
        return selector in name
    if selector.startswith('.'):
        return name.endswith(selector) and '_QX' not in name
    return name.endswith(selector)


def code_picked(selector, v):
    if selector == '*':
        return True
    m = re.fullmatch(r'(-?\d+)(?:\.\.|-)(-?\d+)', selector)
    return int(m[1]) <= v <= int(m[2]) if m else int(selector) == v


def first(rows, name, kind, nc1, keyed):
    for r in rows:
        # The kind * picks every block but maxima blocks.
        if keyed(r) and file_picked(r['file'], name) and r['kind'] in ('*' if kind != 'MAXR' else 'MAXR', kind) \
                and code_picked(r['nc1'], nc1):
            return r
    return None


def expected_block(rows, name, kind, nc, own_axis, value_records):
    """The attributes an HDF5 block group must carry."""
    a = {}
    q = first(rows, name, kind, nc[0], lambda r: r['field'] == 'quantity')
    if q:
        a['quantity'] = q['name']
        if q['unit']:
            a['unit'] = q['unit']
    directions = [first(rows, name, kind, nc[0], lambda r, f=f, v=v: r['field'] == f and r['value'] == str(v))
                  for f, v in (('nc2', nc[1]), ('nc3', nc[2]))]
    if any(directions):
        a['direction'] = '/'.join(d['name'] for d in directions if d)
    if kind == 'MAXR':
        return a
    place = first(rows, name, kind, nc[0], lambda r: r['field'] in ('node', 'element') and r['value'] in ('nc4', 'nc5', 'nc6'))
    if place:
        a[place['field']] = nc[3 + int(place['value'][2]) - 4]
    axis = first(rows, name, kind, nc[0], lambda r: r['field'] == 'abscissa' and (r['value'] == '') == own_axis)
    if axis:
        a['abscissa'] = axis['name']
        if axis['unit']:
            a['abscissa_unit'] = axis['unit']
        if not own_axis:
            a['rule'] = axis['value']
    names = [first(rows, name, kind, nc[0], lambda r, k=k: r['field'] == 'record' and r['value'] == str(k + 1))
             for k in range(value_records)]
    if any(names):
        a['record_names'] = [r['name'] if r else '' for r in names]
    return a


def expected_maxima(rows, name, code, components, pairs):
    """What item_id1 and item_id2 hold, and the names of the values."""
    holds = {}
    for ident in ('ia1', 'ia2'):
        r = first(rows, name, 'MAXR', code, lambda r, i=ident: r['field'] in ('node', 'element') and r['value'] == i)
        if r:
            holds[ident] = (r['field'], r['name'])
    names = []
    for d in components:
        for m in ((1, 2) if pairs else (0,)):
            own = first(rows, name, 'MAXR', code, lambda r, d=d, m=m: r['field'] == 'component' and r['value'] == f'{d}.{m}') if m and d else None
            whole = first(rows, name, 'MAXR', code, lambda r, d=d: r['field'] == 'component' and r['value'] == str(d)) if d else None
            names.append(own['name'] if own else whole['name'] + (f' ({m})' if m else '') if whole else '')
    return holds, names


# -- the files ---------------------------------------------------------------

def check_hdf5(file, rows, name):
    h5 = file.path + '.codes.h5'
    run([QXDUMP, '--codes', MAP, '--hdf5', h5, file.path])
    converted = '_QX' in name
    tp18 = name.endswith('TP18')
    with h5py.File(h5, 'r') as f:
        for b in file.blocks:
            where = f'{name} block {b["number"]} {b["kind"]}'
            g = f['blocks/%06d' % b['number']]
            data = [r for r in b['records'] if r[2] == 'data']
            spectrum = b['kind'] in ('FOUR', 'AMPL')
            own_axis = b['kind'] == 'WAVE' or (spectrum and (converted and tp18 or not converted))
            axis_records = 1 if converted and tp18 and spectrum else 0
            rules = {'INFO': 0, 'WAVE': 1, 'FOUR': 2, 'AMPL': 2, 'SPEC': 2}
            value_records = (1 if b['kind'] != 'INFO' else 0) if name.endswith('TP19') else rules.get(b['kind'], 0)
            want = expected_block(rows, name, b['kind'], b['nc'], own_axis, value_records)
            rule = want.pop('rule', None)
            if rule is not None and not (data and data[axis_records][1] > 0):
                # An abscissa the map gives values is named with its values.
                want.pop('abscissa', None)
                want.pop('abscissa_unit', None)
            for key in ('quantity', 'unit', 'direction', 'node', 'element', 'abscissa', 'abscissa_unit', 'record_names'):
                got = g.attrs.get(key)
                if isinstance(got, np.ndarray):
                    got = [str(x) for x in got]
                elif isinstance(got, (np.integer,)):
                    got = int(got)
                if got != want.get(key):
                    fail(where, f'{key} {got!r}, the map says {want.get(key)!r}')
                checked['attributes'] += 1
            checked['blocks named'] += bool(want)
            if rule is not None and data and data[axis_records][1] > 0:
                n = data[axis_records][1] // 4
                first_value, step = (float(v) for v in rule.split()[1:3])
                want_values = np.array([first_value + k * step for k in range(n)])
                if 'abscissa_values' not in g or not np.array_equal(g['abscissa_values'][()], want_values):
                    fail(where, 'abscissa_values differ from the rule ' + rule)
            elif 'abscissa_values' in g:
                fail(where, 'abscissa_values where the map gives none')
            if b['kind'] == 'MAXR' and ('pairs' in g or 'values' in g):
                v = g['pairs' if 'pairs' in g else 'values']
                holds, names = expected_maxima(rows, name, b['nc'][0], list(v.attrs.get('components', [])), 'pairs' in g)
                for ident, dataset in (('ia1', 'item_id1'), ('ia2', 'item_id2')):
                    if dataset not in g:
                        continue
                    got = g[dataset].attrs.get('holds')
                    want_holds = holds.get(ident, (None, ''))
                    if got != want_holds[0] or g[dataset].attrs.get('element_kind') != (want_holds[1] or None):
                        fail(where, f'{dataset} holds {got!r}, the map says {want_holds}')
                got_names = [str(x) for x in v.attrs['names']] if 'names' in v.attrs else None
                if got_names != (names if any(names) else None):
                    fail(where, f'value names {got_names}, the map says {names}')
                checked['maxima named'] += any(names)


def same_tree(a, b, where):
    """Two HDF5 files hold the same groups, datasets, values and attributes."""
    def walk(f):
        out = {}
        f.visititems(lambda n, o: out.__setitem__(n, o))
        return out
    ta, tb = walk(a), walk(b)
    if sorted(ta) != sorted(tb):
        fail(where, 'different objects')
        return
    for n in ['/'] + sorted(ta):
        oa, ob = (a, b) if n == '/' else (ta[n], tb[n])
        if sorted(oa.attrs) != sorted(ob.attrs) or any(
                not np.array_equal(np.asarray(oa.attrs[k]), np.asarray(ob.attrs[k])) for k in oa.attrs if k != 'source_file'):
            fail(where, f'{n}: attributes differ')
        if isinstance(oa, h5py.Dataset) and oa[()].tobytes() != ob[()].tobytes():
            fail(where, f'{n}: values differ')


def check_xdmf(file, rows, name):
    xmf = file.path + '.xmf'
    run([QXDUMP, '--codes', MAP, '--xdmf', xmf, file.path])
    mesh = meshio.read(xmf)
    model = file.model
    where = name + '.xmf'
    counts = file.payload(*model['counts'][0], 'i4')
    ndpt = int(counts[18])
    nodes = file.payload(*model['nodes'][0], 'i4')
    number = nodes[:ndpt]
    xz = np.column_stack([nodes[ndpt:2 * ndpt].view('f4'), nodes[2 * ndpt:3 * ndpt].view('f4')])
    if mesh.points.shape != (ndpt, 2) or mesh.points.astype('f4').tobytes() != xz.astype('f4').tobytes():
        fail(where, f'points {mesh.points.shape} differ from the node record ({ndpt} nodes)')
    checked['mesh values'] += xz.size
    if not np.array_equal(mesh.point_data['node'], number):
        fail(where, 'node numbers differ')
    # Elements per kind: the tags of `kind` named by the field data, the
    # counts of the element records; each cell's nodes those of its row.
    kind = np.concatenate(mesh.cell_data['kind'])
    element = np.concatenate(mesh.cell_data['element'])
    cells = [c for block in mesh.cells for c in block.data]
    at = {int(n): i for i, n in reversed(list(enumerate(number)))}
    heads = [h for h in model if h not in ('counts', 'bound', 'nodes')]
    if sorted(mesh.field_data, key=lambda h: mesh.field_data[h][0]) != heads:
        fail(where, f'kinds {list(mesh.field_data)}, the file holds {heads}')
    for head in heads:
        words = file.payload(*model[head][0], 'i4')
        n = int(words[0])
        rows5 = words[1:1 + 5 * n].reshape(n, 5)
        tag = mesh.field_data[head][0] if head in mesh.field_data else -1
        mine = np.flatnonzero(kind == tag)
        if len(mine) != n:
            fail(where, f'{head}: {len(mine)} cells, the record holds {n}')
            continue
        columns = [1, 2, 3, 4] if len(cells[mine[0]]) == 4 else ([2, 4] if head == 'ROTATE' else [1, 3])
        for c, row in zip(mine, rows5):
            if element[c] != row[0] or [at[int(v)] for v in row[columns]] != list(cells[c]):
                fail(where, f'{head} element {row[0]}: cell {list(cells[c])}')
                break
        checked['mesh values'] += rows5.size
    # Boundary lists: each node's place in its list.
    bound = file.payload(*model['bound'][0], 'i4')
    nb = [max(int(v), 0) for v in bound[3:6]]
    pos = 6
    for side, lists in (('left', 2), ('right', 2), ('base', 1)):
        for li, list_name in enumerate(['model_node', 'free_field_node'][:lists]):
            n = nb[['left', 'right', 'base'].index(side)]
            members = bound[pos:pos + n]
            pos += n
            field = 'boundary ' + (side if lists == 1 else f'{side}_{list_name}')
            want = np.zeros(ndpt, np.int32)
            for k, v in reversed(list(enumerate(members))):
                want[at[int(v)]] = k + 1
            if not np.array_equal(mesh.point_data.get(field), want):
                fail(where, f'{field} differs from the boundary record')
    # Maxima fields: each value at its item's node or element, NaN elsewhere.
    fields = 0
    for b in file.blocks:
        if b['kind'] != 'MAXR':
            continue
        data = [r for r in b['records'] if r[2] == 'data']
        holds, names = expected_maxima(rows, name, b['nc'][0], [], False)
        if not data or 'ia1' not in holds:
            continue
        words = file.payload(*data[0][:2], 'i4')
        na = int(words[0])
        ids = 2 if data[0][1] == 4 + 24 * na else 1
        reals = words[1 + ids * na:].view('f4')
        per = len(reals) // na
        ia1 = words[1:1 + ids * na:ids]
        prefix = f'maxima {b["nc"][0]} (block {b["number"]}) '
        columns = [k for k in list(mesh.point_data) + list(mesh.cell_data) if k.startswith(prefix)]
        if not columns:
            fail(where, f'block {b["number"]}: no field of maxima the map places')
            continue
        column = columns[0]
        node_field = holds['ia1'][0] == 'node'
        got = mesh.point_data[column] if node_field else np.concatenate(mesh.cell_data[column])
        want = np.full(len(got), np.nan, np.float32)
        for a in range(na):
            if node_field:
                want[at[int(ia1[a])]] = reals[a * per]
            else:
                solid = np.flatnonzero((element == ia1[a]) & (kind == mesh.field_data[holds['ia1'][1]][0]))
                want[solid[0]] = reals[a * per]
        if got.astype('f4').tobytes() != want.tobytes():
            fail(where, f'{column}: values differ from the maxima record')
        fields += 1
        checked['mesh values'] += na
    if fields < (4 if '_QX2D' in name else 3):
        fail(where, f'only {fields} maxima fields checked')


def main():
    rows = load_map(MAP)
    with tempfile.TemporaryDirectory() as tmp:
        for f in ('case1.qxin', 'case1.TP18', 'case1.TP19'):
            shutil.copy(os.path.join(EXAMPLE, f), tmp)
        run([QXCONV], 'case1.qxin\ncase1.TP18\nYes\n', tmp)
        names = ['case1_QX2D.TP18', 'case1_QXSH.TP18', 'case1_QX2D.TP19', 'case1_QXSH.TP19', 'case1.TP18']
        # Each file's bytes and listing, read once for both checks.
        files = {name: File(QXDUMP, os.path.join(tmp, name), '_QX' in name) for name in names}
        for name in names:
            check_hdf5(files[name], rows, name)
        # A map that names nothing changes nothing.
        empty = os.path.join(tmp, 'empty.csv')
        with open(empty, 'w') as f:
            f.write('file,kind,nc1,field,value,name,unit\n*,ZZZZ,*,quantity,,never,\n')
        for name in names[:2]:
            path = os.path.join(tmp, name)
            run([QXDUMP, '--hdf5', path + '.a.h5', path])
            run([QXDUMP, '--codes', empty, '--hdf5', path + '.b.h5', path])
            with h5py.File(path + '.a.h5', 'r') as a, h5py.File(path + '.b.h5', 'r') as b:
                same_tree(a, b, name + ' with a map that names nothing')
        # An abscissa list of another length than the values of the block
        # gives no abscissa_values: the block keeps its index.
        path = os.path.join(tmp, names[0])
        spectra = [b['number'] for b in files[names[0]].blocks if b['kind'] == 'SPEC']
        for n in (2, 69):
            odd = os.path.join(tmp, f'list{n}.csv')
            with open(odd, 'w') as f:
                values = ' '.join(str(0.02 * (k + 1)) for k in range(n))
                f.write(f'file,kind,nc1,field,value,name,unit\n*,SPEC,*,abscissa,{values},period,s\n')
            run([QXDUMP, '--codes', odd, '--hdf5', path + f'.list{n}.h5', path])
            with h5py.File(path + f'.list{n}.h5', 'r') as f:
                given = [b for b in spectra if 'abscissa_values' in f['blocks/%06d' % b]]
            if not spectra or given:
                fail(f'{names[0]} with a list of {n} periods', f'abscissa_values in blocks {given} of {spectra}')
        for name in names[:2]:
            check_xdmf(files[name], rows, name)
    if checked['blocks named'] < 50 or checked['maxima named'] < 8 or checked['mesh values'] < 3000:
        fail('coverage', f'too little checked: {checked}')
    return report(f'{len(failures)} disagreements; {checked}')


if __name__ == '__main__':
    sys.exit(main())
