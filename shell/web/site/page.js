// The browser host's page, wired together at start-up: the program (game.js / game.wasm)
// calls the object built here for its window, menus, dialogs, boxes, files, storage and
// help; each concern is a module of its own.
import * as program from './program.js';
import * as screen from './screen.js';
import * as layout from './layout.js';
import * as menus from './menus.js';
import * as storage from './storage.js';
import {
  EVENT_FILE_CHOSEN, EVENT_MESSAGE, EVENT_PICTURE_READ, ID_OPTIONS_CUSTOM_PICTURE, READ_NOTHING, WM_COMMAND,
} from './codes.js';

const $ = (id) => document.getElementById(id);
// Started by start_files.js in the page's head, before this module came.
const startFiles = globalThis.BrindlewickStartFiles;
let font = null;
let picture = null;

// What the first frame doesn't need comes after it, or when first wanted before that: over
// a browser's few connections each file the start waits for costs it a turn.
// `module` is there once it has come; `load()` brings it, asked for again after a failure.
function later(load, arrived = () => {}) {
  const part = { module: null, loading: null, failed: false };
  part.load = () => (part.loading ??= load().then((module) => {
    part.module = module;
    part.failed = false;
    arrived(module);
    return module;
  }, (error) => {
    part.loading = null;
    part.failed = true;
    throw error;
  }));
  return part;
}
const quietly = (promise) => promise.catch(() => {});

// The dialogs and boxes.
const dialogs = later(() => import('./dialogs.js'), (module) => {
  if (input.module) input.module.attachDialogs(module);
});
const dialogCount = () => (dialogs.module ? dialogs.module.dialogCount() : 0);
const loadDialogs = () => dialogs.load().then(() => {});

// The player's keys and pointer: asked for as soon as the start's files are in, so that it
// is there by the first frame. The program's accelerators wait for it here.
const accelerators = [];
const input = later(() => import('./input.js'), (module) => {
  module.initInput({
    // A picture dropped or pasted is chosen as Custom Picture would choose it.
    dropped(file) {
      quietly(files.load().then((loaded) => {
        loaded.offerFile(file);
        program.queue([EVENT_MESSAGE, WM_COMMAND, ID_OPTIONS_CUSTOM_PICTURE, 0]);
      }));
    },
  });
  for (const accelerator of accelerators.splice(0)) module.addAccelerator(...accelerator);
  module.attachInput(screen.gameCanvas());
  if (dialogs.module) module.attachDialogs(dialogs.module);
});
function addAccelerator(...accelerator) {
  if (input.module) input.module.addAccelerator(...accelerator);
  else accelerators.push(accelerator);
}

const sound = later(() => import('./sound.js'));
const links = later(() => import('./links.js'));

// The player's picture files: at the start only when the settings name one.
const files = later(() => import('./picture_files.js'));
// Answers while the files' module is not there: nothing chosen, kept or read yet.
const filesCall = (name, otherwise) => (...args) => (files.module ? files.module[name](...args) : otherwise);
// Calls that answer by an event (to a token): made once the module is there, or answered
// "nothing" when it can't come.
const filesLater = (name, nothing) => (token, ...args) => {
  if (files.module) {
    files.module[name](token, ...args);
    return;
  }
  files.load().then((loaded) => loaded[name](token, ...args), () => {
    if (token) program.queue(nothing(token));
  });
};

