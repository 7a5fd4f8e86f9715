// Reading a picture file away from the game: a worker (picture_worker.js, started the first
// time a picture is read, so that the page's first frame loads no decoder) finds the size and
// the pixels while the game's loop, clock, keys and menus go on. One read at a time: a new
// one replaces the one before. A read that outlives its deadline has its worker ended, and the
// next read gets a fresh one. A read that takes more than a moment says so on the page.
//   readPicture(bytes, maxWidth, maxHeight) -> Promise of { size, picture } (either null),
//   or null when a later read replaced it.

// A read is given 10 s, or 4 us for each pixel its header states where that is longer (64 Mi
// pixels, the most the page takes: 268 s). The slowest ordinary picture to decode is a group
// 4 fax of a dithered photo, which UTIF reads at 1.3 us a pixel here, 2.6 us with the machine
// at its busiest (bench/README.md): 4 us leaves a slower device room, and 10 s covers any
// picture of up to 2.5 million pixels. A file that takes longer is broken or built to be
// slow; the game goes on meanwhile, so the wait costs the player little.
const DEADLINE_MS = 10000;
const DEADLINE_MS_PER_PIXEL = 0.004;
// Below this a new picture reads as the answer to the click; a notice would only flicker.
const BUSY_AFTER_MS = 300;

let worker = null;
let current = null;

function deadline(size) {
  // A test may set it, whatever the size.
  const set = Number(globalThis.BrindlewickPictureDeadline);
  if (set > 0) return set;
  const pixels = size ? size.width * size.height : 0;
  return Math.max(DEADLINE_MS, pixels * DEADLINE_MS_PER_PIXEL);
}

function endWorker() {
  if (worker) worker.terminate();
  worker = null;
}

// The pointer over the game shows it busy, and a small notice says what, until the read ends.
function showBusy(busy) {
  const frame = document.getElementById('window');
  if (frame) frame.classList.toggle('reading', busy);
  let notice = document.getElementById('reading');
  if (busy && !notice) {
    notice = document.createElement('p');
    notice.id = 'reading';
    notice.setAttribute('role', 'status');
    notice.textContent = 'Reading the picture\u2026';
    (frame || document.body).appendChild(notice);
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

// Only a document reads SVG: a metafile's drawing comes back from the worker as SVG parts,
// each read here in a task of its own, turned into a bitmap by the browser away from this
// thread, and handed back to the worker, which lays them onto white in turn and answers
// with the pixels.
async function drawParts(read, { width, height, parts }) {
  worker.postMessage({ begin: { width, height } });
  for (const part of parts) {
    const url = URL.createObjectURL(new Blob([part], { type: 'image/svg+xml' }));
    let layer = null;
    try {
      const image = new Image(width, height);
      image.src = url;
      await image.decode();
      if (current !== read) return;
      layer = await createImageBitmap(image);
    } catch (error) {
      layer = null;
    } finally {
      URL.revokeObjectURL(url);
    }
    if (current !== read) {
      if (layer) layer.close();
      return;
    }
    if (!layer || layer.width !== width || layer.height !== height) {
      if (layer) layer.close();
      worker.postMessage({ end: false });
      finish(read, { size: read.size, picture: null });
      return;
    }
    worker.postMessage({ layer }, [layer]);
  }
  worker.postMessage({ end: true });
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
    const started = performance.now();
    const expire = () => {
      endWorker();
      finish(read, { size: read.size, picture: null });
    };
    const first = deadline(null);
    read.deadline = setTimeout(expire, first);
    // A worker that fails (out of memory, say) is ended like one past its deadline.
    worker.onerror = (event) => {
      event.preventDefault();
      expire();
    };
    worker.onmessage = ({ data }) => {
      if (current !== read) return;
      if (!('picture' in data)) {
        read.size = data.size || null;
        // A picture of many pixels is given the time its size asks for.
        const longer = deadline(read.size);
        if (longer > first) {
          clearTimeout(read.deadline);
          read.deadline = setTimeout(expire, Math.max(0, started + longer - performance.now()));
        }
        return;
      }
      const picture = data.picture;
      if (picture && Array.isArray(picture.parts)) {
        drawParts(read, picture);
        return;
      }
      finish(read, { size: read.size, picture: whole(picture) });
    };
    // The page keeps the bytes: the worker gets a copy.
    worker.postMessage({ read: { bytes, maxWidth, maxHeight } });
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
