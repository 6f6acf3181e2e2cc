// What is drawn on the model over its elements, where a code map says which
// node or element a block or a maxima item belongs to: the places of the
// curves plotted, ringed in their colours and named, and one maxima column
// as a colour scale with its legend. Methods of QX.ModelView.
'use strict';

// The colour scale, from the smallest value to the largest (viridis).
QX.scaleStops = ['#440154', '#3b528b', '#21918c', '#5ec962', '#fde725'];
QX.scaleColour = function (t) {
  const s = QX.scaleStops, f = Math.min(Math.max(t, 0), 1) * (s.length - 1), i = Math.min(Math.floor(f), s.length - 2);
  const mix = (a, b, w) => Math.round(parseInt(a, 16) * (1 - w) + parseInt(b, 16) * w);
  const c = [1, 3, 5].map((o) => mix(s[i].substr(o, 2), s[i + 1].substr(o, 2), f - i));
  return 'rgb(' + c.join(',') + ')';
};

// Where a node or element of the model is drawn: { node } (its index), or
// { kind, ring }; null where the model holds none, or where an element
// number names elements of several kinds and the code map names none.
QX.ModelView.prototype.find = function (what, number, kind) {
  const m = this.model;
  if (!m) return null;
  if (what === 'node') {
    const i = m.at.get(number);
    return i === undefined ? null : { node: i };
  }
  if (!m.elementAt) {
    m.elementAt = new Map();
    m.kinds.forEach((k, ki) => k.numbers.forEach((n, ri) => {
      if (!m.elementAt.has(n)) m.elementAt.set(n, []);
      m.elementAt.get(n).push({ kind: ki, ring: ri });
    }));
  }
  const all = (m.elementAt.get(number) || []).filter((e) => !kind || m.kinds[e.kind].kind === kind);
  return all.length === 1 ? all[0] : null;
};

QX.ModelView.prototype.locate = function (p) { return Object.assign({}, p, { at: this.find(p.what, p.number, p.kind) }); };

// Rings the places of the curves plotted: [{ what, number, kind, color }].
QX.ModelView.prototype.setMarks = function (list) {
  this.marks = list.map((p) => this.locate(p));
  this.draw();
  return this.marks;
};

// One maxima column on the model as a colour scale: { what, kind, ids,
// values, title }. Markers of no value (±3.4e38) and NaN stay out of the
// scale; null takes the scale away.
QX.ModelView.prototype.showScale = function (source) {
  this.scale = null;
  this.scaleBox.textContent = '';
  this.scaleBox.hidden = true;
  if (source && this.model) {
    const items = [];
    let unplaced = 0, outside = 0, lo = Infinity, hi = -Infinity;
    for (let a = 0; a < source.ids.length; ++a) {
      const at = this.find(source.what, source.ids[a], source.kind), v = source.values[a];
      if (!at) { ++unplaced; continue; }
      if (!Number.isFinite(v) || QX.isMarker(v)) { ++outside; continue; }
      items.push({ at, v });
      lo = Math.min(lo, v);
      hi = Math.max(hi, v);
    }
    this.scale = { source, items, lo, hi, unplaced, outside };
    this.drawScaleLegend();
  }
  this.draw();
  return this.scale;
};

QX.ModelView.prototype.drawScaleLegend = function () {
  const s = this.scale, box = this.scaleBox;
  box.hidden = false;
  box.append(QX.el('span', { class: 'scale-title' }, s.source.title));
  const bar = QX.el('span', { class: 'scale-bar' });
  bar.style.background = 'linear-gradient(to right, ' + QX.scaleStops.join(', ') + ')';
  box.append(QX.el('span', { class: 'scale-min num' }, s.items.length ? QX.real(s.lo) : '—'), bar,
    QX.el('span', { class: 'scale-max num' }, s.items.length ? QX.real(s.hi) : '—'));
  const told = [s.items.length + ' of ' + s.source.ids.length + ' items on the model'];
  if (s.outside) told.push(s.outside + ' without a value (NaN, or a marker such as ±3.4e38)');
  if (s.unplaced) told.push(s.unplaced + ' name no ' + (s.source.what === 'node' ? 'node' : 'single element') + ' of this model');
  box.append(QX.el('span', { class: 'hint scale-count' }, told.join('; ')));
  const clear = QX.el('button', { type: 'button' }, 'clear');
  clear.addEventListener('click', () => this.showScale(null));
  box.append(clear);
};

// Where a node or the middle of an element is drawn.
QX.ModelView.prototype.pixelOf = function (at) {
  const m = this.model, ring = at.node !== undefined ? [at.node] : m.kinds[at.kind].rings[at.ring];
  const x = ring.reduce((s, i) => s + m.x[i], 0) / ring.length, z = ring.reduce((s, i) => s + m.z[i], 0) / ring.length;
  return { x: this.sx(x), y: this.sz(z) };
};

// The outline of an element as drawn.
QX.ModelView.prototype.ringPath = function (at, X, Z) {
  const ring = this.model.kinds[at.kind].rings[at.ring], path = new Path2D();
  path.moveTo(X[ring[0]], Z[ring[0]]);
  for (let j = 1; j < ring.length; ++j) path.lineTo(X[ring[j]], Z[ring[j]]);
  if (ring.length > 2) path.closePath();
  return { path, ring };
};

// The items of the colour scale that are nodes (discs) or elements (filled
// faces, thick lines); X and Z are the nodes' places on the canvas.
QX.ModelView.prototype.drawScaleItems = function (g, X, Z, what) {
  const scale = this.scale;
  if (!scale || scale.source.what !== what) return;
  const colour = (v) => QX.scaleColour(scale.hi > scale.lo ? (v - scale.lo) / (scale.hi - scale.lo) : 0.5);
  g.strokeStyle = '#222';
  g.lineWidth = 0.8;
  for (const it of scale.items) {
    g.fillStyle = colour(it.v);
    if (what === 'node') {
      g.beginPath();
      g.arc(X[it.at.node], Z[it.at.node], 5, 0, 2 * Math.PI);
      g.fill();
      g.stroke();
      continue;
    }
    const { path, ring } = this.ringPath(it.at, X, Z);
    g.strokeStyle = g.fillStyle;
    g.lineWidth = 4;
    if (ring.length > 2) g.fill(path); else g.stroke(path);
  }
};

// The places of the curves plotted, ringed in their colours and named.
QX.ModelView.prototype.drawPlaces = function (g, X, Z) {
  g.font = '600 11px system-ui, sans-serif';
  for (const p of this.marks) {
    if (!p.at) continue;
    let px, py;
    g.strokeStyle = p.color;
    g.lineWidth = 2.5;
    if (p.at.node !== undefined) {
      px = X[p.at.node];
      py = Z[p.at.node];
      g.beginPath();
      g.arc(px, py, 8, 0, 2 * Math.PI);
      g.stroke();
    } else {
      const { path, ring } = this.ringPath(p.at, X, Z);
      g.stroke(path);
      px = ring.reduce((s, i) => s + X[i], 0) / ring.length;
      py = ring.reduce((s, i) => s + Z[i], 0) / ring.length;
    }
    const text = p.what + ' ' + p.number;
    g.lineWidth = 3;
    g.strokeStyle = '#fff';
    g.strokeText(text, px + 10, py - 8);
    g.fillStyle = p.color;
    g.fillText(text, px + 10, py - 8);
  }
};
