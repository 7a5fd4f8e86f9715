// The game in headless Chromium, played as a player would - keys, clicks and taps - with
// every screen compared, pixel for pixel, with the headless game fed the same inputs; its
// dialogs and boxes, settings and records across reloads and tabs, offline starts and a
// phone's screen.
import test from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import {
  START, KEY_NAMES, artifacts, repo, startBrowser, stopBrowser, waitForGame, settle, canvasPixels, expectSame, onPage,
  boardPoints, press, menu,
} from './support.mjs';
import { Mirror, difference } from './mirror.mjs';
import { metafile } from './picture_files.mjs';

const VK = { LEFT: 0x25, UP: 0x26, RIGHT: 0x27, DOWN: 0x28, F2: 0x71 };
const ID = { IDOK: 1, IDCANCEL: 2, NEW: 40001, EXPERT: 40006, EMPTY_TL: 40010, SHOW_NUMBERS: 40012 };

let browser;
let openPage;
let newContext;

test.before(async () => {
  ({ browser, openPage, newContext } = await startBrowser());
});

test.after(async () => {
  await stopBrowser();
});

// What the first frame waits for is what it shows: the rest of the page comes after it, and a
// start without a picture of the player's opens no database. The style, the start's face and
// the script that starts the module are in the page itself.
test('the first frame waits for no more than it shows, and the rest of the page comes after it', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context, { clock: false });
  const LATER = ['dialogs.js', 'picture_files.js', 'kept_pictures.js', 'sound.js', 'links.js', 'fonts/page.woff2'];
  const NOT_BEFORE = [...LATER, 'picture_reader.js', 'sw.js'];
  const IN_THE_PAGE = ['page.css', 'fonts/start.woff2', 'start_files.js', 'icons/program-16.png'];
  try {
    await page.waitForFunction((later) => {
      const fetched = performance.getEntriesByType('resource').map((entry) => new URL(entry.name).pathname.slice(1));
      return later.every((file) => fetched.includes(file));
    }, LATER);
    const { before, all, databases } = await page.evaluate(async () => {
      const entries = performance.getEntriesByType('resource');
      const file = (entry) => new URL(entry.name).pathname.slice(1);
      return {
        before: entries.filter((entry) => entry.startTime < BrindlewickPage.firstWholeFrame).map(file),
        all: entries.map(file),
        databases: (await indexedDB.databases()).map((database) => database.name),
      };
    });
    for (const file of NOT_BEFORE) assert.ok(!before.includes(file), `${file} fetched before the first frame`);
    for (const file of IN_THE_PAGE) assert.ok(!all.includes(file), `${file} fetched`);
    for (const file of ['game.wasm', 'game.js', 'bitmaps/picture.webp', 'page.js']) assert.ok(before.includes(file), file);
    assert.deepEqual(databases, []);
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});

// A module that can't come when wanted (the network gone, no offline copy yet) costs the
// player that one step, not the game: the choice is as if cancelled, and asked again later.
test('a picture chosen while the files\' module can\'t come is as if cancelled, and works once it can', async () => {
  const context = await newContext();
  await context.route('**/picture_files.js', (route) => route.abort());
  const { page, problems } = await openPage(context, { clock: false });
  try {
    const before = await canvasPixels(page);
    await menu(page, 'Options', 'Custom Picture');
    await settle(page);
    assert.equal(await page.locator('input[type=file]').count(), 0, 'a file chooser without its module');
    assert.equal(await page.locator('.dialog').count(), 0);
    assert.equal(difference(await canvasPixels(page), before), null, 'the game changed');

    await context.unroute('**/picture_files.js');
    await choosePicture(page, path.join(repo, 'tests', 'data', 'pictures', 'quadrants-x4.png'));
    await settle(page);
    assert.notEqual(difference(await canvasPixels(page), before), null, 'the chosen picture is not shown');
    assert.deepEqual(problems.filter((problem) => !/picture_files\.js|Failed to load resource|dynamically imported/.test(problem)), []);
  } finally {
    await context.close();
  }
});

