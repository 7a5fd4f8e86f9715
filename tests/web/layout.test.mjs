// The page at the screen sizes players have - desktops, a laptop at 150 %, phones upright
// and on their side - with the game's window centred and as large as fits, every dialog
// and box inside the screen, swipes and taps on a phone, and pictures dropped or pasted.
// The game itself stays pixel for pixel the headless game's.
import test from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, readFileSync } from 'node:fs';
import path from 'node:path';
import {
  START, KEY_NAMES, artifacts, repo, site, startBrowser, stopBrowser, settle, canvasPixels, expectSame, onPage, boardPoints, menu,
} from './support.mjs';
import { Mirror, difference } from './mirror.mjs';
import { PNG } from './png.mjs';

const SIZES = [
  { name: 'desktop-1280x1024', width: 1280, height: 1024, ratio: 1 },
  { name: 'desktop-1920x1080', width: 1920, height: 1080, ratio: 1 },
  { name: 'laptop-1280x720-150', width: 1280, height: 720, ratio: 1.5 },
  { name: 'phone-390x844', width: 390, height: 844, ratio: 3, touch: true },
  { name: 'phone-844x390', width: 844, height: 390, ratio: 3, touch: true },
  { name: 'phone-412x915', width: 412, height: 915, ratio: 2.625, touch: true },
  { name: 'phone-320x568', width: 320, height: 568, ratio: 2, touch: true },
];
// The two sizes whose screenshots with Best Times open are kept as reference images.
const REFERENCES = ['desktop-1280x1024', 'phone-390x844'];
const reference = (name) => path.join(repo, 'tests', 'web', 'reference', `best-times-${name}.png`);

let server;
let openPage;
let newContext;

test.before(async () => {
  ({ server, openPage, newContext } = await startBrowser());
});

test.after(async () => {
  await stopBrowser();
});

function contextFor(size) {
  return newContext({ viewport: { width: size.width, height: size.height }, deviceScaleFactor: size.ratio,
    isMobile: !!size.touch, hasTouch: !!size.touch });
}

async function boxOf(page, selector) {
  return page.locator(selector).first().boundingBox();
}

// Everything of the element inside the screen, and every button and field of it inside the
// element; by touch each of those at least 32 CSS pixels tall.
async function expectInsideScreen(page, size, selector, what, { scrolls = false } = {}) {
  const problems = await page.evaluate(([selector, width, height, touch, scrolls]) => {
    const found = [];
    const frame = document.querySelector(selector);
    const outer = frame.getBoundingClientRect();
    if (outer.left < -0.5 || outer.top < -0.5 || outer.right > width + 0.5 || outer.bottom > height + 0.5) {
      found.push(`the frame at ${outer.left},${outer.top} to ${outer.right},${outer.bottom}`);
    }
    for (const control of frame.querySelectorAll('button, input, .static, .box-text')) {
      // A list that scrolls shows the rest when scrolled.
      if (scrolls && frame.scrollHeight > frame.clientHeight) control.scrollIntoView({ block: 'nearest' });
      const box = control.getBoundingClientRect();
      if (box.left < outer.left - 0.5 || box.right > outer.right + 0.5 || box.top < outer.top - 0.5 ||
          box.bottom > outer.bottom + 0.5) {
        found.push(`"${control.textContent || control.value}" outside its frame`);
      }
      if (control.scrollWidth > control.clientWidth + 1 && control.tagName !== 'INPUT') {
        found.push(`"${control.textContent}" cut off`);
      }
      if (touch && (control.tagName === 'BUTTON' || control.tagName === 'INPUT') && box.height < 32 - 0.01) {
        found.push(`"${control.textContent || control.value}" only ${box.height} px tall`);
      }
    }
    return found;
  }, [selector, size.width, size.height, !!size.touch, scrolls]);
  assert.deepEqual(problems, [], `${what} at ${size.name}`);
}

