// The menu bar, built from the program's menu table as it asks: titles, items with their
// mnemonics and shortcuts, check marks; opened by pointer or keyboard as on the desktop.
const $ = (id) => document.getElementById(id);

const menus = [];
let openMenu = null;
let hooks = { command: () => {}, focusGame: () => {}, blocked: () => false };

// command(id): a chosen item; focusGame(): the focus back to the game; blocked(): true while
// a dialog is up or the program has ended.
export function initMenus(callbacks) { hooks = { ...hooks, ...callbacks }; }

function mnemonicText(container, text) {
  const amp = text.indexOf('&');
  if (amp < 0 || amp + 1 >= text.length) {
    container.textContent = text;
    return '';
  }
  container.appendChild(document.createTextNode(text.slice(0, amp)));
  const u = document.createElement('u');
  u.textContent = text[amp + 1];
  container.appendChild(u);
  container.appendChild(document.createTextNode(text.slice(amp + 2)));
  return text[amp + 1].toLowerCase();
}

export function addMenu(title) {
  const bar = $('menubar');
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'menu-title';
  button.setAttribute('role', 'menuitem');
  button.setAttribute('aria-haspopup', 'true');
  button.setAttribute('aria-expanded', 'false');
  const key = mnemonicText(button, title);
  const list = document.createElement('div');
  list.className = 'menu-list';
  list.setAttribute('role', 'menu');
  list.hidden = true;
  bar.appendChild(button);
  bar.appendChild(list);
  const menu = { title: button, list, items: [], key, index: menus.length };
  button.addEventListener('pointerdown', (event) => {
    event.preventDefault();
    if (openMenu === menu) closeMenus(true);
    else showMenu(menu, false);
  });
  button.addEventListener('pointerenter', () => { if (openMenu && openMenu !== menu) showMenu(menu, false); });
  menus.push(menu);
}

export function addMenuItem(text, command, checkable) {
  const menu = menus[menus.length - 1];
  if (!menu) return;
  if (command === 0) {
    const line = document.createElement('div');
    line.className = 'menu-separator';
    line.setAttribute('role', 'separator');
    menu.list.appendChild(line);
    return;
  }
  const tab = text.indexOf('\t');
  const label = tab < 0 ? text : text.slice(0, tab);
  const keys = tab < 0 ? '' : text.slice(tab + 1);
  const item = document.createElement('button');
  item.type = 'button';
  item.className = 'menu-item';
  item.setAttribute('role', checkable ? 'menuitemcheckbox' : 'menuitem');
  if (checkable) item.setAttribute('aria-checked', 'false');
  item.dataset.command = String(command);
  const mark = document.createElement('span');
  mark.className = 'mark';
  const name = document.createElement('span');
  const key = mnemonicText(name, label);
  const shortcut = document.createElement('span');
  shortcut.className = 'keys';
  shortcut.textContent = keys;
  item.append(mark, name, shortcut);
  item.addEventListener('click', () => chooseCommand(command));
  menu.list.appendChild(item);
  menu.items.push({ element: item, command, key });
}

export function setMenuMark(command, checked) {
  for (const menu of menus) {
    for (const item of menu.items) {
      if (item.command !== command) continue;
      item.element.setAttribute('aria-checked', checked ? 'true' : 'false');
      item.element.querySelector('.mark').textContent = checked ? '\u2713' : '';
    }
  }
}

function showMenu(menu, focusFirst) {
  if (hooks.blocked()) return;
  closeMenus(false);
  openMenu = menu;
  const bar = $('menubar').getBoundingClientRect();
  const title = menu.title.getBoundingClientRect();
  menu.list.style.left = (title.left - bar.left) + 'px';
  menu.list.hidden = false;
  // A list taller than the room under the bar scrolls (a phone on its side).
  menu.list.style.maxHeight = Math.max(60, document.documentElement.clientHeight - bar.bottom - 4) + 'px';
  // A list wider than the room right of its title moves left, inside the screen.
  const list = menu.list.getBoundingClientRect();
  const right = document.documentElement.clientWidth - 4;
  if (list.right > right) menu.list.style.left = Math.max(4 - bar.left, title.left - bar.left - (list.right - right)) + 'px';
  menu.title.classList.add('open');
  menu.title.setAttribute('aria-expanded', 'true');
  if (focusFirst && menu.items.length) menu.items[0].element.focus();
  else menu.title.focus();
}