test('a game played with keys and clicks shows what the headless game shows after every step', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context);
  const mirror = new Mirror(START);
  try {
    await expectSame(page, mirror, 'start-up');
    await page.screenshot({ path: path.join(artifacts, 'start-1280.png') });

    await press(page, mirror, 'F2', VK.F2);
    await expectSame(page, mirror, 'F2');
    for (const key of ['LEFT', 'UP', 'RIGHT', 'DOWN', 'LEFT', 'LEFT', 'UP']) {
      await press(page, mirror, KEY_NAMES[VK[key]], VK[key]);
      await expectSame(page, mirror, `the ${key} arrow`);
    }
    for (const [x, y] of await boardPoints(page)) {
      const at = await onPage(page, x, y);
      await page.mouse.move(at.x, at.y);
      await mirror.send(`move ${x} ${y}`);
      await page.mouse.down();
      await mirror.send(`down ${x} ${y}`);
      await page.mouse.up();
      await mirror.send(`up ${x} ${y}`);
      await expectSame(page, mirror, `a click at (${x}, ${y})`);
    }

    // The game's clock, a second at a time; it goes on under an open dialog.
    for (let second = 1; second <= 3; second++) {
      await page.clock.runFor(1000);
      await mirror.send(`time ${START + second}`, 'tick 1');
      await expectSame(page, mirror, `second ${second}`);
    }

    // The clock goes on under an open dialog, and nothing else moves.
    await mirror.send('script 113', 'tickin 1', 'tickin 1', 'press 2');
    await page.keyboard.press('Control+f');
    await page.locator('.dialog input').waitFor();
    await page.clock.runFor(2000);
    await settle(page);
    await page.keyboard.press('Escape');
    await mirror.send('ctrlkey 70');
    await expectSame(page, mirror, 'two seconds under Find Tile');

    await press(page, mirror, 's', 0x53, { control: true });
    await expectSame(page, mirror, 'Ctrl+S');
    await page.screenshot({ path: path.join(artifacts, 'numbers-1280.png') });

    // Find Tile: the dialog, then the tile flashes once on the 100 ms timer.
    await mirror.send('script 113', 'type 1037 7', 'press 1');
    await page.keyboard.press('Control+f');
    const field = page.locator('.dialog input');
    await field.waitFor();
    await page.screenshot({ path: path.join(artifacts, 'find-tile.png') });
    await page.keyboard.type('7');
    await page.keyboard.press('Enter');
    await mirror.send('ctrlkey 70');
    await expectSame(page, mirror, 'Find Tile');
    for (let tick = 1; tick <= 3; tick++) {
      await page.clock.runFor(100);
      await mirror.send('tick 2');
      await expectSame(page, mirror, `flash tick ${tick}`);
    }
    assert.deepEqual(problems, []);
  } finally {
    await mirror.close();
    await context.close();
  }
});

// The built-in picture comes to the page as a compressed file the browser decodes: its pixels
// are the bitmap's, every one, the empty corner's too.
test('the built-in picture the browser decodes is the bitmap, pixel for pixel', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context);
  try {
    const bmp = readFileSync(path.join(repo, 'resources', 'bitmaps', 'picture.bmp'));
    const offset = bmp.readUInt32LE(10);
    const width = bmp.readInt32LE(18);
    const height = bmp.readInt32LE(22);
    assert.equal(bmp.readUInt16LE(28), 24);
    const decoded = await page.evaluate(() => {
      const { width, height, rgba } = BrindlewickPage.picture;
      return { width, height, rgba: Array.from(rgba) };
    });
    assert.deepEqual([decoded.width, decoded.height], [width, height]);
    const stride = (width * 3 + 3) & ~3;
    let differing = 0;
    for (let y = 0; y < height; y++) {
      const row = offset + (height - 1 - y) * stride;
      for (let x = 0; x < width; x++) {
        const at = 4 * (y * width + x);
        const [b, g, r] = bmp.subarray(row + 3 * x, row + 3 * x + 3);
        if (decoded.rgba[at] !== r || decoded.rgba[at + 1] !== g || decoded.rgba[at + 2] !== b || decoded.rgba[at + 3] !== 255) {
          differing++;
        }
      }
    }
    assert.equal(differing, 0, `${differing} pixels differ from the bitmap`);
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});


