// The model drawn in the x-z plane from the model section: each element kind
// in its colour (four-node kinds as outlined faces, two-node kinds as
// lines), the boundary node lists marked, nodes on demand. Wheel to zoom
// about the pointer, drag to pan, double-click to fit; the pointer names the
// nearest node. On top, the places and the colour scale of
// model_overlay.js.
'use strict';

QX.elementStyle = {
  SOLID: { fill: 'rgba(107,155,209,0.28)', stroke: '#3f6fa6', width: 0.8 },
  WATER: { fill: 'rgba(79,182,201,0.30)', stroke: '#2b8ea1', width: 0.8 },
  WATERB: { fill: 'rgba(42,157,143,0.30)', stroke: '#1e7469', width: 0.8 },
  SHELL: { fill: 'rgba(233,162,59,0.30)', stroke: '#b87512', width: 1 },
  VOID: { fill: 'rgba(160,167,177,0.18)', stroke: '#8a919b', width: 0.8, dash: [4, 3] },
  JOINT: { fill: 'rgba(155,108,201,0.25)', stroke: '#7a4bab', width: 1 },
  BEAM: { stroke: '#d1495b', width: 2.5 },
  SPRING: { stroke: '#2e9e4f', width: 2 },
  ROTATE: { stroke: '#7c8b2b', width: 2, dash: [5, 3] },
  RIGID: { stroke: '#222222', width: 2.5 },
  other: { fill: 'rgba(128,128,128,0.2)', stroke: '#666666', width: 1 },
};

// The boundary lists: side lists hold model nodes, then free-field nodes.
QX.boundaryMarks = [
  { key: 'side', label: 'side boundary nodes', color: '#c2185b', shape: 'circle' },
  { key: 'free', label: 'free-field nodes', color: '#ef6c00', shape: 'square' },
  { key: 'base', label: 'base nodes', color: '#5e35b1', shape: 'triangle' },
];

