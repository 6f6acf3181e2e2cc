// The plots: the curves of the blocks picked in the table, one chart per
// abscissa (time histories, spectra against frequency, values by index),
// overlaid in each. uPlot draws them: drag to zoom, wheel to zoom about the
// pointer, shift-drag to pan, double-click to see everything; the legend
// gives each curve's value under the cursor. Log axes for spectra.
'use strict';

QX.chartGroups = [
  { axis: 'time', title: 'Time histories', logs: false },
  { axis: 'frequency', title: 'Spectra', logs: true },
  { axis: 'index', title: 'Values by index', logs: true },
];

// The points of a curve as drawn: the abscissa of each kept sample, its
// value (null where it is not a finite number, or not positive on a log
// axis).
QX.curvePoints = function (b, c, logX, logY) {
  const y = QX.array(c.y);
  const k = QX.array(c.k);
  const x = QX.array(c.x);
  const step = QX.num(b.axisStep);
  const xs = [], ys = [];
  for (let i = 0; i < y.length; ++i) {
    const kk = k ? k[i] : i;
    const xv = x ? x[i] : step !== undefined ? kk * step : kk;
    if (!Number.isFinite(xv) || (logX && xv <= 0)) continue;
    const yv = y[i];
    xs.push(xv);
    ys.push(Number.isFinite(yv) && (!logY || yv > 0) ? yv : null);
  }
  return [xs, ys];
};

// Tick steps of every magnitude that a real4 takes (uPlot's own stop at
// 1e±16), and tick texts as the tables write values.
QX.incrs = (function () {
  const steps = [];
  for (let e = -46; e <= 39; ++e) for (const m of [1, 2, 2.5, 5]) steps.push(Number(m + 'e' + e));
  return steps;
})();
// A tick that stands for zero on a linear axis may carry the rounding of its
// sum.
QX.tickTexts = (u, ticks, axisIdx, space, incr) => {
  const linear = u.scales[u.axes[axisIdx].scale].distr !== 3;
  return ticks.map((t) => (linear && incr && Math.abs(t) < incr * 1e-9 ? '0' : QX.real(t)));
};
// Ticks of a log axis: 1, 2 and 5 of each decade over a few decades, every
// decade or every n-th one over many. uPlot's own log ticks step through the
// decades it knows (1e±16), and a real4 curve reaches 1e-45 and 1e38.
QX.logSplits = function (u, axisIdx, min, max) {
  if (!(min > 0) || !Number.isFinite(min) || !Number.isFinite(max) || max < min) return [];
  const lo = Math.floor(Math.log10(min)), hi = Math.ceil(Math.log10(max));
  const every = Math.max(1, Math.ceil((hi - lo) / 10));
  const marks = hi - lo <= 2 ? [1, 2, 5] : [1];
  const splits = [];
  for (let e = lo - (lo % every + every) % every; e <= hi; e += every)
    for (const m of marks) {
      const v = Number(m + 'e' + e);
      if (v >= min * (1 - 1e-9) && v <= max * (1 + 1e-9)) splits.push(v);
    }
  return splits;
};
// Every one of those ticks is labelled (uPlot labels the powers it knows).
QX.everySplit = (u, splits) => splits;
QX.axisSize = function (u, values, axisIdx, cycleNum) {
  const axis = u.axes[axisIdx];
  if (cycleNum > 1) return axis._size;
  let longest = 0;
  for (const v of values || []) longest = Math.max(longest, String(v).length);
  return Math.max(48, 16 + 7 * longest);
};

