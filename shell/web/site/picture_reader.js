// Reading a picture file away from the game: a worker (picture_worker.js, started the first
// time a picture is read, so that the page's first frame loads no decoder) finds the size and
// the pixels while the game's loop, clock, keys and menus go on. One read at a time: a new
// one replaces the one before. A read that outlives its deadline has its worker ended, and the
// next read gets a fresh one. A read that takes more than a moment says so on the page.
//   readPicture(bytes, maxWidth, maxHeight) -> Promise of { size, picture } (either null),
//   or null when a later read replaced it.

// The slowest picture the page takes decodes here in about 3 s (the largest group 4 fax
// TIFF, bench/README.md); 10 s leaves a phone three times slower room for it, while a
// file that runs longer is broken, not slow. The game goes on meanwhile, so waiting costs
// the player little.
const DEADLINE_MS = 10000;
// Below this a new picture reads as the answer to the click; a notice would only flicker.
const BUSY_AFTER_MS = 300;

let worker = null;
let current = null;

function deadline() {
  // A test may shorten it (or lengthen it, for a slow machine).
  const shortened = Number(globalThis.BrindlewickPictureDeadline);
  return shortened > 0 ? shortened : DEADLINE_MS;
}

function endWorker() {
  if (worker) worker.terminate();
  worker = null;
}

// The pointer over the game shows it busy, and a small notice says what, until the read ends.
function showBusy(busy) {
  const window = document.getElementById('window');
  if (window) window.classList.toggle('reading', busy);
  let notice = document.getElementById('reading');
  if (busy && !notice) {
    notice = document.createElement('p');
    notice.id = 'reading';
    notice.setAttribute('role', 'status');
    notice.textContent = 'Reading the picture\u2026';
    (window || document.body).appendChild(notice);
  }
  if (notice) notice.hidden = !busy;
}

function finish(read, answer) {
  if (current !== read) return;
  current = null;
  clearTimeout(read.deadline);
  clearTimeout(read.busy);
  showBusy(false);
  read.resolve(answer);
}

// Only a document draws SVG: a metafile's drawing comes back from the worker as text, no
// larger than a frame or two of drawing here, and is drawn onto white.
async function drawn(drawing) {
  const { width, height, svg } = drawing;
  const url = URL.createObjectURL(new Blob([svg], { type: 'image/svg+xml' }));
  try {
    const image = new Image(width, height);
    image.src = url;
    await image.decode();
    const canvas = new OffscreenCanvas(width, height);
    const context = canvas.getContext('2d', { willReadFrequently: true });
    context.fillStyle = '#ffffff';
    context.fillRect(0, 0, width, height);
    context.drawImage(image, 0, 0, width, height);
    const rgba = context.getImageData(0, 0, width, height).data;
    for (let i = 3; i < rgba.length; i += 4) rgba[i] = 255;
    return { width, height, rgba, opaque: true };
  } catch (error) {
    return null;
  } finally {
    URL.revokeObjectURL(url);
  }
}

// Pixels of the size the worker promised, four bytes each, or nothing.
function whole(picture) {
  if (!picture || !(picture.rgba instanceof Uint8ClampedArray)) return null;
  const { width, height } = picture;
  if (!(Number.isInteger(width) && Number.isInteger(height) && width > 0 && height > 0)) return null;
  return picture.rgba.length === width * height * 4 ? picture : null;
}

export function readPicture(bytes, maxWidth, maxHeight) {
  stopReading();
  return new Promise((resolve) => {
    const read = { resolve, size: null, deadline: 0, busy: 0 };
    current = read;
    try {
      if (!worker) worker = new Worker('picture_worker.js');
    } catch (error) {
      finish(read, { size: null, picture: null });
      return;
    }
    read.busy = setTimeout(() => { if (current === read) showBusy(true); }, BUSY_AFTER_MS);
    // Past the deadline the decode is stopped where it is; the size, if known, stays known.
    read.deadline = setTimeout(() => {
      endWorker();
      finish(read, { size: read.size, picture: null });
    }, deadline());
    // A worker that fails (out of memory, say) is ended like one past its deadline.
    worker.onerror = (event) => {
      event.preventDefault();
      endWorker();
      finish(read, { size: read.size, picture: null });
    };
    worker.onmessage = async ({ data }) => {
      if (current !== read) return;
      if (!('picture' in data)) {
        read.size = data.size || null;
        return;
      }
      clearTimeout(read.deadline);
      let picture = data.picture;
      if (picture && typeof picture.svg === 'string') picture = await drawn(picture);
      finish(read, { size: read.size, picture: whole(picture) });
    };
    // The page keeps the bytes: the worker gets a copy.
    worker.postMessage({ bytes, maxWidth, maxHeight });
  });
}

// The read under way, if any, is given up: its worker ended, its promise answered null.
export function stopReading() {
  const read = current;
  if (!read) return;
  endWorker();
  finish(read, null);
}

// True while a read is under way.
export function reading() { return current !== null; }
