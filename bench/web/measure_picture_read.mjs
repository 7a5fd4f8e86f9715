// What reading a slow picture costs the game in a browser (headless Chromium on this
// machine): a game is started, a group 4 fax TIFF (1728 x 1200, a dithered photo, which UTIF
// reads slowly) is chosen, and arrow keys are pressed every 250 ms until the picture is
// shown. For each run: the time from the choice to the picture, the main thread's task time
// over it (Chromium's Performance.getMetrics) against the same keys pressed as long again
// with no picture being read, its longest task (the page's long-task entries), and how long
// each key pressed meanwhile waited for the canvas to be drawn on
// (the DevTools protocol delivers a key only once the page has taken the one before, so a
// page that is busy throughout takes one). Several sites may be given (say the page before
// and after a change): their runs take turns.
//   node bench/web/measure_picture_read.mjs [runs] [site...]    (default: 7 runs, build/web)
// With --largest instead, how long the page's reader (picture_reader.js and its worker)
// takes over the slowest pictures it is given: the largest a page takes (16000 x 4096, as
// large as ImageMagick here writes them) in each format the worker decodes, and fax pages;
// the deadline is set aside, each file read [runs] times (default 3), medians and ranges.
//   node bench/web/measure_picture_read.mjs --largest [runs]
// With --drawings, what the page's own thread spends on metafiles' drawings, which only it can
// read (the browser draws each part into a bitmap elsewhere): for drawings of many shapes, of
// text, and with a bitmap, its longest task and its time in all (thread time, from a trace).
//   node bench/web/measure_picture_read.mjs --drawings [runs]
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { serveSite, launch, waitForGame, settle, site as builtSite } from '../../tests/web/support.mjs';

const largest = process.argv[2] === '--largest';
const drawings = process.argv[2] === '--drawings';
const args = largest || drawings ? process.argv.slice(3) : process.argv.slice(2);
const runs = Number(args[0] || (largest || drawings ? 3 : 7));
const sites = args.length > 1 ? args.slice(1).map((dir) => path.resolve(dir)) : [builtSite];
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const range = (values) => `${Math.min(...values).toFixed(0)}-${Math.max(...values).toFixed(0)}`;

const dir = mkdtempSync(path.join(tmpdir(), 'brindlewick-bench-'));
const fax = path.join(dir, 'fax.tif');
execFileSync('convert', ['-size', '1728x1200', 'plasma:fractal', '-seed', '1', '-monochrome', '-compress', 'group4', fax]);

const servers = [];
for (const root of sites) servers.push(await serveSite(root));
const browser = await launch();

// A page of the site holding only the picture reader, and the files given it.
async function readerPage(context) {
  const page = await context.newPage();
  await context.route(`${servers[0].url}reader.html`, (route) => route.fulfill({ contentType: 'text/html',
    body: '<!doctype html><script type="module">import { readPicture } from "./picture_reader.js"; globalThis.readPicture = readPicture;</script>' }));
  await context.route(`${servers[0].url}file/**`, (route) => route.fulfill({ path: decodeURIComponent(new URL(route.request().url()).pathname.slice(5)) }));
  await page.goto(`${servers[0].url}reader.html`);
  await page.waitForFunction(() => globalThis.readPicture);
  await page.evaluate(() => { globalThis.BrindlewickPictureDeadline = 3600000; });
  return page;
}