// Wheel zoom about the pointer and shift-drag pan, on the x scale.
QX.panZoomPlugin = function () {
  return {
    hooks: {
      ready: (u) => {
        const over = u.over;
        over.addEventListener('wheel', (e) => {
          e.preventDefault();
          const { left } = u.cursor;
          const x = u.posToVal(left, 'x');
          const s = u.scales.x;
          const f = Math.exp(e.deltaY * 0.0015);
          const distr = u.scales.x.distr;
          if (distr === 3) {
            const lx = Math.log10(x), l0 = Math.log10(s.min), l1 = Math.log10(s.max);
            u.setScale('x', { min: Math.pow(10, lx - (lx - l0) * f), max: Math.pow(10, lx + (l1 - lx) * f) });
          } else {
            u.setScale('x', { min: x - (x - s.min) * f, max: x + (s.max - x) * f });
          }
        }, { passive: false });
        over.addEventListener('mousedown', (e) => {
          if (!e.shiftKey) return;
          e.preventDefault();
          e.stopPropagation();
          const x0 = e.clientX, min = u.scales.x.min, max = u.scales.x.max;
          const per = (max - min) / u.bbox.width * (window.devicePixelRatio || 1);
          const move = (m) => {
            const d = (m.clientX - x0) * per;
            u.setScale('x', { min: min - d, max: max - d });
          };
          const up = () => { window.removeEventListener('mousemove', move); window.removeEventListener('mouseup', up); };
          window.addEventListener('mousemove', move);
          window.addEventListener('mouseup', up);
        }, true);
      },
    },
  };
};

// A ring at each curve's peak, where it lies in view.
QX.peakPlugin = function (curves) {
  return {
    hooks: {
      draw: (u) => {
        const g = u.ctx;
        const dpr = window.devicePixelRatio || 1;
        curves.forEach((c, i) => {
          const s = u.series[i + 1];
          if (!s.show || c.peakAt === undefined) return;
          const x = QX.num(c.peakAt), y = QX.num(c.curve.peak);
          if (!Number.isFinite(x) || !Number.isFinite(y)) return;
          if (x < u.scales.x.min || x > u.scales.x.max || y < u.scales.y.min || y > u.scales.y.max) return;
          const px = u.valToPos(x, 'x', true), py = u.valToPos(y, 'y', true);
          g.save();
          g.strokeStyle = s._stroke || c.color;
          g.lineWidth = 1.5 * dpr;
          g.beginPath();
          g.arc(px, py, 5 * dpr, 0, 2 * Math.PI);
          g.stroke();
          g.restore();
        });
      },
    },
  };
};

// For each curve, the cursor takes the sample nearest to it that the curve
// has (overlaid curves need not share their abscissae).
QX.nearestSample = function (u, si, idx) {
  const ys = u.data[si];
  if (ys[idx] != null) return idx;
  for (let d = 1; d < 4000; ++d) {
    if (idx - d >= 0 && ys[idx - d] != null) return idx - d;
    if (idx + d < ys.length && ys[idx + d] != null) return idx + d;
  }
  return idx;
};

