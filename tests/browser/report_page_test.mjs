// The report page of qxdump --html in a real browser: the bundled example
// case, converted with every run option, its four converted files in one
// page, opened from a file:// URL in headless Chromium. What the page shows
// is compared with what the files hold, read here from their bytes at the
// offsets that `qxdump --records` lists. A second page of the same files
// with the example's code map (example/case1-codes.csv) shows the map's
// words: axis titles, legends, the node of a curve ringed on the model, a
// maxima column as a colour scale.
//
//   node report_page_test.mjs --qxdump PATH --qxconv PATH --example DIR --out DIR [--chromium PATH]
//
// The screenshots go to the --out directory.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';

const require = createRequire(import.meta.url);
let chromium;
try {
  ({ chromium } = require('playwright-core'));
} catch {
  console.error('report_page_test: playwright-core is not installed beside this test: run `npm ci` in tests/browser ' +
    '(tools/check.sh does it)');
  process.exit(1);
}

const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
for (const need of ['qxdump', 'qxconv', 'example', 'out'])
  if (!options[need]) { console.error('report_page_test: --' + need + ' is missing'); process.exit(2); }
const executablePath = options.chromium || '/usr/bin/chromium';

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qx-report-'));
const names = ['case1_QX2D.TP18', 'case1_QXSH.TP18', 'case1_QX2D.TP19', 'case1_QXSH.TP19'];
const page_path = path.join(work, 'case1 report.html');  // a blank in the name, as file names have
const mapped_path = path.join(work, 'case1 mapped.html');
let context, page, mapped, userData;
const requests = [], problems = [];
let listings;

function run(program, args, input, cwd) {
  const r = spawnSync(program, args, { input, cwd, encoding: 'utf8' });
  if (r.error) throw r.error;
  return r;
}

// The blocks of a file as `qxdump --records` lists them, with their codes.
function listed(file) {
  const r = run(options.qxdump, ['--records', file]);
  assert.equal(r.status, 0, r.stderr);
  const blocks = [];
  for (const line of r.stdout.split('\n')) {
    let m;
    if ((m = /^block (\d+) @\d+ (\S+) (.*)$/.exec(line))) {
      const b = { number: Number(m[1]), kind: m[2], records: [] };
      const nc = /nc=([-\d,]+)/.exec(m[3]);
      const code = /code=(-?\d+) nc2=(-?\d+)/.exec(m[3]);
      b.nc = nc ? nc[1].split(',').map(Number) : [Number(code[1]), Number(code[2])];
      blocks.push(b);
    } else if ((m = /^ {2}record @(\d+) length=(\d+) (\S+)/.exec(line)) && blocks.length) {
      blocks.at(-1).records.push({ offset: Number(m[1]), length: Number(m[2]), role: m[3] });
    }
  }
  return blocks;
}

// The payload of a record as 4-byte values in the file's byte order.
function floats(bytes, big, rec) {
  const view = new DataView(bytes.buffer, bytes.byteOffset + rec.offset + 4, rec.length);
  const out = new Float64Array(rec.length >> 2);
  for (let i = 0; i < out.length; ++i) out[i] = view.getFloat32(4 * i, !big);
  return out;
}
function int32(bytes, big, rec, i) {
  return new DataView(bytes.buffer, bytes.byteOffset + rec.offset + 4, rec.length).getInt32(4 * i, !big);
}

// What the page must draw for each value record of a block: the samples,
// their abscissae (the frequency axis record of a converted TP18 spectrum,
// k·dtt of a time history, else k) and the peak.
function expectedCurves(file, bytes, big, b) {
  const data = b.records.filter((r) => r.role === 'data');
  if (b.kind === 'MAXR' || !data.length) return [];
  const tp19 = file.endsWith('TP19');
  const axisRecord = !tp19 && (b.kind === 'FOUR' || b.kind === 'AMPL');
  const rec2 = b.records.find((r) => r.role === 'REC2');
  const dtt = floats(bytes, big, rec2)[1];
  const axis = axisRecord ? floats(bytes, big, data[0]) : null;
  return data.slice(axisRecord ? 1 : 0).map((rec) => {
    const y = floats(bytes, big, rec);
    const x = (k) => (axis ? axis[k] : b.kind === 'WAVE' && dtt > 0 ? k * dtt : k);
    // Values of magnitude 1e30 and beyond (±3.4e38, infinities) are markers
    // of no value: drawn at the plot's edge, not among the values.
    let peak = -1, finitePeak = -1, markers = 0;
    for (let k = 0; k < y.length; ++k) {
      if (Number.isNaN(y[k])) continue;
      if (peak < 0 || Math.abs(y[k]) > Math.abs(y[peak])) peak = k;
      if (Math.abs(y[k]) >= 1e30) ++markers;
      else if (finitePeak < 0 || Math.abs(y[k]) > Math.abs(y[finitePeak])) finitePeak = k;
    }
    return { count: y.length, y, x, peak, finitePeak, markers };
  });
}

