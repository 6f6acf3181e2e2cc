// The report page at start: the case's title and files, the model, the block
// table with the plots it drives, the maxima. window.qxReport tells what the
// page shows, for scripts that look at it.
'use strict';

(function () {
  const index = QX.index;
  const files = index.files, blocks = index.blocks, models = index.models;

  // Title: the model's, else the first file's name.
  const title = models.length && models[0].title.trim() ? models[0].title.trim() : files.length ? files[0].name : 'no file';
  document.getElementById('case-title').textContent = title;
  document.title = title + ' · qxdump report';
  const curves = blocks.reduce((n, b) => n + (b.curves || []).length, 0);
  const maxima = blocks.filter((b) => b.maxima).length;
  document.getElementById('case-summary').textContent =
    files.length + (files.length === 1 ? ' file, ' : ' files, ') + blocks.length + ' blocks, ' + curves + ' curves, ' +
    maxima + ' maxima blocks';
  document.getElementById('page-foot').textContent = 'Written by ' + index.generator +
    '. Curves longer than ' + 2 * index.buckets + ' values are drawn as a min/max envelope of ' + index.buckets +
    ' buckets that keeps their first and last values and their peak exactly.';

  // Files.
  const ft = document.getElementById('file-table');
  const rows = files.map((f) => '<tr><td>' + QX.html(f.label) + '</td><td>' + QX.html(f.kind) + '</td><td>' + (f.family || '') +
    '</td><td>' + (f.variant || '') + (f.variantFrom ? ' <span class="hint">(' + QX.html(f.variantFrom) + ')</span>' : '') +
    '</td><td>' + (f.byteOrder || '') + '</td><td class="num" title="' + f.bytes + ' bytes">' + QX.bytes(f.bytes) +
    '</td><td class="num">' + f.blocks + '</td><td>' + (f.model >= 0 ? models[f.model].variant + ' model' : '') + '</td><td>' +
    (f.notes ? '<span class="tag warn" title="' + QX.html(f.notes.join('\n')) + '">' + f.notes.length + ' notes</span>' : '') + '</td></tr>');
  ft.innerHTML = '<thead><tr><th>file</th><th>kind</th><th>family</th><th>variant</th><th>byte order</th><th class="num">size</th>' +
    '<th class="num">blocks</th><th>begins with</th><th>notes</th></tr></thead><tbody>' + rows.join('') + '</tbody>';

  // Model: one view, with a choice where the files begin with different
  // model sections (the SV model and the reduced SH one).
  const view = new QX.ModelView(document.getElementById('model-canvas'), document.getElementById('model-tip'),
    document.getElementById('model-status'), document.getElementById('model-legend'), document.getElementById('model-scale'));
  const choice = document.getElementById('model-choice');
  let shownModel = -1;
  const showModel = (m) => {
    shownModel = m;
    view.show(models[m]);
    for (const b of choice.children) b.classList.toggle('on', Number(b.dataset.m) === m);
    const md = models[m];
    const users = files.filter((f) => f.model === m).map((f) => f.label);
    const notes = md.notes ? ' · ' + md.notes.join('; ') : '';
    const lost = view.model.unknown ? ' · ' + view.model.unknown + ' elements name nodes the section does not hold' : '';
    view.status.textContent = md.variant + ' model of ' + users.join(', ') + ': ' + md.ndpt + ' nodes, ' + md.countsName + ' ' +
      md.counts.join(',') + lost + notes + '. Wheel to zoom, drag to pan, double-click to fit.';
  };
  if (models.length) {
    if (models.length > 1) {
      models.forEach((m, i) => {
        const b = QX.el('button', { type: 'button', 'data-m': String(i) }, m.variant + ' model');
        b.addEventListener('click', () => showModel(i));
        choice.append(b);
      });
    }
    showModel(0);
  } else {
    document.getElementById('model-status').textContent = 'These files hold no model section (result files begin with their blocks).';
  }
  document.getElementById('model-fit').addEventListener('click', () => view.fit());

  // A block's own model where its file begins with one that is not shown.
  const modelOf = (b) => {
    const m = files[b.file].model;
    if (m >= 0 && m !== shownModel) showModel(m);
  };

  // Blocks and plots; the places of the curves plotted ringed on the model.
  const plots = new QX.Plots(document.getElementById('plot-area'), (shown) => {
    const marks = [], seen = new Set();
    for (const s of shown) {
      const p = QX.placeOf(blocks[s.block]);
      if (!p || seen.has(s.block)) continue;
      seen.add(s.block);
      if (!marks.length) modelOf(blocks[s.block]);
      marks.push(Object.assign(p, { color: s.color, block: s.block }));
    }
    view.setMarks(marks);
  });
  // A maxima column of node or element items as a colour scale.
  const maximaList = new QX.MaximaList(document.getElementById('maxima-list'), document.getElementById('maxima-count'), (i, c) => {
    if (c === null) { view.showScale(null); return; }
    const b = blocks[i], t = b.table, per = t.names.length;
    const byId2 = !t.id1Holds;
    const ids = QX.array(byId2 ? t.id2 : t.id1), all = QX.array(t.values), values = new Float64Array(t.rows);
    for (let a = 0; a < t.rows; ++a) values[a] = all[a * per + c];
    modelOf(b);
    view.showScale({
      what: byId2 ? t.id2Holds : t.id1Holds, kind: byId2 ? t.id2Kind : t.id1Kind, ids: ids.subarray(0, t.rows), values,
      title: QX.blockLabel(b) + ' · ' + (t.titles || t.names)[c] + (t.rows < t.na ? ' (first ' + t.rows + ' items)' : ''),
      block: i, column: c,
    });
  });
  let table;
  QX.picked = () => [...table.picked].sort((a, b) => a - b);
  const draw = () => plots.show(QX.picked());
  table = new QX.BlockTable(document.getElementById('block-table'), document.getElementById('block-count'), (i) => {
    const b = blocks[i];
    if (b.maxima) { maximaList.open(i); return; }
    table.pickOnly(i);
    draw();
  }, draw);
  document.getElementById('plot-clear').addEventListener('click', () => { table.picked.clear(); table.mark(); draw(); });

  // At first the first time history (else the first curve) is shown.
  let first = blocks.findIndex((b) => b.axis === 'time' && (b.curves || []).some((c) => c.count > 0));
  if (first < 0) first = blocks.findIndex((b) => (b.curves || []).some((c) => c.count > 0));
  if (first >= 0) table.pickOnly(first);
  draw();
  const firstMaxima = blocks.findIndex((b) => b.maxima && b.table);
  if (firstMaxima >= 0) maximaList.sections.get(firstMaxima).open = true;

  // The section links leave the sticky head (the title, and a section's own
  // head and filters under it) in view: sections stop short of the head.
  const head = document.querySelector('.page-head');
  const headHeight = () => document.documentElement.style.setProperty('--head-h', head.offsetHeight + 'px');
  headHeight();
  window.addEventListener('resize', headHeight);

  window.qxReport = {
    ready: true,
    index,
    blocksShown: () => table.matched.length,
    rowsDrawn: () => table.drawn,
    // Draws the table's rows down to that of block i and scrolls it into view.
    reveal: (i) => table.reveal(i),
    picked: QX.picked,
    charts: () => plots.charts.map((c) => ({
      axis: c.axis,
      xTitle: c.xTitle,
      yTitle: c.yTitle,
      axes: c.plot.axes.map((a) => (a.label === undefined ? null : a.label)),
      y: { min: c.plot.scales.y.min, max: c.plot.scales.y.max },
      markers: c.markers,
      data: c.plot.data.map((a) => Array.from(a)),
      series: c.plot.series.slice(1).map((s) => s.label),
      curves: c.curves.map((k) => ({ block: k.block, name: k.curve.name, color: k.color })),
    })),
    // The places ringed on the model, and where they are drawn (in CSS
    // pixels of the canvas).
    marks: () => view.marks.map((p) => Object.assign({ drawnAt: p.at ? view.pixelOf(p.at) : null }, p)),
    scale: () => view.scale && { title: view.scale.source.title, lo: view.scale.lo, hi: view.scale.hi,
      items: view.scale.items.map((it) => ({ v: it.v, drawnAt: view.pixelOf(it.at) })),
      unplaced: view.scale.unplaced, outside: view.scale.outside },
  };
})();