test('on a phone the whole game fits the screen and taps play it', async () => {
  const context = await newContext({ viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true,
    hasTouch: true });
  const { page, problems } = await openPage(context);
  const mirror = new Mirror(START);
  try {
    const box = await page.locator('#game').boundingBox();
    assert.ok(box.x >= 0 && box.x + box.width <= 390 + 0.5, `the canvas is ${box.width} wide`);
    assert.ok(box.y + box.height <= 844 + 0.5, `the canvas ends at ${box.y + box.height}`);
    // Each of the game's pixels is a whole 3 x 3 block of the screen's.
    const width = await page.evaluate(() => BrindlewickPage.canvas.width);
    assert.equal(Math.round(box.width * 3), width * 3);
    await expectSame(page, mirror, 'start-up');
    await page.screenshot({ path: path.join(artifacts, 'start-phone.png') });

    // The face starts a game, like F2.
    const face = await onPage(page, Math.floor(width / 2), 30);
    await page.touchscreen.tap(face.x, face.y);
    await mirror.send(`click ${Math.floor(width / 2)} 30`);
    await expectSame(page, mirror, 'a tap on the face');
    for (const [x, y] of await boardPoints(page)) {
      const at = await onPage(page, x, y);
      await page.touchscreen.tap(at.x, at.y);
      await mirror.send(`click ${x} ${y}`);
      await expectSame(page, mirror, `a tap at (${x}, ${y})`);
    }
    await page.screenshot({ path: path.join(artifacts, 'played-phone.png') });
    assert.deepEqual(problems, []);
  } finally {
    await mirror.close();
    await context.close();
  }
});

test('a page too small for the game scales it down to fit and maps the pointer back', async () => {
  const context = await newContext({ viewport: { width: 200, height: 300 } });
  const { page, problems } = await openPage(context);
  const mirror = new Mirror(START);
  try {
    const box = await page.locator('#game').boundingBox();
    assert.ok(box.width <= 200 && box.y + box.height <= 300.5, `the canvas is ${box.width} x ${box.height}`);
    assert.equal(await page.locator('#game.smaller').count(), 1);
    await press(page, mirror, 'F2', VK.F2);
    for (const [x, y] of await boardPoints(page)) {
      const at = await onPage(page, x, y);
      await page.mouse.click(at.x, at.y);
      await mirror.send(`move ${x} ${y}`, `click ${x} ${y}`);
      await expectSame(page, mirror, `a click at (${x}, ${y}) on the scaled game`);
    }
    assert.deepEqual(problems, []);
  } finally {
    await mirror.close();
    await context.close();
  }
});

test('winning a Beginner game asks for the name, and the record outlives the page and another tab', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context);
  // A second tab of the same player, open all along with no record of its own.
  const other = await openPage(context, { clock: false });
  const mirror = new Mirror(START);
  try {
    await page.bringToFront();
    await press(page, mirror, 'F2', VK.F2);
    const solution = await mirror.solve();
    assert.ok(solution.length > 0, 'the mirror found no solution');
    for (const vk of solution.slice(0, -1)) await press(page, mirror, KEY_NAMES[vk], vk);
    await expectSame(page, mirror, 'every move but the last');

    await mirror.send('script 110', 'type 1003 Tess', 'press 1', 'script 109', 'press 2');
    await press(page, mirror, KEY_NAMES[solution.at(-1)], solution.at(-1));
    const name = page.locator('.dialog input');
    await name.waitFor();
    assert.match(await page.locator('.dialog .caption').first().textContent(), /New Record/);
    await page.screenshot({ path: path.join(artifacts, 'new-record.png') });
    await name.fill('Tess');
    await page.keyboard.press('Enter');
    const best = page.locator('.dialog', { hasText: 'Best Times' });
    await best.waitFor();
    assert.equal(await best.locator('[data-control="1006"]').textContent(), 'Tess');
    assert.equal(await best.locator('[data-control="1012"]').textContent(), String(solution.length));
    await page.screenshot({ path: path.join(artifacts, 'best-times-record.png') });
    await page.keyboard.press('Escape');
    await expectSame(page, mirror, 'the win');

    // The other tab is hidden and closed: it stores its settings and nothing else.
    await other.page.bringToFront();
    await other.page.close({ runBeforeUnload: true });
    await page.bringToFront();
    await page.reload();
    await waitForGame(page);
    await menu(page, 'Game', 'Best Times');
    const again = page.locator('.dialog', { hasText: 'Best Times' });
    await again.waitFor();
    assert.equal(await again.locator('[data-control="1006"]').textContent(), 'Tess');
    await page.keyboard.press('Escape');
    assert.deepEqual([...problems, ...other.problems], []);
  } finally {
    await mirror.close();
    await context.close();
  }
});

test('settings chosen in the menus are there again after a reload', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context, { clock: false });
  try {
    await menu(page, 'Options', 'Expert');
    await menu(page, 'Options', 'Empty Space at TL');
    await menu(page, 'Options', 'Show Numbers');
    await settle(page);
    const before = await canvasPixels(page);
    await page.reload();
    await waitForGame(page);
    for (const command of [ID.EXPERT, ID.EMPTY_TL, ID.SHOW_NUMBERS]) {
      assert.equal(await page.locator(`[data-command="${command}"]`).getAttribute('aria-checked'), 'true');
    }
    assert.equal(difference(await canvasPixels(page), before), null);
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});

