// The plots: the curves of the blocks picked in the table, one chart per
// abscissa (time histories, spectra against frequency, against an abscissa
// that the code map gives, values by index), overlaid in each. uPlot draws
// them: drag to zoom, wheel to zoom about the pointer, shift-drag to pan,
// double-click to see everything; the legend gives each curve's value under
// the cursor. Log axes for spectra, a y range to type, and markers of no
// value (±3.4e38) at the edge instead of in the scale.
'use strict';

QX.chartGroups = [
  { axis: 'time', title: 'Time histories', logs: false },
  { axis: 'frequency', title: 'Spectra', logs: true },
  { axis: 'index', title: 'Values by index', logs: true },
];
// An abscissa that the code map names ("period").
QX.chartGroup = function (axis) {
  return QX.chartGroups.find((g) => g.axis === axis) || { axis, title: 'Against ' + axis, logs: true };
};

// The points of a curve as drawn: the abscissa of each kept sample, its
// value (null where it is not a finite number, is a marker of no value, or
// is not positive on a log axis), and the markers with their abscissae.
QX.curvePoints = function (b, c, logX, logY) {
  const y = QX.array(c.y);
  const k = QX.array(c.k);
  const x = QX.array(c.x);
  const step = QX.num(b.axisStep);
  const xs = [], ys = [], markers = [];
  for (let i = 0; i < y.length; ++i) {
    const kk = k ? k[i] : i;
    const xv = x ? x[i] : step !== undefined ? kk * step : kk;
    if (!Number.isFinite(xv) || (logX && xv <= 0)) continue;
    const yv = y[i];
    xs.push(xv);
    const marker = !Number.isNaN(yv) && QX.isMarker(yv);
    if (marker) markers.push({ x: xv, v: yv });
    ys.push(Number.isFinite(yv) && !marker && (!logY || yv > 0) ? yv : null);
  }
  return [xs, ys, markers];
};

// The x axis's title: the one the code map gives every curve's block, else
// the abscissa's own.
QX.xTitle = function (axis, curves) {
  const titles = [...new Set(curves.map((c) => (c.b.meaning && c.b.meaning.axisTitle) || ''))];
  return titles.length === 1 && titles[0] ? titles[0] : QX.axisTitle[axis] || axis;
};
// The y axis's title where the code map gives every curve the same unit
// ("acceleration [m/s2]", or "[m/s2]" for different quantities); empty
// otherwise.
QX.yTitle = function (curves) {
  const units = [...new Set(curves.map((c) => c.curve.unit || ''))];
  if (units.length !== 1 || !units[0]) return '';
  const quantities = [...new Set(curves.map((c) => (c.b.meaning && c.b.meaning.quantity) || ''))];
  return (quantities.length === 1 && quantities[0] ? quantities[0] + ' ' : '') + '[' + units[0] + ']';
};

// The y scale's range: the one typed in, else uPlot's own.
QX.yRange = function (chart) {
  return (u, min, max, key) => {
    if (chart.yRange) return [chart.yRange.min, chart.yRange.max];
    if (min == null) return [null, null];
    return u.scales[key].distr === 3 ? uPlot.rangeLog(min, max, 10, false) : uPlot.rangeNum(min, max, 0.1, true);
  };
};

