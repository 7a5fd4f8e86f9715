// Dialogs and message boxes: modal frames over the game, built from the program's dialog
// templates and box flags. A dialog's controls send the program what Win32 controls would;
// keys typed in a dialog stay in it.
import {
  BS_DEFPUSHBUTTON, ES_AUTOHSCROLL, ES_NUMBER, EVENT_BOX_ANSWER, EVENT_DIALOG, IDCANCEL, IDNO, IDOK,
  IDRETRY, IDYES, MB_ICONMASK, MB_TYPEMASK, MK_LBUTTON, SS_CENTER, WM_COMMAND, WM_LBUTTONDOWN,
  WM_MOUSEMOVE, WM_PAINT, packPoint,
} from './codes.js';
import { queue } from './program.js';
import { focusGame, gameCanvas, windowShown } from './screen.js';

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
  const frame = { overlay, dialog };
  if (closeBox) {
    const close = document.createElement('button');
    close.type = 'button';
    close.className = 'close';
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
    }
  });
  dialog.addEventListener('keyup', (event) => event.stopPropagation());
  return frame;
}

// A dialog stands centred over the game's window, as it does over its owner on the
// desktop, and inside the page.
function placeFrame(frame) {
  const owner = windowShown() ? gameCanvas().getBoundingClientRect() : document.body.getBoundingClientRect();
  const box = frame.dialog.getBoundingClientRect();
  const viewWidth = document.documentElement.clientWidth;
  const viewHeight = document.documentElement.clientHeight;
  const width = Math.min(owner.width, viewWidth);
  const height = Math.min(owner.height, viewHeight);
  let left = Math.max(owner.left, 0) + (width - box.width) / 2;
  let top = Math.max(owner.top, 0) + (height - box.height) / 2;
  left = Math.max(4, Math.min(left, viewWidth - box.width - 4));
  top = Math.max(4, Math.min(top, viewHeight - box.height - 4));
  frame.dialog.style.left = Math.round(left) + 'px';
  frame.dialog.style.top = Math.round(top) + 'px';
}

function keepFocusInside(event, dialog) {
  const focusable = [...dialog.querySelectorAll('button, input')].filter((e) => !e.disabled);
  if (!focusable.length) return;
  const at = focusable.indexOf(document.activeElement);
  const next = event.shiftKey ? (at <= 0 ? focusable.length - 1 : at - 1) : (at + 1) % focusable.length;
  event.preventDefault();
  focusable[next].focus();
}

function showFrame(frame) {
  stack.push(frame);
  document.body.appendChild(frame.overlay);
}

function closeFrame(frame) {
  frame.overlay.remove();
  const wasTop = topFrame() === frame;
  stack = stack.filter((f) => f !== frame);
  const top = topFrame();
  if (top && !wasTop) return;
  if (top) {
    const button = top.dialog.querySelector('input, button.default, .box-buttons button, button.control');
    if (button) button.focus();
  } else {
    focusGame();
  }
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
  let first = null;
  const answer = (value) => {
    closeFrame(frame);
    queue([EVENT_BOX_ANSWER, token, value]);
  };
  for (const [label, value] of buttons) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = label;
    button.addEventListener('click', () => answer(value));
    row.appendChild(button);
    if (!first) first = button;
  }
  frame.dialog.appendChild(row);
  frame.onEscape = () => answer(escape);
  frame.onClose = () => answer(escape);
  showFrame(frame);
  placeFrame(frame);
  first.focus();
}

// --- Dialogs from the program's templates -------------------------------------------------
export function openDialog(token, caption, width, height, closeBox) {
  const frame = openFrame(caption, closeBox, 'template');
  const client = document.createElement('div');
  client.className = 'dialog-client';
  client.style.width = width + 'px';
  client.style.height = height + 'px';
  frame.dialog.appendChild(client);
  frame.client = client;
  frame.controls = new Map();
  frame.defaultButton = 0;
  frame.token = token;
  const send = (message, wParam, lParam) => queue([EVENT_DIALOG, token, message, wParam, lParam]);
  frame.send = send;
  frame.onEscape = () => send(WM_COMMAND, IDCANCEL, 0);
  frame.onClose = () => send(WM_COMMAND, IDCANCEL, 0);
  frame.onEnter = () => { if (frame.defaultButton) send(WM_COMMAND, frame.defaultButton, 0); };
  const at = (event) => {
    const box = client.getBoundingClientRect();
    return packPoint(Math.floor(event.clientX - box.left), Math.floor(event.clientY - box.top));
  };
  const onClient = (event) => event.target === client || event.target.classList.contains('drawn');
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
    if (style & SS_CENTER) element.style.textAlign = 'center';
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
  element.style.left = x + 'px';
  element.style.top = y + 'px';
  element.style.width = width + 'px';
  element.style.height = height + 'px';
  if (id !== -1) {
    element.dataset.control = String(id);
    frame.controls.set(id, element);
  }
  frame.client.appendChild(element);
}

export function showDialog(token) {
  const frame = dialogs.get(token);
  if (!frame || frame.shown) return;
  frame.shown = true;
  showFrame(frame);
  alignLabels(frame);
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
  if (element.tagName === 'INPUT') element.value = text;
  else element.textContent = text;
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
  if (frame) for (const drawn of frame.client.querySelectorAll('.drawn')) drawn.remove();
}

export function drawDialogText(token, x, y, text, underline, bold, rgb) {
  const frame = dialogs.get(token);
  if (!frame) return;
  const span = document.createElement('span');
  span.className = 'drawn';
  span.textContent = text;
  span.style.left = x + 'px';
  span.style.top = y + 'px';
  span.style.color = '#' + (rgb & 0xFFFFFF).toString(16).padStart(6, '0');
  if (underline) span.style.textDecoration = 'underline';
  if (bold) span.style.fontWeight = 'bold';
  frame.client.appendChild(span);
}

// A label left of a field on its row stands on the field's line of text.
function alignLabels(frame) {
  const statics = [...frame.client.querySelectorAll('.static')];
  const fields = [...frame.client.querySelectorAll('input')];
  for (const label of statics) {
    const l = { x: label.offsetLeft, y: label.offsetTop, w: label.offsetWidth, h: label.offsetHeight };
    for (const field of fields) {
      const f = { x: field.offsetLeft, y: field.offsetTop, w: field.offsetWidth, h: field.offsetHeight };
      if (l.x + l.w > f.x || l.y + l.h <= f.y || l.y >= f.y + f.h) continue;
      label.style.top = Math.round(f.y + (f.h - 13) / 2) + 'px';
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
  }
  return true;
}

// Every frame placed again (the page's size changed).
export function placeDialogs() { for (const frame of stack) placeFrame(frame); }
