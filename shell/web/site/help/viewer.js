// The help viewer: the help book's contents, index and full-text search beside its pages,
// read from the same contents and index files the Windows help file is compiled from.
'use strict';

(function () {
  const $ = (id) => document.getElementById(id);
  let pages = [];  // {name, local}

  async function sitemap(file) {
    const response = await fetch(file);
    const text = new TextDecoder('windows-1252').decode(await response.arrayBuffer());
    const html = new DOMParser().parseFromString(text, 'text/html');
    const entries = [];
    for (const object of html.querySelectorAll('object[type="text/sitemap"]')) {
      const entry = {};
      for (const param of object.querySelectorAll('param')) {
        entry[(param.getAttribute('name') || '').toLowerCase()] = param.getAttribute('value') || '';
      }
      if (entry.name && entry.local) entries.push({ name: entry.name, local: entry.local });
    }
    return entries;
  }

  function link(entry) {
    const item = document.createElement('li');
    const a = document.createElement('a');
    a.href = entry.local;
    a.target = 'topic';
    a.textContent = entry.name;
    item.appendChild(a);
    return item;
  }

  function show(view) {
    for (const name of ['contents', 'index', 'search']) {
      $('view-' + name).classList.toggle('shown', name === view);
      $('tab-' + name).setAttribute('aria-selected', String(name === view));
    }
    const focus = view === 'index' ? $('index-filter') : view === 'search' ? $('search-words') : null;
    if (focus) focus.focus();
  }

  async function search(words) {
    const wanted = words.toLowerCase().split(/\s+/).filter(Boolean);
    const list = $('results');
    list.textContent = '';
    if (!wanted.length) return;
    for (const page of pages) {
      const response = await fetch(page.local.split('#')[0]);
      const text = new TextDecoder('windows-1252').decode(await response.arrayBuffer());
      const body = new DOMParser().parseFromString(text, 'text/html').body;
      const words = (body ? body.textContent : '').toLowerCase();
      if (wanted.every((w) => words.includes(w))) list.appendChild(link(page));
    }
    if (!list.children.length) {
      const none = document.createElement('li');
      none.textContent = 'No topics found.';
      list.appendChild(none);
    }
  }

  async function start() {
    for (const button of document.querySelectorAll('#tabs button')) {
      button.addEventListener('click', () => { location.hash = button.dataset.view; });
    }
    window.addEventListener('hashchange', () => show(location.hash.slice(1) || 'contents'));
    show(location.hash.slice(1) || 'contents');
    pages = await sitemap('contents.hhc');
    for (const page of pages) $('contents').appendChild(link(page));
    const index = await sitemap('index.hhk');
    for (const entry of index) $('index').appendChild(link(entry));
    $('index-filter').addEventListener('input', () => {
      const wanted = $('index-filter').value.toLowerCase();
      for (const item of $('index').children) {
        item.hidden = !item.textContent.toLowerCase().startsWith(wanted);
      }
    });
    $('search-form').addEventListener('submit', (event) => {
      event.preventDefault();
      search($('search-words').value);
    });
  }

  start();
})();
