// Nothing a player makes is lost to the web's own events - a tab closed, reloaded or put
// away, storage full or refused - and the page's states that went wrong stay right: the
// reset box's default answer, the focus after a box, the keys of every state, the click
// that closes a menu, the board after a file that is no picture, a panorama, a name too
// long for its field.
import test from 'node:test';
import assert from 'node:assert/strict';
import {
  START, KEY_NAMES, startBrowser, stopBrowser, waitForGame, settle, canvasPixels, expectSame, onPage, boardPoints,
  press, menu,
} from './support.mjs';
import { Mirror, difference } from './mirror.mjs';
import { PNG } from './png.mjs';

const PREFIX = 'HKEY_CURRENT_USER\\Software\\brindlewick\\brindlewick Puzzle\\';
const VK = { F2: 0x71 };

let openPage;
let newContext;

test.before(async () => {
  ({ openPage, newContext } = await startBrowser());
});

test.after(async () => {
  await stopBrowser();
});

// A Beginner game played to one move from the end; the last move's key.
async function nearlyWon(page, mirror) {
  await press(page, mirror, 'F2', VK.F2);
  const solution = await mirror.solve();
  assert.ok(solution.length > 0, 'the mirror found no solution');
  for (const vk of solution.slice(0, -1)) await press(page, mirror, KEY_NAMES[vk], vk);
  return { last: solution.at(-1), moves: solution.length };
}

async function focused(page) {
  return page.evaluate(() => {
    const element = document.activeElement;
    return element.id || element.dataset.control || element.textContent;
  });
}

async function bestTimes(page) {
  await menu(page, 'Game', 'Best Times');
  const dialog = page.locator('.dialog', { hasText: 'Best Times' });
  await dialog.waitFor();
  return dialog;
}