if (drawings) {
  const { metafile } = await import('../../tests/web/picture_files.mjs');
  // Shapes spread over a 1280 x 1000 drawing; a brush of its own every tenth.
  const shapes = (count, kind) => {
    const records = [[0x0102, [1]]];
    for (let i = 0; i < count; ++i) {
      const x = (i * 37) % 1240, y = (i * 53) % 960;
      if (i % 10 === 0) records.push([0x02FC, [0, (i * 40) & 0xFFFF, (i * 7) & 0xFF, 0]], [0x012D, [2]], [0x01F0, [2]]);
      if (kind === 'text') records.push([0x0521, [5, 0x6548, 0x6c6c, 0x6f, y + 12, x]]);
      else if (kind === 'ellipse') records.push([0x0418, [y + 33, x + 41, y, x]]);
      else records.push([0x041B, [y + 25, x + 31, y, x]]);
    }
    return metafile(false, 1280, 1000, 0, records);
  };
  // A bitmap of side x side pixels, 24 bits each, over the whole drawing.
  const bitmap = (side) => {
    const row = Math.ceil((side * 3) / 4) * 4;
    const dib = Buffer.alloc(40 + row * side);
    dib.writeUInt32LE(40, 0);
    dib.writeInt32LE(side, 4);
    dib.writeInt32LE(side, 8);
    dib.writeUInt16LE(1, 12);
    dib.writeUInt16LE(24, 14);
    for (let i = 40; i < dib.length; ++i) dib[i] = (i * 2654435761) >>> 24;
    const words = Array.from({ length: dib.length / 2 }, (_, i) => dib.readUInt16LE(2 * i));
    return metafile(false, 1280, 1000, 0, [[0x0F43, [0x0020, 0x00CC, 0, side, side, 0, 0, 1000, 1280, 0, 0, ...words]]]);
  };
  const cases = [
    ['one rectangle', shapes(1)], ['2000 rectangles', shapes(2000)], ['19000 rectangles', shapes(19000)],
    ['5000 ellipses', shapes(5000, 'ellipse')], ['5000 texts', shapes(5000, 'text')],
    ['a bitmap of 512 x 512', bitmap(512)], ['a bitmap of 1000 x 1000', bitmap(1000)],
  ];
  const context = await browser.newContext({ viewport: { width: 1280, height: 1024 } });
  const page = await readerPage(context);
  for (const [label, bytes] of cases) {
    const file = path.join(dir, 'drawing.wmf');
    writeFileSync(file, bytes);
    const longest = [];
    const total = [];
    let shown = '';
    for (let run = 0; run < runs; run++) {
      await browser.startTracing(page, { categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline'] });
      shown = await page.evaluate(async (url) => {
        const { picture } = await readPicture(new Uint8Array(await (await fetch(url)).arrayBuffer()), 1280, 1004);
        return picture ? `${picture.width} x ${picture.height}` : 'nothing';
      }, `${servers[0].url}file${file}`);
      const trace = JSON.parse((await browser.stopTracing()).toString());
      const events = trace.traceEvents || trace;
      const names = {};
      for (const e of events) if (e.name === 'thread_name') names[`${e.pid}:${e.tid}`] = e.args.name;
      const tasks = events.filter((e) => e.name === 'RunTask' && names[`${e.pid}:${e.tid}`] === 'CrRendererMain' && e.tdur);
      longest.push(Math.max(...tasks.map((t) => t.tdur)) / 1000);
      total.push(tasks.reduce((sum, t) => sum + t.tdur, 0) / 1000);
    }
    console.log(`${label} (${(bytes.length / 1024).toFixed(0)} KiB): page's thread, longest task median ${median(longest).toFixed(0)} ms ` +
      `(${range(longest)}), in all ${median(total).toFixed(0)} ms (${range(total)}), of ${runs}; shown at ${shown}`);
  }
  await browser.close();
  for (const server of servers) await server.close();
  rmSync(dir, { recursive: true, force: true });
  process.exit(0);
}

if (largest) {
  const convert = (name, ...options) => {
    const file = path.join(dir, name);
    execFileSync('convert', [...options, file], { stdio: 'ignore' });
    return file;
  };
  const photo = path.join(dir, 'photo.miff');
  execFileSync('convert', ['-size', '4000x1024', 'plasma:fractal', '-seed', '2', '-resize', '16000x4096!', '-depth', '8', photo]);
  const dithered = (w, h) => ['-size', `${w}x${h}`, 'plasma:fractal', '-seed', '1', '-monochrome', '-compress', 'group4'];
  const files = [
    ['PNG 16000 x 4096', convert('large.png', photo)],
    ['JPEG 16000 x 4096', convert('large.jpg', photo, '-quality', '90')],
    ['LZW TIFF 16000 x 4096', convert('large-lzw.tif', photo, '-compress', 'lzw')],
    ['Deflate TIFF 16000 x 4096', convert('large-zip.tif', photo, '-compress', 'zip')],
    ['group 4 fax page 1728 x 2292, dithered photo', convert('page.tif', ...dithered(1728, 2292))],
    ['group 4 fax 4096 x 4096, dithered photo', convert('square.tif', ...dithered(4096, 4096))],
    ['group 4 fax 2048 x 2048, checkerboard', convert('checker.tif', '-size', '2048x2048', 'pattern:gray50', '-compress', 'group4')],
  ];
  const context = await browser.newContext({ viewport: { width: 1280, height: 1024 } });
  const page = await readerPage(context);
  for (const [label, file] of files) {
    const times = [];
    let shown = '';
    for (let run = 0; run < runs; run++) {
      const out = await page.evaluate(async (url) => {
        const bytes = new Uint8Array(await (await fetch(url)).arrayBuffer());
        const started = performance.now();
        const { picture } = await readPicture(bytes, 1280, 1004);
        return { ms: performance.now() - started, size: picture ? `${picture.width} x ${picture.height}` : 'nothing' };
      }, `${servers[0].url}file${file}`);
      times.push(out.ms);
      shown = out.size;
    }
    console.log(`${label}: median ${median(times).toFixed(0)} ms of ${runs} (${range(times)}), shown at ${shown}`);
  }
  await browser.close();
  for (const server of servers) await server.close();
  rmSync(dir, { recursive: true, force: true });
  process.exit(0);
}

async function taskTime(session) {
  const { metrics } = await session.send('Performance.getMetrics');
  return metrics.find((m) => m.name === 'TaskDuration').value * 1000;
}

async function once(server) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 1024 }, serviceWorkers: 'block' });
  const page = await context.newPage();
  const session = await context.newCDPSession(page);
  await session.send('Performance.enable');
  await page.goto(server.url);
  await waitForGame(page);
  await page.keyboard.press('F2');
  await settle(page);
  // When each key came (the event's own time stamp) and when the canvas was next drawn on.
  await page.evaluate(() => {
    const log = { keys: [], presents: [], longest: 0 };
    globalThis.benchLog = log;
    document.addEventListener('keydown', (event) => log.keys.push(event.timeStamp), true);
    const present = Module.page.present;
    const width = BrindlewickPage.canvas.width;
    Module.page.present = (...args) => {
      const now = performance.now();
      log.presents.push(now);
      if (log.picture === undefined && BrindlewickPage.canvas.width !== width) log.picture = now;
      return present(...args);
    };
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) log.longest = Math.max(log.longest, entry.duration);
    }).observe({ entryTypes: ['longtask'] });
  });
  const width = await page.evaluate(() => BrindlewickPage.canvas.width);
  const before = await taskTime(session);
  const chooser = page.waitForEvent('filechooser');
  await page.locator('.menu-title', { hasText: 'Options' }).click();
  await page.locator('.menu-item:visible', { hasText: 'Custom Picture' }).first().click();
  const started = Date.now();
  await (await chooser).setFiles(fax);
  // Keys every 250 ms, left and right in turn, until the picture is there.
  let shown = false;
  const keys = ['ArrowLeft', 'ArrowRight'];
  for (let i = 0; !shown; i++) {
    await page.waitForTimeout(250);
    await page.keyboard.press(keys[i % 2]);
    shown = await page.evaluate((w) => BrindlewickPage.canvas.width !== w, width);
  }
  const elapsed = Date.now() - started;
  await settle(page);
  const busy = await taskTime(session) - before;
  const log = await page.evaluate(() => globalThis.benchLog);
  // The same keys for as long again with no picture being read: what they and the clock cost.
  const control = await taskTime(session);
  const until = Date.now() + elapsed;
  for (let i = 0; Date.now() < until; i++) {
    await page.waitForTimeout(250);
    await page.keyboard.press(keys[i % 2]);
  }
  await settle(page);
  const keysAlone = await taskTime(session) - control;
  // Keys pressed while the picture was being read, each until the canvas was next drawn on:
  // its slide, or (where nothing could run meanwhile) the picture itself.
  const latencies = log.keys.filter((at) => at < log.picture).map((at) => log.presents.find((t) => t >= at) - at);
  await context.close();
  return { elapsed, busy, keysAlone, longest: log.longest, keys: latencies };
}