QX.Plots = class {
  constructor(area) {
    this.area = area;
    this.charts = [];
    this.logs = { frequency: { x: false, y: false }, index: { x: false, y: false } };
    window.addEventListener('resize', () => {
      for (const c of this.charts) c.plot.setSize({ width: this.width(), height: c.plot.height });
    });
  }

  width() { return Math.max(this.area.clientWidth - 20, 300); }

  // Draws the value curves of the blocks (indices into the index's blocks).
  show(blocks) {
    for (const c of this.charts) c.plot.destroy();
    this.charts = [];
    this.area.textContent = '';
    const groups = new Map();
    for (const bi of blocks) {
      const b = QX.index.blocks[bi];
      for (const c of b.curves || []) {
        if (!groups.has(b.axis)) groups.set(b.axis, []);
        groups.get(b.axis).push({ block: bi, b, curve: c });
      }
    }
    if (!groups.size) {
      this.area.append(QX.el('div', { class: 'empty-note' },
        blocks.length ? 'The block picked holds no values to plot.' : 'No block picked: click a row of the block table.'));
      return;
    }
    for (const g of QX.chartGroups) if (groups.has(g.axis)) this.chart(g, groups.get(g.axis));
  }

  chart(group, curves) {
    const box = QX.el('div', { class: 'chart-box' });
    const head = QX.el('div', { class: 'chart-head' });
    head.append(QX.el('h3', null, group.title));
    const logs = this.logs[group.axis];
    if (group.logs) {
      for (const axis of ['x', 'y']) {
        const label = QX.el('label');
        const box2 = QX.el('input', { type: 'checkbox' });
        box2.checked = logs[axis];
        box2.addEventListener('change', () => { logs[axis] = box2.checked; this.show(QX.picked()); });
        label.append(box2, ' log ' + axis);
        head.append(label);
      }
    }
    head.append(QX.el('span', { class: 'hint' }, 'drag: zoom · wheel: zoom · shift-drag: pan · double-click: all'));
    box.append(head);
    this.area.append(box);

    const logX = group.logs && logs.x, logY = group.logs && logs.y;
    const tables = [];
    const series = [{ label: QX.axisTitle[group.axis], value: (u, v) => (v == null ? '—' : QX.real(v)) }];
    curves.forEach((c, i) => {
      c.color = QX.palette[i % QX.palette.length];
      c.peakAt = c.curve.peakAt;
      tables.push(QX.curvePoints(c.b, c.curve, logX, logY));
      const many = (c.b.curves || []).length > 1;
      series.push({
        label: QX.blockLabel(c.b) + (many ? ' ' + c.curve.name : '') + ' [' + QX.codes(c.b) + ']',
        stroke: c.color,
        width: 1.2,
        points: { show: false },
        value: (u, v) => (v == null ? '—' : QX.real(v)),
      });
    });
    const data = tables.length === 1 ? tables[0] : uPlot.join(tables, tables.map(() => [1]));
    const opts = {
      width: this.width(),
      height: 300,
      scales: {
        x: { time: false, distr: logX ? 3 : 1 },
        y: { distr: logY ? 3 : 1 },
      },
      axes: [
        { label: QX.axisTitle[group.axis], incrs: QX.incrs, values: QX.tickTexts, splits: logX ? QX.logSplits : undefined, filter: logX ? QX.everySplit : undefined },
        { incrs: QX.incrs, values: QX.tickTexts, size: QX.axisSize, splits: logY ? QX.logSplits : undefined, filter: logY ? QX.everySplit : undefined },
      ],
      series,
      cursor: {
        drag: { x: true, y: false, setScale: true },
        dataIdx: (u, si, idx) => QX.nearestSample(u, si, idx),
      },
      legend: { live: true },
      plugins: [QX.panZoomPlugin(), QX.peakPlugin(curves)],
    };
    const plot = new uPlot(opts, data, box);
    this.charts.push({ axis: group.axis, plot, curves });
    box.append(this.notes(curves, logY));
  }

  // One line per curve under the chart: values, points drawn, peak.
  notes(curves, logY) {
    const t = QX.el('table', { class: 'grid chart-stats' });
    t.innerHTML = '<thead><tr><th></th><th>curve</th><th class="num">values</th><th class="num">drawn</th>' +
      '<th class="num">peak</th><th class="num">at</th></tr></thead>';
    const body = QX.el('tbody');
    for (const c of curves) {
      const tr = QX.el('tr');
      const drawn = QX.array(c.curve.y).length;
      tr.innerHTML = '<td><span class="swatch" style="background:' + c.color + '"></span></td>' +
        '<td>' + QX.html(QX.blockLabel(c.b) + ' ' + c.curve.name) + '</td>' +
        '<td class="num">' + c.curve.count + '</td>' +
        '<td class="num">' + drawn + (c.curve.whole ? '' : ' <span class="tag" title="min/max envelope of ' + QX.index.buckets + ' buckets; first, last and peak samples exact">envelope</span>') + '</td>' +
        '<td class="num">' + QX.real(c.curve.peak) + '</td>' +
        '<td class="num">' + QX.real(c.curve.peakAt) + '</td>';
      body.append(tr);
    }
    t.append(body);
    const wrap = QX.el('div', { class: 'table-scroll' });
    wrap.append(t);
    if (logY) wrap.append(QX.el('div', { class: 'chart-note' }, 'Log y: only positive values are drawn.'));
    return wrap;
  }
};