// What the program calls, as shell/web/page_calls.cpp names it.
const calls = {
  pollEvent: program.pollEvent,
  nextEvent: program.nextEvent,
  setTitle: screen.setTitle,
  addMenu: menus.addMenu,
  addMenuItem: menus.addMenuItem,
  setMenuMark: menus.setMenuMark,
  addAccelerator,
  resizeCanvas: screen.resizeCanvas,
  showWindow: screen.showWindow,
  present: screen.present,
  availableClient: layout.availableClient,
  ended(code) {
    program.markFinished();
    screen.showEnded(code);
  },
  startTimer: program.startTimer,
  stopTimer: program.stopTimer,
  beep: () => (sound.module ? sound.module.beep() : quietly(sound.load().then((loaded) => loaded.beep()))),
  keyIsDown: program.keyIsDown,
  // The program waits for the dialogs (loadDialogs) before it opens one.
  openBox: (...args) => dialogs.module.openBox(...args),
  openDialog: (...args) => dialogs.module.openDialog(...args),
  addControl: (...args) => dialogs.module.addControl(...args),
  showDialog: (...args) => dialogs.module.showDialog(...args),
  closeDialog: (...args) => dialogs.module.closeDialog(...args),
  setControlText: (...args) => dialogs.module.setControlText(...args),
  limitControlText: (...args) => dialogs.module.limitControlText(...args),
  controlText: (...args) => dialogs.module.controlText(...args),
  setDialogCursor: (...args) => dialogs.module.setDialogCursor(...args),
  clearDialogDrawing: (...args) => dialogs.module.clearDialogDrawing(...args),
  drawDialogText: (...args) => dialogs.module.drawDialogText(...args),
  chooseFile: filesLater('chooseFile', (token) => [EVENT_FILE_CHOSEN, token, 0]),
  chosenName: filesCall('chosenName', ''),
  pictureBytes: filesCall('pictureBytes', null),
  readPicture: filesLater('readPicture', (token) => [EVENT_PICTURE_READ, token, READ_NOTHING]),
  stopReading: filesCall('stopReading'),
  // Not read yet, or (the module failing to come) no picture.
  pictureSize: (...args) => (files.module ? files.module.pictureSize(...args) : files.failed ? null : undefined),
  async awaitPictureRead(...args) {
    try {
      return await (await files.load()).awaitPictureRead(...args);
    } catch (error) {
      return true;  // read, and no picture: pictureSize says so
    }
  },
  pictureToTake: filesCall('pictureToTake', null),
  takePicture: filesCall('takePicture', null),
  storageAvailable: storage.storageAvailable,
  readStored: storage.readStored,
  writeStoredTogether: storage.writeStoredTogether,
  fontFile: () => font,
  loadDialogs,
  builtinPicture: () => picture,
  openAddress: (address) => {
    if (links.module) links.module.openAddress(address);
    else quietly(links.load().then((loaded) => loaded.openAddress(address)));
  },
  // Help asked for before its module has come opens once it has.
  showHelp: (command) => {
    if (links.module) return links.module.showHelp(command);
    quietly(links.load().then((loaded) => loaded.showHelp(command)));
    return true;
  },
};

// What the tests and the measuring program read of the page.
globalThis.BrindlewickPage = Object.freeze({
  get started() { return program.isStarted(); },
  idle: program.idle,
  get events() { return { length: program.queuedCount() }; },
  get canvas() { return screen.gameCanvas(); },
  get context() { return screen.gameContext(); },
  get presents() { return screen.presentedCounts().presents; },
  get presentedPixels() { return screen.presentedCounts().presentedPixels; },
  get firstWholeFrame() { return screen.presentedCounts().firstWholeFrame; },
  get dialogStack() { return { length: dialogCount() }; },
  get room() { return layout.clientRoom(); },
  get readingPicture() { return files.module ? files.module.readingPicture() : false; },
  get readerStarted() { return files.module ? files.module.readerStarted() : false; },
  get listening() { return input.module !== null; },
  get picture() { return picture; },
});

async function loadStartFiles() {
  [font, picture] = await Promise.all([startFiles.numbersFont(), startFiles.builtinPicture()]);
}

async function start() {
  screen.attachCanvas($('game'));
  screen.onCanvasResized(layout.fitGame);
  layout.onRefit(() => {
    menus.closeMenus(false);
    if (dialogs.module) dialogs.module.placeDialogs();
  });
  layout.watchRoom();
  menus.initMenus({
    command: (id) => program.queue([EVENT_MESSAGE, WM_COMMAND, id, 0]),
    focusGame: screen.focusGame,
    blocked: () => dialogCount() > 0 || program.isFinished(),
  });
  // What Exit would store is stored when the tab is hidden or closed.
  window.addEventListener('pagehide', program.saveSettings);
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden') program.saveSettings();
  });
  $('again').addEventListener('click', () => window.location.reload());
  // Told once, and out of the way at a touch.
  storage.initStorage(() => { $('storage-notice').hidden = false; });
  $('storage-notice-ok').addEventListener('click', () => {
    $('storage-notice').hidden = true;
    screen.focusGame();
  });
  // The program loads and compiles while the font and the kept pictures are read and the
  // built-in picture is decoded; it runs once all are there. Kept pictures are read only
  // when the settings name a picture: a start without one opens no database.
  const pictures = storage.storedPicturePath() ? quietly(files.load().then((loaded) => loaded.loadPictures())) : null;
  const ready = Promise.all([loadStartFiles(), pictures]);
  ready.then(() => quietly(input.load()));
  // After the first frame: the rest of the page, before the player can want it.
  const rest = () => Promise.all([loadDialogs(), input.load(), files.load(), sound.load(), links.load()]);
  const missing = () => { $('starting').textContent = 'brindlewick Puzzle could not be loaded.'; };
  screen.onFirstWholeFrame(() => startFiles.afterFirstFrame(rest));
  program.loadProgram(calls, ready, {
    instantiate: (imports, receive) => startFiles.instantiate(imports, receive).catch(missing),
    onAbort: () => calls.ended(1),
    onMissing: missing,
  });
  await ready;
  // A start that shows a box before its first frame still gets its offline copy.
  setTimeout(() => startFiles.afterFirstFrame(rest), 5000);
}

if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
else start();
