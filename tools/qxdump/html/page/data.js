// The data of the page: the JSON index and the array block that qxdump
// wrote into it, and the numbers and texts shown from them.
'use strict';

const QX = (window.QX = {});

QX.index = JSON.parse(document.getElementById('qx-index').textContent);

// One array per line, "TYPE:BASE64", little-endian; decoded when first drawn.
QX.arrayLines = document.getElementById('qx-arrays').textContent.split('\n');
QX.arrayCache = new Map();
QX.littleEndian = new Uint8Array(new Uint32Array([1]).buffer)[0] === 1;

QX.array = function (id) {
  if (id === undefined || id === null) return null;
  let a = QX.arrayCache.get(id);
  if (a) return a;
  const line = QX.arrayLines[id];
  if (line === undefined || line[1] !== ':') throw new Error('array ' + id + ' is missing from the page');
  const text = atob(line.slice(2));
  const n = text.length >> 2;
  const bytes = new Uint8Array(n * 4);
  for (let i = 0; i < bytes.length; ++i) bytes[i] = text.charCodeAt(i);
  const type = line[0];
  const Type = type === 'f' ? Float32Array : type === 'i' ? Int32Array : Uint32Array;
  if (QX.littleEndian) {
    a = new Type(bytes.buffer);
  } else {
    const view = new DataView(bytes.buffer);
    a = new Type(n);
    for (let i = 0; i < n; ++i)
      a[i] = type === 'f' ? view.getFloat32(4 * i, true) : type === 'i' ? view.getInt32(4 * i, true) : view.getUint32(4 * i, true);
  }
  QX.arrayCache.set(id, a);
  return a;
};

// JSON has no NaN or infinities: the index writes them as strings.
QX.num = function (v) {
  if (typeof v === 'number') return v;
  if (v === 'NaN') return NaN;
  if (v === 'Infinity') return Infinity;
  if (v === '-Infinity') return -Infinity;
  return v === undefined || v === null ? undefined : Number(v);
};

// A real as an engineer reads it: six significant digits, exponent form for
// the very large and the very small.
QX.real = function (v) {
  v = QX.num(v);
  if (v === undefined || v === null) return '';
  if (Number.isNaN(v)) return 'NaN';
  if (!Number.isFinite(v)) return v > 0 ? '+inf' : '-inf';
  if (v === 0) return Object.is(v, -0) ? '-0' : '0';
  const a = Math.abs(v);
  if (a >= 1e-3 && a < 1e6) return String(Number(v.toPrecision(6)));
  return v.toExponential(4).replace(/\.?0+e/, 'e').replace('e+', 'e');
};

QX.bytes = function (n) {
  if (n < 1024) return n + ' B';
  const units = ['KiB', 'MiB', 'GiB', 'TiB'];
  let u = -1;
  do { n /= 1024; ++u; } while (n >= 1024 && u < units.length - 1);
  return n.toFixed(n < 10 ? 2 : 1) + ' ' + units[u];
};

QX.html = function (s) {
  return String(s).replace(/[&<>"']/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' })[c]);
};

QX.el = function (tag, attrs, text) {
  const e = document.createElement(tag);
  if (attrs) for (const [k, v] of Object.entries(attrs)) {
    if (k === 'class') e.className = v;
    else e.setAttribute(k, v);
  }
  if (text !== undefined) e.textContent = text;
  return e;
};

// File labels: the base name, or the whole path where two files share it.
(function () {
  const files = QX.index.files;
  const seen = new Map();
  for (const f of files) seen.set(f.name, (seen.get(f.name) || 0) + 1);
  for (const f of files) f.label = seen.get(f.name) > 1 ? f.path : f.name;
})();

QX.blockLabel = function (b) {
  return QX.index.files[b.file].label + ' #' + b.number + ' ' + b.kind;
};

QX.codes = function (b) { return b.nc.join(','); };

// A curve's name in the legends: in the words of the code map where it names
// the block ("acceleration X at node 104", then the block), else the block
// and its codes.
QX.curveLabel = function (b, c, many) {
  if (c.title) return c.title + (c.unit ? ' [' + c.unit + ']' : '') + ' · ' + QX.blockLabel(b);
  return QX.blockLabel(b) + (many ? ' ' + c.name : '') + ' [' + QX.codes(b) + ']';
};

// Values of this magnitude and beyond (the ±3.4e38 at the end of the real4
// range, infinities) are markers that a program wrote for "no value", not
// values: a plot shows them at its edge and leaves them out of its scale.
QX.markerMagnitude = 1e30;
QX.isMarker = function (v) { return Math.abs(v) >= QX.markerMagnitude; };

// The node or element that a block belongs to, where the code map says
// which code holds it: { what, number, kind }.
QX.placeOf = function (b) {
  const m = b.meaning;
  if (!m) return null;
  if (m.node !== undefined) return { what: 'node', number: m.node };
  if (m.element !== undefined) return { what: 'element', number: m.element, kind: m.elementKind };
  return null;
};

// The largest magnitude among a block's curves, with its curve.
QX.blockPeak = function (b) {
  let best = null;
  for (const c of b.curves || []) {
    if (c.peak === undefined) continue;
    const v = QX.num(c.peak);
    if (best === null || Math.abs(v) > Math.abs(QX.num(best.peak))) best = c;
  }
  return best;
};

QX.axisTitle = { time: 'time (k·dt)', frequency: 'frequency', index: 'index k' };
QX.palette = ['#1f77b4', '#d62728', '#2ca02c', '#ff7f0e', '#9467bd', '#8c564b', '#e377c2', '#17becf', '#7f7f7f', '#bcbd22'];
