// Dialogs and message boxes: modal frames over the game, built from the program's dialog
// templates and box flags. A dialog's controls send the program what Win32 controls would;
// keys typed in a dialog stay in it. A template is laid out at its own size with a mouse,
// larger by touch so that every button and field takes a finger, and in rows where it is
// wider than the screen.
import {
  BS_DEFPUSHBUTTON, ES_AUTOHSCROLL, ES_NUMBER, EVENT_BOX_ANSWER, EVENT_DIALOG, IDCANCEL, IDNO, IDOK,
  IDRETRY, IDYES, MB_DEFMASK, MB_ICONMASK, MB_TYPEMASK, MK_LBUTTON, SS_CENTER, WM_COMMAND, WM_LBUTTONDOWN,
  WM_MOUSEMOVE, WM_PAINT, packPoint,
} from './codes.js';
import { queue } from './program.js';
import { focusGame, windowShown } from './screen.js';
import { uiScale } from './layout.js';

const $ = (id) => document.getElementById(id);
const coarse = window.matchMedia ? window.matchMedia('(pointer: coarse)') : { matches: false };
// By touch every button and field is at least this tall.
const TOUCH_CONTROL = 32;
// The dialog font is 8 points; by touch its text is this many CSS pixels.
const TOUCH_FONT = 15;
const DIALOG_FONT = 8 * 96 / 72;

const dialogs = new Map();
let stack = [];

export function dialogCount() { return stack.length; }
export function topFrame() { return stack[stack.length - 1] || null; }

function openFrame(caption, closeBox, kind) {
  const overlay = document.createElement('div');
  overlay.className = 'overlay';
  const dialog = document.createElement('div');
  dialog.className = 'dialog ' + kind;
  dialog.setAttribute('role', kind === 'box' ? 'alertdialog' : 'dialog');
  dialog.setAttribute('aria-modal', 'true');
  const bar = document.createElement('div');
  bar.className = 'caption';
  const title = document.createElement('span');
  title.textContent = caption;
  bar.appendChild(title);
  dialog.setAttribute('aria-label', caption);
  const frame = { overlay, dialog, returnFocus: null };
  if (closeBox) {
    const close = document.createElement('button');
    close.type = 'button';
    close.className = 'close';
    close.tabIndex = -1;
    close.setAttribute('aria-label', 'Close');
    close.textContent = '\u2715';
    close.addEventListener('click', () => frame.onClose && frame.onClose());
    bar.appendChild(close);
  }
  dialog.appendChild(bar);
  overlay.appendChild(dialog);
  // A press beside the dialog leaves the focus where it was, in the dialog.
  overlay.addEventListener('pointerdown', (event) => { if (event.target === overlay) event.preventDefault(); });
  dialog.addEventListener('keydown', (event) => {
    event.stopPropagation();
    if (topFrame() !== frame) return;
    if (event.key === 'Escape') {
      event.preventDefault();
      if (frame.onEscape) frame.onEscape();
    } else if (event.key === 'Enter' && !(event.target instanceof HTMLButtonElement)) {
      event.preventDefault();
      if (frame.onEnter) frame.onEnter();
    } else if (event.key === 'Tab') {
      keepFocusInside(event, dialog);
    } else if (keyHook) {
      keyHook(event);
    }
  });
  dialog.addEventListener('keyup', (event) => event.stopPropagation());
  return frame;
}

// The page's other keys under a dialog (its accelerators kept from the browser).
let keyHook = null;
export function onDialogKey(hook) { keyHook = hook; }

// A dialog stands centred over the game's window, as over its owner on the desktop, when
// it fits there; otherwise in the middle of the screen, always inside it.
function placeFrame(frame) {
  const style = getComputedStyle($('stage'));
  const view = {
    left: parseFloat(style.paddingLeft) || 0,
    top: parseFloat(style.paddingTop) || 0,
    right: document.documentElement.clientWidth - (parseFloat(style.paddingRight) || 0),
    bottom: document.documentElement.clientHeight - (parseFloat(style.paddingBottom) || 0),
  };
  const box = frame.dialog.getBoundingClientRect();
  const owner = windowShown() ? $('window').getBoundingClientRect() : null;
  const over = owner && box.width <= owner.width && box.height <= owner.height ? owner
    : { left: view.left, top: view.top, width: view.right - view.left, height: view.bottom - view.top };
  let left = over.left + (over.width - box.width) / 2;
  let top = over.top + (over.height - box.height) / 2;
  left = Math.max(view.left, Math.min(left, view.right - box.width));
  top = Math.max(view.top, Math.min(top, view.bottom - box.height));
  frame.dialog.style.left = Math.round(Math.max(0, left)) + 'px';
  frame.dialog.style.top = Math.round(Math.max(0, top)) + 'px';
}

