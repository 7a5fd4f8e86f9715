// What the program starts with besides its page, fetched and prepared side by side as soon as
// this runs: the module (compiled while it downloads), the tile numbers' font and the built-in
// picture (a compressed file the browser decodes meanwhile). And what waits until the game has
// shown its first frame: the dialogs' face and the offline copy of the site.
// A classic script, not a module, written into the page's head by the build: it runs while
// the page is parsed, before the browser's first layout and paint (tens of milliseconds in a
// new tab) and before the page's modules have come. page.js takes what it publishes.
(() => {
'use strict';

// The module, compiled as its bytes arrive (a server that calls it something other than
// application/wasm gets it compiled once it is all there).
const program = (async () => {
  try {
    return await WebAssembly.compileStreaming(fetch('game.wasm'));
  } catch (error) {
    const response = await fetch('game.wasm');
    if (!response.ok) throw new Error(`game.wasm: ${response.status}`);
    return WebAssembly.compile(await response.arrayBuffer());
  }
})();

// The digits the tile numbers are written with, cut out of the page's face by the build.
const font = (async () => {
  try {
    const response = await fetch('fonts/numbers.ttf');
    return response.ok ? new Uint8Array(await response.arrayBuffer()) : null;
  } catch (error) {
    return null;  // no tile numbers, the game itself goes on
  }
})();

// The picture as R, G, B, A bytes, exactly as its file holds them: no colour management, no
// premultiplying, read back from a canvas kept in memory. Its bytes are read whole: Chromium
// now and then fails to read a preloaded answer as a blob.
async function decodePicture() {
  const response = await fetch('bitmaps/picture.webp');
  if (!response.ok) throw new Error(`bitmaps/picture.webp: ${response.status}`);
  const bitmap = await createImageBitmap(new Blob([await response.arrayBuffer()]),
    { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
  const context = canvas.getContext('2d', { willReadFrequently: true });
  context.drawImage(bitmap, 0, 0);
  bitmap.close();
  const { data } = context.getImageData(0, 0, canvas.width, canvas.height);
  return { width: canvas.width, height: canvas.height, rgba: data };
}
// Once more on a failure, then the program says it has no default picture.
const picture = decodePicture().catch(() => decodePicture()).catch(() => null);


// Emscripten's instantiateWasm: the module compiled above, with the program's imports.
function instantiate(imports, receiveInstance) {
  return program.then((module) => WebAssembly.instantiate(module, imports)).then((instance) => {
    receiveInstance(instance);
  });
}

// Once the game is on the screen: the menus' and dialogs' face and what else the page will
// want (`more`) come before the player opens one, and the service worker fetches the whole
// site for offline play. None of it competes with the start.
let after = false;
function afterFirstFrame(more) {
  if (after) return;
  after = true;
  requestAnimationFrame(() => setTimeout(() => {
    document.fonts.load('8pt "Game Sans"').catch(() => {});
    more().catch(() => {});
    if ('serviceWorker' in navigator && window.isSecureContext) {
      navigator.serviceWorker.register('sw.js').catch(() => {});
    }
  }, 0));
}

globalThis.BrindlewickStartFiles = Object.freeze({
  numbersFont: () => font,
  builtinPicture: () => picture,
  instantiate,
  afterFirstFrame,
});
})();
