// The pictures a player chose, kept across visits in IndexedDB under their names: the one
// the settings name and the few chosen before it. Storage that fails keeps nothing and
// says nothing; the game goes on with the pictures of this visit.
import { storedPicturePath } from './storage.js';

const DATABASE = 'brindlewick-puzzle';
const STORE = 'pictures';
const KEPT = 8;

function openDatabase() {
  return new Promise((resolve) => {
    try {
      const request = indexedDB.open(DATABASE, 1);
      request.onupgradeneeded = () => request.result.createObjectStore(STORE);
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => resolve(null);
      request.onblocked = () => resolve(null);
    } catch (error) {
      resolve(null);
    }
  });
}

// Every kept picture's bytes into `pictures` (a Map by name).
export async function loadKeptPictures(pictures) {
  const database = await openDatabase();
  if (!database) return;
  await new Promise((resolve) => {
    try {
      const store = database.transaction(STORE, 'readonly').objectStore(STORE);
      const request = store.openCursor();
      request.onsuccess = () => {
        const cursor = request.result;
        if (!cursor) { resolve(); return; }
        const entry = cursor.value;
        if (entry && entry.bytes instanceof Uint8Array && typeof cursor.key === 'string') {
          pictures.set(cursor.key, entry.bytes);
        }
        cursor.continue();
      };
      request.onerror = () => resolve();
    } catch (error) {
      resolve();
    }
  });
  database.close();
}

// The chosen picture's bytes, under its name, with the few chosen before it.
export async function keepPicture(name, bytes) {
  const database = await openDatabase();
  if (!database) return;
  try {
    const transaction = database.transaction(STORE, 'readwrite');
    const store = transaction.objectStore(STORE);
    store.put({ bytes, stored: Date.now() }, name);
    const all = store.getAll();
    const keys = store.getAllKeys();
    transaction.oncomplete = () => database.close();
    keys.onsuccess = () => {
      if (!all.result) return;
      const entries = keys.result.map((key, i) => ({ key, stored: (all.result[i] || {}).stored || 0 }));
      entries.sort((a, b) => b.stored - a.stored);
      // The picture the stored settings name is never let go, however many came after it.
      const stored = storedPicturePath();
      for (const old of entries.slice(KEPT)) {
        if (old.key !== name && old.key !== stored) store.delete(old.key);
      }
    };
  } catch (error) {
    database.close();
  }
}
