// The player's picture files: the file chooser, the bytes of every picture chosen or kept,
// and reading them (picture_reader.js) for the program: the last picture read is kept, its
// size and pixels, until the program takes the pixels.
import { EVENT_FILE_CHOSEN, EVENT_PICTURE_READ, READ_NOTHING, READ_REPLACED, READ_SIZED } from './codes.js';
import { queue } from './program.js';
import { keepPicture, loadKeptPictures } from './kept_pictures.js';

// The reader comes the first time a picture is read: a start with the built-in picture
// doesn't need it.
let reader = null;
const loadReader = () => (reader ??= import('./picture_reader.js'));


const pictures = new Map();
let chosen = '';
// The last read: { name, maxWidth, maxHeight, token, done, finished, size, picture }.
let last = null;

export function loadPictures() { return loadKeptPictures(pictures); }

// A file dropped on the page or pasted: the next file choice takes it instead of asking.
let offered = null;
export function offerFile(file) { offered = file; }

async function take(file, answer) {
  try {
    const bytes = new Uint8Array(await file.arrayBuffer());
    chosen = file.name;
    pictures.set(file.name, bytes);
    keepPicture(file.name, bytes);
    answer(true);
  } catch (error) {
    answer(false);
  }
}

export function chooseFile(token, accept) {
  const answer = (ok) => queue([EVENT_FILE_CHOSEN, token, ok ? 1 : 0]);
  if (offered) {
    const file = offered;
    offered = null;
    take(file, answer);
    return;
  }
  const input = document.createElement('input');
  input.type = 'file';
  input.accept = accept;
  input.style.display = 'none';
  let answered = false;
  const once = (ok) => {
    if (answered) return;
    answered = true;
    input.remove();
    answer(ok);
  };
  input.addEventListener('cancel', () => once(false));
  input.addEventListener('change', () => {
    const file = input.files && input.files[0];
    if (!file) once(false);
    else take(file, once);
  });
  document.body.appendChild(input);
  try {
    input.click();
  } catch (error) {
    once(false);
  }
}

export function chosenName() { return chosen; }
export function pictureBytes(name) { return pictures.get(name) || null; }

function isLast(name, maxWidth, maxHeight) {
  return last !== null && last.name === name && last.maxWidth === maxWidth && last.maxHeight === maxHeight;
}

// Starts reading a picture, in place of any read under way, whose token (if it has one)
// hears that it was replaced. A read with a token answers it with a PictureRead event.
function startRead(token, name, maxWidth, maxHeight) {
  if (last && !last.finished && last.token) queue([EVENT_PICTURE_READ, last.token, READ_REPLACED]);
  const read = { name, maxWidth, maxHeight, token, started: false, finished: false, size: null, picture: null };
  last = read;
  const bytes = pictures.get(name);
  const answered = bytes ? loadReader().then((loaded) => {
    read.started = true;
    return loaded.readPicture(bytes, maxWidth, maxHeight);
  }) : Promise.resolve(null);
  read.done = answered.catch(() => null).then((answer) => {
    if (last !== read) return;  // replaced
    read.finished = true;
    read.size = answer ? answer.size : null;
    read.picture = answer ? answer.picture : null;
    if (token) queue([EVENT_PICTURE_READ, token, read.size ? READ_SIZED : READ_NOTHING]);
  });
}

export function readPicture(token, name, maxWidth, maxHeight) { startRead(token, name, maxWidth, maxHeight); }

// True from the start of a read until it has ended.
export function readingPicture() { return last !== null && !last.finished; }
// True once the reader has the file (its deadline running) until the read has ended.
export function readerStarted() { return last !== null && last.started && !last.finished; }

// The read under way, if any, is given up.
export function stopReading() {
  if (!last || last.finished) return;
  if (last.token) queue([EVENT_PICTURE_READ, last.token, READ_REPLACED]);
  last = null;
  if (reader) reader.then((loaded) => loaded.stopReading(), () => {});
}

// What the last read found for this name and box: undefined while it is not read, null
// when it is no picture the page decodes, or its size (before any fitting to the box).
export function pictureSize(name, maxWidth, maxHeight) {
  if (!isLast(name, maxWidth, maxHeight) || !last.finished) return undefined;
  return last.size;
}

// Reads the picture, unless it is read already, and answers once it is.
export async function awaitPictureRead(name, maxWidth, maxHeight) {
  if (!isLast(name, maxWidth, maxHeight)) startRead(0, name, maxWidth, maxHeight);
  const read = last;
  await read.done;
  return last === read && read.finished;
}

// The pixels of the last read, to be taken.
export function pictureToTake(name, maxWidth, maxHeight) {
  if (!isLast(name, maxWidth, maxHeight) || !last.finished) return null;
  return last.picture;
}

// The pixels of the last read, handed over once: the next ask reads the file again.
export function takePicture(name, maxWidth, maxHeight) {
  if (!isLast(name, maxWidth, maxHeight) || !last.finished) return null;
  const picture = last.picture;
  last = null;
  return picture;
}
