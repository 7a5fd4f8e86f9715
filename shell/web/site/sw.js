// Keeps the whole site in the browser's cache: after one visit the game starts and plays
// offline. The list and the version are written by the build.
'use strict';

const VERSION = '@VERSION@';
const FILES = ['./', @FILES@];
const CACHE = 'brindlewick-puzzle-' + VERSION;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(
    caches.keys()
      .then((keys) => Promise.all(keys.filter((key) => key.startsWith('brindlewick-puzzle-') && key !== CACHE)
        .map((key) => caches.delete(key))))
      .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(CACHE);
    const kept = await cache.match(request, { ignoreSearch: true });
    if (kept) return kept;
    try {
      return await fetch(request);
    } catch (error) {
      // Offline and not kept: a page asked for is the game's page.
      if (request.mode === 'navigate') {
        const page = await cache.match('./');
        if (page) return page;
      }
      return Response.error();
    }
  })());
});