function keepFocusInside(event, dialog) {
  const focusable = [...dialog.querySelectorAll('button:not(.close), input')].filter((e) => !e.disabled);
  if (!focusable.length) return;
  const at = focusable.indexOf(document.activeElement);
  const next = event.shiftKey ? (at <= 0 ? focusable.length - 1 : at - 1) : (at + 1) % focusable.length;
  event.preventDefault();
  focusable[next].focus();
}

function showFrame(frame) {
  frame.returnFocus = document.activeElement;
  stack.push(frame);
  document.body.appendChild(frame.overlay);
  // A box at start-up stands in the "Starting" text's place.
  if (!windowShown()) $('starting').hidden = true;
}

// The focus goes back where it was when the frame opened: into the frame under it, or to
// the game.
function closeFrame(frame) {
  frame.overlay.remove();
  const wasTop = topFrame() === frame;
  stack = stack.filter((f) => f !== frame);
  if (!wasTop) return;
  const top = topFrame();
  if (!top) {
    focusGame();
    return;
  }
  const back = frame.returnFocus;
  if (back && top.dialog.contains(back) && back.isConnected) {
    back.focus();
    return;
  }
  const control = top.dialog.querySelector('input, button.default, .box-buttons button, button.control');
  if (control) control.focus();
}

// --- Message boxes --------------------------------------------------------------------------
export function openBox(token, text, caption, flags) {
  const type = flags & MB_TYPEMASK;
  const buttons = type === 4 ? [['Yes', IDYES], ['No', IDNO]]
    : type === 1 ? [['OK', IDOK], ['Cancel', IDCANCEL]]
    : type === 3 ? [['Yes', IDYES], ['No', IDNO], ['Cancel', IDCANCEL]]
    : type === 5 ? [['Retry', IDRETRY], ['Cancel', IDCANCEL]]
    : [['OK', IDOK]];
  // Escape answers Cancel where there is one, No for a question, OK otherwise.
  const escape = buttons.some((b) => b[1] === IDCANCEL) ? IDCANCEL : type === 4 ? IDNO : IDOK;
  // MB_DEFBUTTON1 to 3: the button that has the focus, and so Enter, at first.
  const chosen = Math.min((flags & MB_DEFMASK) >> 8, buttons.length - 1);
  const frame = openFrame(caption, true, 'box');
  const body = document.createElement('div');
  body.className = 'box-body';
  if ((flags & MB_ICONMASK) !== 0) {
    const sign = document.createElement('img');
    sign.src = 'icons/exclamation-32.png';
    sign.width = 32;
    sign.height = 32;
    sign.alt = '';
    body.appendChild(sign);
  }
  const words = document.createElement('div');
  words.className = 'box-text';
  words.textContent = text;
  body.appendChild(words);
  frame.dialog.appendChild(body);
  const row = document.createElement('div');
  row.className = 'box-buttons';
  let answered = false;
  const answer = (value) => {
    if (answered) return;
    answered = true;
    closeFrame(frame);
    queue([EVENT_BOX_ANSWER, token, value]);
  };
  const elements = buttons.map(([label, value], index) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = label;
    if (index === chosen) button.classList.add('default');
    button.addEventListener('click', () => answer(value));
    row.appendChild(button);
    return button;
  });
  frame.dialog.appendChild(row);
  frame.onEscape = () => answer(escape);
  frame.onClose = () => answer(escape);
  frame.onEnter = () => answer(buttons[chosen][1]);
  frame.place = () => {
    frame.dialog.style.setProperty('--ui-scale', String(coarse.matches ? 1 : uiScale()));
    placeFrame(frame);
  };
  showFrame(frame);
  frame.place();
  elements[chosen].focus();
}

