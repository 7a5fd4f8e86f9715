// What the game costs in a browser (headless Chromium on this machine), as a player's
// page: start-up to the first whole frame and the bytes loaded before it, what the service
// worker keeps and when it fetches it, the main thread's time per arrow key and per slide
// with the pixels handed to the canvas against those that changed, and the main thread's
// busy time while idle with the clock running.
//   node bench/web/measure_web.mjs [runs]     (after tools/build-web.sh)
//   BASELINE_SITE=dir node bench/web/measure_web.mjs [runs]
//   NETWORK=fast4g ... (the start-ups over an emulated phone network)
//   WINDOW_SETTLE_MS=0 ... (the start-ups in a tab just opened, its window still starting)
//   COMPRESS=gzip ... (text and the module sent gzipped, as a web host sends them)
// With BASELINE_SITE (another build's site, e.g. the commit before a change), the start-ups of
// the two sites take turns, in alternating order, and their medians are compared.
import { gzipSync } from 'node:zlib';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { serveSite, launch, waitForGame, settle, canvasPixels, site } from '../../tests/web/support.mjs';

const runs = Number(process.argv[2] || 7);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const range = (values) => `${Math.min(...values).toFixed(2)}-${Math.max(...values).toFixed(2)}`;
const kib = (bytes) => (bytes / 1024).toFixed(1);

async function taskTime(session) {
  const { metrics } = await session.send('Performance.getMetrics');
  return metrics.find((m) => m.name === 'TaskDuration').value * 1000;
}

// A file's bytes, raw and gzipped (level 9), from the site's folder.
function fileSize(root, file) {
  const bytes = readFileSync(path.join(root, file === '/' ? 'index.html' : file.replace(/^\//, '')));
  return { raw: bytes.length, gzipped: gzipSync(bytes, { level: 9 }).length };
}

// COMPRESS=gzip: the site served as a web host serves it, text and the module gzipped.
const serving = { gzip: process.env.COMPRESS === 'gzip' };
if (process.env.COMPRESS && !serving.gzip) throw new Error('COMPRESS: gzip or nothing');
const server = await serveSite(site, serving);
const browser = await launch();
const baseline = process.env.BASELINE_SITE ? { root: path.resolve(process.env.BASELINE_SITE) } : null;
if (baseline) baseline.server = await serveSite(baseline.root, serving);
const current = { root: site, server };

// Start-up: a fresh profile each time, nothing cached, no service worker. The files counted
// are those the page asked for before its first whole frame.
// NETWORK=fast4g: the start-ups go through Chromium's own "Fast 4G" (165 ms round trip,
// 9 Mbit/s down, 1.5 up, each less 10 %), where the bytes count as a player's phone counts them;
// the loopback alone mostly measures this machine's per-request cost.
const NETWORKS = {
  fast4g: { offline: false, latency: 165, downloadThroughput: 9 * 1024 * 1024 / 8 * 0.9,
            uploadThroughput: 1.5 * 1024 * 1024 / 8 * 0.9 },
};
const network = process.env.NETWORK ? NETWORKS[process.env.NETWORK] : null;
if (process.env.NETWORK && !network) throw new Error(`NETWORK: one of ${Object.keys(NETWORKS).join(', ')}`);

// The tab is opened first and let settle (WINDOW_SETTLE_MS, 2000; 0 for none): a new window of
// this headless Chromium starts its own user interface's renderer, which parses its scripts
// for a second or two on this 2-core machine, alongside whatever page loads then. A player's
// tab is open before the game's address is, so that is no part of the game's start.
const settleWindow = Number(process.env.WINDOW_SETTLE_MS ?? 2000);

async function startUp(target) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 1024 }, serviceWorkers: 'block' });
  const page = await context.newPage();
  if (settleWindow > 0) {
    await page.goto('about:blank');
    await page.waitForTimeout(settleWindow);
  }
  if (network) {
    const session = await context.newCDPSession(page);
    await session.send('Network.enable');
    await session.send('Network.emulateNetworkConditions', network);
  }
  await page.goto(target.server.url);
  await waitForGame(page);
  const { frame, files } = await page.evaluate(() => {
    const frame = BrindlewickPage.firstWholeFrame;
    const files = performance.getEntriesByType('resource').filter((e) => e.startTime < frame)
      .map((e) => new URL(e.name).pathname);
    return { frame, files: ['/', ...files] };
  });
  await context.close();
  return { frame, files: [...new Set(files)] };
}
const targets = baseline ? [current, baseline] : [current];
for (const target of targets) target.starts = [];
for (let i = 0; i < runs; i++) {
  for (const target of (i % 2 ? [...targets].reverse() : targets)) {
    const { frame, files } = await startUp(target);
    target.starts.push(frame);
    target.files = files;
  }
}
for (const target of targets) {
  const sizes = target.files.map((file) => ({ file, ...fileSize(target.root, file) }));
  const raw = sizes.reduce((sum, f) => sum + f.raw, 0);
  const gzipped = sizes.reduce((sum, f) => sum + f.gzipped, 0);
  const name = target === baseline ? 'baseline' : 'this build';
  console.log(`${name}: start-up to the first whole frame: median ${median(target.starts).toFixed(1)} ms of ${runs} (${range(target.starts)})`);
  console.log(`${name}: bytes loaded before the first whole frame: ${kib(raw)} KiB, ${kib(gzipped)} KiB gzipped, ${sizes.length} files: ` +
    sizes.map((f) => `${f.file} ${kib(f.raw)}/${kib(f.gzipped)}`).join(', '));
}
if (baseline) {
  const ratios = current.starts.map((t, i) => t / baseline.starts[i]);
  console.log(`first whole frame, this build / baseline: ${(median(current.starts) / median(baseline.starts)).toFixed(3)} ` +
    `(ratio of medians); per interleaved pair median ${median(ratios).toFixed(3)} (${range(ratios)})`);
}

