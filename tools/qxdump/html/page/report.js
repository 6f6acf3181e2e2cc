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
    document.getElementById('model-status'), document.getElementById('model-legend'));
  const choice = document.getElementById('model-choice');
  const showModel = (m) => {
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

  // Blocks and plots.
  const plots = new QX.Plots(document.getElementById('plot-area'));
  const maximaList = new QX.MaximaList(document.getElementById('maxima-list'), document.getElementById('maxima-count'));
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
      data: c.plot.data.map((a) => Array.from(a)),
      series: c.plot.series.slice(1).map((s) => s.label),
      curves: c.curves.map((k) => ({ block: k.block, name: k.curve.name })),
    })),
  };
})();
