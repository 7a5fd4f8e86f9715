// What the browser tests share: the built site served on the loopback, a headless Chromium
// from Debian's package, and ways to read what the page shows.
import { createServer } from 'node:http';
import { gzipSync } from 'node:zlib';
import { existsSync, mkdirSync } from 'node:fs';
import assert from 'node:assert/strict';
import { readFile, stat } from 'node:fs/promises';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const repo = path.resolve(here, '..', '..');
export const site = process.env.BRINDLEWICK_SITE || path.join(repo, 'build', 'web');

// Without the site (tools/build-web.sh) there is nothing to test: in CI that is a failure.
if (!existsSync(path.join(site, 'index.html'))) {
  const why = `no site in ${site}: run tools/build-web.sh first`;
  if (process.env.CI) throw new Error(why);
  console.warn(why);
  process.exit(0);
}

const require = createRequire(path.join(repo, 'shell', 'web', 'package.json'));
export const { chromium } = require('playwright-core');

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.png': 'image/png', '.webp': 'image/webp', '.svg': 'image/svg+xml', '.ttf': 'font/ttf', '.woff2': 'font/woff2',
  '.webmanifest': 'application/manifest+json', '.json': 'application/json', '.hhc': 'text/html', '.hhk': 'text/html',
};

// Serves the site; answers are counted so a test can tell what came from the network, with
// the time each request came (milliseconds since the epoch) for the measuring. `gzip`: text
// and the module are sent compressed to a browser that takes it, as a web host sends them.
const COMPRESSED = new Set(['.png', '.webp', '.woff2']);
export async function serveSite(root = site, { gzip = false } = {}) {
  const served = [];
  const servedAt = [];
  const server = createServer(async (request, response) => {
    const at = Date.now();
    try {
      let file = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
      if (file.endsWith('/')) file += 'index.html';
      const full = path.join(root, path.normalize(file));
      if (!full.startsWith(root)) throw new Error('outside');
      const info = await stat(full);
      if (!info.isFile()) throw new Error('not a file');
      let body = await readFile(full);
      served.push(file);
      servedAt.push(at);
      const headers = { 'Content-Type': TYPES[path.extname(full)] || 'application/octet-stream', 'Cache-Control': 'no-cache' };
      if (gzip && !COMPRESSED.has(path.extname(full)) && /\bgzip\b/.test(request.headers['accept-encoding'] || '')) {
        body = gzipSync(body, { level: 9 });
        headers['Content-Encoding'] = 'gzip';
      }
      response.writeHead(200, headers);
      response.end(body);
    } catch (error) {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const url = `http://127.0.0.1:${server.address().port}/`;
  return { url, served, servedAt, close: () => new Promise((resolve) => server.close(resolve)) };
}

export async function launch() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--no-first-run', '--disable-sync', '--disable-quic', '--autoplay-policy=no-user-gesture-required'],
  });
}

// A page of the game with its console watched: errors fail the test that checks them.
export async function openGame(context, url, options = {}) {
  const page = await context.newPage();
  const problems = [];
  page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
  page.on('pageerror', (error) => problems.push(String(error)));
  await page.goto(url);
  if (options.wait !== false) await waitForGame(page);
  return { page, problems };
}

export async function waitForGame(page) {
  await page.waitForFunction(() => globalThis.BrindlewickPage && BrindlewickPage.started &&
    BrindlewickPage.presents > 0 && BrindlewickPage.idle() &&
    BrindlewickPage.listening !== false);
}

// Lets the program take every queued event and go back to waiting, any picture read.
export async function settle(page) {
  await page.waitForFunction(() => BrindlewickPage.events.length === 0 && BrindlewickPage.idle() &&
    !BrindlewickPage.readingPicture);
}

// The canvas's pixels as 0xRRGGBB numbers, row by row.
export async function canvasPixels(page) {
  return page.evaluate(() => {
    const canvas = BrindlewickPage.canvas;
    const data = BrindlewickPage.context.getImageData(0, 0, canvas.width, canvas.height).data;
    const pixels = new Array(canvas.width * canvas.height);
    for (let i = 0; i < pixels.length; i++) pixels[i] = (data[4 * i] << 16) | (data[4 * i + 1] << 8) | data[4 * i + 2];
    return { width: canvas.width, height: canvas.height, pixels };
  });
}

export { here };

// The second every game of the suites starts at: the page and the headless game shuffle alike.
export const START = 1796551200;
export const KEY_NAMES = { 0x25: 'ArrowLeft', 0x26: 'ArrowUp', 0x27: 'ArrowRight', 0x28: 'ArrowDown' };
export const artifacts = path.join(repo, 'build', 'web-artifacts');
mkdirSync(artifacts, { recursive: true });

let shared = null;

// One served site and one browser for a suite, with its two ways to a page: newContext (a
// player, 1280 x 1024 unless told otherwise) and openPage (a tab of that player, its clock
// held unless told otherwise, so that both sides shuffle alike and the game's seconds
// tick only when the test says so).
export async function startBrowser() {
  const server = await serveSite();
  const browser = await launch();
  shared = { server, browser };
  const newContext = (options = {}) =>
    browser.newContext({ viewport: { width: 1280, height: 1024 }, deviceScaleFactor: 1, ...options });
  const openPage = async (context, { clock = true } = {}) => {
    const page = await context.newPage();
    const problems = [];
    page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
    page.on('pageerror', (error) => problems.push(String(error)));
    // Held half a second into the start's second from before the page loads: the board is
    // shuffled with the second the program starts in.
    if (clock) {
      await page.clock.install({ time: START * 1000 });
      await page.clock.pauseAt(START * 1000 + 500);
    }
    await page.goto(server.url);
    await waitForGame(page);
    return { page, problems };
  };
  return { server, browser, newContext, openPage };
}

export async function stopBrowser() {
  await shared?.browser.close();
  await shared?.server.close();
  shared = null;
}

// The canvas shows what the headless game shows.
export async function expectSame(page, mirror, step) {
  const { difference } = await import('./mirror.mjs');
  await settle(page);
  const shown = await canvasPixels(page);
  const expected = await mirror.screen();
  assert.equal(difference(shown, expected), null, `after ${step}`);
}

// Where a point of the game's client area is on the page.
export async function onPage(page, x, y) {
  const box = await page.locator('#game').boundingBox();
  const size = await page.evaluate(() => [BrindlewickPage.canvas.width, BrindlewickPage.canvas.height]);
  return { x: box.x + (x + 0.5) * box.width / size[0], y: box.y + (y + 0.5) * box.height / size[1] };
}

// Points on the board of the built-in picture: 300 x 300 under the counters, 10 pixels from
// the edges.
export async function boardPoints(page) {
  const [width, height] = await page.evaluate(() => [BrindlewickPage.canvas.width, BrindlewickPage.canvas.height]);
  const side = width - 20;
  const top = height - 10 - side;
  const points = [];
  for (const [fx, fy] of [[0.1, 0.9], [0.9, 0.9], [0.6, 0.1], [0.35, 0.65], [0.1, 0.1], [0.9, 0.35], [0.37, 0.37]]) {
    points.push([Math.floor(10 + fx * side), Math.floor(top + fy * side)]);
  }
  return points;
}

// A key on the page and the same key to the headless game.
export async function press(page, mirror, key, vk, { control = false } = {}) {
  await page.keyboard.press(control ? `Control+${key}` : key);
  await mirror.send(`${control ? 'ctrlkey' : 'key'} ${vk}`);
}

export async function menu(page, title, item) {
  await page.locator('.menu-title', { hasText: title }).click();
  await page.locator('.menu-item:visible', { hasText: item }).first().click();
}