// --- Dialogs from the program's templates -------------------------------------------------
export function openDialog(token, caption, width, height, closeBox) {
  const frame = openFrame(caption, closeBox, 'template');
  const client = document.createElement('div');
  client.className = 'dialog-client';
  frame.dialog.appendChild(client);
  Object.assign(frame, { client, width, height, controls: new Map(), items: [], drawn: [], defaultButton: 0, token,
    scale: 1, flow: false });
  const send = (message, wParam, lParam) => queue([EVENT_DIALOG, token, message, wParam, lParam]);
  frame.send = send;
  frame.onEscape = () => send(WM_COMMAND, IDCANCEL, 0);
  frame.onClose = () => send(WM_COMMAND, IDCANCEL, 0);
  frame.onEnter = () => { if (frame.defaultButton) send(WM_COMMAND, frame.defaultButton, 0); };
  frame.place = () => { layOut(frame); placeFrame(frame); };
  // Points in the template's pixels: over drawn text from the text's own place, elsewhere
  // on a laid-out template scaled back; in rows nothing else is anywhere the program draws.
  const at = (event) => {
    if (event.target.classList.contains('drawn')) {
      const box = event.target.getBoundingClientRect();
      const item = event.target.drawnAt;
      return packPoint(Math.floor(item.x + (event.clientX - box.left) / frame.scale),
        Math.floor(item.y + (event.clientY - box.top) / frame.scale));
    }
    if (frame.flow) return packPoint(-1, -1);
    const box = client.getBoundingClientRect();
    return packPoint(Math.floor((event.clientX - box.left) / frame.scale), Math.floor((event.clientY - box.top) / frame.scale));
  };
  const onClient = (event) => event.target === client || event.target.classList.contains('drawn') ||
    event.target.classList.contains('flow-rest') || event.target.classList.contains('flow-group');
  client.addEventListener('pointermove', (event) => {
    if (onClient(event)) send(WM_MOUSEMOVE, event.buttons & 1 ? MK_LBUTTON : 0, at(event));
  });
  client.addEventListener('pointerdown', (event) => {
    if (onClient(event)) send(WM_LBUTTONDOWN, MK_LBUTTON, at(event));
  });
  dialogs.set(token, frame);
}

export function addControl(token, kind, id, x, y, width, height, text, style) {
  const frame = dialogs.get(token);
  if (!frame) return;
  let element;
  if (kind === 0) {
    element = document.createElement('div');
    element.className = 'static';
    element.textContent = text;
    if (style & SS_CENTER) element.classList.add('centred');
  } else if (kind === 1) {
    element = document.createElement('input');
    element.type = 'text';
    element.value = text;
    element.autocomplete = 'off';
    element.spellcheck = false;
    if (style & ES_NUMBER) {
      element.inputMode = 'numeric';
      element.addEventListener('input', () => {
        const digits = element.value.replace(/[^0-9]/g, '');
        if (digits !== element.value) element.value = digits;
      });
    }
    // Without horizontal scrolling, typing stops when the field is full.
    if (!(style & ES_AUTOHSCROLL)) element.maxLength = Math.max(1, Math.floor((width - 4) / 6));
    if (!frame.firstField) frame.firstField = element;
  } else {
    element = document.createElement('button');
    element.type = 'button';
    element.className = 'control';
    element.textContent = text;
    if (style & BS_DEFPUSHBUTTON) {
      element.classList.add('default');
      frame.defaultButton = id;
    }
    element.addEventListener('click', () => frame.send(WM_COMMAND, id, 0));
  }
  if (style & SS_CENTER && kind === 0) element.style.textAlign = 'center';
  if (id !== -1) {
    element.dataset.control = String(id);
    frame.controls.set(id, element);
  }
  frame.items.push({ element, kind, x, y, width, height });
  frame.client.appendChild(element);
}

// The scale that gives every button and field a finger's height by touch; with a mouse,
// the scale of the window's bars.
function touchScale(frame) {
  if (!coarse.matches) return uiScale();
  const heights = frame.items.filter((i) => i.kind !== 0).map((i) => i.height);
  const smallest = heights.length ? Math.min(...heights) : TOUCH_CONTROL;
  return Math.max(1, TOUCH_CONTROL / smallest, TOUCH_FONT / DIALOG_FONT);
}

// The room a dialog may take: the screen less the page's gaps.
function room() {
  const style = getComputedStyle($('stage'));
  return {
    width: document.documentElement.clientWidth - (parseFloat(style.paddingLeft) || 0) - (parseFloat(style.paddingRight) || 0),
    height: document.documentElement.clientHeight - (parseFloat(style.paddingTop) || 0) - (parseFloat(style.paddingBottom) || 0),
  };
}

function layOut(frame) {
  const scale = touchScale(frame);
  const space = room();
  // The frame's caption and border around the client area.
  const aroundWidth = 8;
  const aroundHeight = 8 + frame.dialog.querySelector('.caption').offsetHeight;
  const fits = frame.width * scale + aroundWidth <= space.width && frame.height * scale + aroundHeight <= space.height;
  const newScale = fits ? scale : coarse.matches ? TOUCH_FONT / DIALOG_FONT : uiScale();
  if (frame.laidOut && frame.flow === !fits && frame.scale === newScale) return;
  frame.laidOut = true;
  frame.scale = newScale;
  frame.flow = !fits;
  frame.dialog.style.setProperty('--ui-scale', String(frame.scale));
  frame.dialog.classList.toggle('flow', frame.flow);
  // Moving the controls takes the focus away from them: it is given back.
  const focused = frame.dialog.contains(document.activeElement) ? document.activeElement : null;
  if (frame.flow) layOutInRows(frame);
  else layOutTemplate(frame);
  if (focused && focused !== document.activeElement) focused.focus({ preventScroll: true });
}