QX.ModelView = class {
  constructor(canvas, tip, status, legend, scaleBox) {
    this.canvas = canvas;
    this.tip = tip;
    this.status = status;
    this.legend = legend;
    this.scaleBox = scaleBox;
    this.marks = [];
    this.scale = null;
    this.model = null;
    this.hidden = new Set(['nodes']);
    this.view = null;
    this.listen();
  }

  // Resolves the model's node numbers and element rows to coordinates.
  show(model) {
    const nodes = model.nodes || {};
    const number = QX.array(nodes.number) || new Int32Array(0);
    const x = QX.array(nodes.x) || new Float32Array(0);
    const z = QX.array(nodes.z) || new Float32Array(0);
    const at = new Map();
    for (let i = 0; i < number.length; ++i) if (Number.isFinite(x[i]) && Number.isFinite(z[i])) at.set(number[i], i);
    const kinds = [];
    let unknown = 0;
    for (const e of model.elements || []) {
      const rows = QX.array(e.rows);
      const cols = [];
      e.columns.forEach((c, k) => { if (c.startsWith('node')) cols.push(k); });
      const idx = [], numbers = [];
      for (let r = 0; r + 5 <= rows.length; r += 5) {
        const ring = [];
        for (const c of cols) {
          const i = at.get(rows[r + c]);
          if (i === undefined) break;
          ring.push(i);
        }
        if (ring.length === cols.length) { idx.push(ring); numbers.push(rows[r]); }
        else ++unknown;
      }
      kinds.push({ kind: e.kind, count: e.count, rings: idx, numbers, style: QX.elementStyle[e.kind] || QX.elementStyle.other });
    }
    const marks = { side: [], free: [], base: [] };
    const b = model.boundary;
    const onBoundary = new Map();
    const addMark = (key, list) => {
      for (const n of QX.array(list) || []) {
        const i = at.get(n);
        if (i === undefined) continue;
        marks[key].push(i);
        onBoundary.set(i, (onBoundary.get(i) ? onBoundary.get(i) + ', ' : '') + key);
      }
    };
    if (b) {
      for (const side of ['left', 'right']) {
        if (b[side]) { addMark('side', b[side][0]); addMark('free', b[side][1]); }
      }
      if (b.base) addMark('base', b.base[0]);
    }
    this.model = { source: model, number, x, z, kinds, marks, onBoundary, unknown, at, elementAt: null };
    this.bounds = this.measure();
    this.drawLegend();
    if (this.scale) this.showScale(this.scale.source);
    this.marks = this.marks.map((p) => this.locate(p));
    this.fit();
  }

  measure() {
    const { x, z } = this.model;
    let x0 = Infinity, x1 = -Infinity, z0 = Infinity, z1 = -Infinity;
    for (let i = 0; i < x.length; ++i) {
      if (!Number.isFinite(x[i]) || !Number.isFinite(z[i])) continue;
      x0 = Math.min(x0, x[i]); x1 = Math.max(x1, x[i]);
      z0 = Math.min(z0, z[i]); z1 = Math.max(z1, z[i]);
    }
    if (x0 > x1) return null;
    return { x0, x1, z0, z1 };
  }

  drawLegend() {
    const m = this.model;
    this.legend.textContent = '';
    const entry = (key, color, text, count) => {
      const label = QX.el('label');
      const box = QX.el('input', { type: 'checkbox' });
      box.checked = !this.hidden.has(key);
      box.addEventListener('change', () => {
        if (box.checked) this.hidden.delete(key); else this.hidden.add(key);
        this.draw();
      });
      const sw = QX.el('span', { class: 'swatch' });
      sw.style.background = color;
      label.append(box, sw, text + ' (' + count + ')');
      this.legend.append(label);
    };
    for (const k of m.kinds) entry(k.kind, k.style.stroke, k.kind, k.count);
    for (const b of QX.boundaryMarks) if (m.marks[b.key].length) entry(b.key, b.color, b.label, m.marks[b.key].length);
    entry('nodes', '#555', 'nodes', m.number.length);
  }

  size() {
    const dpr = window.devicePixelRatio || 1;
    const w = this.canvas.clientWidth, h = this.canvas.clientHeight;
    if (this.canvas.width !== Math.round(w * dpr) || this.canvas.height !== Math.round(h * dpr)) {
      this.canvas.width = Math.round(w * dpr);
      this.canvas.height = Math.round(h * dpr);
    }
    return { w, h, dpr };
  }

  fit() {
    const { w, h } = this.size();
    const b = this.bounds;
    if (!b) { this.view = { s: 1, cx: 0, cz: 0 }; this.draw(); return; }
    const span = Math.max(b.x1 - b.x0, b.z1 - b.z0, 1e-30);
    const s = Math.min((w - 40) / Math.max(b.x1 - b.x0, span * 1e-3), (h - 40) / Math.max(b.z1 - b.z0, span * 1e-3));
    this.view = { s, cx: (b.x0 + b.x1) / 2, cz: (b.z0 + b.z1) / 2 };
    this.draw();
  }

  sx(x) { return (x - this.view.cx) * this.view.s + this.canvas.clientWidth / 2; }
  sz(z) { return this.canvas.clientHeight / 2 - (z - this.view.cz) * this.view.s; }

  draw() {
    if (!this.model || !this.view) return;
    const { w, h, dpr } = this.size();
    const g = this.canvas.getContext('2d');
    g.setTransform(dpr, 0, 0, dpr, 0, 0);
    g.clearRect(0, 0, w, h);
    const m = this.model;
    const X = new Float64Array(m.x.length), Z = new Float64Array(m.x.length);
    for (let i = 0; i < X.length; ++i) { X[i] = this.sx(m.x[i]); Z[i] = this.sz(m.z[i]); }
    for (const k of m.kinds) {
      if (this.hidden.has(k.kind)) continue;
      const path = new Path2D();
      for (const ring of k.rings) {
        path.moveTo(X[ring[0]], Z[ring[0]]);
        for (let j = 1; j < ring.length; ++j) path.lineTo(X[ring[j]], Z[ring[j]]);
        if (ring.length > 2) path.closePath();
      }
      const st = k.style;
      if (st.fill) { g.fillStyle = st.fill; g.fill(path); }
      g.setLineDash(st.dash || []);
      g.strokeStyle = st.stroke;
      g.lineWidth = st.width;
      g.stroke(path);
    }
    g.setLineDash([]);
    this.drawScaleItems(g, X, Z, 'element');
    if (!this.hidden.has('nodes')) {
      g.fillStyle = '#444';
      for (let i = 0; i < X.length; ++i) g.fillRect(X[i] - 1, Z[i] - 1, 2, 2);
    }
    for (const b of QX.boundaryMarks) {
      if (this.hidden.has(b.key)) continue;
      g.fillStyle = b.color;
      g.strokeStyle = '#fff';
      g.lineWidth = 0.8;
      for (const i of m.marks[b.key]) this.mark(g, b.shape, X[i], Z[i]);
    }
    this.drawScaleItems(g, X, Z, 'node');
    this.drawPlaces(g, X, Z);
    this.drawScale(g, w, h);
  }

  mark(g, shape, x, y) {
    g.beginPath();
    if (shape === 'circle') g.arc(x, y, 3.5, 0, 2 * Math.PI);
    else if (shape === 'square') g.rect(x - 3.2, y - 3.2, 6.4, 6.4);
    else { g.moveTo(x, y - 4.5); g.lineTo(x + 4, y + 3); g.lineTo(x - 4, y + 3); g.closePath(); }
    g.fill();
    g.stroke();
  }

  // A scale bar of a round length in model units.
  drawScale(g, w, h) {
    const target = 90 / this.view.s;
    if (!(target > 0) || !Number.isFinite(target)) return;
    const p = Math.pow(10, Math.floor(Math.log10(target)));
    const len = [1, 2, 5, 10].map((f) => f * p).filter((v) => v <= target).pop() || p;
    const px = len * this.view.s;
    const x = 14, y = h - 14;
    g.strokeStyle = '#333';
    g.lineWidth = 1.5;
    g.beginPath();
    g.moveTo(x, y - 4); g.lineTo(x, y); g.lineTo(x + px, y); g.lineTo(x + px, y - 4);
    g.stroke();
    g.fillStyle = '#333';
    g.font = '11px system-ui, sans-serif';
    g.fillText(QX.real(len), x + px + 6, y);
  }

  nearest(px, py) {
    const m = this.model;
    let best = -1, bestD = 100;  // within 10 pixels
    for (let i = 0; i < m.x.length; ++i) {
      const dx = this.sx(m.x[i]) - px, dz = this.sz(m.z[i]) - py;
      const d = dx * dx + dz * dz;
      if (d < bestD) { bestD = d; best = i; }
    }
    return best;
  }

  listen() {
    const c = this.canvas;
    let drag = null;
    c.addEventListener('wheel', (e) => {
      if (!this.view) return;
      e.preventDefault();
      const r = c.getBoundingClientRect();
      const px = e.clientX - r.left, py = e.clientY - r.top;
      const mx = (px - c.clientWidth / 2) / this.view.s + this.view.cx;
      const mz = (c.clientHeight / 2 - py) / this.view.s + this.view.cz;
      const f = Math.exp(-e.deltaY * 0.0015);
      this.view.s *= f;
      this.view.cx = mx - (px - c.clientWidth / 2) / this.view.s;
      this.view.cz = mz - (c.clientHeight / 2 - py) / this.view.s;
      this.draw();
    }, { passive: false });
    c.addEventListener('mousedown', (e) => {
      if (!this.view) return;
      drag = { x: e.clientX, y: e.clientY, cx: this.view.cx, cz: this.view.cz };
      c.classList.add('dragging');
    });
    window.addEventListener('mouseup', () => { drag = null; c.classList.remove('dragging'); });
    c.addEventListener('mousemove', (e) => {
      if (!this.model) return;
      if (drag) {
        this.view.cx = drag.cx - (e.clientX - drag.x) / this.view.s;
        this.view.cz = drag.cz + (e.clientY - drag.y) / this.view.s;
        this.draw();
        return;
      }
      const r = c.getBoundingClientRect();
      const px = e.clientX - r.left, py = e.clientY - r.top;
      const i = this.nearest(px, py);
      if (i < 0) { this.tip.hidden = true; return; }
      const m = this.model;
      const where = m.onBoundary.get(i);
      const valued = this.scale && this.scale.source.what === 'node' ? this.scale.items.find((it) => it.at.node === i) : null;
      this.tip.textContent = 'node ' + m.number[i] + '  x ' + QX.real(m.x[i]) + '  z ' + QX.real(m.z[i]) + (where ? '  (' + where + ')' : '') +
        (valued ? '  ' + QX.real(valued.v) : '');
      this.tip.hidden = false;
      this.tip.style.left = Math.min(px + 12, c.clientWidth - this.tip.offsetWidth - 4) + 'px';
      this.tip.style.top = Math.max(py - 28, 2) + 'px';
    });
    c.addEventListener('mouseleave', () => { this.tip.hidden = true; });
    c.addEventListener('dblclick', () => this.fit());
    window.addEventListener('resize', () => this.draw());
  }
};