const results = sites.map(() => []);
for (let run = 0; run < runs; run++) {
  for (let s = 0; s < sites.length; s++) results[s].push(await once(servers[s]));
}
for (let s = 0; s < sites.length; s++) {
  const r = results[s];
  const keys = r.flatMap((x) => x.keys);
  const worst = r.map((x) => Math.max(0, ...x.keys));
  console.log(`${sites[s]}:`);
  console.log(`  choice to picture: median ${median(r.map((x) => x.elapsed))} ms of ${runs} (${range(r.map((x) => x.elapsed))})`);
  console.log(`  main thread busy meanwhile: median ${median(r.map((x) => x.busy)).toFixed(0)} ms (${range(r.map((x) => x.busy))}); ` +
    `the same keys as long again without a read: ${median(r.map((x) => x.keysAlone)).toFixed(0)} ms (${range(r.map((x) => x.keysAlone))})`);
  console.log(`  longest task: median ${median(r.map((x) => x.longest)).toFixed(0)} ms (${range(r.map((x) => x.longest))})`);
  console.log(`  key to canvas while reading: median ${median(keys).toFixed(0)} ms of ${keys.length} keys (${range(keys)}); ` +
    `each run's slowest: median ${median(worst).toFixed(0)} ms (${range(worst)})`);
}
await browser.close();
for (const server of servers) await server.close();
rmSync(dir, { recursive: true, force: true });