function layOutTemplate(frame) {
  const { client, scale } = frame;
  client.replaceChildren();
  client.style.width = Math.round(frame.width * scale) + 'px';
  client.style.height = Math.round(frame.height * scale) + 'px';
  for (const item of [...frame.items, ...frame.drawn]) {
    const element = item.element;
    element.style.left = Math.round(item.x * scale) + 'px';
    element.style.top = Math.round(item.y * scale) + 'px';
    if (item.width !== undefined) {
      element.style.width = Math.round(item.width * scale) + 'px';
      element.style.height = Math.round(item.height * scale) + 'px';
    }
    client.appendChild(element);
  }
  alignLabels(frame);
}

// Rows from the template: what overlaps vertically shares a row, in the template's order
// from the left. A row's first item (its label) stands in a column of its own and the rest
// wrap beside it; a row of one item takes the whole width. The buttons go together in a
// last row, as a box has them.
function layOutInRows(frame) {
  const { client, scale } = frame;
  client.replaceChildren();
  client.style.width = '';
  client.style.height = '';
  const rows = [];
  const placed = [...frame.items.filter((i) => i.kind !== 2), ...frame.drawn].sort((a, b) => a.y - b.y || a.x - b.x);
  for (const item of placed) {
    const height = item.height ?? 13;
    let row = rows.find((r) => item.y < r.bottom && item.y + height > r.top);
    if (!row) {
      row = { top: item.y, bottom: item.y + height, items: [] };
      rows.push(row);
    }
    row.top = Math.min(row.top, item.y);
    row.bottom = Math.max(row.bottom, item.y + height);
    row.items.push(item);
  }
  const flowed = (item) => {
    const element = item.element;
    element.style.left = '';
    element.style.top = '';
    element.style.height = '';
    element.style.width = item.kind === 1 ? Math.round(item.width * scale) + 'px' : '';
    return element;
  };
  for (const row of rows) {
    const items = row.items.sort((a, b) => a.x - b.x);
    if (items.length === 1) {
      const element = flowed(items[0]);
      element.classList.add('flow-whole');
      // A field the template centres stays in the middle.
      const middle = items[0].x + (items[0].width ?? 0) / 2;
      element.classList.toggle('flow-middle', items[0].kind === 1 && Math.abs(middle - frame.width / 2) < frame.width / 10);
      client.appendChild(element);
      continue;
    }
    client.appendChild(flowed(items[0]));
    const rest = document.createElement('div');
    rest.className = 'flow-rest';
    // What the template sets close together (a number and its unit) stays together.
    let group = null;
    let end = -Infinity;
    for (const item of items.slice(1)) {
      if (!group || item.x - end > 8) {
        group = document.createElement('span');
        group.className = 'flow-group';
        rest.appendChild(group);
      }
      group.appendChild(flowed(item));
      end = item.x + (item.width ?? 0);
    }
    client.appendChild(rest);
  }
  const buttons = frame.items.filter((i) => i.kind === 2).sort((a, b) => a.y - b.y || a.x - b.x);
  if (buttons.length) {
    const line = document.createElement('div');
    line.className = 'flow-buttons';
    for (const item of buttons) line.appendChild(flowed(item));
    client.appendChild(line);
  }
}

export function showDialog(token) {
  const frame = dialogs.get(token);
  if (!frame || frame.shown) return;
  frame.shown = true;
  showFrame(frame);
  layOut(frame);
  placeFrame(frame);
  if (frame.firstField) {
    frame.firstField.focus();
    frame.firstField.select();
  } else {
    const button = frame.client.querySelector('button.default') || frame.client.querySelector('button');
    if (button) button.focus();
  }
  frame.send(WM_PAINT, 0, 0);
}

export function closeDialog(token) {
  const frame = dialogs.get(token);
  if (!frame) return;
  dialogs.delete(token);
  closeFrame(frame);
}

export function setControlText(token, id, text) {
  const element = dialogs.get(token)?.controls.get(id);
  if (!element) return;
  if (element.tagName === 'INPUT') {
    element.value = text;
    if (element.limitFit) element.limitFit();
  } else {
    element.textContent = text;
  }
}

