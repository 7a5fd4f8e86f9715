// The browser host's page: the canvas the program draws on, the menu bar, dialogs and
// boxes built from the program's templates, the file chooser, storage and help. The
// program (game.js / game.wasm) runs its own message loop and waits on this page's events.
'use strict';

(function () {
  // Win32's numbers, the program's vocabulary.
  const WM_CLOSE = 0x0010;
  const WM_PAINT = 0x000F;
  const WM_KEYDOWN = 0x0100;
  const WM_KEYUP = 0x0101;
  const WM_CHAR = 0x0102;
  const WM_COMMAND = 0x0111;
  const WM_MOUSEMOVE = 0x0200;
  const WM_LBUTTONDOWN = 0x0201;
  const WM_LBUTTONUP = 0x0202;
  const WM_RBUTTONDOWN = 0x0204;
  const WM_RBUTTONUP = 0x0205;
  const WM_MBUTTONDOWN = 0x0207;
  const WM_MBUTTONUP = 0x0208;
  const MK_LBUTTON = 0x01;
  const MK_RBUTTON = 0x02;
  const MK_SHIFT = 0x04;
  const MK_CONTROL = 0x08;
  const MK_MBUTTON = 0x10;
  const IDOK = 1;
  const IDCANCEL = 2;
  const IDYES = 6;
  const IDNO = 7;
  const MB_TYPEMASK = 0x0F;
  const MB_ICONMASK = 0xF0;
  const SS_CENTER = 0x01;
  const BS_DEFPUSHBUTTON = 0x01;
  const ES_NUMBER = 0x2000;
  const ES_AUTOHSCROLL = 0x0080;
  const VK_SHIFT = 0x10;
  const VK_CONTROL = 0x11;
  const VK_MENU = 0x12;
  const HH_DISPLAY_INDEX = 2;
  const HH_DISPLAY_SEARCH = 3;

  // Event kinds, as shell/web/page_calls.h numbers them.
  const EVENT_MESSAGE = 1;
  const EVENT_TIMER = 2;
  const EVENT_EXPOSE = 3;
  const EVENT_DIALOG = 4;
  const EVENT_BOX_ANSWER = 5;
  const EVENT_FILE_CHOSEN = 6;

  const STORAGE_PREFIX = 'HKEY_CURRENT_USER\\';
  const PICTURE_DATABASE = 'brindlewick-puzzle';
  const PICTURE_STORE = 'pictures';
  const PICTURES_KEPT = 8;
  const PICTURE_PATH_ENTRY = 'Software\\brindlewick\\brindlewick Puzzle\\picturepath';

  const KEY_CODES = {
    ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28,
    Escape: 0x1B, Enter: 0x0D, NumpadEnter: 0x0D, Space: 0x20, Tab: 0x09, Backspace: 0x08,
    Delete: 0x2E, Insert: 0x2D, Home: 0x24, End: 0x23, PageUp: 0x21, PageDown: 0x22,
    ShiftLeft: VK_SHIFT, ShiftRight: VK_SHIFT, ControlLeft: VK_CONTROL, ControlRight: VK_CONTROL,
    AltLeft: VK_MENU, AltRight: VK_MENU,
  };

  function virtualKey(event) {
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

  function packPoint(x, y) { return ((y & 0xFFFF) << 16) | (x & 0xFFFF); }

  const $ = (id) => document.getElementById(id);

  const page = {
    events: [],
    waiter: null,
    pendingTimers: new Set(),
    timers: new Map(),
    heldKeys: new Set(),
    pictures: new Map(),
    font: null,
    canvas: null,
    context: null,
    imageCache: null,
    dialogs: new Map(),
    dialogStack: [],
    chosen: '',
    storageOk: true,
    presentedPixels: 0,
    presents: 0,
    audio: null,
    finished: false,

    // --- The queue the program waits on -------------------------------------------------
    queue(event) {
      while (event.length < 6) event.push(0);
      if (this.waiter) {
        const resolve = this.waiter;
        this.waiter = null;
        this.take(event);
        resolve(event);
      } else {
        this.events.push(event);
      }
    },
    take(event) {
      if (event[0] === EVENT_TIMER) this.pendingTimers.delete(event[1]);
      return event;
    },
    pollEvent() {
      const event = this.events.shift();
      return event ? this.take(event) : null;
    },
    nextEvent() {
      if (this.events.length) return Promise.resolve(this.take(this.events.shift()));
      return new Promise((resolve) => { this.waiter = resolve; });
    },
    // True while the program waits for its next event: it can be called into then.
    idle() { return this.waiter !== null; },

    // --- The window -------------------------------------------------------------------
    setTitle(title) { document.title = title; },
    menus: [],
    addMenu(title) {
      this.menus.push(buildMenu(title, this.menus.length));
    },
    addMenuItem(text, command, checkable) {
      const menu = this.menus[this.menus.length - 1];
      if (menu) addMenuItem(menu, text, command, checkable);
    },
    setMenuMark(command, checked) {
      for (const menu of this.menus) {
        for (const item of menu.items) {
          if (item.command !== command) continue;
          item.element.setAttribute('aria-checked', checked ? 'true' : 'false');
          item.element.querySelector('.mark').textContent = checked ? '\u2713' : '';
        }
      }
    },
    resizeCanvas(width, height) {
      this.canvas.width = width;
      this.canvas.height = height;
      this.imageCache = null;
      layout();
    },
    showWindow() {
      $('starting').hidden = true;
      $('window').hidden = false;
      layout();
      this.canvas.focus({ preventScroll: true });
    },
    present(heap, address, stride, x, y, width, height) {
      // The program hands R, G, B, A bytes straight out of its memory.
      const pixels = new Uint8ClampedArray(heap.buffer, address, stride * height * 4);
      this.context.putImageData(new ImageData(pixels, stride, height), x, y, 0, 0, width, height);
      this.presentedPixels += width * height;
      this.presents += 1;
      if (!this.firstWholeFrame && this.presentedPixels >= this.canvas.width * this.canvas.height) {
        this.firstWholeFrame = performance.now();
      }
    },
    availableClient() {
      const room = roomForClient();
      const scale = Math.max(1, Math.floor(window.devicePixelRatio || 1));
      const ratio = (window.devicePixelRatio || 1) / scale;
      return [Math.floor(room.width * ratio), Math.floor(room.height * ratio)];
    },
    ended(code) {
      this.finished = true;
      for (const id of this.timers.keys()) this.stopTimer(id);
      $('window').hidden = true;
      $('ended').hidden = false;
      $('ended').dataset.exitCode = String(code);
      $('again').focus();
    },

    // --- Time and sound -----------------------------------------------------------------
    startTimer(id, ms) {
      this.stopTimer(id);
      // A tick not yet taken by the program is not queued twice, as the desktop's timers.
      const handle = setInterval(() => {
        if (this.pendingTimers.has(id)) return;
        this.pendingTimers.add(id);
        this.queue([EVENT_TIMER, id]);
      }, ms);
      this.timers.set(id, handle);
    },
    stopTimer(id) {
      const handle = this.timers.get(id);
      if (handle !== undefined) clearInterval(handle);
      this.timers.delete(id);
      if (this.pendingTimers.delete(id)) {
        this.events = this.events.filter((event) => !(event[0] === EVENT_TIMER && event[1] === id));
      }
    },
    beep() {
      try {
        const AudioContext = window.AudioContext || window.webkitAudioContext;
        if (!AudioContext) return;
        if (!this.audio) this.audio = new AudioContext();
        const audio = this.audio;
        if (audio.state === 'suspended') audio.resume();
        const tone = audio.createOscillator();
        const level = audio.createGain();
        tone.type = 'sine';
        tone.frequency.value = 880;
        const now = audio.currentTime;
        level.gain.setValueAtTime(0.0001, now);
        level.gain.exponentialRampToValueAtTime(0.25, now + 0.01);
        level.gain.exponentialRampToValueAtTime(0.0001, now + 0.3);
        tone.connect(level).connect(audio.destination);
        tone.start(now);
        tone.stop(now + 0.32);
        this.beeps = (this.beeps || 0) + 1;
      } catch (error) {
        // No sound is nothing the player needs to be told about.
      }
    },
    keyIsDown(key) { return this.heldKeys.has(key); },

    // --- Boxes ----------------------------------------------------------------------------
    openBox(token, text, caption, flags) {
      const type = flags & MB_TYPEMASK;
      const buttons = type === 4 ? [['Yes', IDYES], ['No', IDNO]]
        : type === 1 ? [['OK', IDOK], ['Cancel', IDCANCEL]]
        : type === 3 ? [['Yes', IDYES], ['No', IDNO], ['Cancel', IDCANCEL]]
        : type === 5 ? [['Retry', 4], ['Cancel', IDCANCEL]]
        : [['OK', IDOK]];
      // Escape answers Cancel where there is one, No for a question, OK otherwise.
      const escape = buttons.some((b) => b[1] === IDCANCEL) ? IDCANCEL : type === 4 ? IDNO : IDOK;
      const frame = openFrame(caption, true, 'box');
      const body = document.createElement('div');
      body.className = 'box-body';
      if ((flags & MB_ICONMASK) !== 0) {
        const sign = document.createElement('img');
        sign.src = 'icons/exclamation-32.png';
        sign.width = 32;
        sign.height = 32;
        sign.alt = '';
        body.appendChild(sign);
      }
      const words = document.createElement('div');
      words.className = 'box-text';
      words.textContent = text;
      body.appendChild(words);
      frame.dialog.appendChild(body);
      const row = document.createElement('div');
      row.className = 'box-buttons';
      let first = null;
      const answer = (value) => {
        closeFrame(frame);
        this.dialogStack = this.dialogStack.filter((f) => f !== frame);
        this.queue([EVENT_BOX_ANSWER, token, value]);
      };
      for (const [label, value] of buttons) {
        const button = document.createElement('button');
        button.type = 'button';
        button.textContent = label;
        button.addEventListener('click', () => answer(value));
        row.appendChild(button);
        if (!first) first = button;
      }
      frame.dialog.appendChild(row);
      frame.onEscape = () => answer(escape);
      frame.onClose = () => answer(escape);
      this.dialogStack.push(frame);
      document.body.appendChild(frame.overlay);
      placeFrame(frame);
      first.focus();
    },

    // --- Dialogs from the program's templates -----------------------------------------------
    openDialog(token, caption, width, height, closeBox) {
      const frame = openFrame(caption, closeBox, 'template');
      const client = document.createElement('div');
      client.className = 'dialog-client';
      client.style.width = width + 'px';
      client.style.height = height + 'px';
      frame.dialog.appendChild(client);
      frame.client = client;
      frame.controls = new Map();
      frame.defaultButton = 0;
      frame.token = token;
      const send = (message, wParam, lParam) => this.queue([EVENT_DIALOG, token, message, wParam, lParam]);
      frame.send = send;
      frame.onEscape = () => send(WM_COMMAND, IDCANCEL, 0);
      frame.onClose = () => send(WM_COMMAND, IDCANCEL, 0);
      frame.onEnter = () => { if (frame.defaultButton) send(WM_COMMAND, frame.defaultButton, 0); };
      const at = (event) => {
        const box = client.getBoundingClientRect();
        return packPoint(Math.floor(event.clientX - box.left), Math.floor(event.clientY - box.top));
      };
      client.addEventListener('pointermove', (event) => {
        if (event.target === client || event.target.classList.contains('drawn')) send(WM_MOUSEMOVE, event.buttons & 1 ? MK_LBUTTON : 0, at(event));
      });
      client.addEventListener('pointerdown', (event) => {
        if (event.target === client || event.target.classList.contains('drawn')) send(WM_LBUTTONDOWN, MK_LBUTTON, at(event));
      });
      this.dialogs.set(token, frame);
    },
    addControl(token, kind, id, x, y, width, height, text, style) {
      const frame = this.dialogs.get(token);
      if (!frame) return;
      let element;
      if (kind === 0) {
        element = document.createElement('div');
        element.className = 'static';
        element.textContent = text;
        if (style & SS_CENTER) element.style.textAlign = 'center';
      } else if (kind === 1) {
        element = document.createElement('input');
        element.type = 'text';
        element.value = text;
        element.autocomplete = 'off';
        element.spellcheck = false;
        if (style & ES_NUMBER) {
          element.inputMode = 'numeric';
          element.addEventListener('input', () => {
            const digits = element.value.replace(/[^0-9]/g, '');
            if (digits !== element.value) element.value = digits;
          });
        }
        // Without horizontal scrolling, typing stops when the field is full.
        if (!(style & ES_AUTOHSCROLL)) element.maxLength = Math.max(1, Math.floor((width - 4) / 6));
        if (!frame.firstField) frame.firstField = element;
      } else {
        element = document.createElement('button');
        element.type = 'button';
        element.className = 'control';
        element.textContent = text;
        if (style & BS_DEFPUSHBUTTON) {
          element.classList.add('default');
          frame.defaultButton = id;
        }
        element.addEventListener('click', () => frame.send(WM_COMMAND, id, 0));
      }
      element.style.left = x + 'px';
      element.style.top = y + 'px';
      element.style.width = width + 'px';
      element.style.height = height + 'px';
      if (id !== -1) {
        element.dataset.control = String(id);
        frame.controls.set(id, element);
      }
      frame.client.appendChild(element);
    },
    showDialog(token) {
      const frame = this.dialogs.get(token);
      if (!frame || frame.shown) return;
      frame.shown = true;
      this.dialogStack.push(frame);
      document.body.appendChild(frame.overlay);
      alignLabels(frame);
      placeFrame(frame);
      if (frame.firstField) {
        frame.firstField.focus();
        frame.firstField.select();
      } else {
        const button = frame.client.querySelector('button.default') || frame.client.querySelector('button');
        if (button) button.focus();
      }
      frame.send(WM_PAINT, 0, 0);
    },
    closeDialog(token) {
      const frame = this.dialogs.get(token);
      if (!frame) return;
      this.dialogs.delete(token);
      this.dialogStack = this.dialogStack.filter((f) => f !== frame);
      closeFrame(frame);
    },
    setControlText(token, id, text) {
      const element = this.dialogs.get(token)?.controls.get(id);
      if (!element) return;
      if (element.tagName === 'INPUT') element.value = text;
      else element.textContent = text;
    },
    controlText(token, id) {
      const element = this.dialogs.get(token)?.controls.get(id);
      if (!element) return '';
      return element.tagName === 'INPUT' ? element.value : element.textContent;
    },
    setDialogCursor(token, hand) {
      const frame = this.dialogs.get(token);
      if (frame) frame.client.style.cursor = hand ? 'pointer' : 'default';
    },
    clearDialogDrawing(token) {
      const frame = this.dialogs.get(token);
      if (frame) for (const drawn of frame.client.querySelectorAll('.drawn')) drawn.remove();
    },
    drawDialogText(token, x, y, text, underline, bold, rgb) {
      const frame = this.dialogs.get(token);
      if (!frame) return;
      const span = document.createElement('span');
      span.className = 'drawn';
      span.textContent = text;
      span.style.left = x + 'px';
      span.style.top = y + 'px';
      span.style.color = '#' + (rgb & 0xFFFFFF).toString(16).padStart(6, '0');
      if (underline) span.style.textDecoration = 'underline';
      if (bold) span.style.fontWeight = 'bold';
      frame.client.appendChild(span);
    },

    // --- Pictures -------------------------------------------------------------------------
    chooseFile(token, accept) {
      const input = document.createElement('input');
      input.type = 'file';
      input.accept = accept;
      input.style.display = 'none';
      let answered = false;
      const answer = (chosen) => {
        if (answered) return;
        answered = true;
        input.remove();
        this.queue([EVENT_FILE_CHOSEN, token, chosen ? 1 : 0]);
      };
      input.addEventListener('cancel', () => answer(false));
      input.addEventListener('change', async () => {
        const file = input.files && input.files[0];
        if (!file) { answer(false); return; }
        try {
          const bytes = new Uint8Array(await file.arrayBuffer());
          this.chosen = file.name;
          this.pictures.set(file.name, bytes);
          keepPicture(file.name, bytes);
          answer(true);
        } catch (error) {
          answer(false);
        }
      });
      document.body.appendChild(input);
      this.fileInput = input;
      try {
        input.click();
      } catch (error) {
        answer(false);
      }
    },
    chosenName() { return this.chosen; },
    pictureBytes(name) { return this.pictures.get(name) || null; },
    probePicture(name) {
      const bytes = this.pictures.get(name);
      const decoders = globalThis.BrindlewickPictures;
      if (!bytes || !decoders) return null;
      try {
        return decoders.probe(bytes, name) || null;
      } catch (error) {
        return null;
      }
    },
    async decodePicture(name, maxWidth, maxHeight) {
      const bytes = this.pictures.get(name);
      const decoders = globalThis.BrindlewickPictures;
      if (!bytes || !decoders) return null;
      try {
        return (await decoders.decode(bytes, name, maxWidth, maxHeight)) || null;
      } catch (error) {
        return null;
      }
    },

    // --- Storage ----------------------------------------------------------------------------
    storageAvailable() {
      try {
        return !!window.localStorage && (window.localStorage.length >= 0);
      } catch (error) {
        return false;
      }
    },
    readStored(key) {
      try {
        return window.localStorage.getItem(STORAGE_PREFIX + key);
      } catch (error) {
        return null;
      }
    },
    writeStored(key, value) {
      try {
        window.localStorage.setItem(STORAGE_PREFIX + key, value);
        return true;
      } catch (error) {
        return false;
      }
    },
    fontFile() { return this.font; },

    // --- Help and the web ----------------------------------------------------------------------
    openAddress(address) {
      try {
        window.open(address, '_blank', 'noopener');
      } catch (error) {
        // A blocked window is the browser's choice.
      }
    },
    showHelp(command) {
      const view = command === HH_DISPLAY_INDEX ? 'index' : command === HH_DISPLAY_SEARCH ? 'search' : 'contents';
      try {
        const help = window.open('help/viewer.html#' + view, 'brindlewick-puzzle-help');
        if (help) help.focus();
        return !!help;
      } catch (error) {
        return false;
      }
    },
  };

  // --- Menus ----------------------------------------------------------------------------------
  let openMenu = null;

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

  function buildMenu(title, index) {
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
    const menu = { title: button, list, items: [], key, index };
    button.addEventListener('pointerdown', (event) => {
      event.preventDefault();
      if (openMenu === menu) closeMenus(true);
      else showMenu(menu, false);
    });
    button.addEventListener('pointerenter', () => { if (openMenu && openMenu !== menu) showMenu(menu, false); });
    return menu;
  }

  function addMenuItem(menu, text, command, checkable) {
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

  function showMenu(menu, focusFirst) {
    if (page.dialogStack.length || page.finished) return;
    closeMenus(false);
    openMenu = menu;
    const bar = $('menubar').getBoundingClientRect();
    const title = menu.title.getBoundingClientRect();
    menu.list.style.left = (title.left - bar.left) + 'px';
    menu.list.hidden = false;
    menu.title.classList.add('open');
    menu.title.setAttribute('aria-expanded', 'true');
    if (focusFirst && menu.items.length) menu.items[0].element.focus();
    else menu.title.focus();
  }

  function closeMenus(backToGame) {
    if (openMenu) {
      openMenu.list.hidden = true;
      openMenu.title.classList.remove('open');
      openMenu.title.setAttribute('aria-expanded', 'false');
    }
    openMenu = null;
    if (backToGame) page.canvas.focus({ preventScroll: true });
  }

  function chooseCommand(command) {
    closeMenus(true);
    page.queue([EVENT_MESSAGE, WM_COMMAND, command, 0]);
  }

  function menuKeys(event) {
    const menus = page.menus;
    if (!openMenu) {
      // Alt or F10 goes to the menu bar; Alt with a menu's letter opens that menu.
      if (event.altKey && !event.ctrlKey && event.key && event.key.length === 1) {
        const menu = menus.find((m) => m.key === event.key.toLowerCase());
        if (menu) { event.preventDefault(); showMenu(menu, true); return true; }
      }
      if (event.key === 'F10' || (event.key === 'Alt' && !event.repeat)) {
        event.preventDefault();
        if (document.activeElement && document.activeElement.classList.contains('menu-title')) {
          page.canvas.focus({ preventScroll: true });
        } else if (menus.length) {
          menus[0].title.focus();
        }
        return true;
      }
      if (document.activeElement && document.activeElement.classList.contains('menu-title')) {
        const at = menus.findIndex((m) => m.title === document.activeElement);
        if (event.key === 'ArrowRight' || event.key === 'ArrowLeft') {
          event.preventDefault();
          const next = menus[(at + (event.key === 'ArrowRight' ? 1 : menus.length - 1)) % menus.length];
          next.title.focus();
          return true;
        }
        if (event.key === 'Escape') {
          event.preventDefault();
          page.canvas.focus({ preventScroll: true });
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
      case 'Escape':
        event.preventDefault();
        { const title = openMenu.title; closeMenus(false); title.focus(); }
        return true;
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

  // --- Dialog frames ------------------------------------------------------------------------
  function openFrame(caption, closeBox, kind) {
    const overlay = document.createElement('div');
    overlay.className = 'overlay';
    const dialog = document.createElement('div');
    dialog.className = 'dialog ' + kind;
    dialog.setAttribute('role', kind === 'box' ? 'alertdialog' : 'dialog');
    dialog.setAttribute('aria-modal', 'true');
    const bar = document.createElement('div');
    bar.className = 'caption';
    const title = document.createElement('span');
    title.textContent = caption;
    bar.appendChild(title);
    dialog.setAttribute('aria-label', caption);
    const frame = { overlay, dialog };
    if (closeBox) {
      const close = document.createElement('button');
      close.type = 'button';
      close.className = 'close';
      close.setAttribute('aria-label', 'Close');
      close.textContent = '\u2715';
      close.addEventListener('click', () => frame.onClose && frame.onClose());
      bar.appendChild(close);
    }
    dialog.appendChild(bar);
    overlay.appendChild(dialog);
    // A press beside the dialog leaves the focus where it was, in the dialog.
    overlay.addEventListener('pointerdown', (event) => { if (event.target === overlay) event.preventDefault(); });
    // Keys typed in a dialog are the dialog's.
    dialog.addEventListener('keydown', (event) => {
      event.stopPropagation();
      if (page.dialogStack[page.dialogStack.length - 1] !== frame) return;
      if (event.key === 'Escape') {
        event.preventDefault();
        if (frame.onEscape) frame.onEscape();
      } else if (event.key === 'Enter' && !(event.target instanceof HTMLButtonElement)) {
        event.preventDefault();
        if (frame.onEnter) frame.onEnter();
      } else if (event.key === 'Tab') {
        keepFocusInside(event, dialog);
      }
    });
    dialog.addEventListener('keyup', (event) => event.stopPropagation());
    return frame;
  }

  // A dialog stands centred over the game's window, as it does over its owner on the
  // desktop, and inside the page.
  function placeFrame(frame) {
    const owner = $('window').hidden ? document.body.getBoundingClientRect() : page.canvas.getBoundingClientRect();
    const box = frame.dialog.getBoundingClientRect();
    const viewWidth = document.documentElement.clientWidth;
    const viewHeight = document.documentElement.clientHeight;
    const width = Math.min(owner.width, viewWidth);
    const height = Math.min(owner.height, viewHeight);
    let left = Math.max(owner.left, 0) + (width - box.width) / 2;
    let top = Math.max(owner.top, 0) + (height - box.height) / 2;
    left = Math.max(4, Math.min(left, viewWidth - box.width - 4));
    top = Math.max(4, Math.min(top, viewHeight - box.height - 4));
    frame.dialog.style.left = Math.round(left) + 'px';
    frame.dialog.style.top = Math.round(top) + 'px';
  }

  function keepFocusInside(event, dialog) {
    const focusable = [...dialog.querySelectorAll('button, input')].filter((e) => !e.disabled);
    if (!focusable.length) return;
    const at = focusable.indexOf(document.activeElement);
    const next = event.shiftKey ? (at <= 0 ? focusable.length - 1 : at - 1) : (at + 1) % focusable.length;
    event.preventDefault();
    focusable[next].focus();
  }

  function closeFrame(frame) {
    frame.overlay.remove();
    const top = page.dialogStack[page.dialogStack.length - 1];
    if (top && top !== frame) {
      const button = top.dialog.querySelector('input, button.default, .box-buttons button, button.control');
      if (button) button.focus();
    } else if (!page.dialogStack.filter((f) => f !== frame).length) {
      page.canvas.focus({ preventScroll: true });
    }
  }

  // A label left of a field on its row stands on the field's line of text.
  function alignLabels(frame) {
    const statics = [...frame.client.querySelectorAll('.static')];
    const fields = [...frame.client.querySelectorAll('input')];
    for (const label of statics) {
      const l = { x: label.offsetLeft, y: label.offsetTop, w: label.offsetWidth, h: label.offsetHeight };
      for (const field of fields) {
        const f = { x: field.offsetLeft, y: field.offsetTop, w: field.offsetWidth, h: field.offsetHeight };
        if (l.x + l.w > f.x || l.y + l.h <= f.y || l.y >= f.y + f.h) continue;
        label.style.top = Math.round(f.y + (f.h - 13) / 2) + 'px';
        break;
      }
    }
  }

  // --- Layout: pixel for pixel where there is room, scaled down to fit where there is not ----
  function roomForClient() {
    const bar = $('menubar');
    const barHeight = bar && !$('window').hidden ? bar.getBoundingClientRect().height : 21;
    return {
      width: Math.max(1, document.documentElement.clientWidth || window.innerWidth),
      height: Math.max(1, (document.documentElement.clientHeight || window.innerHeight) - barHeight),
    };
  }

  function layout() {
    const canvas = page.canvas;
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
  function gamePoint(event) {
    const box = page.canvas.getBoundingClientRect();
    const x = Math.floor((event.clientX - box.left) * page.canvas.width / box.width);
    const y = Math.floor((event.clientY - box.top) * page.canvas.height / box.height);
    return { x, y, inside: x >= 0 && y >= 0 && x < page.canvas.width && y < page.canvas.height };
  }

  function modifiers(event) {
    let keys = 0;
    if (event.buttons & 1) keys |= MK_LBUTTON;
    if (event.buttons & 2) keys |= MK_RBUTTON;
    if (event.buttons & 4) keys |= MK_MBUTTON;
    if (event.shiftKey) keys |= MK_SHIFT;
    if (event.ctrlKey) keys |= MK_CONTROL;
    return keys;
  }

  function gameBusy() { return page.dialogStack.length > 0 || page.finished || !page.started; }

  function attachInput() {
    const canvas = page.canvas;
    canvas.addEventListener('pointerdown', (event) => {
      if (gameBusy()) return;
      closeMenus(false);
      canvas.focus({ preventScroll: true });
      event.preventDefault();
      const point = gamePoint(event);
      if (!point.inside) return;
      const message = event.button === 2 ? WM_RBUTTONDOWN : event.button === 1 ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
      // A touch or a pen is a left button.
      let keys = modifiers(event);
      if (message === WM_LBUTTONDOWN) keys |= MK_LBUTTON;
      page.queue([EVENT_MESSAGE, message, keys, packPoint(point.x, point.y)]);
    });
    canvas.addEventListener('pointerup', (event) => {
      if (gameBusy()) return;
      const point = gamePoint(event);
      if (!point.inside) return;
      const message = event.button === 2 ? WM_RBUTTONUP : event.button === 1 ? WM_MBUTTONUP : WM_LBUTTONUP;
      page.queue([EVENT_MESSAGE, message, modifiers(event), packPoint(point.x, point.y)]);
    });
    canvas.addEventListener('pointermove', (event) => {
      if (gameBusy()) return;
      const point = gamePoint(event);
      if (!point.inside) return;
      page.queue([EVENT_MESSAGE, WM_MOUSEMOVE, modifiers(event), packPoint(point.x, point.y)]);
    });
    canvas.addEventListener('contextmenu', (event) => event.preventDefault());
    // A canvas whose pixels the browser threw away (short of memory) is painted again whole.
    canvas.addEventListener('contextrestored', () => {
      page.queue([EVENT_EXPOSE, 0, 0, canvas.width, canvas.height]);
    });

    document.addEventListener('pointerdown', (event) => {
      if (openMenu && !$('menubar').contains(event.target)) closeMenus(false);
    });

    document.addEventListener('keydown', (event) => {
      // A key pressed while a dialog is up and the focus is elsewhere is still the dialog's.
      const top = page.dialogStack[page.dialogStack.length - 1];
      if (top) {
        if (event.key === 'Escape' || event.key === 'Enter') {
          event.preventDefault();
          if (event.key === 'Escape' && top.onEscape) top.onEscape();
          if (event.key === 'Enter' && top.onEnter) top.onEnter();
        }
        return;
      }
      if (gameBusy()) return;
      if (menuKeys(event)) return;
      // Keys typed anywhere else than the game (the menu bar's buttons) stay theirs.
      if (document.activeElement && document.activeElement !== canvas && document.activeElement !== document.body) return;
      const key = virtualKey(event);
      if (key === 0) return;
      const repeat = page.heldKeys.has(key) || event.repeat;
      page.heldKeys.add(key);
      if (event.shiftKey) page.heldKeys.add(VK_SHIFT);
      if (event.ctrlKey) page.heldKeys.add(VK_CONTROL);
      if (event.altKey) return;  // Alt combinations belong to the menu bar
      const lParam = repeat ? 0x40000001 : 1;
      // The browser's own use of the game's keys is prevented where it lets us: the arrows
      // scroll, F1 opens its help, Ctrl+F finds, Ctrl+S saves. Ctrl+W closes the tab in
      // most browsers whatever the page says; Game > Exit does the same thing.
      const letter = key >= 0x41 && key <= 0x5A;
      if ((key >= 0x25 && key <= 0x28) || key === 0x70 || key === 0x71 ||
          (event.ctrlKey && (key === 0x46 || key === 0x53 || key === 0x57))) {
        event.preventDefault();
      }
      page.queue([EVENT_MESSAGE, WM_KEYDOWN, key, lParam]);
      let character = 0;
      if (event.ctrlKey && letter) character = key - 0x40;
      else if (!event.ctrlKey && !event.metaKey && event.key && event.key.length === 1) character = event.key.charCodeAt(0);
      else if (key === 0x0D || key === 0x1B || key === 0x08 || key === 0x09) character = key;
      if (character) page.queue([EVENT_MESSAGE, WM_CHAR, character, lParam]);
    });
    document.addEventListener('keyup', (event) => {
      const key = virtualKey(event);
      if (!event.shiftKey) page.heldKeys.delete(VK_SHIFT);
      if (!event.ctrlKey) page.heldKeys.delete(VK_CONTROL);
      if (key === 0 || !page.heldKeys.delete(key)) return;
      if (gameBusy() || event.altKey) return;
      page.queue([EVENT_MESSAGE, WM_KEYUP, key, 0xC0000001 | 0]);
    });
    window.addEventListener('blur', () => page.heldKeys.clear());

    window.addEventListener('resize', layout);
    // What Exit would store is stored when the tab is hidden or closed.
    const save = () => {
      if (page.started && !page.finished && page.idle() && Module._web_save_settings) Module._web_save_settings();
    };
    window.addEventListener('pagehide', save);
    document.addEventListener('visibilitychange', () => { if (document.visibilityState === 'hidden') save(); });
    $('again').addEventListener('click', () => window.location.reload());
  }

  // --- Pictures kept across visits ----------------------------------------------------------
  function openPictures() {
    return new Promise((resolve) => {
      try {
        const request = indexedDB.open(PICTURE_DATABASE, 1);
        request.onupgradeneeded = () => request.result.createObjectStore(PICTURE_STORE);
        request.onsuccess = () => resolve(request.result);
        request.onerror = () => resolve(null);
        request.onblocked = () => resolve(null);
      } catch (error) {
        resolve(null);
      }
    });
  }

  async function loadPictures() {
    const database = await openPictures();
    if (!database) return;
    await new Promise((resolve) => {
      try {
        const store = database.transaction(PICTURE_STORE, 'readonly').objectStore(PICTURE_STORE);
        const request = store.openCursor();
        request.onsuccess = () => {
          const cursor = request.result;
          if (!cursor) { resolve(); return; }
          const entry = cursor.value;
          if (entry && entry.bytes instanceof Uint8Array && typeof cursor.key === 'string') {
            page.pictures.set(cursor.key, entry.bytes);
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
  async function keepPicture(name, bytes) {
    const database = await openPictures();
    if (!database) return;
    try {
      const transaction = database.transaction(PICTURE_STORE, 'readwrite');
      const store = transaction.objectStore(PICTURE_STORE);
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
        for (const old of entries.slice(PICTURES_KEPT)) {
          if (old.key !== name && old.key !== stored) store.delete(old.key);
        }
      };
    } catch (error) {
      database.close();
    }
  }

  // The picture path the program stored, read from its settings entry ("type:hex bytes").
  function storedPicturePath() {
    const text = page.readStored(PICTURE_PATH_ENTRY) || '';
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

  async function loadFont() {
    try {
      const response = await fetch('fonts/LiberationSans-Regular.ttf');
      if (response.ok) page.font = new Uint8Array(await response.arrayBuffer());
    } catch (error) {
      page.font = null;  // no tile numbers, the game itself goes on
    }
  }

  async function start() {
    page.canvas = $('game');
    page.context = page.canvas.getContext('2d', { alpha: false });
    attachInput();
    // The program loads and compiles while the font and the kept pictures are read; it
    // runs once both are there.
    const ready = Promise.all([loadFont(), loadPictures()]);
    window.Module = {
      page,
      noExitRuntime: true,
      preRun: [() => {
        Module.addRunDependency('page');
        ready.then(() => Module.removeRunDependency('page'));
      }],
      onRuntimeInitialized() { page.started = true; },
      print: () => {},
      printErr: (text) => console.warn(text),
      onAbort: () => page.ended(1),
    };
    const script = document.createElement('script');
    script.src = 'game.js';
    script.onerror = () => { $('starting').textContent = 'brindlewick Puzzle could not be loaded.'; };
    document.body.appendChild(script);
    await ready;
    if ('serviceWorker' in navigator && window.isSecureContext) {
      navigator.serviceWorker.register('sw.js').catch(() => {});
    }
  }

  globalThis.BrindlewickPage = page;
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();
})();
