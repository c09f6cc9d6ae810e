// The browser build as an installable web app, in headless Chromium with the
// browser's own autoplay rule (sound only after a gesture): the manifest and
// icons make it installable; after a first visit the service worker plays it
// with the network gone; a new build replaces the kept one whole; the page
// says what the browser lacks (WebGL, Web Audio, room in its storage) and
// plays on where it can; nothing is logged before the first gesture and the
// diagnostic lines only with ?debug; a player who asks for less motion gets
// a still title menu. Prints the figures: bytes a phone transfers before the
// menu at four phone shapes, and the time to the menu on a first visit and
// on a repeat visit from the service worker's cache.
//   node webapp_test.js SITE_FOLDER OUTPUT_FOLDER
// KORVANE_WEB_SESSIONS=PATTERN runs only the sessions whose names match.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const assert = require('assert');
const { execFileSync } = require('child_process');
const { PredefinedNetworkConditions } = require('puppeteer-core');
const { serve, launchBrowser, GameTab, distance, sleep, WAIT_MS, runSessions } = require('./browser_session');

const site = path.resolve(process.argv[2] || '../../build-web/site');
const shots = path.resolve(process.argv[3] || '../../build-web/test-output');
const webSource = path.resolve(__dirname, '../../web');
fs.mkdirSync(shots, { recursive: true });

// Chromium's own rule, which the other browser tests relax.
const BROWSER_AUTOPLAY = '--autoplay-policy=document-user-activation-required';
const LANDSCAPE = { width: 640, height: 480, deviceScaleFactor: 1 };
const PHONES = [[390, 844], [360, 800], [844, 390], [800, 360]];
const PHONE_PIXEL_RATIO = 3;
const PHONE_NETWORK = 'Fast 4G';
// Logged (with ?debug) as the title menu's music starts: the menu is on screen.
const MENU_LINE = /^Music File : /;
const QUIET_MS = 2000;       // watched for warnings before any gesture
const STILL_MS = 1000;       // the title menu watched for motion

const isSwitchGreen = (c) => c[1] > 150 && c[0] < 120 && c[2] < 120;
const isMenu = (s) => isSwitchGreen(s.at(32, 220)) && s.at(630, 240)[0] < 120;
const isRoundOneBackground = (c) => distance(c, [100, 160, 240]) < 12;
// Left of the board, above any notice at the bottom of the page.
const isPlaying = (s) => isRoundOneBackground(s.at(5, 60));

// Polls fn(arg) in the page until test(value) holds; the last value, or null.
async function pollPage(page, fn, test, arg, waitMs = WAIT_MS) {
  const deadline = Date.now() + waitMs;
  while (Date.now() < deadline) {
    const value = await page.evaluate(fn, arg).catch(() => undefined);
    if (test(value)) return value;
    await sleep(150);
  }
  return null;
}

// Every cache of the page's origin with the files it holds.
function keptFiles() {
  return caches.keys().then((names) => Promise.all(names.map(async (name) => {
    const requests = await (await caches.open(name)).keys();
    return [name, requests.map((request) => new URL(request.url).pathname.slice(1))];
  }))).then(Object.fromEntries);
}

function buildOf(folder) {
  return /const BUILD = '([0-9a-f]+)'/.exec(fs.readFileSync(path.join(folder, 'service-worker.js'), 'utf8'))[1];
}

// Bytes that came over the network (not from the service worker), counted
// from the page's responses.
function countNetworkBytes(page) {
  const counter = { bytes: 0, fromWorker: 0, files: [] };
  page.on('response', (response) => {
    const length = Number(response.headers()['content-length'] || 0);
    if (response.fromServiceWorker()) {
      counter.fromWorker++;
    } else {
      counter.bytes += length;
      counter.files.push(response.url());
    }
  });
  return counter;
}

async function startGame(tab, name) {
  assert(await tab.clickUntil(384, 336, name, isPlaying),
         'the hard button did not start a game');
}