test('damaged or missing storage never stops the game, and what is stored is not overwritten at start', async () => {
  const context = await newContext();
  const prefix = 'HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle\\';
  const damaged = { dimensionx: 'four', emptyx: '4:zz', shownumber: '', timebeginner: '4:0a00', namebeginner: 'x'.repeat(100000) };
  await context.addInitScript(([prefix, damaged]) => {
    if (sessionStorage.getItem('seeded')) return;
    sessionStorage.setItem('seeded', '1');
    for (const [name, value] of Object.entries(damaged)) localStorage.setItem(prefix + name, value);
  }, [prefix, damaged]);
  const { page, problems } = await openPage(context, { clock: false });
  try {
    const reference = new Mirror(START);
    const [width, height] = await page.evaluate(() => [BrindlewickPage.canvas.width, BrindlewickPage.canvas.height]);
    const expected = await reference.screen();
    await reference.close();
    assert.deepEqual([width, height], [expected.width, expected.height], 'the game did not start with its defaults');
    const kept = await page.evaluate(([prefix, names]) => names.map((n) => localStorage.getItem(prefix + n)),
      [prefix, Object.keys(damaged)]);
    assert.deepEqual(kept, Object.values(damaged));
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }

  // A browser that refuses storage altogether.
  const refusing = await newContext();
  await refusing.addInitScript(() => {
    Object.defineProperty(window, 'localStorage', { get() { throw new DOMException('denied', 'SecurityError'); } });
  });
  try {
    const { page, problems } = await openPage(refusing, { clock: false });
    await page.keyboard.press('F2');
    await settle(page);
    await page.close({ runBeforeUnload: true });
    assert.deepEqual(problems, []);
  } finally {
    await refusing.close();
  }
});

test('the dialogs stand at their templates\' sizes, take their keys, and are modal over the game', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context, { clock: false });
  try {
    const before = await canvasPixels(page);
    const dialogs = [
      ['Help', 'About', 'About brindlewick Puzzle', 291, 167],
      ['Options', 'Custom', 'Custom Dimensions', 180, 102],
      ['Game', 'Best Times', 'Best Times', 340, 115],
      ['Options', 'Find Tile', 'Find Tile', 237, 71],
    ];
    for (const [title, item, caption, width, height] of dialogs) {
      await menu(page, title, item);
      const dialog = page.locator('.dialog', { hasText: caption });
      await dialog.waitFor();
      // The template's size, at the scale of the window's bars.
      const client = await dialog.locator('.dialog-client').boundingBox();
      const scale = await dialog.evaluate((frame) => Number(frame.style.getPropertyValue('--ui-scale')));
      assert.deepEqual([client.width, client.height], [Math.round(width * scale), Math.round(height * scale)], caption);
      await page.screenshot({ path: path.join(artifacts, `dialog-${item.replace(/ /g, '-').toLowerCase()}.png`) });
      // The game hears nothing while a dialog is up.
      await page.mouse.click(200, 300);
      await page.keyboard.press('Escape');
      await dialog.waitFor({ state: 'detached' });
    }
    assert.equal(difference(await canvasPixels(page), before), null, 'the game moved under a dialog');

    // The About box's link opens the address in a new tab (answered here: there is no network).
    await context.route('http://brindlewick.example/**', (route) => route.fulfill({ body: 'brindlewick' }));
    await menu(page, 'Help', 'About');
    const link = page.locator('.dialog .drawn');
    await link.waitFor();
    assert.equal(await link.textContent(), 'http://brindlewick.example');
    const popup = page.waitForEvent('popup');
    await link.evaluate((span) => {
      const box = span.getBoundingClientRect();
      const client = span.parentElement;
      client.dispatchEvent(new PointerEvent('pointerdown', { bubbles: true, clientX: box.left + 3, clientY: box.top + 3 }));
    });
    const opened = await popup;
    await opened.waitForLoadState();
    assert.match(opened.url(), /^http:\/\/brindlewick\.example\/?$/);
    await opened.close();
    await page.keyboard.press('Escape');

    // Custom Dimensions takes only digits; the board follows the sizes given.
    await menu(page, 'Options', 'Custom');
    const fields = page.locator('.dialog input');
    await fields.first().waitFor();
    await fields.nth(0).fill('');
    await fields.nth(0).type('5x');
    await fields.nth(1).fill('3');
    assert.equal(await fields.nth(0).inputValue(), '5');
    await page.keyboard.press('Enter');
    await fields.first().waitFor({ state: 'detached' });
    assert.equal(await page.locator('[data-command="40007"]').getAttribute('aria-checked'), 'true');

    // Reset Score asks first; No keeps Best Times open over the game.
    await menu(page, 'Game', 'Best Times');
    await page.locator('.dialog button', { hasText: 'Reset Score' }).click();
    const box = page.locator('.dialog.box');
    await box.waitFor();
    assert.match(await box.textContent(), /Are you sure you want to reset the scores\?/);
    assert.equal(await box.locator('img').getAttribute('src'), 'icons/exclamation-32.png');
    await page.screenshot({ path: path.join(artifacts, 'box-reset-score.png') });
    await box.locator('button', { hasText: 'No' }).click();
    await box.waitFor({ state: 'detached' });
    assert.equal(await page.locator('.dialog', { hasText: 'Best Times' }).count(), 1);
    await page.keyboard.press('Escape');
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});