// Pixels of two screenshots that differ; the fonts of the page's own text are the site's,
// so the same build draws the same page.
function differingPixels(a, b) {
  if (a.width !== b.width || a.height !== b.height) return Infinity;
  let count = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    if (a.data[i] !== b.data[i] || a.data[i + 1] !== b.data[i + 1] || a.data[i + 2] !== b.data[i + 2]) count++;
  }
  return count;
}

test('at every screen size the window stands centred and as large as fits, and every dialog and box is inside the screen', async () => {
  for (const size of SIZES) {
    const context = await contextFor(size);
    const { page, problems } = await openPage(context);
    const mirror = new Mirror(START);
    try {
      // The game's own pixels, whatever the size it is shown at.
      await expectSame(page, mirror, `start-up at ${size.name}`);
      const window = await boxOf(page, '#window');
      const canvas = await boxOf(page, '#game');
      const menubar = await boxOf(page, '#menubar');
      const [width, height] = await page.evaluate(() => [BrindlewickPage.canvas.width, BrindlewickPage.canvas.height]);
      assert.ok(window.x >= 0 && window.y >= 0 && window.x + window.width <= size.width + 0.5 &&
        window.y + window.height <= size.height + 0.5, `the window is off the screen at ${size.name}`);
      const left = window.x;
      const right = size.width - window.x - window.width;
      assert.ok(Math.abs(left - right) <= 2, `the window is not centred at ${size.name}: ${left} and ${right}`);
      assert.ok(Math.abs(menubar.width - canvas.width) <= 0.5, `the menu bar is not the client's width at ${size.name}`);
      const zoom = canvas.width / width;
      assert.ok(Math.abs(canvas.height / height - zoom) < 0.01, `the game keeps its shape at ${size.name}`);
      // At least one CSS pixel a game pixel wherever that fits, and then a whole number of
      // the screen's pixels where that fits too.
      const room = await page.evaluate(() => BrindlewickPage.room);
      if (room.width >= width && room.height >= height) {
        assert.ok(zoom >= 1 - 1e-6, `${zoom} CSS pixels a game pixel at ${size.name}`);
        const screenPixels = zoom * size.ratio;
        assert.ok(Math.abs(screenPixels - Math.round(screenPixels)) < 1e-3 || Math.abs(zoom - 1) < 1e-6,
          `${screenPixels} screen pixels a game pixel at ${size.name}`);
      }
      if (!size.touch) assert.ok(canvas.height >= size.height / 2, `the client is only ${canvas.height} tall at ${size.name}`);

      // The menus take a finger.
      await page.locator('.menu-title', { hasText: 'Options' }).click();
      const item = await boxOf(page, '.menu-list:not([hidden]) .menu-item');
      if (size.touch) assert.ok(item.height >= 40, `menu items ${item.height} tall at ${size.name}`);
      await expectInsideScreen(page, size, '.menu-list:not([hidden])', 'the Options menu', { scrolls: true });
      await page.keyboard.press('Escape');
      await page.keyboard.press('Escape');

      for (const [title, entry, caption] of [['Game', 'Best Times', 'Best Times'], ['Help', 'About', 'About'],
        ['Options', 'Custom', 'Custom Dimensions'], ['Options', 'Find Tile', 'Find Tile']]) {
        await menu(page, title, entry);
        await page.locator('.dialog', { hasText: caption }).waitFor();
        await settle(page);
        await expectInsideScreen(page, size, '.dialog', caption);
        if (caption === 'Best Times') {
          const file = path.join(artifacts, `${size.name}-best-times.png`);
          await page.screenshot({ path: file });
          // The dialog as laid out at two sizes, kept: BRINDLEWICK_NEW_REFERENCES=1 keeps this
          // run's, once they have been looked at.
          if (REFERENCES.includes(size.name)) {
            const dialogFile = path.join(artifacts, `${size.name}-best-times-dialog.png`);
            await page.locator('.dialog').screenshot({ path: dialogFile, scale: 'css' });
            if (process.env.BRINDLEWICK_NEW_REFERENCES) {
              copyFileSync(dialogFile, reference(size.name));
            } else {
              const shot = PNG.read(readFileSync(dialogFile));
              const kept = PNG.read(readFileSync(reference(size.name)));
              const differing = differingPixels(shot, kept);
              assert.ok(differing <= shot.width * shot.height / 1000,
                `${differing} pixels of Best Times differ from tests/web/reference at ${size.name} (see ${dialogFile})`);
            }
          }
          // The question Reset Score asks: a box over the dialog.
          await page.locator('.dialog button', { hasText: 'Reset Score' }).click();
          await page.locator('.dialog.box').waitFor();
          await expectInsideScreen(page, size, '.dialog.box', 'the Reset Score box');
          await page.screenshot({ path: path.join(artifacts, `${size.name}-reset-score.png`) });
          await page.keyboard.press('Escape');
          await page.locator('.dialog.box').waitFor({ state: 'detached' });
        }
        await page.keyboard.press('Escape');
        await page.locator('.dialog').waitFor({ state: 'detached' });
      }
      assert.deepEqual(problems, [], size.name);
    } finally {
      await mirror.close();
      await context.close();
    }
  }
});