// A visit of the page: its time to the title menu and the bytes it took from
// the network. `network` names one of Chromium's emulated networks.
async function visit(context, url, viewport, name, network) {
  const tab = new GameTab(context, url, shots, viewport);
  let counter = null;
  await tab.open(async (page) => {
    counter = countNetworkBytes(page);
    if (network) await page.emulateNetworkConditions(PredefinedNetworkConditions[network]);
  });
  assert(await tab.waitForLine(MENU_LINE), `${name}: the title menu did not start`);
  const menuMs = Date.now() - tab.started;
  await tab.take(name);
  return { tab, menuMs, counter };
}

async function waitUntilKept(page) {
  const level = await page.evaluate(() => Object.keys(Module.korvane.levels.ready)[0]);
  const kept = await pollPage(page, keptFiles, (caches) => caches && Object.values(caches).some(
    (files) => files.includes(`data-${level}.data`) && files.includes('korvane.wasm')));
  assert(kept, `the service worker did not keep the program and data-${level}`);
  return kept;
}

// Installable: the manifest as Chromium reads it, no installability error,
// and the icons it and the page name are there.
async function checkInstallable(page) {
  const cdp = await page.createCDPSession();
  const manifest = await cdp.send('Page.getAppManifest');
  assert.deepStrictEqual(manifest.errors, [], 'the manifest has errors');
  const data = JSON.parse(manifest.data);
  assert.strictEqual(data.name, 'Korvane');
  assert(['fullscreen', 'standalone'].includes(data.display), data.display);
  assert.strictEqual(data.orientation, 'any');
  assert(data.theme_color && data.background_color, 'no theme or background colour');
  // A private context (as each session's is) is never installed into.
  const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
  const errors = installabilityErrors.filter((error) => error.errorId !== 'in-incognito');
  assert.deepStrictEqual(errors, [], 'Chromium would not install the page');
  const icons = await page.evaluate(async (manifestIcons) => {
    const links = Array.from(document.querySelectorAll('link[rel~="icon"]'), (link) => link.href);
    return Promise.all(links.concat(manifestIcons.map((icon) => new URL(icon.src, location.href).href)).map(async (href) => {
      const response = await fetch(href);
      const bytes = (await response.arrayBuffer()).byteLength;
      return { href, ok: response.ok, type: response.headers.get('content-type'), bytes };
    }));
  }, data.icons);
  for (const icon of icons) {
    assert(icon.ok && /^image\//.test(icon.type) && icon.bytes > 100, `icon ${JSON.stringify(icon)}`);
  }
  await cdp.detach();
}

// First visit, then a repeat visit with the network there (the figures),
// then the network gone: a reload reaches the menu and a game is played.
async function offlineSession(browser, figures) {
  const { server, url } = await serve(site);
  const context = await browser.createBrowserContext();
  try {
    const first = await visit(context, `${url}?debug`, LANDSCAPE, 'webapp-first-visit');
    figures.firstMenuMs = first.menuMs;
    figures.firstBytes = first.counter.bytes;
    await checkInstallable(first.tab.page);
    const kept = await waitUntilKept(first.tab.page);
    await first.tab.page.close();

    const again = await visit(context, `${url}?debug`, LANDSCAPE, 'webapp-repeat-visit');
    figures.repeatMenuMs = again.menuMs;
    figures.repeatBytes = again.counter.bytes;
    assert.strictEqual(again.counter.bytes, 0, `the repeat visit fetched ${again.counter.files.join(', ')}`);

    await again.tab.page.setOfflineMode(true);
    server.kill();
    await again.tab.reload();
    assert(await again.tab.waitFor('webapp-offline-menu', isMenu), 'no title menu after an offline reload');
    await sleep(1000);
    await startGame(again.tab, 'webapp-offline-play');
    await sleep(1500);
    await again.tab.drag([[50, 120], [110, 120], [170, 120]]);
    assert(await again.tab.waitForLine(/Found 3\+ = /), 'a path drawn offline was not judged');
    await again.tab.take('webapp-offline-play');
    console.log(`     kept: ${Object.entries(kept).map(([name, files]) => `${name} (${files.length} files)`).join(', ')}`);
  } finally {
    server.kill();
    await context.close();
  }
}

// A copy of the page, served; then a second build of it (one file changed,
// its service worker written again as the build writes it).
async function newBuildSession(browser) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'korvane-site-'));
  fs.cpSync(site, folder, { recursive: true });
  const { server, url } = await serve(folder);
  const context = await browser.createBrowserContext();
  const pageScript = () => fetch('korvane-page.js').then((response) => response.text());
  const MARK = '// the second build';
  try {
    const first = await visit(context, `${url}?debug`, LANDSCAPE, 'webapp-build-one');
    await waitUntilKept(first.tab.page);
    await first.tab.page.close();
    const oldBuild = buildOf(folder);

    fs.appendFileSync(path.join(folder, 'korvane-page.js'), `${MARK}\n`);
    execFileSync('cmake', [`-DSITE=${folder}`, `-DTEMPLATE=${path.join(webSource, 'service-worker.js')}`,
                           '-P', path.join(webSource, 'service_worker.cmake')]);
    const newBuild = buildOf(folder);
    assert.notStrictEqual(newBuild, oldBuild, 'a changed file did not make a new build');

    // The next visit still plays the kept build, whole, while the new one
    // is fetched beside it.
    const second = await visit(context, `${url}?debug`, LANDSCAPE, 'webapp-build-one-again');
    assert(!(await second.tab.page.evaluate(pageScript)).includes(MARK), 'the new build was mixed into the kept one');
    assert.strictEqual(second.counter.bytes, 0, `fetched beside the kept build: ${second.counter.files.join(', ')}`);
    assert(await pollPage(second.tab.page, () => navigator.serviceWorker.getRegistration().then((r) => !!(r && r.waiting)),
                          (waiting) => waiting), 'the new build was not fetched');
    await second.tab.page.close();

    // The visit after: the new build takes over before the program starts.
    const third = await visit(context, `${url}?debug`, LANDSCAPE, 'webapp-build-two');
    assert((await third.tab.page.evaluate(pageScript)).includes(MARK), 'the new build did not take over');
    assert(await third.tab.waitFor('webapp-build-two', isMenu), 'no title menu from the new build');
    const caches = await third.tab.page.evaluate(keptFiles);
    assert.deepStrictEqual(Object.keys(caches), [`korvane-${newBuild}`], 'the old build was not removed');
  } finally {
    server.kill();
    await context.close();
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

async function noWebglSession(url) {
  const browser = await launchBrowser(['--disable-webgl', '--disable-3d-apis', BROWSER_AUTOPLAY]);
  try {
    const tab = new GameTab(browser, url, shots, LANDSCAPE);
    await tab.open();
    const text = await pollPage(tab.page, () => document.getElementById('status').textContent,
                                (t) => /WebGL/.test(t || ''), undefined, 10000);
    await tab.take('webapp-no-webgl');
    assert(text, 'the page did not say that WebGL is missing');
    assert(/Try /.test(text) && /another browser/.test(text), `no advice on what to try: "${text}"`);
    assert(!tab.urls.some((u) => /korvane\.js|\.data$/.test(u)), 'the game was fetched though it cannot start');
    assert(!tab.lines.some((l) => l.startsWith('pageerror')), tab.lines.join('\n'));
  } finally {
    await browser.close();
  }
}

// WebGL there, but the game's own canvas is refused a context (as a browser
// that blocks WebGL for this page's needs does): the program cannot open its
// window and the page says what to try.
async function refusedContextSession(browser, url) {
  const tab = new GameTab(browser, url, shots, LANDSCAPE);
  await tab.open((page) => page.evaluateOnNewDocument(() => {
    const getContext = HTMLCanvasElement.prototype.getContext;
    HTMLCanvasElement.prototype.getContext = function (...args) {
      return this.id === 'canvas' ? null : getContext.apply(this, args);
    };
  }));
  const text = await pollPage(tab.page, () => {
    const status = document.getElementById('status');
    return status.hidden ? '' : status.textContent;
  }, (t) => /WebGL/.test(t || ''));
  await tab.take('webapp-refused-context');
  assert(text && /Try /.test(text), 'the page did not say that WebGL is refused');
  await tab.page.close();
}

// Without Web Audio: after the first gesture the page says once that the
// game is silent, and a game starts.
async function noAudioSession(browser, url) {
  const tab = new GameTab(browser, `${url}?debug`, shots, LANDSCAPE);
  await tab.open((page) => page.evaluateOnNewDocument(() => {
    delete window.AudioContext;
    delete window.webkitAudioContext;
    // Every notice line the page shows, as it is added.
    window.korvaneNotices = [];
    document.addEventListener('DOMContentLoaded', () => {
      new MutationObserver((records) => records.forEach((record) => record.addedNodes.forEach(
        (node) => window.korvaneNotices.push(node.textContent)))).observe(document.getElementById('notice'), { childList: true });
    });
  }));
  assert(await tab.waitFor('webapp-no-audio-menu', isMenu), 'no title menu without Web Audio');
  await tab.click(5, 5);
  const notices = () => window.korvaneNotices;
  const said = await pollPage(tab.page, notices, (lines) => lines && lines.length > 0, undefined, 10000);
  assert(said && /Sound is off/.test(said[0]), `notices: ${JSON.stringify(said)}`);
  await startGame(tab, 'webapp-no-audio-play');
  assert.strictEqual((await tab.page.evaluate(notices)).length, 1, 'said more than once');
  assert(!tab.lines.some((l) => l.startsWith('pageerror')), tab.lines.join('\n'));
  await tab.page.close();
}

// Nothing in the console before the first gesture, with Chromium's own
// autoplay rule: no audio context is made until then. After it, the music
// plays. With ?debug the diagnostic lines come.
async function quietStartSession(browser, url) {
  const tab = new GameTab(browser, url, shots, LANDSCAPE);
  const logged = [];
  await tab.open(async (page) => {
    const cdp = await page.createCDPSession();
    cdp.on('Log.entryAdded', ({ entry }) => logged.push(`${entry.level}: ${entry.text}`));
    await cdp.send('Log.enable');
  });
  assert(await tab.waitFor('webapp-quiet-menu', isMenu), 'no title menu');
  await sleep(QUIET_MS);
  assert.deepStrictEqual(logged.concat(tab.lines), [], 'logged before the first gesture');
  assert.strictEqual(await tab.page.evaluate(() => !!(window.AL && AL.currentCtx)), false,
                     'an audio context was made before the first gesture');
  await tab.click(5, 5);
  const playing = await pollPage(tab.page, () => {
    const context = window.AL && AL.currentCtx;
    return context ? { state: context.audioCtx.state,
                       playing: Object.values(context.sources).filter((s) => s.state === 0x1012).length } : null;
  }, (v) => v && v.state === 'running' && v.playing > 0, undefined, 20000);
  assert(playing, 'no music after the first gesture');
  assert(!logged.some((l) => /AudioContext/.test(l)), logged.join('\n'));

  await tab.page.goto(`${url}?debug`, { waitUntil: 'load' });
  assert(await tab.waitForLine(MENU_LINE), 'no diagnostic lines with ?debug');
  await tab.page.close();
}

// Once window.korvaneStorageFull is set, every write fails as a full
// storage's does (Chromium here does not hold IndexedDB to an emulated
// quota): the put itself succeeds, then the transaction is aborted at its
// commit with QuotaExceededError, which only an `abort` event reports.
function fillStorage() {
  const put = IDBObjectStore.prototype.put;
  IDBObjectStore.prototype.put = function (...args) {
    const request = put.apply(this, args);
    if (window.korvaneStorageFull) {
      const transaction = this.transaction;
      Object.defineProperty(transaction, 'error', {
        get: () => new DOMException('The quota has been exceeded.', 'QuotaExceededError') });
      request.addEventListener('success', () => transaction.abort());
    }
    return request;
  };
}

// The state saved while there was room stays when the storage is full: a
// later save aborts (QuotaExceededError), the page says scores are not
// saved, the game plays on, and a reload reads the earlier state.
async function fullStorageSession(browser, url) {
  const context = await browser.createBrowserContext();
  const tab = new GameTab(context, `${url}?debug`, shots, LANDSCAPE);
  try {
    await tab.open((page) => page.evaluateOnNewDocument(fillStorage));
    const page = tab.page;
    assert(await tab.waitFor('webapp-storage-menu', isMenu), 'no title menu');
    const cdp = await page.createCDPSession();
    const { windowId } = await cdp.send('Browser.getWindowForTarget');
    const suspend = async () => {  // a minimised window suspends the game, which saves
      await cdp.send('Browser.setWindowBounds', { windowId, bounds: { windowState: 'minimized' } });
      await pollPage(page, () => document.hidden, (hidden) => hidden);
      await cdp.send('Browser.setWindowBounds', { windowId, bounds: { windowState: 'normal' } });
      await pollPage(page, () => !document.hidden, (shown) => shown);
    };
    const stored = () => new Promise((resolve, reject) => {
      const open = indexedDB.open('korvane', 1);
      open.onerror = () => reject(open.error);
      open.onsuccess = () => {
        const get = open.result.transaction('files').objectStore('files').get('.vellumstate');
        get.onsuccess = () => { resolve(get.result ? new TextDecoder().decode(get.result) : null); open.result.close(); };
      };
    });
    await suspend();
    assert(await pollPage(page, () => Module.korvane.storage.saves, (n) => n > 0), 'the first save was not stored');
    const saved = await page.evaluate(stored);

    // The sound switch changes the state; the storage has no room for it.
    await page.evaluate(() => { window.korvaneStorageFull = true; });
    await tab.click(32, 240);
    await suspend();
    const changed = await pollPage(page, () => new TextDecoder().decode(Module.FS.readFile('/.vellumstate')),
                                   (state) => state && state !== saved, undefined, 10000);
    assert(changed, 'the sound switch did not change the saved state');
    const notice = await pollPage(page, () => document.getElementById('notice').textContent, (t) => /not saved/.test(t || ''));
    assert(notice, 'no notice that scores are not saved when the storage is full');
    assert(tab.lines.some((l) => /no storage \(QuotaExceededError\)/.test(l)), tab.lines.join('\n'));
    assert.strictEqual(await page.evaluate(stored), saved, 'the state stored before was changed');
    await sleep(500);
    await startGame(tab, 'webapp-storage-full-play');

    await tab.reload();
    assert(await tab.waitFor('webapp-storage-reloaded', isMenu), 'no title menu after the reload');
    const read = await page.evaluate(() => new TextDecoder().decode(Module.FS.readFile('/.vellumstate')));
    assert.strictEqual(read, saved, 'the state read after the reload is not the one saved before');
  } finally {
    await context.close();
  }
}

// With prefers-reduced-motion the title menu is at rest from its first frame.
async function reducedMotionSession(browser, url) {
  const context = await browser.createBrowserContext();
  try {
    const tab = new GameTab(context, `${url}?debug`, shots, LANDSCAPE);
    await tab.open((page) => page.emulateMediaFeatures([{ name: 'prefers-reduced-motion', value: 'reduce' }]));
    assert(await tab.waitForLine(MENU_LINE, WAIT_MS), 'the title menu did not start');
    const early = await tab.take('webapp-still-menu-first');
    await sleep(STILL_MS);
    const later = await tab.take('webapp-still-menu-later');
    assert(isMenu(early), 'the first frame of the menu was not the menu at rest');
    let moved = 0;
    for (let i = 0; i < early.pixels.length; i++) moved += Math.abs(early.pixels[i] - later.pixels[i]) > 8 ? 1 : 0;
    assert.strictEqual(moved, 0, `the menu moved: ${moved} channel values changed`);
  } finally {
    await context.close();
  }
}

// At each phone shape on a phone's network: the bytes before the menu and
// the time to it on the first visit, and on a repeat visit from the kept files.
async function phoneFiguresSession(browser, figures) {
  const { server, url } = await serve(site);
  try {
    for (const [width, height] of PHONES) {
      const context = await browser.createBrowserContext();
      const viewport = { width, height, deviceScaleFactor: PHONE_PIXEL_RATIO, isMobile: true, hasTouch: true };
      const name = `webapp-phone-${width}x${height}`;
      const first = await visit(context, `${url}?debug`, viewport, name, PHONE_NETWORK);
      const level = await first.tab.page.evaluate(() => Object.keys(Module.korvane.levels.ready)[0]);
      await waitUntilKept(first.tab.page);
      await first.tab.page.close();
      const again = await visit(context, `${url}?debug`, viewport, `${name}-again`, PHONE_NETWORK);
      figures.phones.push({ width, height, level, bytes: first.counter.bytes, menuMs: first.menuMs,
                            repeatBytes: again.counter.bytes, repeatMenuMs: again.menuMs });
      await context.close();
    }
  } finally {
    server.kill();
  }
}

function printFigures(figures) {
  const mb = (bytes) => (bytes / 1e6).toFixed(2);
  const s = (ms) => (ms / 1000).toFixed(2);
  console.log(`figures (load average ${fs.readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ')})`);
  if (figures.firstMenuMs !== undefined) {
    console.log(`  640x480: first visit ${s(figures.firstMenuMs)} s to the menu, ${mb(figures.firstBytes)} MB; ` +
                `repeat visit from the service worker ${s(figures.repeatMenuMs)} s, ${mb(figures.repeatBytes)} MB`);
  }
  for (const phone of figures.phones) {
    console.log(`  phone ${phone.width}x${phone.height} at ${PHONE_PIXEL_RATIO}x on "${PHONE_NETWORK}" (images of level ` +
                `${phone.level}): first visit ${mb(phone.bytes)} MB before the menu, ${s(phone.menuMs)} s; repeat ` +
                `visit ${mb(phone.repeatBytes)} MB, ${s(phone.repeatMenuMs)} s`);
  }
}

(async () => {
  const { server, url } = await serve(site);
  const browser = await launchBrowser([BROWSER_AUTOPLAY]);
  const figures = { phones: [] };
  const sessions = [['installable, offline reload plays', () => offlineSession(browser, figures)],
                    ['a new build replaces the kept one whole', () => newBuildSession(browser)],
                    ['no WebGL: the page says so', () => noWebglSession(url)],
                    ['no WebGL context for the game: the page says so', () => refusedContextSession(browser, url)],
                    ['no Web Audio: silent, said once', () => noAudioSession(browser, url)],
                    ['nothing logged before the first gesture', () => quietStartSession(browser, url)],
                    ['full storage keeps the earlier save', () => fullStorageSession(browser, url)],
                    ['reduced motion: a still menu', () => reducedMotionSession(browser, url)],
                    ['phone shapes: bytes before the menu', () => phoneFiguresSession(browser, figures)]];
  const failed = !(await runSessions(sessions));
  await browser.close();
  server.kill();
  printFigures(figures);
  console.log(`screenshots in ${shots}`);
  process.exit(failed ? 1 : 0);
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