// A field that takes no more than maxBytes bytes of UTF-8, as the program counts: what a
// change put in is cut to what fits, in whole characters, the rest of the field kept.
export function limitControlText(token, id, maxBytes) {
  const element = dialogs.get(token)?.controls.get(id);
  if (!element || element.tagName !== 'INPUT') return;
  const encoder = new TextEncoder();
  const bytes = (text) => encoder.encode(text).length;
  let before = element.value;
  const fit = () => {
    const after = element.value;
    if (bytes(after) <= maxBytes) {
      before = after;
      return;
    }
    // What the change kept from before (ahead of it and after it), whole characters each.
    const a = [...before];
    const b = [...after];
    let head = 0;
    while (head < a.length && head < b.length && a[head] === b[head]) head++;
    let tail = 0;
    while (tail < a.length - head && tail < b.length - head && a[a.length - 1 - tail] === b[b.length - 1 - tail]) tail++;
    const kept = b.slice(0, head).join('');
    const rest = b.slice(b.length - tail).join('');
    let room = maxBytes - bytes(kept) - bytes(rest);
    let inserted = '';
    for (const character of b.slice(head, b.length - tail)) {
      const size = bytes(character);
      if (size > room) break;
      inserted += character;
      room -= size;
    }
    let text = kept + inserted + rest;
    while (bytes(text) > maxBytes) text = [...text].slice(0, -1).join('');
    element.value = text;
    const caret = Math.min(text.length, kept.length + inserted.length);
    element.setSelectionRange(caret, caret);
    before = text;
  };
  // Not in the middle of a composition: an input method's text is whole only at its end.
  element.addEventListener('input', (event) => { if (!event.isComposing) fit(); });
  element.addEventListener('compositionend', fit);
  element.addEventListener('focus', () => { before = element.value; });
  element.limitFit = fit;
}

export function controlText(token, id) {
  const element = dialogs.get(token)?.controls.get(id);
  if (!element) return '';
  return element.tagName === 'INPUT' ? element.value : element.textContent;
}

export function setDialogCursor(token, hand) {
  const frame = dialogs.get(token);
  if (frame) frame.client.style.cursor = hand ? 'pointer' : 'default';
}

export function clearDialogDrawing(token) {
  const frame = dialogs.get(token);
  if (!frame) return;
  for (const item of frame.drawn) item.element.remove();
  frame.drawn = [];
}

export function drawDialogText(token, x, y, text, underline, bold, rgb) {
  const frame = dialogs.get(token);
  if (!frame) return;
  const span = document.createElement('span');
  span.className = 'drawn';
  span.textContent = text;
  span.style.color = '#' + (rgb & 0xFFFFFF).toString(16).padStart(6, '0');
  if (underline) span.style.textDecoration = 'underline';
  if (bold) span.style.fontWeight = 'bold';
  const item = { element: span, kind: -1, x, y };
  span.drawnAt = item;
  frame.drawn.push(item);
  if (frame.flow) {
    layOutInRows(frame);
  } else {
    span.style.left = Math.round(x * frame.scale) + 'px';
    span.style.top = Math.round(y * frame.scale) + 'px';
    frame.client.appendChild(span);
  }
}

// A label left of a field on its row stands on the field's line of text.
function alignLabels(frame) {
  const line = 13 * frame.scale;
  const statics = [...frame.client.querySelectorAll('.static')];
  const fields = [...frame.client.querySelectorAll('input')];
  for (const label of statics) {
    const l = { x: label.offsetLeft, y: label.offsetTop, w: label.offsetWidth, h: label.offsetHeight };
    for (const field of fields) {
      const f = { x: field.offsetLeft, y: field.offsetTop, w: field.offsetWidth, h: field.offsetHeight };
      if (l.x + l.w > f.x || l.y + l.h <= f.y || l.y >= f.y + f.h) continue;
      label.style.top = Math.round(f.y + (f.h - line) / 2) + 'px';
      break;
    }
  }
}

// The keys of the page while a dialog is up and the focus is outside it: Escape and Enter
// are still the dialog's. True when a dialog is up.
export function dialogKeys(event) {
  const top = topFrame();
  if (!top) return false;
  if (event.key === 'Escape' || event.key === 'Enter') {
    event.preventDefault();
    if (event.key === 'Escape' && top.onEscape) top.onEscape();
    if (event.key === 'Enter' && top.onEnter) top.onEnter();
  } else if (keyHook) {
    keyHook(event);
  }
  return true;
}

// Every frame laid out and placed again (the page's size changed).
export function placeDialogs() { for (const frame of stack) frame.place(); }
