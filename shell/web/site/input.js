// The player's input on the page: pointer presses and moves on the game, and keys, turned
// into the program's window messages; the menu bar's and the dialogs' keys go to them first.
import {
  EVENT_EXPOSE, EVENT_MESSAGE, MK_CONTROL, MK_LBUTTON, MK_MBUTTON, MK_RBUTTON, MK_SHIFT, VK_CONTROL, VK_SHIFT,
  WM_CHAR, WM_KEYDOWN, WM_KEYUP, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MOUSEMOVE,
  WM_RBUTTONDOWN, WM_RBUTTONUP, packPoint, virtualKey,
} from './codes.js';
import { holdKey, isFinished, isStarted, queue, releaseAllKeys, releaseKey } from './program.js';
import { closeMenus, menuKeys, pressOutsideMenus } from './menus.js';
import { dialogCount, dialogKeys } from './dialogs.js';
import { gamePoint } from './layout.js';
import { focusGame, gameCanvas } from './screen.js';

function modifiers(event) {
  let keys = 0;
  if (event.buttons & 1) keys |= MK_LBUTTON;
  if (event.buttons & 2) keys |= MK_RBUTTON;
  if (event.buttons & 4) keys |= MK_MBUTTON;
  if (event.shiftKey) keys |= MK_SHIFT;
  if (event.ctrlKey) keys |= MK_CONTROL;
  return keys;
}

function gameBusy() { return dialogCount() > 0 || isFinished() || !isStarted(); }

function attachPointer(canvas) {
  canvas.addEventListener('pointerdown', (event) => {
    if (gameBusy()) return;
    closeMenus(false);
    focusGame();
    event.preventDefault();
    const point = gamePoint(event);
    if (!point.inside) return;
    const message = event.button === 2 ? WM_RBUTTONDOWN : event.button === 1 ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
    // A touch or a pen is a left button.
    let keys = modifiers(event);
    if (message === WM_LBUTTONDOWN) keys |= MK_LBUTTON;
    queue([EVENT_MESSAGE, message, keys, packPoint(point.x, point.y)]);
  });
  canvas.addEventListener('pointerup', (event) => {
    if (gameBusy()) return;
    const point = gamePoint(event);
    if (!point.inside) return;
    const message = event.button === 2 ? WM_RBUTTONUP : event.button === 1 ? WM_MBUTTONUP : WM_LBUTTONUP;
    queue([EVENT_MESSAGE, message, modifiers(event), packPoint(point.x, point.y)]);
  });
  canvas.addEventListener('pointermove', (event) => {
    if (gameBusy()) return;
    const point = gamePoint(event);
    if (!point.inside) return;
    queue([EVENT_MESSAGE, WM_MOUSEMOVE, modifiers(event), packPoint(point.x, point.y)]);
  });
  canvas.addEventListener('contextmenu', (event) => event.preventDefault());
  // A canvas whose pixels the browser threw away (short of memory) is painted again whole.
  canvas.addEventListener('contextrestored', () => {
    queue([EVENT_EXPOSE, 0, 0, canvas.width, canvas.height]);
  });
  document.addEventListener('pointerdown', (event) => pressOutsideMenus(event.target));
}

function keyDown(event) {
  if (dialogKeys(event)) return;
  if (gameBusy()) return;
  if (menuKeys(event)) return;
  // Keys typed anywhere else than the game (the menu bar's buttons) stay theirs.
  const canvas = gameCanvas();
  if (document.activeElement && document.activeElement !== canvas && document.activeElement !== document.body) return;
  const key = virtualKey(event);
  if (key === 0) return;
  const repeat = holdKey(key) || event.repeat;
  if (event.shiftKey) holdKey(VK_SHIFT);
  if (event.ctrlKey) holdKey(VK_CONTROL);
  if (event.altKey) return;  // Alt combinations belong to the menu bar
  const lParam = repeat ? 0x40000001 : 1;
  // The browser's own use of the game's keys is prevented where it lets us: the arrows
  // scroll, F1 opens its help, Ctrl+F finds, Ctrl+S saves. Ctrl+W closes the tab in
  // most browsers whatever the page says; Game > Exit does the same thing.
  const letter = key >= 0x41 && key <= 0x5A;
  if ((key >= 0x25 && key <= 0x28) || key === 0x70 || key === 0x71 ||
      (event.ctrlKey && (key === 0x46 || key === 0x53 || key === 0x57))) {
    event.preventDefault();
  }
  queue([EVENT_MESSAGE, WM_KEYDOWN, key, lParam]);
  let character = 0;
  if (event.ctrlKey && letter) character = key - 0x40;
  else if (!event.ctrlKey && !event.metaKey && event.key && event.key.length === 1) character = event.key.charCodeAt(0);
  else if (key === 0x0D || key === 0x1B || key === 0x08 || key === 0x09) character = key;
  if (character) queue([EVENT_MESSAGE, WM_CHAR, character, lParam]);
}

function keyUp(event) {
  const key = virtualKey(event);
  if (!event.shiftKey) releaseKey(VK_SHIFT);
  if (!event.ctrlKey) releaseKey(VK_CONTROL);
  if (key === 0 || !releaseKey(key)) return;
  if (gameBusy() || event.altKey) return;
  queue([EVENT_MESSAGE, WM_KEYUP, key, 0xC0000001 | 0]);
}

export function attachInput(canvas) {
  attachPointer(canvas);
  document.addEventListener('keydown', keyDown);
  document.addEventListener('keyup', keyUp);
  window.addEventListener('blur', releaseAllKeys);
}