test('help opens its contents, index and search, and typing there is help\'s', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context, { clock: false });
  try {
    const before = await canvasPixels(page);
    const opened = page.waitForEvent('popup');
    await page.keyboard.press('F1');
    const help = await opened;
    await help.waitForLoadState();
    assert.match(help.url(), /help\/viewer\.html#contents$/);
    await help.locator('#contents a', { hasText: 'How to Play' }).waitFor();
    await help.screenshot({ path: path.join(artifacts, 'help-contents.png') });
    await help.locator('#tab-search').click();
    await help.locator('#search-words').fill('record');
    await help.keyboard.press('Enter');
    await help.locator('#results a').first().waitFor();
    await help.keyboard.press('F2');
    await help.keyboard.press('ArrowLeft');
    await page.bringToFront();
    await settle(page);
    assert.equal(difference(await canvasPixels(page), before), null, 'keys typed in help reached the game');
    await menu(page, 'Help', 'Index');
    await help.waitForFunction(() => location.hash === '#index');
    await help.locator('#index a').first().waitFor();
    await menu(page, 'Help', 'Search');
    await help.waitForFunction(() => location.hash === '#search');
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});

test('after one visit the game starts and plays offline', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context, { clock: false });
  try {
    await page.evaluate(async () => {
      await navigator.serviceWorker.ready;
    });
    await page.waitForFunction(async () => {
      const keys = await caches.keys();
      if (!keys.length) return false;
      const cache = await caches.open(keys[0]);
      return !!(await cache.match('game.wasm'));
    });
    await context.setOffline(true);
    await page.reload();
    await waitForGame(page);
    await page.keyboard.press('F2');
    await settle(page);
    const moves = await page.evaluate(() => BrindlewickPage.presents);
    await page.keyboard.press('ArrowLeft');
    await page.keyboard.press('ArrowUp');
    await settle(page);
    assert.ok(await page.evaluate(() => BrindlewickPage.presents) > moves, 'nothing moved offline');
    assert.deepEqual(problems.filter((p) => !/ERR_INTERNET_DISCONNECTED/.test(p)), []);
  } finally {
    await context.close();
  }
});

// A Targa picture of 24-bit pixels, rows from the top.
function targa(width, height, colourAt) {
  const header = [0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, width & 0xFF, width >> 8, height & 0xFF, height >> 8, 24, 0x20];
  const pixels = [];
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const rgb = colourAt(x, y);
      pixels.push(rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16);
    }
  }
  return Buffer.from([...header, ...pixels]);
}

