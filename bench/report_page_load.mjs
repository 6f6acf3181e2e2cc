// Opens a report page of qxdump --html in headless Chromium and tells how long
// it takes: until the page is drawn (its scripts have run:
// window.qxReport.ready), until the browser's load event, then, for the
// longest curve of the page, until its row is drawn in the block table and
// until it is plotted after a click on that row.
//
//   node bench/report_page_load.mjs PAGE.html [RUNS] [CHROMIUM]
//
// Prints one line per run: "ready_ms load_ms row_ms plot_ms points", where
// points are those drawn for that curve. Each run starts a fresh browser with a fresh profile.
// playwright-core is taken from tests/browser (npm ci there, as tools/check.sh
// does).
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(path.join(here, '..', 'tests', 'browser', 'package.json'));
const { chromium } = require('playwright-core');

const [pagePath, runsText = '3', executablePath = '/usr/bin/chromium'] = process.argv.slice(2);
if (!pagePath) {
  console.error('usage: node bench/report_page_load.mjs PAGE.html [RUNS] [CHROMIUM]');
  process.exit(2);
}
const url = pathToFileURL(path.resolve(pagePath)).href;

for (let run = 0; run < Number(runsText); ++run) {
  const userData = fs.mkdtempSync(path.join(os.tmpdir(), 'qx-bench-chromium-'));
  const context = await chromium.launchPersistentContext(userData, {
    executablePath,
    headless: true,
    viewport: { width: 1600, height: 1000 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const errors = [];
  const page = await context.newPage();
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  const t0 = Date.now();
  await page.goto(url, { timeout: 300000, waitUntil: 'commit' });
  await page.waitForFunction(() => window.qxReport && window.qxReport.ready, null, { timeout: 300000, polling: 10 });
  const ready = Date.now() - t0;
  await page.waitForLoadState('load', { timeout: 300000 });
  const load = Date.now() - t0;
  // The curve of the most values.
  const row = await page.evaluate(() => {
    let best = -1, count = -1;
    window.qxReport.index.blocks.forEach((b, i) => {
      for (const c of b.curves || []) if (c.count > count) { count = c.count; best = i; }
    });
    return best;
  });
  const t1 = Date.now();
  await page.evaluate((i) => window.qxReport.reveal(i), row);
  const drawnRow = Date.now() - t1;
  const t2 = Date.now();
  await page.click(`#block-table tbody tr[data-i="${row}"] td.kind`);
  const points = await page.evaluate(() => window.qxReport.charts()[0].data[1].filter((v) => v !== undefined).length);
  const plot = Date.now() - t2;
  await context.close();
  fs.rmSync(userData, { recursive: true, force: true });
  if (errors.length) {
    console.error('report_page_load: the page reported: ' + errors.join(' | '));
    process.exit(1);
  }
  console.log([ready, load, drawnRow, plot, points].join(' '));
}
