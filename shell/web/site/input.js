// The player's input on the page: pointer presses and moves on the game, swipes on the
// board, keys, and pictures dropped or pasted, turned into the program's window messages.
// The dialogs' and the menu bar's keys go to them first; the program's accelerators are
// kept from the browser in every state of the page.
import {
  EVENT_EXPOSE, EVENT_MESSAGE, FALT, FCONTROL, FSHIFT, FVIRTKEY, MK_CONTROL, MK_LBUTTON, MK_MBUTTON, MK_RBUTTON,
  MK_SHIFT, VK_CONTROL, VK_DOWN, VK_LEFT, VK_RIGHT, VK_SHIFT, VK_UP, WM_CHAR, WM_KEYDOWN, WM_KEYUP,
  WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_RBUTTONUP,
  packPoint, virtualKey,
} from './codes.js';
import { boardArea, holdKey, isFinished, isStarted, queue, releaseAllKeys, releaseKey } from './program.js';
import { closeMenus, forgetAlt, menuIsOpen, menuKeyUp, menuKeys, menusActive, pressOutsideMenus } from './menus.js';
import { gamePoint } from './layout.js';
import { focusGame, gameCanvas } from './screen.js';

// A touch that travels this far (in CSS pixels) is a swipe, not a tap.
const SWIPE = 24;

const accelerators = [];
let hooks = { dropped: () => {} };
// The dialogs' module, once it has come (page.js loads it after the first frame).
let dialogs = null;

// dropped(file): a picture file dropped on the page or pasted.
export function initInput(callbacks) { hooks = { ...hooks, ...callbacks }; }

// The program's accelerator table, as it sets it up.
export function addAccelerator(flags, key, command) { accelerators.push({ flags, key, command }); }

function isAccelerator(event) {
  const key = virtualKey(event);
  return accelerators.some(({ flags, key: wanted }) => {
    if (flags & FVIRTKEY) {
      return key === wanted && event.ctrlKey === !!(flags & FCONTROL) && event.shiftKey === !!(flags & FSHIFT) &&
        event.altKey === !!(flags & FALT);
    }
    // A control character: Ctrl with its letter.
    if (wanted >= 1 && wanted <= 26) return event.ctrlKey && !event.altKey && key === 0x40 + wanted;
    return !event.ctrlKey && !event.altKey && event.key === String.fromCharCode(wanted);
  });
}

function modifiers(event) {
  let keys = 0;
  if (event.buttons & 1) keys |= MK_LBUTTON;
  if (event.buttons & 2) keys |= MK_RBUTTON;
  if (event.buttons & 4) keys |= MK_MBUTTON;
  if (event.shiftKey) keys |= MK_SHIFT;
  if (event.ctrlKey) keys |= MK_CONTROL;
  return keys;
}

function gameBusy() { return (dialogs !== null && dialogs.dialogCount() > 0) || isFinished() || !isStarted(); }

function sendMouse(message, keys, point) {
  queue([EVENT_MESSAGE, message, keys, packPoint(point.x, point.y)]);
}

// An arrow key pressed and let go, as a swipe's direction gives it.
function sendArrow(key) {
  queue([EVENT_MESSAGE, WM_KEYDOWN, key, 1]);
  queue([EVENT_MESSAGE, WM_KEYUP, key, 0xC0000001 | 0]);
}

function onBoard(point) {
  const board = boardArea();
  return board && point.x >= board.left && point.x < board.right && point.y >= board.top && point.y < board.bottom;
}

function attachPointer(canvas) {
  // A touch that starts on the board waits to be a tap (a click) or a swipe (an arrow key).
  let touch = null;
  // The press that closed an open menu is the menu's, and so is its release.
  let swallowed = null;
  canvas.addEventListener('pointerdown', (event) => {
    if (gameBusy()) return;
    event.preventDefault();
    if (menuIsOpen()) {
      closeMenus(true);
      swallowed = event.pointerId;
      return;
    }
    focusGame();
    const point = gamePoint(event);
    if (!point.inside) return;
    if (event.pointerType === 'touch') {
      if (!event.isPrimary) return;
      if (onBoard(point)) {
        touch = { id: event.pointerId, x: event.clientX, y: event.clientY, point };
        return;
      }
    }
    const message = event.button === 2 ? WM_RBUTTONDOWN : event.button === 1 ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
    // A touch or a pen is a left button.
    let keys = modifiers(event);
    if (message === WM_LBUTTONDOWN) keys |= MK_LBUTTON;
    sendMouse(message, keys, point);
  });
  canvas.addEventListener('pointerup', (event) => {
    if (swallowed === event.pointerId) {
      swallowed = null;
      return;
    }
    if (touch && touch.id === event.pointerId) {
      const start = touch;
      touch = null;
      if (gameBusy()) return;
      const dx = event.clientX - start.x;
      const dy = event.clientY - start.y;
      if (Math.max(Math.abs(dx), Math.abs(dy)) < SWIPE) {
        sendMouse(WM_LBUTTONDOWN, MK_LBUTTON, start.point);
        sendMouse(WM_LBUTTONUP, 0, start.point);
      } else if (Math.abs(dx) > Math.abs(dy)) {
        sendArrow(dx < 0 ? VK_LEFT : VK_RIGHT);
      } else {
        sendArrow(dy < 0 ? VK_UP : VK_DOWN);
      }
      return;
    }
    if (gameBusy()) return;
    const point = gamePoint(event);
    if (!point.inside) return;
    const message = event.button === 2 ? WM_RBUTTONUP : event.button === 1 ? WM_MBUTTONUP : WM_LBUTTONUP;
    sendMouse(message, modifiers(event), point);
  });
  canvas.addEventListener('pointercancel', (event) => {
    if (touch && touch.id === event.pointerId) touch = null;
    if (swallowed === event.pointerId) swallowed = null;
  });
  canvas.addEventListener('pointermove', (event) => {
    if (gameBusy() || swallowed !== null || touch) return;
    const point = gamePoint(event);
    if (!point.inside) return;
    sendMouse(WM_MOUSEMOVE, modifiers(event), point);
  });
  canvas.addEventListener('contextmenu', (event) => event.preventDefault());
  // A canvas whose pixels the browser threw away (short of memory) is painted again whole.
  canvas.addEventListener('contextrestored', () => {
    queue([EVENT_EXPOSE, 0, 0, canvas.width, canvas.height]);
  });
  document.addEventListener('pointerdown', (event) => pressOutsideMenus(event.target));
}

