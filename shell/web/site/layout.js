// How large the game stands on the page. The canvas keeps the game's own pixels; only its
// size on the page (the zoom, in CSS pixels per game pixel) is decided here, and page.css
// lays out the rest. Re-decided whenever the page's size, the screen's density or the
// game's size changes.
import { gameCanvas } from './screen.js';

const $ = (id) => document.getElementById(id);
const coarse = window.matchMedia ? window.matchMedia('(pointer: coarse)') : { matches: false };
let zoom = 1;
let ui = 1;
const listeners = [];

// Called after every change of the zoom or of the room (dialogs and menus place themselves again).
export function onRefit(listener) { listeners.push(listener); }

function pixels(value) { return parseFloat(value) || 0; }

// The title line's, menus' and dialogs' scale for a zoom: half the zoom's growth, at most
// twice their size. By touch they have their own sizes.
export function uiScaleFor(gameZoom) {
  if (coarse.matches) return 1;
  return Math.min(2, Math.max(1, (1 + gameZoom) / 2));
}

export function uiScale() { return ui; }

// The room for the client area with the bars as they are, in CSS pixels.
export function clientRoom() { return roomForClient(); }

// The room the client area has on the page, in CSS pixels, with the title line and menu
// bar at the scale given: the stage less its padding (the gap and the safe areas) and the
// window's own frame, title line and menu bar.
function roomForClient(scale = ui) {
  const stage = $('stage');
  const style = getComputedStyle(stage);
  const width = stage.clientWidth - pixels(style.paddingLeft) - pixels(style.paddingRight);
  const height = stage.clientHeight - pixels(style.paddingTop) - pixels(style.paddingBottom);
  const frame = $('window');
  const frameStyle = getComputedStyle(frame);
  const aroundWidth = pixels(frameStyle.paddingLeft) + pixels(frameStyle.paddingRight);
  const bars = ($('titlebar').offsetHeight + $('menubar').offsetHeight) / ui * scale;
  const aroundHeight = pixels(frameStyle.paddingTop) + pixels(frameStyle.paddingBottom) + bars;
  return { width: Math.max(1, width - aroundWidth), height: Math.max(1, height - aroundHeight) };
}

// The zoom for a game of width x height pixels in the room: the largest whole number of the
// screen's pixels per game pixel that fits, so that every pixel stays crisp - unless that
// comes to less than one CSS pixel, or to a tenth less than what would fit; then one CSS
// pixel where it fits, and the fraction that fits where even that does not.
export function chooseZoom(width, height, room, ratio) {
  if (width <= 0 || height <= 0) return 1;
  const fit = Math.min(room.width / width, room.height / height);
  const whole = Math.floor(fit * ratio + 1e-9) / ratio;
  const fraction = Math.min(1, fit);
  if (whole >= 1 || (whole > 0 && whole >= 0.9 * fraction)) return whole;
  return fraction;
}

export function fitGame() {
  const canvas = gameCanvas();
  if (!canvas) return;
  const ratio = window.devicePixelRatio || 1;
  // The bars grow with the zoom and take room from it: the zoom with the bars at their
  // smallest is the most there can be. It is kept, and the bars grow only as far as they
  // still leave it room: a larger game counts for more than larger bars.
  const smallest = roomForClient(1);
  zoom = chooseZoom(canvas.width, canvas.height, smallest, ratio);
  const bars = roomForClient(1).height - roomForClient(2).height;
  const spare = smallest.height - canvas.height * zoom;
  ui = Math.max(1, Math.min(uiScaleFor(zoom), bars > 0 ? 1 + spare / bars : uiScaleFor(zoom)));
  const root = document.documentElement.style;
  root.setProperty('--ui', String(ui));
  root.setProperty('--game-w', String(canvas.width));
  root.setProperty('--game-h', String(canvas.height));
  root.setProperty('--zoom', String(zoom));
  // Fewer screen pixels than game pixels: smoothed rather than rows dropped.
  canvas.classList.toggle('smaller', zoom * ratio < 1 - 1e-9);
  for (const listener of listeners) listener();
}

export function currentZoom() { return zoom; }

// The largest client area the page has room for now, in the game's pixels. With a mouse a
// large picture may take the screen's own pixels, so that a photo is as sharp as the
// screen; by touch one CSS pixel each keeps the counters and the face large enough for a
// finger.
export function availableClient() {
  const room = roomForClient();
  const ratio = coarse.matches ? 1 : Math.max(1, window.devicePixelRatio || 1);
  return [Math.floor(room.width * ratio + 1e-6), Math.floor(room.height * ratio + 1e-6)];
}

// Pointer coordinates in the game's own pixels.
export function gamePoint(event) {
  const canvas = gameCanvas();
  const box = canvas.getBoundingClientRect();
  const x = Math.floor((event.clientX - box.left) * canvas.width / box.width);
  const y = Math.floor((event.clientY - box.top) * canvas.height / box.height);
  return { x, y, inside: x >= 0 && y >= 0 && x < canvas.width && y < canvas.height };
}

// A resize, a rotation, the browser's zoom or a move to a screen of another density.
export function watchRoom() {
  window.addEventListener('resize', fitGame);
  if (window.visualViewport) window.visualViewport.addEventListener('resize', fitGame);
  const watchDensity = () => {
    if (!window.matchMedia) return;
    const query = window.matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`);
    query.addEventListener('change', () => { fitGame(); watchDensity(); }, { once: true });
  };
  watchDensity();
}
