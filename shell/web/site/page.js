// The browser host's page, wired together at start-up: the program (game.js / game.wasm)
// calls the object built here for its window, menus, dialogs, boxes, files, storage and
// help; each concern is a module of its own.
import * as program from './program.js';
import * as screen from './screen.js';
import * as layout from './layout.js';
import * as menus from './menus.js';
import * as files from './picture_files.js';
import * as storage from './storage.js';
import { addAccelerator, attachDialogs, attachInput, initInput } from './input.js';
import { beep } from './sound.js';
import { openAddress, showHelp } from './links.js';
import * as startFiles from './start_files.js';
import { EVENT_MESSAGE, ID_OPTIONS_CUSTOM_PICTURE, WM_COMMAND } from './codes.js';

const $ = (id) => document.getElementById(id);
let font = null;
// The dialogs and boxes come after the first frame, or when the first is opened before it.
let dialogs = null;
let dialogsLoading = null;
function loadDialogs() {
  dialogsLoading ??= import('./dialogs.js').then((module) => {
    dialogs = module;
    attachDialogs(module);
  }, (error) => {
    dialogsLoading = null;  // asked for again next time
    throw error;
  });
  return dialogsLoading;
}
const dialogCount = () => (dialogs ? dialogs.dialogCount() : 0);
let picture = null;

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
  beep,
  keyIsDown: program.keyIsDown,
  openBox: (...args) => dialogs.openBox(...args),
  openDialog: (...args) => dialogs.openDialog(...args),
  addControl: (...args) => dialogs.addControl(...args),
  showDialog: (...args) => dialogs.showDialog(...args),
  closeDialog: (...args) => dialogs.closeDialog(...args),
  setControlText: (...args) => dialogs.setControlText(...args),
  limitControlText: (...args) => dialogs.limitControlText(...args),
  controlText: (...args) => dialogs.controlText(...args),
  setDialogCursor: (...args) => dialogs.setDialogCursor(...args),
  clearDialogDrawing: (...args) => dialogs.clearDialogDrawing(...args),
  drawDialogText: (...args) => dialogs.drawDialogText(...args),
  chooseFile: files.chooseFile,
  chosenName: files.chosenName,
  pictureBytes: files.pictureBytes,
  readPicture: files.readPicture,
  stopReading: files.stopReading,
  pictureSize: files.pictureSize,
  awaitPictureRead: files.awaitPictureRead,
  pictureToTake: files.pictureToTake,
  takePicture: files.takePicture,
  storageAvailable: storage.storageAvailable,
  readStored: storage.readStored,
  writeStoredTogether: storage.writeStoredTogether,
  fontFile: () => font,
  loadDialogs,
  builtinPicture: () => picture,
  openAddress,
  showHelp,
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
  get readingPicture() { return files.readingPicture(); },
  get readerStarted() { return files.readerStarted(); },
  get picture() { return picture; },
});

async function loadStartFiles() {
  [font, picture] = await Promise.all([startFiles.numbersFont(), startFiles.builtinPicture()]);
}

async function start() {
  const canvas = screen.attachCanvas($('game'));
  screen.onCanvasResized(layout.fitGame);
  layout.onRefit(() => {
    menus.closeMenus(false);
    if (dialogs) dialogs.placeDialogs();
  });
  layout.watchRoom();
  menus.initMenus({
    command: (id) => program.queue([EVENT_MESSAGE, WM_COMMAND, id, 0]),
    focusGame: screen.focusGame,
    blocked: () => dialogCount() > 0 || program.isFinished(),
  });
  initInput({
    // A picture dropped or pasted is chosen as Custom Picture would choose it.
    dropped(file) {
      files.offerFile(file);
      program.queue([EVENT_MESSAGE, WM_COMMAND, ID_OPTIONS_CUSTOM_PICTURE, 0]);
    },
  });
  attachInput(canvas);
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
  // built-in picture is decoded; it runs once all are there.
  const ready = Promise.all([loadStartFiles(), files.loadPictures()]);
  const missing = () => { $('starting').textContent = 'brindlewick Puzzle could not be loaded.'; };
  screen.onFirstWholeFrame(() => startFiles.afterFirstFrame(loadDialogs));
  program.loadProgram(calls, ready, {
    instantiate: (imports, receive) => startFiles.instantiate(imports, receive).catch(missing),
    onAbort: () => calls.ended(1),
    onMissing: missing,
  });
  await ready;
  // A start that shows a box before its first frame still gets its offline copy.
  setTimeout(() => startFiles.afterFirstFrame(loadDialogs), 5000);
}

if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
else start();