export function closeMenus(backToGame) {
  if (openMenu) {
    openMenu.list.hidden = true;
    openMenu.title.classList.remove('open');
    openMenu.title.setAttribute('aria-expanded', 'false');
  }
  openMenu = null;
  if (backToGame) hooks.focusGame();
}

export function menuIsOpen() { return openMenu !== null; }

function chooseCommand(command) {
  closeMenus(true);
  hooks.command(command);
}

function focusedTitle() {
  const active = document.activeElement;
  return active && active.classList.contains('menu-title') ? active : null;
}

// True while the focus is in the menu bar or a menu is open.
export function menusActive() { return openMenu !== null || focusedTitle() !== null; }

function toggleMenuBar() {
  if (focusedTitle()) hooks.focusGame();
  else if (menus.length) menus[0].title.focus();
}

// Alt alone goes to the menu bar when it is let go with no other key between, as on the
// desktop: Alt+Tab to another window and back leaves the focus where it was.
let altAlone = false;

export function menuKeyUp(event) {
  if (event.key !== 'Alt') return false;
  const alone = altAlone;
  altAlone = false;
  if (!alone) return false;
  event.preventDefault();
  if (openMenu) closeMenus(true);
  else toggleMenuBar();
  return true;
}

export function forgetAlt() { altAlone = false; }

// The menu bar's keys; true when the key was the menu bar's.
export function menuKeys(event) {
  if (event.key === 'Alt') {
    // Kept from the browser, which would take the focus to its own menu.
    event.preventDefault();
    if (!event.repeat) altAlone = true;
    return true;
  }
  altAlone = false;
  if (!openMenu) {
    // F10 goes to the menu bar; Alt with a menu's letter opens that menu.
    if (event.altKey && !event.ctrlKey && event.key && event.key.length === 1) {
      const menu = menus.find((m) => m.key === event.key.toLowerCase());
      if (menu) { event.preventDefault(); showMenu(menu, true); return true; }
    }
    if (event.key === 'F10') {
      event.preventDefault();
      toggleMenuBar();
      return true;
    }
    if (focusedTitle()) {
      const at = menus.findIndex((m) => m.title === document.activeElement);
      if (event.key === 'ArrowRight' || event.key === 'ArrowLeft') {
        event.preventDefault();
        const next = menus[(at + (event.key === 'ArrowRight' ? 1 : menus.length - 1)) % menus.length];
        next.title.focus();
        return true;
      }
      if (event.key === 'Escape') {
        event.preventDefault();
        hooks.focusGame();
        return true;
      }
      if (event.key === 'ArrowDown' || event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        showMenu(menus[at], true);
        return true;
      }
      if (event.key.length === 1 && !event.ctrlKey) {
        const menu = menus.find((m) => m.key === event.key.toLowerCase());
        if (menu) { event.preventDefault(); showMenu(menu, true); }
        return true;
      }
      return event.key !== 'Tab';
    }
    return false;
  }
  const items = openMenu.items.map((i) => i.element);
  const at = items.indexOf(document.activeElement);
  switch (event.key) {
    case 'Escape': {
      event.preventDefault();
      const title = openMenu.title;
      closeMenus(false);
      title.focus();
      return true;
    }
    case 'ArrowDown':
    case 'ArrowUp': {
      event.preventDefault();
      const down = event.key === 'ArrowDown';
      const next = at < 0 ? (down ? 0 : items.length - 1) : (at + (down ? 1 : items.length - 1)) % items.length;
      items[next].focus();
      return true;
    }
    case 'ArrowRight':
    case 'ArrowLeft': {
      event.preventDefault();
      const next = menus[(openMenu.index + (event.key === 'ArrowRight' ? 1 : menus.length - 1)) % menus.length];
      showMenu(next, true);
      return true;
    }
    case 'Tab':
      event.preventDefault();
      return true;
    default:
      if (event.key && event.key.length === 1 && !event.ctrlKey) {
        const item = openMenu.items.find((i) => i.key === event.key.toLowerCase());
        if (item) { event.preventDefault(); chooseCommand(item.command); }
        return true;
      }
      return event.key === 'Enter' || event.key === ' ';
  }
}

// A press outside the menu bar closes an open menu.
export function pressOutsideMenus(target) {
  if (openMenu && !$('menubar').contains(target)) closeMenus(false);
}