// What the service worker keeps, and when it fetches it: a first visit with it allowed.
{
  const context = await browser.newContext({ viewport: { width: 1280, height: 1024 } });
  const page = await context.newPage();
  const before = server.served.length;
  await page.goto(server.url);
  await waitForGame(page);
  const kept = await page.evaluate(async () => {
    await navigator.serviceWorker.ready;
    for (;;) {
      const keys = await caches.keys();
      if (keys.length) {
        const requests = await (await caches.open(keys[0])).keys();
        const expected = (await (await fetch('sw.js')).text()).match(/const FILES = \[(.*)\];/)[1].split(',').length;
        if (requests.length >= expected) return requests.map((r) => new URL(r.url).pathname);
      }
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  });
  const frameAt = await page.evaluate(() => performance.timeOrigin + BrindlewickPage.firstWholeFrame);
  const worker = server.served.slice(before).map((file, i) => ({ file, at: server.servedAt[before + i] }))
    .filter((r) => r.file === '/sw.js');
  const raw = kept.reduce((sum, file) => sum + fileSize(site, file).raw, 0);
  const early = server.served.slice(before).filter((file, i) => server.servedAt[before + i] < frameAt &&
    !kept.includes(file) && file !== '/sw.js');
  console.log(`service worker: keeps ${kept.length} files, ${kib(raw)} KiB raw; sw.js asked for ${worker.length ? (worker[0].at - frameAt).toFixed(0) : '?'} ms ` +
    `after the first whole frame${early.length ? `; before it, files it does not keep: ${early.join(', ')}` : ''}`);
  await context.close();
}

// Keys and slides.
const context = await browser.newContext({ viewport: { width: 1280, height: 1024 } });
const page = await context.newPage();
const session = await context.newCDPSession(page);
await session.send('Performance.enable');
// The game's clock held for the keys and slides, so that no tick is counted with them.
await page.clock.install();
await page.clock.pauseAt(Date.now() + 1000);
await page.goto(server.url);
await waitForGame(page);
await page.keyboard.press('F2');
await settle(page);
const keys = ['ArrowLeft', 'ArrowUp', 'ArrowRight', 'ArrowDown'];
const perKey = [];
const ratios = [];
for (let round = 0; round < runs; round++) {
  const count = 40;
  const before = await taskTime(session);
  for (let i = 0; i < count; i++) await page.keyboard.press(keys[(i * 7 + round) % 4]);
  await settle(page);
  perKey.push((await taskTime(session) - before) / count);
  // One slide at a time: what the canvas was given against what changed on it.
  for (let i = 0; i < 10; i++) {
    const shown = await canvasPixels(page);
    const presented = await page.evaluate(() => BrindlewickPage.presentedPixels);
    await page.keyboard.press(keys[(i + round) % 4]);
    await settle(page);
    const after = await canvasPixels(page);
    const given = await page.evaluate(() => BrindlewickPage.presentedPixels) - presented;
    let changed = 0;
    for (let p = 0; p < after.pixels.length; p++) if (after.pixels[p] !== shown.pixels[p]) changed++;
    if (changed > 0) ratios.push(given / changed);
  }
}
// A key the game ignores: what the browser's own handling of a key costs.
const perIgnored = [];
for (let round = 0; round < runs; round++) {
  const before = await taskTime(session);
  for (let i = 0; i < 40; i++) await page.keyboard.press('q');
  await settle(page);
  perIgnored.push((await taskTime(session) - before) / 40);
}
console.log(`main thread per arrow key (task time, the key's delivery included): median ${median(perKey).toFixed(3)} ms of ${runs} rounds of 40 (${range(perKey)}); per key the game ignores ${median(perIgnored).toFixed(3)} ms (${range(perIgnored)})`);
console.log(`pixels handed to the canvas per slide / pixels changed: median ${median(ratios).toFixed(3)} of ${ratios.length} slides (${range(ratios)})`);

// Idle with the clock running, in a page of its own on the real clock, against a page of the
// same site with nothing running (what the browser and this measuring cost by themselves).
// Headless Chromium keeps every page visible, behind another tab or minimised, so a hidden
// tab can't be measured here.
const idleSeconds = Number(process.env.IDLE_SECONDS || 30);
async function idle(url, start) {
  const idleContext = await browser.newContext({ viewport: { width: 1280, height: 1024 } });
  const idlePage = await idleContext.newPage();
  const idleSession = await idleContext.newCDPSession(idlePage);
  await idleSession.send('Performance.enable');
  await idlePage.goto(url);
  if (start) {
    await waitForGame(idlePage);
    await idlePage.keyboard.press('F2');
    await settle(idlePage);
  }
  const read = async () => {
    const { metrics } = await idleSession.send('Performance.getMetrics');
    const value = (name) => metrics.find((m) => m.name === name).value * 1000;
    return [value('TaskDuration'), value('ScriptDuration')];
  };
  const [task, script] = await read();
  const presents = start ? await idlePage.evaluate(() => BrindlewickPage.presents) : 0;
  await idlePage.waitForTimeout(idleSeconds * 1000);
  const [taskAfter, scriptAfter] = await read();
  const drawn = start ? await idlePage.evaluate(() => BrindlewickPage.presents) - presents : 0;
  await idleContext.close();
  return { task: taskAfter - task, script: scriptAfter - script, drawn };
}
const quiet = await idle(server.url + 'help/viewer.html', false);
const game = await idle(server.url, true);
console.log(`main thread busy over ${idleSeconds} s, the game's clock running: ${game.task.toFixed(1)} ms in all tasks ` +
  `(${game.script.toFixed(1)} ms running script), ${game.drawn} rectangles handed to the canvas; ` +
  `a page of the same site doing nothing: ${quiet.task.toFixed(1)} ms`);
await browser.close();
await server.close();
if (baseline) await baseline.server.close();
