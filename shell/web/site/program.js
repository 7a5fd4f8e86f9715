// The bridge to the program (game.js / game.wasm): the queue of events its message loop
// waits on, its timers, the keys it may ask about, and its loading. The program runs its
// own loop and calls the page's object (Module.page) for everything it shows.
import { EVENT_TIMER } from './codes.js';

const events = [];
let waiter = null;
const pendingTimers = new Set();
const timers = new Map();
const heldKeys = new Set();
let started = false;
let finished = false;

// Hands an event to the program: at once when it waits, otherwise in turn.
export function queue(event) {
  while (event.length < 6) event.push(0);
  if (waiter) {
    const resolve = waiter;
    waiter = null;
    resolve(take(event));
  } else {
    events.push(event);
  }
}

function take(event) {
  if (event[0] === EVENT_TIMER) pendingTimers.delete(event[1]);
  return event;
}

export function pollEvent() {
  const event = events.shift();
  return event ? take(event) : null;
}

export function nextEvent() {
  if (events.length) return Promise.resolve(take(events.shift()));
  return new Promise((resolve) => { waiter = resolve; });
}

// True while the program waits for its next event: it can be called into then.
export function idle() { return waiter !== null; }
export function queuedCount() { return events.length; }

// Timers tick as events; a tick not yet taken by the program is not queued twice, as the
// desktop's timers.
export function startTimer(id, ms) {
  stopTimer(id);
  const handle = setInterval(() => {
    if (pendingTimers.has(id)) return;
    pendingTimers.add(id);
    queue([EVENT_TIMER, id]);
  }, ms);
  timers.set(id, handle);
}

export function stopTimer(id) {
  const handle = timers.get(id);
  if (handle !== undefined) clearInterval(handle);
  timers.delete(id);
  if (pendingTimers.delete(id)) {
    for (let i = events.length - 1; i >= 0; i--) {
      if (events[i][0] === EVENT_TIMER && events[i][1] === id) events.splice(i, 1);
    }
  }
}

// Keys held down, as the program's GetKeyState sees them.
export function holdKey(key) {
  const repeat = heldKeys.has(key);
  heldKeys.add(key);
  return repeat;
}
export function releaseKey(key) { return heldKeys.delete(key); }
export function releaseAllKeys() { heldKeys.clear(); }
export function keyIsDown(key) { return heldKeys.has(key); }

export function isStarted() { return started; }
export function isFinished() { return finished; }

// The program has returned from its main: nothing more reaches it.
export function markFinished() {
  finished = true;
  for (const id of [...timers.keys()]) stopTimer(id);
}

// What Exit would store, stored now (the tab is being hidden or closed). The program takes
// the call only between two of its events.
export function saveSettings() {
  const save = globalThis.Module && globalThis.Module._web_save_settings;
  if (started && !finished && idle() && save) save();
}

// Where the board is on the client area, in the game's pixels: {left, top, right, bottom},
// or null before the program runs. Read out of the program's memory; nothing runs.
export function boardArea() {
  const module = globalThis.Module;
  if (!started || finished || !module || !module._web_board_area) return null;
  const at = module._web_board_area() >> 2;
  const heap = module.HEAP32;
  if (!at || !heap) return null;
  return { left: heap[at], top: heap[at + 1], right: heap[at + 2], bottom: heap[at + 3] };
}

// Loads the program; it runs once `ready` has settled. `page` is what it calls.
export function loadProgram(page, ready, { instantiate, onAbort, onMissing }) {
  globalThis.Module = {
    page,
    noExitRuntime: true,
    // The module has been compiling since the page began.
    instantiateWasm(imports, receiveInstance) {
      instantiate(imports, receiveInstance);
      return {};
    },
    preRun: [() => {
      globalThis.Module.addRunDependency('page');
      ready.then(() => globalThis.Module.removeRunDependency('page'));
    }],
    onRuntimeInitialized() { started = true; },
    print: () => {},
    printErr: (text) => console.warn(text),
    onAbort,
  };
  const script = document.createElement('script');
  script.src = 'game.js';
  script.onerror = onMissing;
  document.body.appendChild(script);
}