test('a picture of every format comes through the file chooser; a hostile one gets the message; a chosen one outlives a reload', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context, { clock: false });
  const dir = mkdtempSync(path.join(tmpdir(), 'brindlewick-web-'));
  try {
    const data = path.join(repo, 'tests', 'data', 'pictures');
    writeFileSync(path.join(dir, 'stripes.tga'), targa(40, 30, (x) => (x < 20 ? 0xFF0000 : 0x0000FF)));
    writeFileSync(path.join(dir, 'halves.wmf'), metafile(true));
    writeFileSync(path.join(dir, 'bomb.gif'), Buffer.from([0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x60, 0xEA, 0x60, 0xEA,
      0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x2C, 0, 0, 0, 0, 0x60, 0xEA, 0x60, 0xEA, 0, 2, 2, 0x4C, 0x01, 0, 0x3B]));
    writeFileSync(path.join(dir, 'text.jpg'), 'not a picture');
    writeFileSync(path.join(dir, 'cut.png'), readFileSync(path.join(data, 'quadrants-x4.png')).subarray(0, 60));
    // The project's quadrants, large enough to cut into a grid, in every format the browser decodes itself.
    for (const format of ['bmp', 'gif', 'jpg', 'tif']) {
      execFileSync('convert', [path.join(data, 'quadrants-x4.png'), path.join(dir, `quadrants-x4.${format}`)]);
    }

    const choose = async (file) => {
      const chooser = page.waitForEvent('filechooser');
      await menu(page, 'Options', 'Custom Picture');
      await (await chooser).setFiles(file);
      // The chooser answered (its input gone), then the program done with the file.
      await page.waitForFunction(() => BrindlewickPage.dialogStack.length > 0 ||
        (!document.querySelector('input[type=file]') && BrindlewickPage.events.length === 0 && BrindlewickPage.idle() &&
         !BrindlewickPage.readingPicture));
    };
    const size = () => page.evaluate(() => [BrindlewickPage.canvas.width, BrindlewickPage.canvas.height]);
    const defaultSize = await size();
    const sizes = new Map();
    for (const file of ['quadrants-x4.bmp', 'quadrants-x4.gif', 'quadrants-x4.jpg', 'quadrants-x4.tif', 'stripes.tga',
      'halves.wmf', path.join(data, 'quadrants-x4.png')]) {
      await choose(path.isAbsolute(file) ? file : path.join(dir, file));
      assert.equal(await page.locator('.dialog').count(), 0, `${file} was refused`);
      assert.equal(await page.locator('[data-command="40019"]').getAttribute('aria-checked'), 'true', file);
      sizes.set(file, await size());
      await page.screenshot({ path: path.join(artifacts, `picture-${path.basename(file).replace('.', '-')}.png`) });
    }
    const png = path.join(data, 'quadrants-x4.png');
    assert.notDeepEqual(sizes.get(png), defaultSize);

    // A picture larger than the page is decoded smaller, its shape kept: the whole game fits.
    execFileSync('convert', ['-size', '3000x2000', 'gradient:red-blue', path.join(dir, 'large.png')]);
    await choose(path.join(dir, 'large.png'));
    assert.equal(await page.locator('.dialog').count(), 0, 'the large picture was refused');
    const [largeWidth, largeHeight] = await size();
    assert.ok(largeWidth <= 1280 && largeHeight <= 1024 - 20, `the game is ${largeWidth} x ${largeHeight}`);
    const shown = await page.locator('#game').boundingBox();
    assert.equal(shown.width, largeWidth, 'the game is shown pixel for pixel');
    await choose(png);
    assert.deepEqual(sizes.get('quadrants-x4.bmp'), sizes.get(png));
    const chosen = await canvasPixels(page);

    for (const file of ['bomb.gif', 'text.jpg', 'cut.png']) {
      await choose(path.join(dir, file));
      const box = page.locator('.dialog.box');
      await box.waitFor();
      assert.match(await box.locator('.caption').textContent(), /Change Picture Error/, file);
      assert.match(await box.textContent(), /Cannot change picture\./, file);
      await page.screenshot({ path: path.join(artifacts, `hostile-${file.replace('.', '-')}.png`) });
      await page.keyboard.press('Enter');
      await box.waitFor({ state: 'detached' });
      await settle(page);
      assert.equal(difference(await canvasPixels(page), chosen), null, `the picture changed after ${file}`);
    }

    // The chosen picture's bytes are kept in the browser: a reload shows it again.
    await page.reload();
    await waitForGame(page);
    assert.equal(difference(await canvasPixels(page), chosen), null, 'the chosen picture after a reload');

    // Gone from the browser's storage, it gives way to the built-in one with the message.
    await page.evaluate(() => new Promise((resolve) => {
      const request = indexedDB.deleteDatabase('brindlewick-puzzle');
      request.onsuccess = request.onerror = request.onblocked = () => resolve();
    }));
    await page.reload();
    const box = page.locator('.dialog.box');
    await box.waitFor();
    assert.match(await box.locator('.caption').textContent(), /Invalid Picture/);
    assert.match(await box.textContent(), /Cannot load picture: quadrants-x4\.png, \s*the file may have been removed\./);
    await page.keyboard.press('Enter');
    await waitForGame(page);
    assert.deepEqual(await size(), defaultSize);
    assert.equal(await page.locator('[data-command="40018"]').getAttribute('aria-checked'), 'true');
    assert.deepEqual(problems, []);
  } finally {
    rmSync(dir, { recursive: true, force: true });
    await context.close();
  }
});

