// The game's window on the page: the canvas the program presents its pixels on, the window
// shown once the program has drawn, and the notice when the program has ended.
const $ = (id) => document.getElementById(id);

let canvas = null;
let context = null;
let presentedPixels = 0;
let presents = 0;
let firstWholeFrame = 0;
const resizeListeners = [];
const firstFrameListeners = [];

export function attachCanvas(element) {
  canvas = element;
  context = canvas.getContext('2d', { alpha: false });
  return canvas;
}

export function gameCanvas() { return canvas; }
export function gameContext() { return context; }
export function windowShown() { return !$('window').hidden; }

// Called whenever the canvas's size in the game's pixels changes.
export function onCanvasResized(listener) { resizeListeners.push(listener); }

export function resizeCanvas(width, height) {
  canvas.width = width;
  canvas.height = height;
  for (const listener of resizeListeners) listener();
}

// The program's title, on the title line and the browser's tab.
export function setTitle(title) {
  document.title = title;
  $('title').textContent = title;
}

export function showWindow() {
  $('starting').hidden = true;
  $('window').hidden = false;
  for (const listener of resizeListeners) listener();
  canvas.focus({ preventScroll: true });
}

// The program hands R, G, B, A bytes straight out of its memory.
export function present(heap, address, stride, x, y, width, height) {
  const pixels = new Uint8ClampedArray(heap.buffer, address, stride * height * 4);
  context.putImageData(new ImageData(pixels, stride, height), x, y, 0, 0, width, height);
  presentedPixels += width * height;
  presents += 1;
  if (!firstWholeFrame && presentedPixels >= canvas.width * canvas.height) {
    firstWholeFrame = performance.now();
    for (const listener of firstFrameListeners) listener();
  }
}

export function onFirstWholeFrame(listener) { firstFrameListeners.push(listener); }

// What was handed to the canvas so far, for the tests and the measuring program.
export function presentedCounts() { return { presentedPixels, presents, firstWholeFrame }; }

export function showEnded(code) {
  $('window').hidden = true;
  $('ended').hidden = false;
  $('ended').dataset.exitCode = String(code);
  $('again').focus();
}

export function focusGame() {
  if (canvas) canvas.focus({ preventScroll: true });
}