// Markers of no value as triangles at the plot's edge, at their abscissae:
// up at the top for positive ones, down at the bottom for negative ones.
QX.markerPlugin = function (marks) {
  return {
    hooks: {
      draw: (u) => {
        const g = u.ctx, dpr = window.devicePixelRatio || 1;
        const top = u.bbox.top, bottom = u.bbox.top + u.bbox.height, size = 5 * dpr;
        marks.forEach((list, i) => {
          const s = u.series[i + 1];
          if (!s.show || !list.length) return;
          g.save();
          g.fillStyle = s._stroke || '#000';
          for (const m of list) {
            if (m.x < u.scales.x.min || m.x > u.scales.x.max) continue;
            const px = u.valToPos(m.x, 'x', true);
            const edge = m.v > 0 ? top + size : bottom - size;
            const tip = m.v > 0 ? top : bottom;
            g.beginPath();
            g.moveTo(px, tip);
            g.lineTo(px - size * 0.8, edge);
            g.lineTo(px + size * 0.8, edge);
            g.closePath();
            g.fill();
          }
          g.restore();
        });
      },
    },
  };
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
  // onShown(curves): the curves drawn, each { block, color }.
  constructor(area, onShown) {
    this.area = area;
    this.onShown = onShown || (() => {});
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
      this.onShown([]);
      return;
    }
    const known = QX.chartGroups.map((g) => g.axis);
    const order = known.filter((a) => groups.has(a)).concat([...groups.keys()].filter((a) => !known.includes(a)));
    for (const axis of order) this.chart(QX.chartGroup(axis), groups.get(axis));
    this.onShown(this.charts.flatMap((c) => c.curves.map((k) => ({ block: k.block, color: k.color }))));
  }

  chart(group, curves) {
    const box = QX.el('div', { class: 'chart-box' });
    const head = QX.el('div', { class: 'chart-head' });
    head.append(QX.el('h3', null, group.title));
    const logs = this.logs[group.axis] || (this.logs[group.axis] = { x: false, y: false });
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
    const chart = { axis: group.axis, curves, yRange: null };
    head.append(this.yControl(chart, group.logs && logs.y));
    head.append(QX.el('span', { class: 'hint' }, 'drag: zoom · wheel: zoom · shift-drag: pan · double-click: all'));
    box.append(head);
    this.area.append(box);

    const logX = group.logs && logs.x, logY = group.logs && logs.y;
    const tables = [], marks = [];
    const xTitle = QX.xTitle(group.axis, curves), yTitle = QX.yTitle(curves);
    const series = [{ label: xTitle, value: (u, v) => (v == null ? '—' : QX.real(v)) }];
    curves.forEach((c, i) => {
      c.color = QX.palette[i % QX.palette.length];
      c.peakAt = c.curve.peakAt;
      const [xs, ys, markers] = QX.curvePoints(c.b, c.curve, logX, logY);
      tables.push([xs, ys]);
      marks.push(markers);
      series.push({
        label: QX.curveLabel(c.b, c.curve, (c.b.curves || []).length > 1),
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
        y: { distr: logY ? 3 : 1, range: QX.yRange(chart) },
      },
      axes: [
        { label: xTitle, incrs: QX.incrs, values: QX.tickTexts, splits: logX ? QX.logSplits : undefined, filter: logX ? QX.everySplit : undefined },
        { label: yTitle || undefined, incrs: QX.incrs, values: QX.tickTexts, size: QX.axisSize, splits: logY ? QX.logSplits : undefined, filter: logY ? QX.everySplit : undefined },
      ],
      series,
      cursor: {
        drag: { x: true, y: false, setScale: true },
        dataIdx: (u, si, idx) => QX.nearestSample(u, si, idx),
      },
      legend: { live: true },
      plugins: [QX.panZoomPlugin(), QX.peakPlugin(curves), QX.markerPlugin(marks)],
    };
    chart.plot = new uPlot(opts, data, box);
    chart.xTitle = xTitle;
    chart.yTitle = yTitle;
    chart.markers = marks.reduce((n, m) => n + m.length, 0);
    this.charts.push(chart);
    box.append(this.notes(curves, logY, chart.markers));
  }

  // The y range typed in: "y from A to B" (both, A below B; above 0 on a log
  // axis), "auto" for the range of the values in view.
  yControl(chart, logY) {
    const wrap = QX.el('span', { class: 'y-range' });
    const lo = QX.el('input', { class: 'y-min', size: '8', 'aria-label': 'y from', inputmode: 'decimal' });
    const hi = QX.el('input', { class: 'y-max', size: '8', 'aria-label': 'y to', inputmode: 'decimal' });
    const auto = QX.el('button', { type: 'button', class: 'y-auto', title: 'The range of the values in view' }, 'auto');
    const apply = () => {
      const a = lo.value.trim() === '' ? NaN : Number(lo.value), b = hi.value.trim() === '' ? NaN : Number(hi.value);
      const ok = Number.isFinite(a) && Number.isFinite(b) && a < b && (!logY || a > 0);
      for (const e of [lo, hi]) e.classList.toggle('bad', !ok && (lo.value.trim() !== '' || hi.value.trim() !== ''));
      if (!ok) return;
      chart.yRange = { min: a, max: b };
      chart.plot.setScale('y', { min: a, max: b });
    };
    lo.addEventListener('change', apply);
    hi.addEventListener('change', apply);
    auto.addEventListener('click', () => {
      chart.yRange = null;
      lo.value = hi.value = '';
      lo.classList.remove('bad');
      hi.classList.remove('bad');
      const x = chart.plot.scales.x;
      chart.plot.setScale('x', { min: x.min, max: x.max });
    });
    wrap.append(QX.el('label', null, 'y from '), lo, QX.el('label', null, ' to '), hi, ' ', auto);
    return wrap;
  }

  // One line per curve under the chart: values, points drawn, peak.
  notes(curves, logY, markers) {
    const t = QX.el('table', { class: 'grid chart-stats' });
    t.innerHTML = '<thead><tr><th></th><th>curve</th><th class="num">values</th><th class="num">drawn</th>' +
      '<th class="num">peak</th><th class="num">at</th></tr></thead>';
    const body = QX.el('tbody');
    for (const c of curves) {
      const tr = QX.el('tr');
      const drawn = QX.array(c.curve.y).length;
      tr.innerHTML = '<td><span class="swatch" style="background:' + c.color + '"></span></td>' +
        '<td>' + QX.html(c.curve.title ? QX.curveLabel(c.b, c.curve) : QX.blockLabel(c.b) + ' ' + c.curve.name) + '</td>' +
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
    if (markers)
      wrap.append(QX.el('div', { class: 'chart-note warn marker-note' }, markers + (markers === 1 ? ' value' : ' values') +
        ' of magnitude ' + QX.real(QX.markerMagnitude) + ' or more (such as ±3.4e38, the end of the real4 range) ' +
        (markers === 1 ? 'is a marker' : 'are markers') + ' of no value: drawn as ▲ ▼ at the edge, outside the scale.'));
    return wrap;
  }
};
