// The program's settings and best times in the browser's localStorage, one entry a value
// under its registry path. Values that belong together land together or not at all; where
// the browser won't keep them (storage full, refused, private) they are kept in memory for
// the session instead, so that the game plays on with them, and the player is told once.
const PREFIX = 'HKEY_CURRENT_USER\\';
const PICTURE_PATH_ENTRY = 'Software\\brindlewick\\brindlewick Puzzle\\picturepath';

// What this page keeps that storage would not take, by entry.
const memory = new Map();
let told = false;
let tell = () => {};

// notice(): shows the player that nothing is being kept past this page.
export function initStorage(notice) {
  tell = notice;
  if (!browserStorage()) refused();
}

function refused() {
  if (told) return;
  told = true;
  tell();
}

function browserStorage() {
  try {
    const storage = window.localStorage;
    return storage && storage.length >= 0 ? storage : null;
  } catch (error) {
    return null;
  }
}

// The program always has somewhere to keep its values: the browser's storage, or memory.
export function storageAvailable() { return true; }

export function readStored(key) {
  if (memory.has(key)) return memory.get(key);
  try {
    return window.localStorage.getItem(PREFIX + key);
  } catch (error) {
    return null;
  }
}

// entries: "name\ntext\n" for each value. Written all, or (where one fails) none, the ones
// written before the failure put back as they were.
export function writeStoredTogether(text) {
  const lines = text.split('\n');
  const entries = [];
  for (let i = 0; i + 1 < lines.length; i += 2) entries.push([lines[i], lines[i + 1]]);
  const storage = browserStorage();
  const before = [];
  try {
    if (!storage) throw new Error('no storage');
    for (const [key, value] of entries) {
      before.push([key, storage.getItem(PREFIX + key)]);
      storage.setItem(PREFIX + key, value);
    }
    for (const [key] of entries) memory.delete(key);
  } catch (error) {
    try {
      for (const [key, value] of before.reverse()) {
        if (value === null) storage.removeItem(PREFIX + key);
        else storage.setItem(PREFIX + key, value);
      }
    } catch (again) {
      // Putting back takes no more room than there was: nothing else to do here.
    }
    for (const [key, value] of entries) memory.set(key, value);
    refused();
  }
}

// The picture path the program stored, read from its settings entry ("type:hex bytes").
export function storedPicturePath() {
  const text = readStored(PICTURE_PATH_ENTRY) || '';
  const match = /^1:((?:[0-9a-f]{2})*)$/i.exec(text);
  if (!match) return null;
  const bytes = [];
  for (let i = 0; i < match[1].length; i += 2) {
    const byte = parseInt(match[1].slice(i, i + 2), 16);
    if (byte === 0) break;
    bytes.push(byte);
  }
  return new TextDecoder().decode(new Uint8Array(bytes));
}
