// The player's picture files: the file chooser, the bytes of every picture chosen or kept,
// and the decoders (pictures.js) the program reads them through.
import { EVENT_FILE_CHOSEN } from './codes.js';
import { queue } from './program.js';
import { keepPicture, loadKeptPictures } from './kept_pictures.js';

const pictures = new Map();
let chosen = '';

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

export function probePicture(name) {
  const bytes = pictures.get(name);
  const decoders = globalThis.BrindlewickPictures;
  if (!bytes || !decoders) return null;
  try {
    return decoders.probe(bytes, name) || null;
  } catch (error) {
    return null;
  }
}

export async function decodePicture(name, maxWidth, maxHeight) {
  const bytes = pictures.get(name);
  const decoders = globalThis.BrindlewickPictures;
  if (!bytes || !decoders) return null;
  try {
    return (await decoders.decode(bytes, name, maxWidth, maxHeight)) || null;
  } catch (error) {
    return null;
  }
}