test('Reset Score asks with No as the answer Enter gives, and the focus goes back to Best Times', async () => {
  const context = await newContext();
  await context.addInitScript((prefix) => {
    if (!localStorage.getItem(prefix + 'namebeginner')) localStorage.setItem(prefix + 'namebeginner', '1:41646100');
  }, PREFIX);
  const { page, problems } = await openPage(context, { clock: false });
  try {
    const dialog = await bestTimes(page);
    assert.equal(await focused(page), '1036', 'Reset Score has the focus');
    await page.keyboard.press('Enter');
    const box = page.locator('.dialog.box');
    await box.waitFor();
    assert.equal(await focused(page), 'No');
    await page.keyboard.press('Enter');
    await box.waitFor({ state: 'detached' });
    await settle(page);
    assert.equal(await focused(page), '1036', 'the focus went back to Best Times');
    assert.equal(await dialog.locator('[data-control="1006"]').textContent(), 'Ada');
    // Tab stays in the dialog, never in the menu bar under it.
    for (let i = 0; i < 3; i++) {
      await page.keyboard.press('Tab');
      assert.ok(await page.evaluate(() => document.querySelector('.dialog').contains(document.activeElement)));
    }
    await page.keyboard.press('Escape');
    assert.equal(await page.evaluate((key) => localStorage.getItem(key), PREFIX + 'namebeginner'), '1:41646100');
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});

test('a tab closed or reloaded while New Record asks for the name keeps the record with the name typed so far', async () => {
  for (const how of ['closed', 'reloaded']) {
    const context = await newContext();
    const { page } = await openPage(context);
    const mirror = new Mirror(START);
    try {
      const { last, moves } = await nearlyWon(page, mirror);
      await page.keyboard.press(KEY_NAMES[last]);
      const name = page.locator('.dialog input');
      await name.waitFor();
      await name.fill('');
      await name.type('Tes');
      let again = page;
      if (how === 'closed') {
        await page.close({ runBeforeUnload: true });
        again = (await openPage(context, { clock: false })).page;
      } else {
        await page.reload();
        await waitForGame(page);
      }
      const dialog = await bestTimes(again);
      assert.equal(await dialog.locator('[data-control="1006"]').textContent(), 'Tes', how);
      assert.equal(await dialog.locator('[data-control="1012"]').textContent(), String(moves), how);
      assert.notEqual(await dialog.locator('[data-control="1009"]').textContent(), '9999', how);
    } finally {
      await mirror.close();
      await context.close();
    }
  }
  // A game not won stores no record, however the tab goes.
  const context = await newContext();
  const { page } = await openPage(context);
  try {
    await page.keyboard.press('F2');
    await page.keyboard.press('ArrowLeft');
    await settle(page);
    await page.close({ runBeforeUnload: true });
    const again = (await openPage(context, { clock: false })).page;
    const dialog = await bestTimes(again);
    assert.equal(await dialog.locator('[data-control="1009"]').textContent(), '9999');
  } finally {
    await context.close();
  }
});

// Fills the browser's storage before the page starts, leaving the entries given.
async function fillStorage(context, kept = {}) {
  await context.addInitScript(([prefix, kept]) => {
    if (sessionStorage.getItem('filled')) return;
    sessionStorage.setItem('filled', '1');
    localStorage.clear();
    for (const [name, value] of Object.entries(kept)) localStorage.setItem(prefix + name, value);
    const block = 'x'.repeat(256 * 1024);
    let i = 0;
    try {
      for (;;) localStorage.setItem('filler' + i++, block);
    } catch (error) {
      // Full: now in ever smaller pieces, to the last few bytes.
    }
    for (let size = 128 * 1024; size >= 1; size = Math.floor(size / 2)) {
      try {
        for (;;) localStorage.setItem('filler' + i++, 'x'.repeat(size));
      } catch (error) {
        // Next size down.
      }
    }
  }, [PREFIX, kept]);
}

test('with storage full or refused the game plays on with what it has, tells the player once, and stores nothing half', async () => {
  for (const how of ['full', 'refused']) {
    const context = await newContext();
    if (how === 'full') {
      // The picture's flag is there already, so that storage would take it and not the path.
      await fillStorage(context, { defaultpicture: '4:01000000' });
    } else {
      await context.addInitScript(() => {
        Object.defineProperty(window, 'localStorage', { get() { throw new DOMException('denied', 'SecurityError'); } });
      });
    }
    const { page, problems } = await openPage(context);
    const mirror = new Mirror(START);
    try {
      const { last, moves } = await nearlyWon(page, mirror);
      await page.keyboard.press(KEY_NAMES[last]);
      const name = page.locator('.dialog input');
      await name.waitFor();
      await name.fill('Kim');
      await page.keyboard.press('Enter');
      const dialog = page.locator('.dialog', { hasText: 'Best Times' });
      await dialog.waitFor();
      assert.equal(await dialog.locator('[data-control="1006"]').textContent(), 'Kim', how);
      assert.equal(await dialog.locator('[data-control="1012"]').textContent(), String(moves), how);
      await page.keyboard.press('Escape');
      // The notice, once.
      const notice = page.locator('#storage-notice');
      assert.equal(await notice.isVisible(), true, how);
      assert.match(await notice.textContent(), /not letting the page keep your settings and best times/);
      await page.locator('#storage-notice-ok').click();
      assert.equal(await notice.isVisible(), false);
      // The record lives on in this page: Best Times shows it again.
      const again = await bestTimes(page);
      assert.equal(await again.locator('[data-control="1006"]').textContent(), 'Kim', how);
      await page.keyboard.press('Escape');
      assert.equal(await notice.isVisible(), false, 'told twice');

      // A picture chosen, then the page reloaded: the choice was not kept, and nothing
      // half of it either - the game starts with the built-in picture and no box.
      const chooser = page.waitForEvent('filechooser');
      await menu(page, 'Options', 'Custom Picture');
      await (await chooser).setFiles({ name: 'chosen.png', mimeType: 'image/png',
        buffer: PNG.write(200, 200, (x) => (x < 100 ? 0xff0000 : 0x00ff00)) });
      await page.waitForFunction(() => BrindlewickPage.canvas.width === 220);
      await page.reload();
      await waitForGame(page);
      assert.equal(await page.locator('.dialog').count(), 0, `a box after the reload (${how})`);
      assert.equal(await page.evaluate(() => BrindlewickPage.canvas.width), 320);
      if (how === 'full') {
        const stored = await page.evaluate((prefix) => [localStorage.getItem(prefix + 'defaultpicture'),
          localStorage.getItem(prefix + 'picturepath')], PREFIX);
        assert.deepEqual(stored, ['4:01000000', null], 'the picture\'s flag was stored without its path');
      }
      assert.deepEqual(problems, [], how);
    } finally {
      await mirror.close();
      await context.close();
    }
  }
});

test('the name field takes no more than the fourteen bytes that are kept', async () => {
  const context = await newContext();
  const { page } = await openPage(context);
  const mirror = new Mirror(START);
  try {
    const { last } = await nearlyWon(page, mirror);
    await page.keyboard.press(KEY_NAMES[last]);
    const name = page.locator('.dialog input');
    await name.waitFor();
    await name.fill('');
    await name.type('Zoë Łukasz 日本語');
    assert.equal(await name.inputValue(), 'Zoë Łukasz ');
    await name.fill('');
    await name.type('é'.repeat(15));
    assert.equal(await name.inputValue(), 'é'.repeat(7));
    // Pasted whole, it is cut the same way.
    await name.fill('Zoë Łukasz 日本語');
    assert.equal(await name.inputValue(), 'Zoë Łukasz ');
    await page.keyboard.press('Enter');
    const dialog = page.locator('.dialog', { hasText: 'Best Times' });
    await dialog.waitFor();
    assert.equal(await dialog.locator('[data-control="1006"]').textContent(), 'Zoë Łukasz ');
  } finally {
    await mirror.close();
    await context.close();
  }
});

test('after a file that is no picture the reset board is on the screen at once; a panorama is refused for what it is', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context);
  const mirror = new Mirror(START);
  try {
    await press(page, mirror, 'F2', VK.F2);
    for (const vk of [0x25, 0x26, 0x27]) await press(page, mirror, KEY_NAMES[vk], vk);
    await expectSame(page, mirror, 'three moves');
    const choose = async (name, buffer, mimeType) => {
      const chooser = page.waitForEvent('filechooser');
      await menu(page, 'Options', 'Custom Picture');
      await (await chooser).setFiles({ name, mimeType, buffer });
      await page.locator('.dialog.box').waitFor();
    };
    await choose('notes.png', Buffer.from('not a picture'), 'image/png');
    assert.match(await page.locator('.dialog.box .box-text').textContent(), /supported file format/);
    await page.keyboard.press('Enter');
    // The headless game after the same: its board reset and repainted.
    await mirror.send('command 40018');
    await expectSame(page, mirror, 'the file that is no picture');

    await choose('panorama.png', PNG.write(4000, 50, (x) => ((x >> 5) & 1 ? 0x2060a0 : 0xe0e0e0)), 'image/png');
    assert.match(await page.locator('.dialog.box .box-text').textContent(), /too long and narrow for this screen/);
    await page.keyboard.press('Enter');
    assert.equal(await page.locator('[data-command="40018"]').getAttribute('aria-checked'), 'true');
    assert.deepEqual(problems, []);
  } finally {
    await mirror.close();
    await context.close();
  }
});

