// The maxima blocks as tables: one section per block, its items (both
// identifiers and one column per value, named by the component it comes
// from, or by the code map) under a first row that gives each column's
// largest magnitude and its item. A table is built when its section is
// opened. Where the code map says that the items are nodes or elements, a
// column can be shown on the model as a colour scale.
'use strict';

// What an identifier holds, for its column head: "item_id1 (node)".
QX.idHead = function (t, n) {
  const holds = t['id' + n + 'Holds'], kind = t['id' + n + 'Kind'];
  return 'item_id' + n + (holds ? ' (' + holds + (kind ? ' ' + kind : '') + ')' : '');
};

QX.MaximaList = class {
  // onScale(i, column): show column `column` of block i on the model (null:
  // take the scale away).
  constructor(list, count, onScale) {
    this.list = list;
    this.onScale = onScale || (() => {});
    this.sections = new Map();
    let n = 0;
    QX.index.blocks.forEach((b, i) => {
      if (!b.maxima) return;
      ++n;
      this.list.append(this.section(i, b));
    });
    count.textContent = n ? n + (n === 1 ? ' maxima block' : ' maxima blocks') : 'no maxima block in these files';
    if (!n) this.list.append(QX.el('div', { class: 'empty-note' }, 'These files hold no maxima block.'));
  }

  section(i, b) {
    const d = QX.el('details', { class: 'maxima', 'data-i': String(i) });
    const s = QX.el('summary');
    const code = b.nc[0];
    s.append(QX.el('strong', null, QX.blockLabel(b)));
    if (b.table && (b.table.quantity || b.table.direction))
      s.append(QX.el('span', { class: 'meaning' }, [b.table.quantity, b.table.direction].filter(Boolean).join(' ') +
        (b.table.unit ? ' [' + b.table.unit + ']' : '')));
    s.append(QX.el('span', null, 'code ' + code + ' · nc2 ' + b.nc[1] + (b.na !== undefined ? ' · na ' + b.na : '') +
      (b.nd !== undefined ? ' · nd ' + b.nd : '')));
    if (b.table) {
      const peaks = b.table.columnPeaks.filter(Boolean);
      let best = null;
      for (const p of peaks) if (!best || Math.abs(QX.num(p.value)) > Math.abs(QX.num(best.value))) best = p;
      if (best) s.append(QX.el('span', { class: 'hint' }, 'largest |value| ' + QX.real(best.value) + ' (item ' + best.id1 + (best.id2 !== undefined ? '/' + best.id2 : '') + ')'));
    } else {
      s.append(QX.el('span', { class: 'hint' }, 'header only, no items'));
    }
    if (b.dropped) s.append(QX.el('span', { class: 'tag' }, 'dropped'));
    if (b.notes) s.append(QX.el('span', { class: 'tag warn', title: b.notes.join('\n') }, b.notes.length + (b.notes.length > 1 ? ' notes' : ' note')));
    d.append(s);
    d.addEventListener('toggle', () => {
      if (d.open && !d.querySelector('.body')) d.append(this.body(b, i));
    });
    this.sections.set(i, d);
    return d;
  }

  body(b, i) {
    const wrap = QX.el('div', { class: 'body' });
    if (b.notes) for (const n of b.notes) wrap.append(QX.el('div', { class: 'chart-note warn' }, n));
    const t = b.table;
    if (!t) {
      wrap.append(QX.el('div', { class: 'hint' }, 'This block has no data record to show.'));
      return wrap;
    }
    const id1 = QX.array(t.id1), id2 = QX.array(t.id2), values = QX.array(t.values);
    const per = t.names.length;
    const h = QX.html;
    const titles = t.titles || t.names;
    if (t.id1Holds || (id2 && t.id2Holds)) wrap.append(this.scaleChoice(i, t, titles));
    const cells = ['<thead><tr><th class="num">' + h(QX.idHead(t, 1)) + '</th>' + (id2 ? '<th class="num">' + h(QX.idHead(t, 2)) + '</th>' : '') +
      titles.map((n, c) => '<th class="num"' + (n !== t.names[c] ? ' title="' + h(t.names[c]) + '"' : '') + '>' + h(n) + '</th>').join('') +
      '</tr></thead><tbody>'];
    cells.push('<tr class="peaks"><td colspan="' + (id2 ? 2 : 1) + '">largest |value|</td>' +
      t.columnPeaks.map((p) => '<td class="num" title="' + (p ? 'item ' + p.id1 + (p.id2 !== undefined ? '/' + p.id2 : '') : '') + '">' +
        (p ? QX.real(p.value) : '') + '</td>').join('') + '</tr>');
    cells.push('<tr class="peaks"><td colspan="' + (id2 ? 2 : 1) + '">at item</td>' +
      t.columnPeaks.map((p) => '<td class="num">' + (p ? p.id1 + (p.id2 !== undefined ? '/' + p.id2 : '') : '') + '</td>').join('') + '</tr>');
    for (let a = 0; a < t.rows; ++a) {
      let r = '<tr><td class="num">' + id1[a] + '</td>' + (id2 ? '<td class="num">' + id2[a] + '</td>' : '');
      for (let v = 0; v < per; ++v) r += '<td class="num">' + QX.real(values[a * per + v]) + '</td>';
      cells.push(r + '</tr>');
    }
    const table = QX.el('table', { class: 'grid maxima-table' });
    table.innerHTML = cells.join('') + '</tbody>';
    const scroll = QX.el('div', { class: 'table-scroll' });
    scroll.style.maxHeight = '420px';
    scroll.append(table);
    wrap.append(scroll);
    if (t.rows < t.na) wrap.append(QX.el('div', { class: 'more' }, 'The first ' + t.rows + ' of ' + t.na + ' items; the largest magnitudes are over all of them.'));
    return wrap;
  }

  // A choice of the column to show on the model.
  scaleChoice(i, t, titles) {
    const label = QX.el('label', { class: 'scale-choice' }, 'On the model: ');
    const sel = QX.el('select');
    sel.append(QX.el('option', { value: '' }, 'none'));
    titles.forEach((n, c) => { if (!t.names[c].startsWith('zero')) sel.append(QX.el('option', { value: String(c) }, n)); });
    sel.addEventListener('change', () => this.onScale(i, sel.value === '' ? null : Number(sel.value)));
    label.append(sel);
    return label;
  }

  open(i) {
    const d = this.sections.get(i);
    if (!d) return;
    d.open = true;
    d.scrollIntoView({ block: 'nearest' });
    d.classList.add('flash');
    setTimeout(() => d.classList.remove('flash'), 1200);
  }
};
