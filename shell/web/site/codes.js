// Win32's numbers, the program's vocabulary, and the page's events as the program's bridge
// (shell/web/page_calls.h) numbers them. The page's input is translated into these.

export const WM_PAINT = 0x000F;
export const WM_KEYDOWN = 0x0100;
export const WM_KEYUP = 0x0101;
export const WM_CHAR = 0x0102;
export const WM_COMMAND = 0x0111;
export const WM_MOUSEMOVE = 0x0200;
export const WM_LBUTTONDOWN = 0x0201;
export const WM_LBUTTONUP = 0x0202;
export const WM_RBUTTONDOWN = 0x0204;
export const WM_RBUTTONUP = 0x0205;
export const WM_MBUTTONDOWN = 0x0207;
export const WM_MBUTTONUP = 0x0208;
export const MK_LBUTTON = 0x01;
export const MK_RBUTTON = 0x02;
export const MK_SHIFT = 0x04;
export const MK_CONTROL = 0x08;
export const MK_MBUTTON = 0x10;
export const IDOK = 1;
export const IDCANCEL = 2;
export const IDRETRY = 4;
export const IDYES = 6;
export const IDNO = 7;
export const MB_TYPEMASK = 0x0F;
export const MB_ICONMASK = 0xF0;
export const MB_DEFMASK = 0xF00;
export const SS_CENTER = 0x01;
export const BS_DEFPUSHBUTTON = 0x01;
export const ES_NUMBER = 0x2000;
export const ES_AUTOHSCROLL = 0x0080;
export const VK_SHIFT = 0x10;
export const VK_CONTROL = 0x11;
export const VK_MENU = 0x12;
export const VK_LEFT = 0x25;
export const VK_UP = 0x26;
export const VK_RIGHT = 0x27;
export const VK_DOWN = 0x28;
export const FVIRTKEY = 0x01;
export const FSHIFT = 0x04;
export const FCONTROL = 0x08;
export const FALT = 0x10;
export const ID_OPTIONS_CUSTOM_PICTURE = 40019;
export const HH_DISPLAY_INDEX = 2;
export const HH_DISPLAY_SEARCH = 3;

export const EVENT_MESSAGE = 1;
export const EVENT_TIMER = 2;
export const EVENT_EXPOSE = 3;
export const EVENT_DIALOG = 4;
export const EVENT_BOX_ANSWER = 5;
export const EVENT_FILE_CHOSEN = 6;
export const EVENT_PICTURE_READ = 7;
// How a read ends, as the program's PictureRead event gives it (shell/web/page_calls.h).
export const READ_NOTHING = 0;
export const READ_SIZED = 1;
export const READ_REPLACED = 2;

const KEY_CODES = {
  ArrowLeft: VK_LEFT, ArrowUp: VK_UP, ArrowRight: VK_RIGHT, ArrowDown: VK_DOWN,
  Escape: 0x1B, Enter: 0x0D, NumpadEnter: 0x0D, Space: 0x20, Tab: 0x09, Backspace: 0x08,
  Delete: 0x2E, Insert: 0x2D, Home: 0x24, End: 0x23, PageUp: 0x21, PageDown: 0x22,
  ShiftLeft: VK_SHIFT, ShiftRight: VK_SHIFT, ControlLeft: VK_CONTROL, ControlRight: VK_CONTROL,
  AltLeft: VK_MENU, AltRight: VK_MENU,
};

// The virtual-key code of a browser's key event; 0 for a key the program has no code for.
export function virtualKey(event) {
  const code = event.code || '';
  if (KEY_CODES[code] !== undefined) return KEY_CODES[code];
  let match = /^Key([A-Z])$/.exec(code);
  if (match) return match[1].charCodeAt(0);
  match = /^Digit([0-9])$/.exec(code);
  if (match) return match[1].charCodeAt(0);
  match = /^F([0-9]{1,2})$/.exec(code);
  if (match && +match[1] >= 1 && +match[1] <= 24) return 0x6F + +match[1];
  // Keyboards that report no code (some on-screen ones): the key's own name.
  const key = event.key || '';
  if (key.length === 1 && /[a-z0-9]/i.test(key)) return key.toUpperCase().charCodeAt(0);
  return 0;
}

// A point as a mouse message's lParam carries it.
export function packPoint(x, y) { return ((y & 0xFFFF) << 16) | (x & 0xFFFF); }
