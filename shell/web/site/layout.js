// How large the game stands on the page: its canvas keeps the game's own pixels and only
// its size on the page changes.
import { gameCanvas, windowShown } from './screen.js';

const $ = (id) => document.getElementById(id);

function roomForClient() {
  const bar = $('menubar');
  const barHeight = bar && windowShown() ? bar.getBoundingClientRect().height : 21;
  return {
    width: Math.max(1, document.documentElement.clientWidth || window.innerWidth),
    height: Math.max(1, (document.documentElement.clientHeight || window.innerHeight) - barHeight),
  };
}

// The largest client area the page has room for, in the game's pixels.
export function availableClient() {
  const room = roomForClient();
  const scale = Math.max(1, Math.floor(window.devicePixelRatio || 1));
  const ratio = (window.devicePixelRatio || 1) / scale;
  return [Math.floor(room.width * ratio), Math.floor(room.height * ratio)];
}

// Pixel for pixel where there is room, scaled down to fit where there is not.
export function fitGame() {
  const canvas = gameCanvas();
  if (!canvas || !canvas.width || !canvas.height) return;
  const ratio = window.devicePixelRatio || 1;
  const room = roomForClient();
  // Each of the game's pixels is a whole number of the screen's, as many as the screen's
  // scale asks for; fewer when the page has no room, and a fraction only when even one
  // screen pixel each does not fit.
  let scale = Math.max(1, Math.floor(ratio));
  while (scale > 1 && (canvas.width * scale / ratio > room.width || canvas.height * scale / ratio > room.height)) {
    scale -= 1;
  }
  let cssWidth = canvas.width * scale / ratio;
  let cssHeight = canvas.height * scale / ratio;
  if (cssWidth > room.width || cssHeight > room.height) {
    const fit = Math.min(room.width / cssWidth, room.height / cssHeight);
    cssWidth *= fit;
    cssHeight *= fit;
  }
  canvas.style.width = cssWidth + 'px';
  canvas.style.height = cssHeight + 'px';
  canvas.classList.toggle('scaled', Math.abs(cssWidth * ratio - canvas.width) > 0.01);
}

// Pointer coordinates in the game's own pixels.
export function gamePoint(event) {
  const canvas = gameCanvas();
  const box = canvas.getBoundingClientRect();
  const x = Math.floor((event.clientX - box.left) * canvas.width / box.width);
  const y = Math.floor((event.clientY - box.top) * canvas.height / box.height);
  return { x, y, inside: x >= 0 && y >= 0 && x < canvas.width && y < canvas.height };
}