// A group 4 fax of a checkerboard: a change of colour at every pixel, the slowest thing
// UTIF reads (seconds at 2048 x 2048, far more than the steps below take).
function slowFax(dir) {
  const file = path.join(dir, 'checkerboard.tif');
  execFileSync('convert', ['-size', '2048x2048', 'pattern:gray50', '-compress', 'group4', file]);
  return file;
}

// The program's queue taken while a picture may still be being read.
async function settleWhileReading(page) {
  await page.waitForFunction(() => BrindlewickPage.events.length === 0 && BrindlewickPage.idle());
}

async function choosePicture(page, file) {
  const chooser = page.waitForEvent('filechooser');
  await menu(page, 'Options', 'Custom Picture');
  await (await chooser).setFiles(file);
  // Taken once the chooser is gone: the program has the file's name queued.
  await page.waitForFunction(() => !document.querySelector('input[type=file]'));
}

test('while a slow picture is read the game plays on, says it is busy, and a second choice replaces the first', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context);
  const mirror = new Mirror(START);
  const dir = mkdtempSync(path.join(tmpdir(), 'brindlewick-web-'));
  try {
    const slow = slowFax(dir);
    await press(page, mirror, 'F2', VK.F2);
    await expectSame(page, mirror, 'F2');
    await choosePicture(page, slow);
    await page.waitForFunction(() => BrindlewickPage.readerStarted);

    // Keys slide tiles and the clock ticks, as in the headless game, all while the file is read.
    for (const key of ['LEFT', 'UP', 'RIGHT']) {
      await press(page, mirror, KEY_NAMES[VK[key]], VK[key]);
      await settleWhileReading(page);
      assert.equal(difference(await canvasPixels(page), await mirror.screen()), null, `the ${key} arrow while reading`);
    }
    for (let second = 1; second <= 2; second++) {
      await page.clock.runFor(1000);
      await mirror.send(`time ${START + second}`, 'tick 1');
      await settleWhileReading(page);
      assert.equal(difference(await canvasPixels(page), await mirror.screen()), null, `second ${second} while reading`);
    }
    assert.ok(await page.evaluate(() => BrindlewickPage.readingPicture), 'the read ended before the checks did');
    // Past a moment, the pointer over the game and a notice say that a picture is being read.
    assert.ok(await page.locator('#reading').isVisible());
    assert.equal(await page.locator('#game').evaluate((canvas) => getComputedStyle(canvas).cursor), 'progress');
    await page.screenshot({ path: path.join(artifacts, 'picture-reading.png') });

    // Another file chosen now is the one played; the slow one never comes.
    const png = path.join(repo, 'tests', 'data', 'pictures', 'quadrants-x4.png');
    await choosePicture(page, png);
    await settle(page);
    assert.equal(await page.locator('.dialog').count(), 0);
    assert.equal(await page.locator('#reading').isVisible(), false);
    assert.equal(await page.locator('#game').evaluate((canvas) => getComputedStyle(canvas).cursor), 'auto');
    assert.equal(await page.locator('[data-command="40019"]').getAttribute('aria-checked'), 'true');
    const width = await page.evaluate(() => BrindlewickPage.canvas.width);
    assert.ok(width < 1000, `the game is ${width} wide: the slow picture came after all`);
    assert.deepEqual(problems, []);
  } finally {
    rmSync(dir, { recursive: true, force: true });
    await mirror.close();
    await context.close();
  }
});