before(async () => {
  for (const f of ['case1.qxin', 'case1.TP18', 'case1.TP19']) fs.copyFileSync(path.join(options.example, f), path.join(work, f));
  const conv = run(options.qxconv, ['-stru', '-spec', '-ampl', '-wave', '-maxr', '-four'], 'case1.qxin\ncase1.TP18\nNo\n', work);
  assert.equal(conv.status, 0, conv.stdout + conv.stderr);
  const files = names.map((n) => path.join(work, n));
  const made = run(options.qxdump, ['--html', page_path, ...files]);
  assert.equal(made.status, 0, made.stderr);
  assert.equal(made.stderr, '');
  const codes = path.join(options.example, 'case1-codes.csv');
  const madeMapped = run(options.qxdump, ['--codes', codes, '--html', mapped_path, ...files]);
  assert.equal(madeMapped.status, 0, madeMapped.stderr);
  assert.equal(madeMapped.stderr, '');
  listings = files.map((f) => {
    const bytes = fs.readFileSync(f);
    return { file: f, bytes, big: bytes.readInt32LE(0) !== 116, blocks: listed(f) };
  });

  userData = fs.mkdtempSync(path.join(os.tmpdir(), 'qx-chromium-'));
  context = await chromium.launchPersistentContext(userData, {
    executablePath,
    headless: true,
    viewport: { width: 1600, height: 1000 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  context.on('request', (r) => requests.push(r.url()));
  page = await context.newPage();
  page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') problems.push(m.type() + ': ' + m.text()); });
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  const started = Date.now();
  await page.goto(pathToFileURL(page_path).href);
  await page.waitForFunction(() => window.qxReport && window.qxReport.ready, null, { timeout: 60000 });
  console.log('# the page was ready ' + (Date.now() - started) + ' ms after it was asked for');
  mapped = await context.newPage();
  mapped.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') problems.push('mapped: ' + m.type() + ': ' + m.text()); });
  mapped.on('pageerror', (e) => problems.push('mapped page error: ' + e.message));
  await mapped.goto(pathToFileURL(mapped_path).href);
  await mapped.waitForFunction(() => window.qxReport && window.qxReport.ready, null, { timeout: 60000 });
  // A tab in the background is drawn rarely, and clicks on it wait: each
  // test brings its page to the front.
  await page.bringToFront();
});

after(async () => {
  if (context) await context.close();
  for (const d of [work, userData]) if (d) fs.rmSync(d, { recursive: true, force: true });
});

test('the table has one row per block of every file, in file order', async () => {
  // The rows are drawn a few at a time as the table is scrolled to its end.
  await page.evaluate(() => { QX.rowsPerDraw = 20; });
  await page.click('#filter-reset');
  const drawn = () => page.$$eval('#block-table tbody tr', (trs) => trs.length);
  const first = await drawn();
  assert.ok(first >= 20 && first < listings.reduce((n, l) => n + l.blocks.length, 0), 'rows drawn at first: ' + first);
  for (let before = 0, now = first; now > before; before = now, now = await drawn()) {
    await page.$eval('#block-section .table-scroll', (s) => { s.scrollTop = s.scrollHeight; });
    await page.waitForFunction((n) => document.querySelectorAll('#block-table tbody tr').length > n, now, { timeout: 2000 })
      .catch(() => {});
  }
  const rows = await page.$$eval('#block-table tbody tr', (trs) => trs.map((tr) => ({
    file: Number(tr.dataset.file), number: Number(tr.cells[2].textContent), kind: tr.cells[3].textContent,
    nc: Array.from(tr.querySelectorAll('td.nc')).map((c) => c.textContent).filter((t) => t !== '').map(Number),
  })));
  const expected = listings.flatMap((l, file) => l.blocks.map((b) => ({ file, number: b.number, kind: b.kind, nc: b.nc })));
  assert.ok(expected.length > 50, 'the example holds many blocks');
  assert.deepEqual(rows, expected);
  const files = await page.$$eval('#file-table tbody tr', (trs) => trs.map((tr) => Number(tr.cells[6].textContent)));
  assert.deepEqual(files, listings.map((l) => l.blocks.length));
});

test('each block with values draws each of its curves whole, with the peak of the file', async () => {
  let drawn = 0, withMarkers = 0;
  const buckets = await page.evaluate(() => window.qxReport.index.buckets);
  for (let file = 0; file < listings.length; ++file) {
    const { bytes, big, blocks } = listings[file];
    for (const b of blocks) {
      const want = expectedCurves(names[file], bytes, big, b);
      if (!want.some((c) => c.count > 0)) continue;
      const where = names[file] + ' block ' + b.number + ' ' + b.kind;
      const row = await rowIndex(file, b.number);
      await page.click(await rowCell(row, 'td.kind'));
      const charts = await page.evaluate(() => window.qxReport.charts());
      assert.equal(charts.length, 1, where + ': one chart');
      const chart = charts[0];
      assert.equal(chart.curves.length, want.length, where + ': one curve per value record');
      want.forEach((c, s) => {
        // The example's curves are short enough to be drawn whole.
        assert.ok(c.count <= 2 * buckets, where);
        const xs = chart.data[0], ys = chart.data[s + 1];
        const points = [];
        for (let i = 0; i < xs.length; ++i) if (ys[i] !== undefined) points.push([xs[i], ys[i]]);
        assert.equal(points.length, c.count, where + ' curve ' + s + ': points drawn');
        for (let k = 0; k < c.count; ++k) {
          assert.equal(points[k][0], c.x(k), where + ': abscissa ' + k);
          assert.equal(points[k][1], Number.isFinite(c.y[k]) && Math.abs(c.y[k]) < 1e30 ? c.y[k] : null, where + ': value ' + k);
        }
        // The largest magnitude drawn, and where: the file's finite peak.
        let best = -1;
        for (let k = 0; k < points.length; ++k)
          if (points[k][1] !== null && (best < 0 || Math.abs(points[k][1]) > Math.abs(points[best][1]))) best = k;
        assert.equal(best, c.finitePeak, where + ': peak drawn at its sample');
        if (best >= 0) assert.equal(points[best][0], c.x(c.finitePeak));
        ++drawn;
      });
      // The markers, counted under the chart and kept out of its scale: the
      // y scale is uPlot's range of the other values.
      const markers = want.reduce((n, c) => n + c.markers, 0);
      assert.equal(chart.markers, markers, where + ': markers');
      if (markers) {
        let lo = Infinity, hi = -Infinity;
        for (const c of want) for (const v of c.y) if (Number.isFinite(v) && Math.abs(v) < 1e30) { lo = Math.min(lo, v); hi = Math.max(hi, v); }
        const [min, max] = await page.evaluate(([a, b]) => uPlot.rangeNum(a, b, 0.1, true), [lo, hi]);
        assert.deepEqual(chart.y, { min, max }, where + ': y scale');
        ++withMarkers;
      }
      // The table's peak is the block's largest magnitude, infinities included.
      // (The index writes NaN and infinities as strings, reals in the
      // fewest digits that give the same real4.)
      const stated = await page.evaluate((i) => window.qxReport.index.blocks[i].curves.map((c) => c.peak), row);
      want.forEach((c, s) => {
        const v = stated[s];
        if (c.peak < 0) assert.equal(v, undefined, where);
        else assert.equal(Math.fround(typeof v === 'string' ? Number(v) : v), c.y[c.peak], where + ': peak stated');
      });
    }
  }
  assert.ok(drawn > 60, 'curves compared: ' + drawn);
  assert.ok(withMarkers >= 3, 'blocks with markers of no value: ' + withMarkers);
});

// The pixels a canvas has drawn, read from a copy made for reading so that
// the page's own canvas is not slowed (nor warned about) by the readback.
async function inkedPixels(selector) {
  return page.$eval(selector, (c) => {
    const copy = document.createElement('canvas');
    copy.width = c.width;
    copy.height = c.height;
    const g = copy.getContext('2d', { willReadFrequently: true });
    g.drawImage(c, 0, 0);
    const d = g.getImageData(0, 0, c.width, c.height).data;
    let count = 0;
    for (let i = 3; i < d.length; i += 4) if (d[i] > 0) ++count;
    return { count, share: count / (c.width * c.height) };
  });
}

// A cell of the row of block i, drawn (and scrolled to) first.
async function rowCell(i, cell) {
  assert.ok(await page.evaluate((n) => window.qxReport.reveal(n), i), 'block ' + i + ' passes the filters');
  return `#block-table tbody tr[data-i="${i}"] ${cell}`;
}

async function rowIndex(file, number) {
  return page.evaluate(([f, n]) => window.qxReport.index.blocks.findIndex((b) => b.file === f && b.number === n), [file, number]);
}

test('curves picked in the table are overlaid, and the chart is drawn', async () => {
  const waves = [];
  listings.forEach((l, file) => l.blocks.forEach((b) => {
    if (b.kind === 'WAVE' && b.records.some((r) => r.role === 'data' && r.length > 0)) waves.push({ file, number: b.number });
  }));
  const a = waves[0], b = waves.find((w) => w.file !== a.file);
  await page.click(await rowCell(await rowIndex(a.file, a.number), 'td.kind'));
  await page.check(await rowCell(await rowIndex(b.file, b.number), 'input[type=checkbox]'));
  const charts = await page.evaluate(() => window.qxReport.charts());
  assert.equal(charts.length, 1);
  assert.deepEqual(charts[0].curves.map((c) => c.block), [await rowIndex(a.file, a.number), await rowIndex(b.file, b.number)]);
  assert.ok(charts[0].series[0].includes(names[a.file]) && charts[0].series[1].includes(names[b.file]), charts[0].series.join(' | '));
  const inked = (await inkedPixels('#plot-area .uplot canvas')).count;
  assert.ok(inked > 500, 'pixels drawn in the chart: ' + inked);
  // Spectra on log axes keep only what a log axis can show.
  const four = listings[0].blocks.find((x) => x.kind === 'FOUR');
  await page.click(await rowCell(await rowIndex(0, four.number), 'td.kind'));
  await page.click('#plot-area .chart-head label:has-text("log x") input');
  await page.click('#plot-area .chart-head label:has-text("log y") input');
  const logged = (await page.evaluate(() => window.qxReport.charts()))[0];
  assert.ok(logged.data[0].length > 0 && logged.data[0].every((x) => x > 0), 'log x: positive abscissae');
  assert.ok(logged.data.slice(1).every((ys) => ys.every((y) => y === null || y === undefined || y > 0)), 'log y: positive values');
});

test('filters by kind and code show the rows that match', async () => {
  const all = listings.flatMap((l) => l.blocks);
  await page.selectOption('#filter-kind', 'WAVE');
  assert.equal(await page.evaluate(() => window.qxReport.blocksShown()), all.filter((b) => b.kind === 'WAVE').length);
  await page.fill('#filter-nc2', '1,2');
  assert.equal(await page.evaluate(() => window.qxReport.blocksShown()),
    all.filter((b) => b.kind === 'WAVE' && (b.nc[1] === 1 || b.nc[1] === 2)).length);
  await page.selectOption('#filter-kind', '');
  await page.fill('#filter-nc2', '');
  await page.fill('#filter-nc1', '101-112');
  assert.equal(await page.evaluate(() => window.qxReport.blocksShown()), all.filter((b) => b.nc[0] >= 101 && b.nc[0] <= 112).length);
  await page.click('#filter-reset');
  assert.equal(await page.evaluate(() => window.qxReport.blocksShown()), all.length);
});

test('every maxima block has its table, with every item of its record', async () => {
  const sections = await page.$$('details.maxima');
  const maxima = listings.flatMap((l) => l.blocks.map((b) => ({ l, b }))).filter(({ b }) => b.kind === 'MAXR');
  assert.equal(sections.length, maxima.length);
  let tables = 0;
  for (let i = 0; i < maxima.length; ++i) {
    const { l, b } = maxima[i];
    const data = b.records.find((r) => r.role === 'data');
    await sections[i].evaluate((d) => { d.open = true; });
    await page.waitForFunction((d) => d.querySelector('.body'), sections[i]);
    const rows = await sections[i].$$eval('.body tbody tr:not(.peaks)', (trs) => trs.map((tr) => tr.cells[0].textContent));
    if (!data) { assert.equal(rows.length, 0); continue; }
    const na = int32(l.bytes, l.big, data, 0);
    assert.equal(rows.length, na, 'block ' + b.number);
    assert.equal(Number(rows[0]), int32(l.bytes, l.big, data, 1), 'first item identifier');
    ++tables;
  }
  assert.ok(tables > 10);
});

test('the model is drawn, SV and SH', async () => {
  const inked = async () => (await inkedPixels('#model-canvas')).share;
  const sv = await inked();
  assert.ok(sv > 0.05, 'SV model covers ' + sv);
  await page.click('#model-choice button:has-text("SH model")');
  const sh = await inked();
  assert.ok(sh > 0.05 && sh !== sv, 'SH model covers ' + sh);
  await page.click('#model-choice button:has-text("SV model")');
});

// Plots block `number` of file `file` alone on page `p`; its index.
async function showBlock(p, file, number) {
  const i = await p.evaluate(([f, n]) => window.qxReport.index.blocks.findIndex((b) => b.file === f && b.number === n), [file, number]);
  assert.ok(i >= 0 && await p.evaluate((n) => window.qxReport.reveal(n), i), 'file ' + file + ' block ' + number);
  await p.click(`#block-table tbody tr[data-i="${i}"] td.kind`);
  return i;
}

// The pixels of the model's canvas around (x, y), in CSS pixels, within
// `r0` to `r1` of it, as [r, g, b] triples.
async function modelPixels(p, x, y, r0, r1) {
  return p.$eval('#model-canvas', (c, [x, y, r0, r1]) => {
    const dpr = c.width / c.clientWidth;
    const copy = document.createElement('canvas');
    copy.width = c.width;
    copy.height = c.height;
    const g = copy.getContext('2d', { willReadFrequently: true });
    g.drawImage(c, 0, 0);
    const out = [];
    for (let dy = -r1; dy <= r1; dy += 0.5) for (let dx = -r1; dx <= r1; dx += 0.5) {
      const d = Math.hypot(dx, dy);
      if (d < r0 || d > r1) continue;
      const px = g.getImageData(Math.round((x + dx) * dpr), Math.round((y + dy) * dpr), 1, 1).data;
      out.push([px[0], px[1], px[2]]);
    }
    return out;
  }, [x, y, r0, r1]);
}
const rgb = (text) => {
  const m = /^#(..)(..)(..)$/.exec(text) || /^rgb\((\d+),(\d+),(\d+)\)$/.exec(text.replace(/ /g, ''));
  return m[0].startsWith('#') ? m.slice(1).map((h) => parseInt(h, 16)) : m.slice(1).map(Number);
};
const near = (a, b, tolerance = 24) => a.every((v, i) => Math.abs(v - b[i]) <= tolerance);

test('without a code map nothing shows a meaning', async () => {
  await page.bringToFront();
  assert.equal(await page.evaluate(() => window.qxReport.index.blocks.filter((b) => b.meaning ||
    (b.table && (b.table.titles || b.table.quantity || b.table.id1Holds))).length), 0);
  assert.deepEqual(await page.$$eval('#block-table thead th', (ths) => ths.map((t) => t.textContent).filter((t) => t === 'what')), []);
  const wave = listings[0].blocks.find((b) => b.kind === 'WAVE' && b.nc[0] === 1);
  await showBlock(page, 0, wave.number);
  const chart = (await page.evaluate(() => window.qxReport.charts()))[0];
  assert.equal(chart.xTitle, 'time (k·dt)');
  assert.equal(chart.yTitle, '');
  assert.deepEqual(chart.axes, ['time (k·dt)', null]);
  assert.equal(chart.series[0], 'case1_QX2D.TP18 #' + wave.number + ' WAVE [' + wave.nc.join(',') + ']');
  assert.deepEqual(await page.evaluate(() => window.qxReport.marks()), []);
  assert.equal(await page.$eval('#model-scale', (e) => e.hidden), true);
});

test('with the code map: axis titles, legends in words, spectra against period, maxima columns named', async () => {
  await mapped.bringToFront();
  const sv = listings[0];
  const wave = sv.blocks.find((b) => b.kind === 'WAVE' && b.nc[0] === 1 && b.nc[1] === 1);
  await showBlock(mapped, 0, wave.number);
  let chart = (await mapped.evaluate(() => window.qxReport.charts()))[0];
  assert.equal(chart.xTitle, 'time [s]');
  assert.equal(chart.yTitle, 'acceleration [m/s2]');
  assert.equal(chart.series[0], 'acceleration X at node ' + wave.nc[3] + ' [m/s2] · case1_QX2D.TP18 #' + wave.number + ' WAVE');
  assert.deepEqual(chart.axes, ['time [s]', 'acceleration [m/s2]'], 'the titles uPlot draws');
  // A response spectrum against the periods the map gives: 0.02 s and on.
  const spec = sv.blocks.find((b) => b.kind === 'SPEC' && b.nc[0] === 2);
  await showBlock(mapped, 0, spec.number);
  chart = (await mapped.evaluate(() => window.qxReport.charts()))[0];
  assert.equal(chart.axis, 'period');
  assert.equal(chart.xTitle, 'period [s]');
  assert.equal(chart.yTitle, 'response spectrum of velocity [m/s]');
  const values = spec.records.filter((r) => r.role === 'data')[0].length / 4;
  assert.deepEqual(chart.data[0], Array.from({ length: values }, (_, k) => Math.fround(0.02 + k * 0.02)));
  assert.deepEqual(chart.series.map((s) => s.split(' · ')[0]), [
    'relative response spectrum of velocity X at node ' + spec.nc[3] + ' [m/s]',
    'absolute response spectrum of velocity X at node ' + spec.nc[3] + ' [m/s]']);
  // The SH file's direction is Y.
  const shWave = listings[1].blocks.find((b) => b.kind === 'WAVE' && b.nc[0] === 1);
  await showBlock(mapped, 1, shWave.number);
  chart = (await mapped.evaluate(() => window.qxReport.charts()))[0];
  assert.ok(chart.series[0].startsWith('acceleration Y at node ' + shWave.nc[3] + ' [m/s2]'), chart.series[0]);
  // Maxima columns by name, the identifiers by what they hold.
  const maxr = sv.blocks.find((b) => b.kind === 'MAXR' && b.nc[0] === 101);
  const i = await mapped.evaluate((n) => window.qxReport.index.blocks.findIndex((b) => b.file === 0 && b.number === n), maxr.number);
  await mapped.$eval(`details.maxima[data-i="${i}"]`, (d) => { d.open = true; });
  const heads = await mapped.$$eval(`details.maxima[data-i="${i}"] thead th`, (ths) => ths.map((t) => t.textContent));
  assert.deepEqual(heads, ['item_id1 (node)', 'peak acceleration X [m/s2]', 'time of the peak X [s]', 'peak acceleration Z [m/s2]',
    'time of the peak Z [s]']);
  // The table says what blocks hold.
  const what = await mapped.$eval(`#block-table tbody tr[data-i="${await mapped.evaluate(() => window.qxReport.picked()[0])}"] td.what`,
    (td) => td.textContent);
  assert.equal(what, 'acceleration Y at node ' + shWave.nc[3]);
});

test('clicking a curve rings its node on the model, in the curve\'s colour', async () => {
  const wave = listings[0].blocks.find((b) => b.kind === 'WAVE' && b.nc[0] === 1 && b.nc[1] === 1);
  await mapped.click('#model-choice button:has-text("SH model")');
  await showBlock(mapped, 0, wave.number);
  const marks = await mapped.evaluate(() => window.qxReport.marks());
  const color = (await mapped.evaluate(() => window.qxReport.charts()))[0].curves[0].color;
  assert.equal(marks.length, 1);
  assert.equal(marks[0].what, 'node');
  assert.equal(marks[0].number, wave.nc[3]);
  assert.equal(marks[0].color, color);
  assert.ok(marks[0].drawnAt, 'the model holds node ' + wave.nc[3]);
  // The model of the curve's file is shown, its node under the ring.
  assert.equal(await mapped.$eval('#model-choice button.on', (b) => b.textContent), 'SV model');
  const { x, y } = marks[0].drawnAt;
  const box = await mapped.$eval('#model-canvas', (c) => { const r = c.getBoundingClientRect(); return { left: r.left, top: r.top }; });
  await mapped.mouse.move(box.left + x, box.top + y);
  assert.match(await mapped.$eval('#model-tip', (t) => t.textContent), new RegExp('^node ' + wave.nc[3] + ' '));
  const ring = await modelPixels(mapped, x, y, 7, 9);
  const inColour = ring.filter((p) => near(p, rgb(color))).length;
  assert.ok(inColour > ring.length / 3, 'ring pixels in the curve\'s colour: ' + inColour + ' of ' + ring.length);
  // Two curves: two rings.
  const other = listings[0].blocks.find((b) => b.kind === 'WAVE' && b.nc[0] === 10);
  await mapped.check(`#block-table tbody tr[data-i="${await mapped.evaluate((n) =>
    window.qxReport.index.blocks.findIndex((b) => b.file === 0 && b.number === n), other.number)}"] input[type=checkbox]`);
  assert.deepEqual((await mapped.evaluate(() => window.qxReport.marks())).map((m) => m.number), [wave.nc[3], other.nc[3]]);
});

test('a maxima column of node or element items on the model as a colour scale', async () => {
  const sv = listings[0];
  for (const [code, column, what] of [[101, 0, 'node'], [105, 1, 'element']]) {
    const b = sv.blocks.find((x) => x.kind === 'MAXR' && x.nc[0] === code);
    const data = b.records.find((r) => r.role === 'data');
    const na = int32(sv.bytes, sv.big, data, 0);
    const reals = floats(sv.bytes, sv.big, data).slice(1 + na);
    const per = reals.length / na;
    const want = Array.from({ length: na }, (_, a) => reals[a * per + column]);
    const i = await mapped.evaluate((n) => window.qxReport.index.blocks.findIndex((x) => x.file === 0 && x.number === n), b.number);
    await mapped.$eval(`details.maxima[data-i="${i}"]`, (d) => { d.open = true; });
    await mapped.selectOption(`details.maxima[data-i="${i}"] .scale-choice select`, String(column));
    const scale = await mapped.evaluate(() => window.qxReport.scale());
    assert.equal(scale.items.length, na, code + ': every item placed');
    assert.equal(scale.lo, Math.min(...want));
    assert.equal(scale.hi, Math.max(...want));
    assert.deepEqual(scale.items.map((it) => it.v), want);
    const legend = await mapped.$eval('#model-scale', (e) => ({ hidden: e.hidden, text: e.textContent,
      min: e.querySelector('.scale-min').textContent, max: e.querySelector('.scale-max').textContent }));
    assert.equal(legend.hidden, false);
    assert.ok(legend.text.includes(code === 101 ? 'peak acceleration X [m/s2]' : 'normal stress z [kPa]'), legend.text);
    assert.equal(legend.min, await mapped.evaluate((v) => QX.real(v), scale.lo));
    assert.equal(legend.max, await mapped.evaluate((v) => QX.real(v), scale.hi));
    // Each item drawn in the colour of its value.
    for (const it of scale.items) {
      const expected = rgb(await mapped.evaluate((t) => QX.scaleColour(t), (it.v - scale.lo) / (scale.hi - scale.lo)));
      const pixels = await modelPixels(mapped, it.drawnAt.x, it.drawnAt.y, 0, what === 'node' ? 1.5 : 1);
      assert.ok(pixels.filter((p) => near(p, expected)).length > pixels.length / 2,
        code + ' value ' + it.v + ': ' + JSON.stringify(pixels.slice(0, 3)) + ' against ' + expected);
    }
  }
  await mapped.click('#model-scale button:has-text("clear")');
  assert.equal(await mapped.evaluate(() => window.qxReport.scale()), null);
  assert.equal(await mapped.$eval('#model-scale', (e) => e.hidden), true);
});

test('the section links leave the title and the section\'s head in view', async () => {
  for (const p of [page, mapped]) {
    await p.bringToFront();
    for (const [link, keep] of [['Blocks', '#block-filters'], ['Maxima', '#maxima-section .panel-head'], ['Plots', '#plot-section .panel-head']]) {
      await p.evaluate(() => window.scrollTo(0, 0));
      await p.click(`.head-nav a:has-text("${link}")`);
      await p.waitForFunction(() => window.scrollY > 0);
      const r = await p.evaluate((k) => {
        const head = document.querySelector('.page-head').getBoundingClientRect();
        const kept = document.querySelector(k).getBoundingClientRect();
        const title = document.getElementById('case-title').getBoundingClientRect();
        return { headBottom: head.bottom, keptTop: kept.top, keptBottom: kept.bottom, titleBottom: title.bottom, height: window.innerHeight };
      }, keep);
      assert.ok(r.titleBottom <= r.headBottom && r.titleBottom > 0, link + ': the title in view');
      assert.ok(r.keptTop >= r.headBottom && r.keptBottom <= r.height, link + ': ' + JSON.stringify(r));
    }
  }
});

test('the block table fits its panel at 1400 px', async () => {
  for (const p of [page, mapped]) {
    await p.bringToFront();
    await p.setViewportSize({ width: 1400, height: 1000 });
    await p.waitForFunction(() => document.documentElement.clientWidth === 1400);
    const r = await p.$eval('#block-section .table-scroll', (s) => ({ panel: s.clientWidth, table: s.scrollWidth }));
    assert.ok(r.table <= r.panel, JSON.stringify(r));
    await p.setViewportSize({ width: 1600, height: 1000 });
  }
});

test('a y range typed in holds through a zoom until "auto"; markers of no value stay out of the scale', async () => {
  await page.bringToFront();
  // The first time history of the page holds markers (±3.4e38).
  const wave = listings[0].blocks.find((b) => b.kind === 'WAVE' && b.nc[0] === 1 && b.nc[1] === 1);
  await showBlock(page, 0, wave.number);
  const chartOf = async () => (await page.evaluate(() => window.qxReport.charts()))[0];
  const auto = await chartOf();
  assert.ok(auto.markers > 0 && Math.abs(auto.y.max) < 1e30 && Math.abs(auto.y.min) < 1e30, JSON.stringify(auto.y));
  assert.match(await page.$eval('#plot-area .marker-note', (n) => n.textContent), /markers? of no value/);
  await page.fill('#plot-area .y-min', '-1.5');
  await page.fill('#plot-area .y-max', '2.5');
  await page.press('#plot-area .y-max', 'Enter');
  assert.deepEqual((await chartOf()).y, { min: -1.5, max: 2.5 });
  const over = await page.$eval('#plot-area .u-over', (o) => { const r = o.getBoundingClientRect(); return { x: r.left + r.width / 2, y: r.top + r.height / 2 }; });
  await page.mouse.move(over.x, over.y);
  await page.mouse.wheel(0, -300);
  const zoomed = await chartOf();
  assert.deepEqual(zoomed.y, { min: -1.5, max: 2.5 });
  // Text that makes no range is shown as such and changes nothing.
  await page.fill('#plot-area .y-min', '3');
  await page.press('#plot-area .y-min', 'Enter');
  assert.equal(await page.$eval('#plot-area .y-min', (i) => i.classList.contains('bad')), true);
  assert.deepEqual((await chartOf()).y, { min: -1.5, max: 2.5 });
  await page.click('#plot-area .y-auto');
  const back = await chartOf();
  assert.notDeepEqual(back.y, { min: -1.5, max: 2.5 });
  assert.ok(Math.abs(back.y.max) < 1e30);
  assert.equal(await page.$eval('#plot-area .y-min', (i) => i.value), '');
});

test('nothing is asked for but the page itself, and nothing goes wrong', async () => {
  await page.bringToFront();
  // The first time history again, for the picture.
  await page.click('#plot-clear');
  const first = listings[0].blocks.find((b) => b.kind === 'WAVE');
  await page.click(await rowCell(await rowIndex(0, first.number), 'td.kind'));
  fs.mkdirSync(options.out, { recursive: true });
  await page.screenshot({ path: path.join(options.out, 'report-page.png') });
  await page.screenshot({ path: path.join(options.out, 'report-page-full.png'), fullPage: true });
  await mapped.screenshot({ path: path.join(options.out, 'report-page-mapped.png') });
  assert.deepEqual([...new Set(requests)], [pathToFileURL(page_path).href, pathToFileURL(mapped_path).href]);
  assert.deepEqual(problems, []);
});