test('New Record fits the smallest screens, upright and on their side', async () => {
  for (const size of [SIZES[6], SIZES[4]]) {
    const context = await contextFor(size);
    const { page, problems } = await openPage(context);
    const mirror = new Mirror(START);
    try {
      await page.keyboard.press('F2');
      await mirror.send('key 113');
      const solution = await mirror.solve();
      for (const vk of solution) await page.keyboard.press(KEY_NAMES[vk]);
      const dialog = page.locator('.dialog', { hasText: 'New Record' });
      await dialog.waitFor();
      await expectInsideScreen(page, size, '.dialog', 'New Record');
      await page.screenshot({ path: path.join(artifacts, `${size.name}-new-record.png`) });
      await page.keyboard.press('Enter');
      await page.locator('.dialog', { hasText: 'Best Times' }).waitFor();
      await page.keyboard.press('Escape');
      assert.deepEqual(problems, [], size.name);
    } finally {
      await mirror.close();
      await context.close();
    }
  }
});

test('a box at start-up stands in the middle of the screen in place of the "Starting" text', async () => {
  const size = SIZES[3];
  const context = await contextFor(size);
  // A kept picture whose bytes are gone: the program says so before it shows its window.
  await context.addInitScript(() => {
    const name = 'gone.png';
    const hex = [...new TextEncoder().encode(name)].map((b) => b.toString(16).padStart(2, '0')).join('');
    const prefix = 'HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle\\';
    localStorage.setItem(prefix + 'defaultpicture', '4:00000000');
    localStorage.setItem(prefix + 'picturepath', '1:' + hex + '00');
  });
  const page = await context.newPage();
  try {
    await page.goto(server.url);
    const box = page.locator('.dialog.box');
    await box.waitFor();
    assert.equal(await page.locator('#starting').isVisible(), false);
    const frame = await box.boundingBox();
    assert.ok(Math.abs(frame.x - (size.width - frame.x - frame.width)) <= 2, 'the box is not centred');
    await expectInsideScreen(page, size, '.dialog.box', 'the start-up box');
    await page.screenshot({ path: path.join(artifacts, 'start-up-box-phone.png') });
  } finally {
    await context.close();
  }
});

