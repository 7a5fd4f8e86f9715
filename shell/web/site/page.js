// The browser host's page, wired together at start-up: the program (game.js / game.wasm)
// calls the object built here for its window, menus, dialogs, boxes, files, storage and
// help; each concern is a module of its own.
import * as program from './program.js';
import * as screen from './screen.js';
import * as layout from './layout.js';
import * as menus from './menus.js';
import * as dialogs from './dialogs.js';
import * as files from './picture_files.js';
import * as storage from './storage.js';
import { addAccelerator, attachInput, initInput } from './input.js';
import { beep } from './sound.js';
import { openAddress, showHelp } from './links.js';
import { EVENT_MESSAGE, ID_OPTIONS_CUSTOM_PICTURE, WM_COMMAND } from './codes.js';

const $ = (id) => document.getElementById(id);
let font = null;

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
  openBox: dialogs.openBox,
  openDialog: dialogs.openDialog,
  addControl: dialogs.addControl,
  showDialog: dialogs.showDialog,
  closeDialog: dialogs.closeDialog,
  setControlText: dialogs.setControlText,
  limitControlText: dialogs.limitControlText,
  controlText: dialogs.controlText,
  setDialogCursor: dialogs.setDialogCursor,
  clearDialogDrawing: dialogs.clearDialogDrawing,
  drawDialogText: dialogs.drawDialogText,
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
  get dialogStack() { return { length: dialogs.dialogCount() }; },
  get room() { return layout.clientRoom(); },
  get readingPicture() { return files.readingPicture(); },
});

async function loadFont() {
  try {
    const response = await fetch('fonts/LiberationSans-Regular.ttf');
    if (response.ok) font = new Uint8Array(await response.arrayBuffer());
  } catch (error) {
    font = null;  // no tile numbers, the game itself goes on
  }
}

async function start() {
  const canvas = screen.attachCanvas($('game'));
  screen.onCanvasResized(layout.fitGame);
  layout.onRefit(() => {
    menus.closeMenus(false);
    dialogs.placeDialogs();
  });
  layout.watchRoom();
  menus.initMenus({
    command: (id) => program.queue([EVENT_MESSAGE, WM_COMMAND, id, 0]),
    focusGame: screen.focusGame,
    blocked: () => dialogs.dialogCount() > 0 || program.isFinished(),
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
  // The program loads and compiles while the font and the kept pictures are read; it
  // runs once both are there.
  const ready = Promise.all([loadFont(), files.loadPictures()]);
  program.loadProgram(calls, ready, {
    onAbort: () => calls.ended(1),
    onMissing: () => { $('starting').textContent = 'brindlewick Puzzle could not be loaded.'; },
  });
  await ready;
  if ('serviceWorker' in navigator && window.isSecureContext) {
    navigator.serviceWorker.register('sw.js').catch(() => {});
  }
}

if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
else start();