function sendKey(event, key) {
  const repeat = holdKey(key) || event.repeat;
  if (event.shiftKey) holdKey(VK_SHIFT);
  if (event.ctrlKey) holdKey(VK_CONTROL);
  const lParam = repeat ? 0x40000001 : 1;
  queue([EVENT_MESSAGE, WM_KEYDOWN, key, lParam]);
  let character = 0;
  const letter = key >= 0x41 && key <= 0x5A;
  if (event.ctrlKey && letter) character = key - 0x40;
  else if (!event.ctrlKey && !event.metaKey && event.key && event.key.length === 1) character = event.key.charCodeAt(0);
  else if (key === 0x0D || key === 0x1B || key === 0x08 || key === 0x09) character = key;
  if (character) queue([EVENT_MESSAGE, WM_CHAR, character, lParam]);
}

function keyDown(event) {
  if (dialogs !== null && dialogs.dialogKeys(event)) return;
  if (gameBusy()) return;
  // The program's accelerators run wherever its window has the focus, the menu bar too.
  if (isAccelerator(event)) {
    event.preventDefault();
    forgetAlt();
    if (menusActive()) closeMenus(true);
    sendKey(event, virtualKey(event));
    return;
  }
  if (menuKeys(event)) return;
  // Keys typed anywhere else than the game (the menu bar's buttons) stay theirs.
  const canvas = gameCanvas();
  if (document.activeElement && document.activeElement !== canvas && document.activeElement !== document.body) return;
  const key = virtualKey(event);
  if (key === 0) return;
  if (event.altKey) return;  // Alt combinations belong to the menu bar
  // The arrows would scroll the page.
  if (key >= VK_LEFT && key <= VK_DOWN) event.preventDefault();
  sendKey(event, key);
}

function keyUp(event) {
  if (menuKeyUp(event)) return;
  const key = virtualKey(event);
  if (!event.shiftKey) releaseKey(VK_SHIFT);
  if (!event.ctrlKey) releaseKey(VK_CONTROL);
  if (key === 0 || !releaseKey(key)) return;
  if (gameBusy() || event.altKey) return;
  queue([EVENT_MESSAGE, WM_KEYUP, key, 0xC0000001 | 0]);
}

// A picture file dropped anywhere on the page, or pasted, goes the way Custom Picture goes.
function pictureIn(items) {
  for (const file of items ? [...items] : []) if (file && file.size >= 0 && file.name !== undefined) return file;
  return null;
}

function attachPictureDrops() {
  const ready = () => !gameBusy();
  document.addEventListener('dragover', (event) => {
    if (!event.dataTransfer || ![...event.dataTransfer.types].includes('Files')) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = ready() ? 'copy' : 'none';
  });
  document.addEventListener('drop', (event) => {
    if (!event.dataTransfer) return;
    event.preventDefault();
    const file = pictureIn(event.dataTransfer.files);
    if (file && ready()) hooks.dropped(file);
  });
  document.addEventListener('paste', (event) => {
    if (!ready() || !event.clipboardData) return;
    const target = event.target;
    if (target && (target.tagName === 'INPUT' || target.tagName === 'TEXTAREA')) return;
    const file = pictureIn(event.clipboardData.files);
    if (!file) return;
    event.preventDefault();
    hooks.dropped(file);
  });
}

// The dialogs' keys go to them first; under a dialog the program takes no accelerator, and
// the browser doesn't either.
export function attachDialogs(module) {
  dialogs = module;
  dialogs.onDialogKey((event) => { if (isAccelerator(event)) event.preventDefault(); });
}

export function attachInput(canvas) {
  attachPointer(canvas);
  attachPictureDrops();
  document.addEventListener('keydown', keyDown);
  document.addEventListener('keyup', keyUp);
  window.addEventListener('blur', () => {
    releaseAllKeys();
    forgetAlt();
  });
}