test('a resize, a rotation and the browser\'s zoom re-fit at once; a picture chosen after the window grew gets the larger room', async () => {
  const context = await contextFor(SIZES[3]);
  const { page, problems } = await openPage(context, { clock: false });
  try {
    const upright = await boxOf(page, '#window');
    await page.setViewportSize({ width: 844, height: 390 });
    await page.waitForFunction(() => {
      const box = document.getElementById('window').getBoundingClientRect();
      return box.bottom <= innerHeight && box.right <= innerWidth;
    });
    const turned = await boxOf(page, '#window');
    assert.ok(Math.abs(turned.x - (844 - turned.x - turned.width)) <= 2, 'not centred after the rotation');
    assert.ok(turned.height < upright.height, 'the window did not shrink to the phone on its side');
  } finally {
    await context.close();
  }

  // A desktop window made larger, then a large photo chosen: it is fitted to the room there is now.
  const desk = await newContext({ viewport: { width: 800, height: 600 } });
  try {
    const { page } = await openPage(desk, { clock: false });
    await page.setViewportSize({ width: 1600, height: 1200 });
    await settle(page);
    const picture = PNG.write(2400, 1600, (x, y) => ((x >> 6) + (y >> 6)) % 2 ? 0x3070c0 : 0xe0c040);
    await choosePicture(page, 'large.png', picture);
    const [width, height] = await page.evaluate(() => [BrindlewickPage.canvas.width, BrindlewickPage.canvas.height]);
    assert.ok(width > 800, `the picture was fitted to the old room: the client is ${width} x ${height}`);
    const window = await boxOf(page, '#window');
    assert.ok(window.x >= 0 && window.y >= 0 && window.y + window.height <= 1200.5, 'the larger game does not fit');
    // The browser's zoom: a new density re-fits without a reload.
    const client = await desk.newCDPSession(page);
    await client.send('Emulation.setDeviceMetricsOverride', { width: 1600, height: 1200, deviceScaleFactor: 2, mobile: false });
    await page.waitForFunction(() => {
      const box = document.getElementById('window').getBoundingClientRect();
      return box.bottom <= innerHeight + 0.5 && box.right <= innerWidth + 0.5;
    });
    assert.deepEqual(problems, []);
  } finally {
    await desk.close();
  }
});

// Chooses a picture through the file chooser, as a player does.
async function choosePicture(page, name, bytes) {
  const chooser = page.waitForEvent('filechooser');
  await menu(page, 'Options', 'Custom Picture');
  await (await chooser).setFiles({ name, mimeType: 'image/png', buffer: bytes });
  await page.waitForFunction(() => !document.querySelector('input[type=file]') && BrindlewickPage.idle() &&
    BrindlewickPage.events.length === 0);
  await settle(page);
}

// A swipe of a finger through the browser's own touch events.
async function swipe(client, from, to) {
  await client.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x: from.x, y: from.y }] });
  for (let step = 1; step <= 4; step++) {
    const x = from.x + (to.x - from.x) * step / 4;
    const y = from.y + (to.y - from.y) * step / 4;
    await client.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [{ x, y }] });
  }
  await client.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
}

test('a swipe on the board slides as its arrow key does, a tap stays a click, and a swipe from the face does nothing', async () => {
  const context = await contextFor(SIZES[3]);
  const { page, problems } = await openPage(context);
  const client = await context.newCDPSession(page);
  const mirror = new Mirror(START);
  try {
    const [width] = await page.evaluate(() => [BrindlewickPage.canvas.width]);
    const face = await onPage(page, Math.floor(width / 2), 30);
    await page.touchscreen.tap(face.x, face.y);
    await mirror.send(`click ${Math.floor(width / 2)} 30`);
    await expectSame(page, mirror, 'a tap on the face');
    const middle = await onPage(page, 160, 200);
    const distance = 60;
    for (const [dx, dy, vk, name] of [[-1, 0, 0x25, 'left'], [0, -1, 0x26, 'up'], [1, 0, 0x27, 'right'],
      [0, 1, 0x28, 'down'], [-1, 0, 0x25, 'left again'], [0, -1, 0x26, 'up again']]) {
      await swipe(client, middle, { x: middle.x + dx * distance, y: middle.y + dy * distance });
      await mirror.send(`key ${vk}`);
      await expectSame(page, mirror, `a swipe ${name}`);
    }
    // A short touch is a tap: a click where it began.
    const [x, y] = (await boardPoints(page))[2];
    const at = await onPage(page, x, y);
    await swipe(client, at, { x: at.x + 5, y: at.y + 3 });
    await mirror.send(`click ${x} ${y}`);
    await expectSame(page, mirror, 'a tap that moved a little');
    // From the face, or beside the board, a swipe is no arrow key, and the face let go
    // away from it starts no game.
    const before = await canvasPixels(page);
    await swipe(client, face, { x: face.x - 80, y: face.y });
    const beside = await onPage(page, 40, 30);
    await swipe(client, beside, { x: beside.x, y: beside.y + 80 });
    await settle(page);
    assert.equal(difference(await canvasPixels(page), before), null, 'a swipe off the board changed the game');
    assert.deepEqual(problems, []);
  } finally {
    await mirror.close();
    await context.close();
  }
});

