// The table of blocks: one row per block of every file, in file order, with
// its codes, header values, the values it holds and their peak; filters by
// file, kind and codes. A click on a row plots that block alone (or opens
// its maxima), the box at its start adds it to the plots or takes it away.
// The rows of the blocks that pass the filters are drawn a few hundred at a
// time, as the table is scrolled to its end: a browser takes seconds to lay
// out the tens of thousands of cells of a case's every block at once.
'use strict';

QX.rowsPerDraw = 300;

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
    // A column of what the blocks hold where a code map names any.
    this.withMeaning = blocks.some((b) => b.meaning || (b.table && (b.table.quantity || b.table.id1Holds || b.table.id2Holds)));
    const head = '<thead><tr><th title="Overlay in the plots">plot</th><th>file</th><th class="num">#</th><th>kind</th>' +
      (this.withMeaning ? '<th title="what the code map says the block holds">what</th>' : '') +
      '<th class="num">nc1</th><th class="num">nc2</th><th class="num">nc3</th><th class="num">nc4</th><th class="num">nc5</th>' +
      '<th class="num">nc6</th><th class="num">lrec</th><th class="num">nsize2</th>' +
      '<th class="num" title="dap (converted files) or dmp (result files)">dap / dmp</th>' +
      '<th class="num" title="dtt (converted files) or dt (result files)">dtt / dt</th><th>yt</th>' +
      '<th class="num" title="values per data record, or items of a maxima block">values</th>' +
      '<th class="num" title="largest magnitude">peak</th><th class="num">at</th><th>notes</th></tr></thead>';
    this.table.innerHTML = head + '<tbody></tbody>';
    this.body = this.table.tBodies[0];
    this.matched = blocks.map((b, i) => i);  // the blocks that pass the filters, in order
    this.drawn = 0;  // rows drawn, of the matched blocks
    this.rowOf = new Map();  // block index -> its row, where drawn
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
    this.scroller = this.table.closest('.table-scroll');
    this.scroller.addEventListener('scroll', () => {
      const s = this.scroller;
      if (s.scrollTop + s.clientHeight >= s.scrollHeight - 200) this.more(QX.rowsPerDraw);
    });
  }

  // Draws the rows of up to n more matched blocks.
  more(n) {
    const end = Math.min(this.matched.length, this.drawn + n);
    if (end <= this.drawn) return;
    const blocks = QX.index.blocks, html = [];
    for (let m = this.drawn; m < end; ++m) html.push(this.row(this.matched[m], blocks[this.matched[m]]));
    this.body.insertAdjacentHTML('beforeend', html.join(''));
    const rows = this.body.rows;
    for (let r = this.drawn; r < end; ++r) this.rowOf.set(this.matched[r], rows[r]);
    this.drawn = end;
    // Rows enough to scroll, or there is no scrolling to draw the next ones.
    const s = this.scroller;
    if (this.drawn < this.matched.length && s.scrollHeight - s.clientHeight < 200) this.more(n);
    this.tell();
  }

  // Draws the rows up to that of block i; false when block i does not pass
  // the filters.
  reveal(i) {
    const at = this.matched.indexOf(i);
    if (at < 0) return false;
    if (at >= this.drawn) this.more(at + 1 - this.drawn + QX.rowsPerDraw);
    this.rowOf.get(i).scrollIntoView({ block: 'nearest' });
    return true;
  }

  tell() {
    const all = QX.index.blocks.length, shown = this.matched.length;
    this.count.textContent = (shown === all ? all + ' blocks' : shown + ' of ' + all + ' blocks') +
      (this.drawn < shown ? ' (' + this.drawn + ' rows drawn; scroll for more)' : '');
  }

  row(i, b) {
    const h = QX.html;
    const curves = b.curves || [];
    const hasValues = curves.some((c) => c.count > 0);
    const nc = [];
    for (let k = 0; k < 6; ++k) nc.push('<td class="num nc">' + (b.nc[k] === undefined ? '' : b.nc[k]) + '</td>');
    let what = '';
    if (this.withMeaning) {
      const t = b.table || {};
      const words = b.meaning ? b.meaning.words || '' : t.quantity ? t.quantity + (t.unit ? ' [' + t.unit + ']' : '') : '';
      what = '<td class="what" title="' + h(words) + '">' + h(words) + '</td>';
    }
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
    const on = this.picked.has(i);
    const pickable = hasValues ? '<input type="checkbox" aria-label="overlay"' + (on ? ' checked' : '') + '>' : '';
    const classes = [hasValues || b.table ? '' : 'nodata', on ? 'shown' : ''].filter(Boolean).join(' ');
    return '<tr data-i="' + i + '" data-file="' + b.file + '"' + (classes ? ' class="' + classes + '"' : '') + '>' +
      '<td>' + pickable + '</td><td class="file" title="' + h(QX.index.files[b.file].label) + '">' + h(QX.index.files[b.file].label) +
      '</td><td class="num">' + b.number + '</td>' +
      '<td class="kind">' + h(b.kind) + '</td>' + what + nc.join('') +
      '<td class="num">' + b.lrec + '</td><td class="num">' + (b.nsize2 === undefined ? '' : b.nsize2) + '</td>' +
      '<td class="num">' + QX.real(b.real) + '</td><td class="num">' + QX.real(b.step) + '</td>' +
      '<td class="mono yt">' + h(yt) + '</td><td class="num">' + values + '</td><td class="num">' + peak + '</td>' +
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
      this.matched = [];
      QX.index.blocks.forEach((b, i) => {
        if ((!file || String(b.file) === file) && (!kind || b.kind === kind) && tests.every((t, k) => t(b.nc[k])) &&
          (!withValues.checked || (b.curves || []).some((c) => c.count > 0) || !!b.table)) this.matched.push(i);
      });
      this.body.textContent = '';
      this.rowOf.clear();
      this.drawn = 0;
      this.scroller.scrollTop = 0;
      this.more(QX.rowsPerDraw);
      this.tell();
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
    this.rowOf.forEach((tr, i) => {
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