test('a read past its deadline gets the message and leaves the picture; the next file is read afresh', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context);
  const dir = mkdtempSync(path.join(tmpdir(), 'brindlewick-web-'));
  try {
    const slow = slowFax(dir);
    const before = await canvasPixels(page);
    await page.evaluate(() => { globalThis.BrindlewickPictureDeadline = 2000; });
    await choosePicture(page, slow);
    await page.waitForFunction(() => BrindlewickPage.readerStarted);
    await page.clock.runFor(2000);
    const box = page.locator('.dialog.box');
    await box.waitFor();
    assert.match(await box.locator('.caption').textContent(), /Change Picture Error/);
    assert.match(await box.textContent(), /Cannot change picture\./);
    await page.screenshot({ path: path.join(artifacts, 'picture-deadline.png') });
    await page.keyboard.press('Enter');
    await box.waitFor({ state: 'detached' });
    await settle(page);
    assert.equal(difference(await canvasPixels(page), before), null, 'the picture changed after the deadline');
    assert.equal(await page.locator('[data-command="40018"]').getAttribute('aria-checked'), 'true');

    await choosePicture(page, path.join(repo, 'tests', 'data', 'pictures', 'quadrants-x4.png'));
    await settle(page);
    assert.equal(await page.locator('.dialog').count(), 0, 'the next file was refused');
    assert.equal(await page.locator('[data-command="40019"]').getAttribute('aria-checked'), 'true');
    assert.deepEqual(problems, []);
  } finally {
    rmSync(dir, { recursive: true, force: true });
    await context.close();
  }

  // Kept and read again at start-up, a picture past its deadline gets that message instead:
  // a picture is chosen, and the bytes kept under its name become the slow fax's.
  const later = await newContext();
  const slowDir = mkdtempSync(path.join(tmpdir(), 'brindlewick-web-'));
  try {
    const { page, problems } = await openPage(later, { clock: false });
    const builtIn = await canvasPixels(page);
    await choosePicture(page, path.join(repo, 'tests', 'data', 'pictures', 'quadrants-x4.png'));
    await settle(page);
    await page.evaluate((b64) => new Promise((resolve, reject) => {
      const request = indexedDB.open('brindlewick-puzzle', 1);
      request.onsuccess = () => {
        const transaction = request.result.transaction('pictures', 'readwrite');
        const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
        transaction.objectStore('pictures').put({ bytes, stored: Date.now() }, 'quadrants-x4.png');
        transaction.oncomplete = () => { request.result.close(); resolve(); };
        transaction.onerror = () => reject(transaction.error);
      };
      request.onerror = () => reject(request.error);
    }), readFileSync(slowFax(slowDir)).toString('base64'));
    await later.addInitScript(() => { globalThis.BrindlewickPictureDeadline = 500; });
    await page.reload();
    const box = page.locator('.dialog.box');
    await box.waitFor();
    assert.match(await box.locator('.caption').textContent(), /Invalid Picture/);
    assert.match(await box.textContent(), /Cannot load picture: quadrants-x4\.png/);
    await page.keyboard.press('Enter');
    await waitForGame(page);
    assert.equal(difference(await canvasPixels(page), builtIn), null, 'the built-in picture after the message');
    assert.deepEqual(problems, []);
  } finally {
    rmSync(slowDir, { recursive: true, force: true });
    await later.close();
  }
});

test('Exit ends the game and stores its settings; Play again starts it anew', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context, { clock: false });
  try {
    await menu(page, 'Options', 'Empty Space at TL');
    await settle(page);
    // Ctrl+W where the browser leaves it to the page, as here; Game > Exit everywhere.
    await page.keyboard.press('Control+w');
    await page.locator('#ended').waitFor();
    assert.equal(await page.locator('#ended').getAttribute('data-exit-code'), '0');
    assert.equal(await page.locator('#window').isVisible(), false);
    const stored = await page.evaluate(() =>
      localStorage.getItem('HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle\\emptyy'));
    assert.equal(stored, '4:ffffffff');  // the top row, as the program stores it
    await page.locator('#again').click();
    await waitForGame(page);
    assert.equal(await page.locator('[data-command="40010"]').getAttribute('aria-checked'), 'true');
    await menu(page, 'Game', 'Exit');
    await page.locator('#ended').waitFor();
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});

test('the menu bar is reachable from the keyboard: F10 or Alt, arrows, letters, Enter and Escape', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context, { clock: false });
  const focused = () => page.evaluate(() => document.activeElement.textContent || document.activeElement.id);
  try {
    await page.keyboard.press('F10');
    assert.equal(await focused(), 'Game');
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowDown');
    assert.match(await focused(), /Beginner/);
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('ArrowDown');
    assert.equal(await focused(), 'Expert');
    await page.keyboard.press('Enter');
    await settle(page);
    assert.equal(await page.locator('[data-command="40006"]').getAttribute('aria-checked'), 'true');
    assert.equal(await focused(), 'game', 'the game has the keys again');
    await page.keyboard.press('Alt+o');
    await page.keyboard.press('s');
    await settle(page);
    assert.equal(await page.locator('[data-command="40012"]').getAttribute('aria-checked'), 'true');
    await page.keyboard.press('Alt');
    await page.keyboard.press('Enter');
    await page.keyboard.press('ArrowUp');
    assert.match(await focused(), /^Exit/);
    await page.keyboard.press('Escape');
    await page.keyboard.press('Escape');
    assert.equal(await focused(), 'game');
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});