test('a picture dropped on the page or pasted plays as Custom Picture would', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context, { clock: false });
  try {
    const drop = PNG.write(300, 200, (x) => (x < 150 ? 0xff0000 : 0x0000ff));
    await page.evaluate((bytes) => {
      const transfer = new DataTransfer();
      transfer.items.add(new File([new Uint8Array(bytes)], 'dropped.png', { type: 'image/png' }));
      document.getElementById('game').dispatchEvent(new DragEvent('dragover', { bubbles: true, cancelable: true, dataTransfer: transfer }));
      document.getElementById('game').dispatchEvent(new DragEvent('drop', { bubbles: true, cancelable: true, dataTransfer: transfer }));
    }, [...drop]);
    await page.waitForFunction(() => BrindlewickPage.canvas.width === 320 && BrindlewickPage.canvas.height < 300);
    await settle(page);
    assert.equal(await page.locator('[data-command="40019"]').getAttribute('aria-checked'), 'true');

    const paste = PNG.write(400, 300, (x, y) => (y < 150 ? 0x00ff00 : 0xffff00));
    await page.evaluate((bytes) => {
      const transfer = new DataTransfer();
      transfer.items.add(new File([new Uint8Array(bytes)], 'image.png', { type: 'image/png' }));
      document.dispatchEvent(new ClipboardEvent('paste', { bubbles: true, cancelable: true, clipboardData: transfer }));
    }, [...paste]);
    await page.waitForFunction(() => BrindlewickPage.canvas.width === 420);
    await settle(page);
    // The pasted picture's pixels are on the board.
    const shown = await canvasPixels(page);
    const top = shown.height - 10 - 300;
    assert.equal(shown.pixels[(top + 5) * shown.width + 15], 0x00ff00);
    assert.equal(shown.pixels[(top + 280) * shown.width + 400], 0xffff00);
    // A file that is no picture gets the message, as from the chooser.
    await page.evaluate(() => {
      const transfer = new DataTransfer();
      transfer.items.add(new File(['not a picture'], 'notes.txt', { type: 'text/plain' }));
      document.dispatchEvent(new DragEvent('drop', { bubbles: true, cancelable: true, dataTransfer: transfer }));
    });
    await page.locator('.dialog.box').waitFor();
    assert.match(await page.locator('.dialog.box .caption').textContent(), /Change Picture Error/);
    await page.keyboard.press('Enter');
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});


// Installed, the page is an app of its own: standalone, the page's colour, and an icon a
// launcher may cut to its own shape.
test('the manifest installs a standalone app with the page\'s colour and a maskable icon', async () => {
  const manifest = JSON.parse(readFileSync(path.join(site, 'manifest.webmanifest'), 'utf8'));
  assert.equal(manifest.display, 'standalone');
  assert.equal(manifest.theme_color, '#17565c');
  assert.equal(manifest.name, 'brindlewick Puzzle');
  const maskable = manifest.icons.filter((icon) => icon.purpose === 'maskable');
  assert.equal(maskable.length, 1);
  for (const icon of manifest.icons) {
    const bytes = readFileSync(path.join(site, icon.src));
    if (icon.type === 'image/png') {
      const png = PNG.read(bytes);
      assert.equal(`${png.width}x${png.height}`, icon.sizes, icon.src);
    }
  }
});
