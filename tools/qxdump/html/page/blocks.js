// The table of blocks: one row per block of every file, in file order, with
// its codes, header values, the values it holds and their peak; filters by
// file, kind and codes. A click on a row plots that block alone (or opens
// its maxima), the box at its start adds it to the plots or takes it away.
'use strict';

// A code filter: "3", "1,3", "101-112" or "101..112", blank for any; null
// when the text is none of these.
QX.codeFilter = function (text) {
  text = text.trim();
  if (!text) return () => true;
  const tests = [];
  for (const part of text.split(/[\s,;]+/).filter(Boolean)) {
    let m;
    if ((m = /^(-?\d+)$/.exec(part))) {
      const v = Number(m[1]);
      tests.push((n) => n === v);
    } else if ((m = /^(-?\d+)(?:-|\.\.)(-?\d+)$/.exec(part))) {
      const lo = Number(m[1]), hi = Number(m[2]);
      tests.push((n) => n >= lo && n <= hi);
    } else {
      return null;
    }
  }
  return (n) => n !== undefined && tests.some((t) => t(n));
};

QX.BlockTable = class {
  constructor(table, count, onShow, onPick) {
    this.table = table;
    this.count = count;
    this.onShow = onShow;
    this.onPick = onPick;
    this.picked = new Set();
    this.render();
    this.filters();
  }

  render() {
    const blocks = QX.index.blocks;
    const head = '<thead><tr><th title="Overlay in the plots">plot</th><th>file</th><th class="num">#</th><th>kind</th>' +
      '<th class="num">nc1</th><th class="num">nc2</th><th class="num">nc3</th><th class="num">nc4</th><th class="num">nc5</th>' +
      '<th class="num">nc6</th><th class="num">lrec</th><th class="num">nsize2</th>' +
      '<th class="num" title="dap (converted files) or dmp (result files)">dap / dmp</th>' +
      '<th class="num" title="dtt (converted files) or dt (result files)">dtt / dt</th><th>yt</th>' +
      '<th class="num" title="values per data record, or items of a maxima block">values</th>' +
      '<th class="num" title="largest magnitude">peak</th><th class="num">at</th><th>notes</th></tr></thead>';
    const rows = [];
    for (let i = 0; i < blocks.length; ++i) rows.push(this.row(i, blocks[i]));
    this.table.innerHTML = head + '<tbody>' + rows.join('') + '</tbody>';
    this.body = this.table.tBodies[0];
    this.rows = Array.from(this.body.rows);
    this.body.addEventListener('click', (e) => {
      const tr = e.target.closest('tr');
      if (!tr) return;
      const i = Number(tr.dataset.i);
      if (e.target.matches('input[type=checkbox]')) {
        if (e.target.checked) this.picked.add(i); else this.picked.delete(i);
        this.mark();
        this.onPick();
        return;
      }
      this.onShow(i);
    });
  }

  row(i, b) {
    const h = QX.html;
    const curves = b.curves || [];
    const hasValues = curves.some((c) => c.count > 0);
    const nc = [];
    for (let k = 0; k < 6; ++k) nc.push('<td class="num">' + (b.nc[k] === undefined ? '' : b.nc[k]) + '</td>');
    let values = '', peak = '', at = '';
    if (b.maxima) {
      values = b.na === undefined ? '' : String(b.na);
      if (b.table) {
        let best = null;
        for (const p of b.table.columnPeaks) if (p && (!best || Math.abs(QX.num(p.value)) > Math.abs(QX.num(best.value)))) best = p;
        if (best) { peak = QX.real(best.value); at = 'item ' + best.id1 + (best.id2 !== undefined ? '/' + best.id2 : ''); }
      }
    } else if (curves.length) {
      const counts = [...new Set(curves.map((c) => c.count))];
      values = counts.length === 1 ? counts[0] + (curves.length > 1 ? ' ×' + curves.length : '') : counts.join(', ');
      const p = QX.blockPeak(b);
      if (p) { peak = QX.real(p.peak); at = QX.real(p.peakAt); }
    }
    const tags = [];
    if (b.dropped) tags.push('<span class="tag" title="a conversion passes its data over">dropped</span>');
    if (b.notes) tags.push('<span class="tag warn" title="' + h(b.notes.join('\n')) + '">' + b.notes.length + (b.notes.length > 1 ? ' notes' : ' note') + '</span>');
    const yt = b.yt ? b.yt.map(QX.real).join(' ') : '';
    const pickable = hasValues ? '<input type="checkbox" aria-label="overlay">' : '';
    return '<tr data-i="' + i + '" data-file="' + b.file + '"' + (hasValues || b.table ? '' : ' class="nodata"') + '>' +
      '<td>' + pickable + '</td><td>' + h(QX.index.files[b.file].label) + '</td><td class="num">' + b.number + '</td>' +
      '<td class="kind">' + h(b.kind) + '</td>' + nc.join('') +
      '<td class="num">' + b.lrec + '</td><td class="num">' + (b.nsize2 === undefined ? '' : b.nsize2) + '</td>' +
      '<td class="num">' + QX.real(b.real) + '</td><td class="num">' + QX.real(b.step) + '</td>' +
      '<td class="mono">' + h(yt) + '</td><td class="num">' + values + '</td><td class="num">' + peak + '</td>' +
      '<td class="num">' + h(at) + '</td><td>' + tags.join('') + '</td></tr>';
  }

  filters() {
    const fileSel = document.getElementById('filter-file');
    QX.index.files.forEach((f, i) => fileSel.append(QX.el('option', { value: String(i) }, f.label)));
    const kindSel = document.getElementById('filter-kind');
    for (const k of [...new Set(QX.index.blocks.map((b) => b.kind))].sort()) kindSel.append(QX.el('option', { value: k }, k));
    const inputs = [1, 2, 3, 4, 5, 6].map((n) => document.getElementById('filter-nc' + n));
    const withValues = document.getElementById('filter-values');
    const apply = () => {
      const file = fileSel.value, kind = kindSel.value;
      const tests = inputs.map((inp) => {
        const t = QX.codeFilter(inp.value);
        inp.style.borderColor = t ? '' : '#c62828';
        return t || (() => true);
      });
      let shown = 0;
      this.rows.forEach((tr, i) => {
        const b = QX.index.blocks[i];
        const ok = (!file || String(b.file) === file) && (!kind || b.kind === kind) &&
          tests.every((t, k) => t(b.nc[k])) &&
          (!withValues.checked || (b.curves || []).some((c) => c.count > 0) || !!b.table);
        tr.hidden = !ok;
        if (ok) ++shown;
      });
      this.count.textContent = shown === this.rows.length ? this.rows.length + ' blocks' : shown + ' of ' + this.rows.length + ' blocks';
    };
    for (const e of [fileSel, kindSel, withValues]) e.addEventListener('change', apply);
    for (const e of inputs) e.addEventListener('input', apply);
    document.getElementById('filter-reset').addEventListener('click', () => {
      fileSel.value = ''; kindSel.value = ''; withValues.checked = false;
      for (const e of inputs) e.value = '';
      apply();
    });
    apply();
  }

  // The rows of the blocks picked for the plots.
  mark() {
    this.rows.forEach((tr, i) => {
      const on = this.picked.has(i);
      tr.classList.toggle('shown', on);
      const box = tr.cells[0].firstChild;
      if (box) box.checked = on;
    });
  }

  pickOnly(i) {
    this.picked = new Set([i]);
    this.mark();
  }
};
