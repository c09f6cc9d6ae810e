// Korvane's service worker: keeps one build of the page for play without the
// network. The build writes this file with BUILD, the content hash of every
// file of the page, and FILES, each file's SHA-256 (web/service_worker.cmake),
// so that a new build is a new worker with a cache of its own.
//
// Installing keeps the program and everything every screen size needs; the
// images of a resolution level are kept once the page uses them (it names
// them in a message, and later fetches pass through here). Every file kept or
// served is checked against FILES: a file of another build is never mixed in.
// A newer worker waits until a page that has not started the program yet
// asks it to take over; then the older builds' caches are removed.
'use strict';

const BUILD = '@KORVANE_BUILD@';
const FILES = {
@KORVANE_FILES@
};
const CACHE = `korvane-${BUILD}`;
const LEVEL_FILE = /^data-\d+\.(js|data)$/;   // the images of one resolution level
const INSTALLED = Object.keys(FILES).filter((name) => !LEVEL_FILE.test(name));
const PAGE = 'index.html';

async function sha256(buffer) {
  const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', buffer));
  return Array.from(digest, (byte) => byte.toString(16).padStart(2, '0')).join('');
}

// The file of this build a request asks for (the folder itself is the page),
// or null for anything else.
function fileName(request) {
  const url = new URL(request.url);
  const scope = new URL(self.registration.scope);
  if (request.method !== 'GET' || url.origin !== scope.origin || !url.pathname.startsWith(scope.pathname)) return null;
  const name = url.pathname.slice(scope.pathname.length) || PAGE;
  return Object.prototype.hasOwnProperty.call(FILES, name) ? name : null;
}

// Fetches a file (asking the server whether the browser's copy is current)
// and keeps it when its bytes are this build's.
async function fetchAndKeep(cache, name) {
  const response = await fetch(new Request(name, { cache: 'no-cache' }));
  if (!response.ok) throw new Error(`${name}: HTTP ${response.status}`);
  if (await sha256(await response.clone().arrayBuffer()) !== FILES[name]) {
    throw new Error(`${name} is of another build`);
  }
  await cache.put(name, response.clone());
  return response;
}

async function keep(names) {
  const cache = await caches.open(CACHE);
  await Promise.all(names.filter((name) => name in FILES).map(async (name) => {
    if (!(await cache.match(name))) await fetchAndKeep(cache, name);
  }));
}

async function answer(name, clientId) {
  const cache = await caches.open(CACHE);
  const kept = await cache.match(name);
  if (kept) return kept;
  try {
    return await fetchAndKeep(cache, name);
  } catch (error) {
    // Offline, or the server already holds a newer build: this page's build
    // cannot be completed, and the page says so.
    const client = clientId && (await self.clients.get(clientId));
    if (client && /another build/.test(error.message)) client.postMessage({ newBuild: true });
    return Response.error();
  }
}

async function removeOlderBuilds() {
  const names = await caches.keys();
  await Promise.all(names.filter((name) => name.startsWith('korvane-') && name !== CACHE)
                         .map((name) => caches.delete(name)));
  await self.clients.claim();
}

self.addEventListener('install', (event) => event.waitUntil(keep(INSTALLED)));
self.addEventListener('activate', (event) => event.waitUntil(removeOlderBuilds()));

self.addEventListener('fetch', (event) => {
  const name = fileName(event.request);
  if (name) event.respondWith(answer(name, event.clientId || event.resultingClientId));
});

self.addEventListener('message', (event) => {
  if (event.data === 'take over') {
    self.skipWaiting();
  } else if (event.data && Array.isArray(event.data.keep)) {
    event.waitUntil(keep(event.data.keep).catch(() => {}));
  }
});
