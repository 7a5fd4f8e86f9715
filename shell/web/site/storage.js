// The program's settings and best times in the browser's localStorage, one entry a value
// under its registry path. Storage that throws (full, refused, private) reads as absent.
const PREFIX = 'HKEY_CURRENT_USER\\';
const PICTURE_PATH_ENTRY = 'Software\\brindlewick\\brindlewick Puzzle\\picturepath';

export function storageAvailable() {
  try {
    return !!window.localStorage && (window.localStorage.length >= 0);
  } catch (error) {
    return false;
  }
}

export function readStored(key) {
  try {
    return window.localStorage.getItem(PREFIX + key);
  } catch (error) {
    return null;
  }
}

export function writeStored(key, value) {
  try {
    window.localStorage.setItem(PREFIX + key, value);
    return true;
  } catch (error) {
    return false;
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