test('keys: Alt goes to the menu bar only let go alone, and the game\'s accelerators are its own in every state', async () => {
  const context = await newContext();
  await context.addInitScript(() => {
    window.seenKeys = [];
    window.addEventListener('keydown', (event) => window.seenKeys.push(event), true);
  });
  const { page, problems } = await openPage(context, { clock: false });
  const prevented = (key) => page.evaluate((key) => {
    const event = window.seenKeys.filter((e) => e.key.toLowerCase() === key).at(-1);
    return event ? event.defaultPrevented : null;
  }, key);
  const numbersShown = () => page.locator('[data-command="40012"]').getAttribute('aria-checked');
  try {
    // Alt+Tab away and back: Alt went down, the window lost the focus, Alt came up.
    await page.keyboard.down('Alt');
    await page.evaluate(() => window.dispatchEvent(new Event('blur')));
    await page.keyboard.up('Alt');
    assert.equal(await focused(page), 'game');
    // Alt alone, let go: the menu bar.
    await page.keyboard.press('Alt');
    assert.equal(await focused(page), 'Game');
    // Ctrl+S there: the numbers, and not the browser's Save.
    await page.keyboard.press('Control+s');
    await settle(page);
    assert.equal(await numbersShown(), 'true');
    assert.equal(await prevented('s'), true);
    assert.equal(await focused(page), 'game');
    // With a menu open too.
    await page.keyboard.press('Alt+o');
    await page.keyboard.press('Control+s');
    await settle(page);
    assert.equal(await numbersShown(), 'false');
    assert.equal(await page.locator('.menu-list:not([hidden])').count(), 0);
    // F1 in the menu bar opens the game's help, not the browser's.
    await page.keyboard.press('F10');
    const help = page.waitForEvent('popup');
    await page.keyboard.press('F1');
    await (await help).close();
    assert.equal(await prevented('f1'), true);
    // Under a dialog the game takes none, and the browser none either.
    await page.keyboard.press('Control+f');
    await page.locator('.dialog input').waitFor();
    for (const key of ['Control+s', 'Control+f', 'F1']) await page.keyboard.press(key);
    assert.equal(await prevented('s'), true);
    assert.equal(await prevented('f'), true);
    assert.equal(await prevented('f1'), true);
    assert.equal(await page.locator('.dialog').count(), 1);
    await page.keyboard.press('Escape');
    await settle(page);
    assert.equal(await numbersShown(), 'false', 'Ctrl+S under a dialog reached the game');
    assert.deepEqual(problems, []);
  } finally {
    await context.close();
  }
});

test('the click that closes an open menu is the menu\'s, not the board\'s', async () => {
  const context = await newContext();
  const { page, problems } = await openPage(context);
  const mirror = new Mirror(START);
  try {
    await press(page, mirror, 'F2', VK.F2);
    await expectSame(page, mirror, 'F2');
    const before = await canvasPixels(page);
    for (const [x, y] of (await boardPoints(page)).slice(0, 4)) {
      await page.locator('.menu-title', { hasText: 'Options' }).click();
      const at = await onPage(page, x, y);
      await page.mouse.click(at.x, at.y);
      assert.equal(await page.locator('.menu-list:not([hidden])').count(), 0, 'the menu stayed open');
      await settle(page);
      assert.equal(difference(await canvasPixels(page), before), null, `the click at (${x}, ${y}) slid tiles`);
    }
    // The next click is the board's again.
    const [x, y] = (await boardPoints(page))[0];
    const at = await onPage(page, x, y);
    await page.mouse.click(at.x, at.y);
    await mirror.send(`click ${x} ${y}`);
    await expectSame(page, mirror, 'a click with no menu open');
    assert.deepEqual(problems, []);
  } finally {
    await mirror.close();
    await context.close();
  }
});

