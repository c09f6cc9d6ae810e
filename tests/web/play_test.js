// Plays the browser build in headless Chromium, as a player would: the title
// menu appears, a difficulty starts a game, a dragged path of three gems is
// judged, Escape opens and closes the pause panel, quitting shows the
// game-over overlay and the menu, and after a reload the saved state is read
// back from the browser's storage. Also: a portrait window, a browser that
// refuses storage, the loading bar while the data arrive, a hidden tab, a
// page hidden before its first frame, a page the size of the screen, four
// phone shapes played by touch and a game played with the keyboard alone
// (phone_keys_sessions.js).
// With the desktop build given, the title menu's still frame is compared
// between the desktop and the browser. Screenshots stay in the output folder;
// the figures (bytes and time before the menu, frame time and draw calls in
// play) are printed at the end, the desktop's beside the browser's.
//   node play_test.js SITE_FOLDER OUTPUT_FOLDER [DESKTOP_BUILD]
// DESKTOP_BUILD holds the desktop korvane, its data folder and gl_meter.so
// (tests/web/gl_meter.c built as a shared library); it needs an X display.
// KORVANE_WEB_SESSIONS=PATTERN runs only the sessions whose names match.
'use strict';

const fs = require('fs');
const path = require('path');
const assert = require('assert');
const { execFileSync } = require('child_process');
const {
  serve, launchBrowser, GameTab, distance, mean, count, sleep, WAIT_MS, runSessions,
} = require('./browser_session');
const { DesktopGame } = require('./desktop_session');
const { waitForStill, compareShots, differencePicture } = require('./still_frame');
const { phoneSession, keyboardSession } = require('./phone_keys_sessions');

const site = path.resolve(process.argv[2] || '../../build-web/site');
const shots = path.resolve(process.argv[3] || '../../build-web/test-output');
const desktopBuild = process.argv[4] ? path.resolve(process.argv[4]) : null;
fs.mkdirSync(shots, { recursive: true });

const SLIDE_IN_MS = 1000;    // the menu's buttons settle within 32 updates
const SAME_KIND = 40;        // colour distance between gems of one kind
const FIGURE_MS = 3000;      // how long frames are measured in play

// Counts WebGL draw calls and times every animation frame's callbacks.
function installFrameMeter() {
  const meter = { draws: 0, frames: [] };
  window.korvaneMeter = meter;
  for (const name of ['drawArrays', 'drawElements']) {
    const original = WebGLRenderingContext.prototype[name];
    WebGLRenderingContext.prototype[name] = function (...args) {
      meter.draws++;
      return original.apply(this, args);
    };
  }
  const request = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (callback) => request((time) => {
    const draws = meter.draws;
    const start = performance.now();
    callback(time);
    meter.frames.push({ ms: performance.now() - start, draws: meter.draws - draws });
  });
}

const isSwitchGreen = (c) => c[1] > 150 && c[0] < 120 && c[2] < 120;
// The title menu at 640x480: the sound switch on the left, the score panel
// slid in on the right.
const isMenu = (s) => isSwitchGreen(s.at(32, 220)) && s.at(630, 240)[0] < 120;

const isRoundOneBackground = (c) => distance(c, [100, 160, 240]) < 12;
const isPanelOrange = (c) => c[0] > 150 && c[1] > 70 && c[1] < 170 && c[2] < 60;

// Figures of the frames measured for FIGURE_MS ({ ms, draws } each): frames
// drawn per second, and the medians of time and draw calls over the frames that
// drew (a frame equal to the one on screen is not drawn again).
function frameFigures(frames) {
  const drawn = frames.filter((f) => f.draws > 0);
  const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];
  return { framesPerSecond: drawn.length / (FIGURE_MS / 1000),
           frameMsMedian: median(drawn.map((f) => f.ms)),
           drawCallsMedian: median(drawn.map((f) => f.draws)) };
}

// Cell centres of the landscape board at 640x480: 60 pixels apart, the first
// at (50, 120); three neighbouring cells whose gems look alike, or null.
function findThreeAlike(shot) {
  const columns = 10, rows = 6, pitch = 60, left = 50, top = 120;
  const centre = (c, r) => [left + pitch * c, top + pitch * r];
  const colour = (c, r) => mean(shot, ...centre(c, r), 6);
  const alike = (a, b) => distance(colour(...a), colour(...b)) < SAME_KIND;
  for (let r = 0; r < rows; r++) {
    for (let c = 0; c + 2 < columns; c++) {
      if (alike([c, r], [c + 1, r]) && alike([c + 1, r], [c + 2, r])) return [centre(c, r), centre(c + 1, r), centre(c + 2, r)];
    }
  }
  for (let c = 0; c < columns; c++) {
    for (let r = 0; r + 2 < rows; r++) {
      if (alike([c, r], [c, r + 1]) && alike([c, r + 1], [c, r + 2])) return [centre(c, r), centre(c, r + 1), centre(c, r + 2)];
    }
  }
  return null;
}

function boardRows(shot) {
  const stride = shot.width * shot.channels;
  return shot.pixels.subarray(90 * stride, 480 * stride);
}

async function landscapeSession(browser, url, figures) {
  const tab = new GameTab(browser, url, shots, { width: 640, height: 480, deviceScaleFactor: 1 });
  await tab.open((page) => page.evaluateOnNewDocument(installFrameMeter));
  const menu = await tab.waitFor('browser-menu', isMenu);
  assert(menu, 'the title menu did not appear');
  figures.menuMs = Date.now() - tab.started;
  figures.bytesBeforeMenu = tab.bytes;
  figures.urlsBeforeMenu = tab.urls.slice();
  await sleep(SLIDE_IN_MS);

  // The hard button starts a game; the board comes to rest.
  assert(await tab.clickUntil(384, 336, 'browser-play', (s) => isRoundOneBackground(s.at(5, 470))),
         'the hard button did not start a game');
  let previous = null;
  const board = await tab.waitFor('browser-play', (s) => {
    const still = previous && boardRows(previous).equals(boardRows(s));
    previous = s;
    return isRoundOneBackground(s.at(5, 470)) && still;
  });
  assert(board, 'the play field did not appear or did not come to rest');

  // Frame time and draw calls while the board is in play.
  await tab.page.evaluate(() => { window.korvaneMeter.frames = []; });
  await sleep(FIGURE_MS);
  Object.assign(figures, frameFigures(await tab.page.evaluate(() => window.korvaneMeter.frames)));

  const pathOnBoard = findThreeAlike(board);
  await tab.drag(pathOnBoard || [[50, 120], [110, 120], [170, 120]]);
  const found = await tab.waitForLine(/Found 3\+ = /);
  await tab.take('browser-play-path');
  assert(found, `the released path was not judged:\n${tab.lines.join('\n')}`);
  if (pathOnBoard) assert(/Found 3\+ = 1,3,/.test(found), found);
  const webglErrors = tab.lines.filter((line) => line.startsWith('WebGL: '));
  assert.deepStrictEqual(webglErrors, [], 'WebGL refused calls');

  // Escape opens the pause panel and closes it again.
  const panelOpen = (s) => count(s, 180, 196, 460, 300, isPanelOrange) > 8000;
  await tab.key('Escape');
  assert(await tab.waitFor('browser-pause', panelOpen), 'the pause panel did not open');
  await tab.key('Escape');
  assert(await tab.waitFor('browser-resumed', (s) => count(s, 180, 196, 460, 300, isPanelOrange) < 2000),
         'the pause panel did not close');

  // Quit from the panel: the game-over overlay, then the menu; the finished
  // game is saved and copied to the browser's storage.
  await tab.key('Escape');
  assert(await tab.waitFor('browser-pause-again', panelOpen), 'the pause panel did not open again');
  assert(await tab.clickUntil(180, 184, 'browser-game-over', (s) => {
    const bar = mean(s, 60, 216, 2);
    return bar[0] > 110 && bar[1] > 110 && bar[2] < 90 && s.at(5, 470)[2] < 200;
  }), 'the game-over overlay did not appear');
  assert(await tab.waitFor('browser-menu-after-game',
                           (s) => !isRoundOneBackground(s.at(5, 470)) && mean(s, 60, 216, 2)[2] > 90),
         'the menu did not come back');
  const deadline = Date.now() + 10000;
  while (Date.now() < deadline && !(await tab.page.evaluate(() => Module.korvane.storage.saves > 0))) await sleep(100);
  const stored = await tab.page.evaluate(() => Module.korvane.storage.saves);
  assert(stored > 0, 'the saved state did not reach the browser storage');
  const state = await tab.page.evaluate(() => new TextDecoder().decode(Module.FS.readFile('/.vellumstate')));
  assert.strictEqual(state.split('|').length - 1, 98, state);

  // The game's replay went to the browser's storage as well, and the desktop
  // runner re-runs it to the total the browser saved (token 78 of the state:
  // the latest Hard total).
  while (Date.now() < deadline && !(await tab.page.evaluate(() => Module.korvane.storage.replaySaves > 0))) await sleep(100);
  const replayBytes = await tab.page.evaluate(() => Array.from(Module.FS.readFile('/replays/best-3.kvrp')));
  const replayFile = path.join(shots, 'browser-best-3.kvrp');
  fs.writeFileSync(replayFile, Buffer.from(replayBytes));
  if (desktopBuild) {
    const rerun = JSON.parse(execFileSync(path.join(desktopBuild, 'korvane-replay'), [replayFile]).toString());
    assert.strictEqual(rerun.score, Number(state.split('|')[78]), `the desktop runner re-ran ${JSON.stringify(rerun)}`);
    assert.strictEqual(rerun.ended, 'quit');
  }

  // After a reload the menu shows again over the state saved after the game:
  // it comes back from the browser's storage and every section loads.
  await tab.reload();
  assert(await tab.waitFor('browser-menu-reloaded', (s) => isSwitchGreen(s.at(32, 220))), 'no menu after the reload');
  for (const line of ['Settings Loaded', 'Highscore 2 Loaded']) {
    assert(tab.lines.includes(line), `"${line}" missing after the reload:\n${tab.lines.join('\n')}`);
  }
  const reloaded = await tab.page.evaluate(() => new TextDecoder().decode(Module.FS.readFile('/.vellumstate')));
  assert.strictEqual(reloaded, state, 'the state read after the reload differs from the one saved');
  const replayAgain = await tab.page.evaluate(() => Array.from(Module.FS.readFile('/replays/best-3.kvrp')));
  assert.deepStrictEqual(replayAgain, replayBytes, 'the replay did not come back from the browser storage');
  await tab.page.close();
}

async function portraitSession(browser, url) {
  const tab = new GameTab(browser, url, shots, { width: 480, height: 640, deviceScaleFactor: 1, hasTouch: true });
  await tab.open();
  // Portrait: the sound switch moves to the top edge (virtual (180, 32), scale 4/3).
  assert(await tab.waitFor('browser-portrait-menu', (s) => isSwitchGreen(s.at(240, 16))),
         'the portrait title menu did not appear');
  await sleep(SLIDE_IN_MS);
  // The buttons stand in a column at 0.3 of the width; hard is the lowest.
  // A finger presses it: touches act as the pointer.
  assert(await tab.tapUntil(144, 544, 'browser-portrait-play', (s) => isRoundOneBackground(s.at(5, 630))),
         'a tap on the hard button did not start a game in portrait');
  await sleep(1500);
  await tab.take('browser-portrait-play');
  await tab.page.close();
}

// Growing the window past 1230 device pixels needs the largest images: they
// are fetched then (not before the menu), and the menu fills the window.
async function resizeSession(browser, url) {
  const tab = new GameTab(browser, url, shots, { width: 640, height: 480, deviceScaleFactor: 1 });
  await tab.open();
  assert(await tab.waitFor('browser-resize-start', (s) => isSwitchGreen(s.at(32, 220))), 'no title menu');
  assert(!tab.urls.some((u) => /data-4/.test(u)), 'the largest images were fetched before they were needed');
  await tab.page.setViewport({ width: 1280, height: 960, deviceScaleFactor: 1 });
  assert(await tab.waitFor('browser-resize-1280x960', (s) =>
    s.width === 1280 && isSwitchGreen(s.at(64, 440)) && s.at(1260, 480)[0] < 120), 'the menu did not fill the larger window');
  // The menu may fill the window before the fetch's answer is in.
  const deadline = Date.now() + WAIT_MS;
  while (Date.now() < deadline && !tab.urls.some((u) => /data-4\.data/.test(u))) await sleep(100);
  assert(tab.urls.some((u) => /data-4\.data/.test(u)), 'the largest images were not fetched');
  await tab.page.close();
}

async function refusedStorageSession(browser, url) {
  const tab = new GameTab(browser, url, shots, { width: 640, height: 480, deviceScaleFactor: 1 });
  await tab.open((page) => page.evaluateOnNewDocument(() => {
    IDBFactory.prototype.open = () => { throw new DOMException('refused', 'SecurityError'); };
  }));
  assert(await tab.waitFor('browser-no-storage', (s) => isSwitchGreen(s.at(32, 220))),
         'the title menu did not appear without storage');
  const notice = await tab.page.$eval('#notice', (n) => (n.hidden ? '' : n.textContent));
  assert(/not saved/.test(notice), `no notice that nothing is saved: "${notice}"`);
  assert(!tab.lines.some((l) => l.startsWith('pageerror')), tab.lines.join('\n'));
  await tab.page.close();
}

// The desktop build on the X display, started afresh: its time to the title
// menu and the bytes it read before it, the menu's still frame, and its
// frames in play as gl_meter.c counts them (one line per swapped frame).
async function desktopSession(figures, stills) {
  const meterFile = path.join(shots, 'desktop-frames.txt');
  const game = new DesktopGame(path.join(desktopBuild, 'korvane'), path.join(desktopBuild, 'data'), shots,
                               { LD_PRELOAD: path.join(desktopBuild, 'gl_meter.so'), KORVANE_GL_METER: meterFile });
  const meterLines = () => fs.readFileSync(meterFile, 'utf8').split('\n').filter((line) => line);
  try {
    game.start();
    assert(await game.waitForWindow(), 'the desktop window did not open');
    assert(await game.waitFor('desktop-menu', isMenu), 'the desktop title menu did not appear');
    figures.menuMs = Date.now() - game.started;
    figures.bytesBeforeMenu = game.bytesRead();
    stills.desktop = await waitForStill(() => game.take('desktop-still-menu'), WAIT_MS);
    assert(stills.desktop, 'the desktop title menu did not come to rest');

    const playing = (s) => isRoundOneBackground(s.at(5, 470));
    await game.click(384, 336);
    if (!(await game.waitFor('desktop-play', playing, WAIT_MS / 3))) await game.click(384, 336);
    let previous = null;
    assert(await game.waitFor('desktop-play', (s) => {
      const still = previous && boardRows(previous).equals(boardRows(s));
      previous = s;
      return playing(s) && still;
    }), 'the desktop game did not start or its board did not come to rest');
    const before = meterLines().length;
    await sleep(FIGURE_MS);
    const frames = meterLines().slice(before).map((line) => {
      const [draws, cpuUs] = line.split(' ').map(Number);
      return { draws, ms: cpuUs / 1000 };
    });
    Object.assign(figures, frameFigures(frames));
  } finally {
    await game.stop();
  }
}

// The title menu's still frame at 640x480 in a fresh browser profile (no
// scores, as on the fresh desktop), against the desktop's. The two
// rasterisers (llvmpipe, SwiftShader) filter scaled images and place edges a
// little differently: about 1.8 % of the pixels differ by more than the
// noise in place, 0.65 % even from their neighbours, all along edges. An
// image missing or out of place, a wrong colour or blend gives more: the
// smallest image on this screen, the team logo, alone covers about 1.8 %.
const PIXEL_NOISE = 16;          // channel difference that counts a pixel as differing
const DIFFERING_LIMIT = 0.01;    // share of pixels that may differ even from their neighbours
async function sameFrameSession(browser, url, stills) {
  assert(stills.desktop, 'no desktop frame to compare with');
  const context = await browser.createBrowserContext();
  const tab = new GameTab(context, url, shots, { width: 640, height: 480, deviceScaleFactor: 1 });
  try {
    await tab.open();
    assert(await tab.waitFor('browser-still-menu', isMenu), 'the title menu did not appear');
    const still = await waitForStill(() => tab.take('browser-still-menu'), WAIT_MS);
    assert(still, 'the title menu did not come to rest');
    const result = compareShots(stills.desktop, still, PIXEL_NOISE);
    fs.writeFileSync(path.join(shots, 'still-menu-difference.png'),
                     differencePicture(stills.desktop, result.beyondNeighbours));
    const percent = (share) => `${(100 * share).toFixed(2)} %`;
    console.log(`     still menu, desktop against browser: ${percent(result.differingShare)} of the pixels ` +
                `differ by more than ${PIXEL_NOISE}, ${percent(result.differingNearbyShare)} even from their ` +
                `neighbours (limit ${percent(DIFFERING_LIMIT)}); largest difference ${result.largest}, mean ` +
                `${result.mean.toFixed(2)} (desktop-still-menu.png, browser-still-menu.png, still-menu-difference.png)`);
    assert(result.differingNearbyShare <= DIFFERING_LIMIT, 'the browser frame is not the desktop frame');
  } finally {
    await context.close();
  }
}

// OpenAL sources of the page's audio context by state.
function sourceStates() {
  const sources = window.AL && AL.currentCtx ? Object.values(AL.currentCtx.sources) : [];
  return { playing: sources.filter((s) => s.state === 0x1012).length,
           paused: sources.filter((s) => s.state === 0x1013).length,
           strikes: sources.filter((s) => s.state === 0x1012 && !s.looping).length };
}

// Polls fn() in the page until test(value) holds; the last value, or null.
async function pollPage(page, fn, test, waitMs = 20000) {
  const deadline = Date.now() + waitMs;
  while (Date.now() < deadline) {
    const value = await page.evaluate(fn);
    if (test(value)) return value;
    await sleep(100);
  }
  return null;
}

// A minimised browser window hides the page: the game is suspended (no
// updates, the music held where it is) and, when the page shows again,
// resumed with its next update one period ahead rather than a burst of
// updates catching up the hidden time.
const HIDDEN_MS = 1500;
const UPDATE_PERIOD_MS = 1000 / 60;
async function hiddenTabSession(browser, url) {
  const tab = new GameTab(browser, url, shots, { width: 640, height: 480, deviceScaleFactor: 1 });
  await tab.open();
  const page = tab.page;
  assert(await tab.waitFor('browser-hidden-menu', isMenu), 'no title menu');
  await tab.click(5, 5);  // sound starts after the first gesture; nothing is there to press
  // Hidden while a drum sounds: the looping notes are stopped by the player's
  // hold, a drum hit is paused where it is.
  assert(await pollPage(page, sourceStates, (s) => s.playing > 0 && s.strikes > 0), 'no music playing in the menu');

  const cdp = await page.createCDPSession();
  const { windowId } = await cdp.send('Browser.getWindowForTarget');
  const setWindowState = (windowState) => cdp.send('Browser.setWindowBounds', { windowId, bounds: { windowState } });
  await setWindowState('minimized');
  assert(await pollPage(page, () => document.hidden, (hidden) => hidden), 'the page did not become hidden');
  const updatesHidden = await page.evaluate(() => Module.korvane.loop.updates);
  await sleep(HIDDEN_MS);
  assert.strictEqual(await page.evaluate(() => Module.korvane.loop.updates), updatesHidden,
                     'the game was updated while hidden');
  const held = await page.evaluate(sourceStates);
  assert(held.playing === 0 && held.paused > 0, `the music was not held while hidden: ${JSON.stringify(held)}`);

  await setWindowState('normal');
  const loop = await pollPage(page, () => Module.korvane.loop, (l) => l.resumes === 1 && l.updates > updatesHidden);
  assert(loop, 'the game did not resume');
  assert(loop.resumeLeadMs > 0 && loop.resumeLeadMs <= UPDATE_PERIOD_MS + 0.5,
         `after the resume the next update was due in ${loop.resumeLeadMs} ms, not one period`);
  assert(await pollPage(page, sourceStates, (s) => s.playing > 0), 'the music did not go on after the resume');
  console.log(`     hidden ${HIDDEN_MS} ms: no update, ${held.paused} sources paused; next update ` +
              `${loop.resumeLeadMs.toFixed(1)} ms after the resume`);
  await page.close();
}

// On a slow network the loading screen shows the data's progress: the bar
// grows with the bytes that have arrived and its text counts them, until
// the title menu comes.
const SLOW_BYTES_PER_SECOND = 1000000;
async function loadingBarSession(browser, url) {
  const context = await browser.createBrowserContext();
  const tab = new GameTab(context, url, shots, { width: 640, height: 480, deviceScaleFactor: 1 });
  try {
    await tab.open(async (page) => {
      await page.emulateNetworkConditions({ download: SLOW_BYTES_PER_SECOND, upload: SLOW_BYTES_PER_SECOND, latency: 20 });
      // Every change of the bar, recorded as it happens.
      await page.evaluateOnNewDocument(() => {
        window.korvaneBar = [];
        document.addEventListener('DOMContentLoaded', () => {
          const bar = document.getElementById('status-bar');
          const text = document.getElementById('status-text');
          new MutationObserver(() => {
            window.korvaneBar.push({ width: parseFloat(bar.style.width), text: text.textContent });
          }).observe(bar, { attributes: true });
        });
      });
    });
    assert(await tab.waitFor('browser-loaded-slowly', isMenu), 'no title menu after a slow load');
    const steps = await tab.page.evaluate(() => window.korvaneBar);
    const widths = steps.map((s) => s.width);
    assert(widths.length >= 3, `the bar moved ${widths.length} times: ${JSON.stringify(steps)}`);
    assert(widths.every((w, i) => i === 0 || w >= widths[i - 1]), `the bar went back: ${widths.join(', ')}`);
    assert(widths[0] < 50 && widths[widths.length - 1] > 90, `the bar did not grow from low to full: ${widths.join(', ')}`);
    assert(steps.every((s) => /^Loading \d+ of \d+ KiB$/.test(s.text)), JSON.stringify(steps));
    console.log(`     loading bar: ${widths.length} steps from ${widths[0].toFixed(0)} % to ` +
                `${widths[widths.length - 1].toFixed(0)} % ("${steps[steps.length - 1].text}")`);
    assert(await tab.page.$eval('#status', (s) => s.hidden), 'the loading screen stayed over the game');
  } finally {
    await context.close();
  }
}

// A saved state line with best scores 500, 600 and 700 at the top of the
// three tables (settings first, then each table's best and last rows and its
// check sum).
function savedLine() {
  const values = [0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 64, 64, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1469, 5, 0, 0, 0, 0, 0, 0, 0, 5];
  const best = [500, 600, 700], last = [500, 0, 300];
  for (let t = 0; t < 3; t++) {
    for (let i = 0; i < 10; i++) values.push(i === 0 ? best[t] : 0, i === 0 ? last[t] : 0);
    values.push(4 * best[t] + (t + 3) * last[t]);
  }
  return values.map((v) => `${v}|`).join('');
}

// The state file's copy in the page's storage, as text; null when there is none.
function storedState() {
  return new Promise((resolve, reject) => {
    const request = indexedDB.open('korvane', 1);
    request.onupgradeneeded = () => request.result.createObjectStore('files');
    request.onerror = () => reject(request.error);
    request.onsuccess = () => {
      const get = request.result.transaction('files', 'readonly').objectStore('files').get('.vellumstate');
      get.onsuccess = () => {
        request.result.close();
        resolve(get.result ? new TextDecoder().decode(get.result) : null);
      };
      get.onerror = () => reject(get.error);
    };
  });
}

function storeState(line) {
  return new Promise((resolve, reject) => {
    const request = indexedDB.open('korvane', 1);
    request.onupgradeneeded = () => request.result.createObjectStore('files');
    request.onerror = () => reject(request.error);
    request.onsuccess = () => {
      const transaction = request.result.transaction('files', 'readwrite');
      transaction.objectStore('files').put(new TextEncoder().encode(line), '.vellumstate');
      transaction.oncomplete = () => { request.result.close(); resolve(); };
      transaction.onerror = () => reject(transaction.error);
    };
  });
}

// The page reports itself hidden from its first line on, until the test
// shows it; visibility changes are dispatched by the test.
function startHidden() {
  window.korvaneHidden = true;
  Object.defineProperty(document, 'hidden', { get: () => window.korvaneHidden, configurable: true });
  Object.defineProperty(document, 'visibilityState',
                        { get: () => (window.korvaneHidden ? 'hidden' : 'visible'), configurable: true });
}

// A page hidden before its first animation frame (a tab opened in the
// background) once ran the game's suspend before the game was created, and
// that suspend saved the constructor's zeros over the stored scores. Now the
// scores stay, and the game reads them once the page shows.
async function hiddenBeforeFirstFrameSession(browser, url) {
  const context = await browser.createBrowserContext();
  try {
    const line = savedLine();
    const setup = await context.newPage();
    await setup.goto(`${url}korvane-page.js`);  // any page of the site's origin
    await setup.evaluate(storeState, line);
    await setup.close();

    const tab = new GameTab(context, url, shots, { width: 640, height: 480, deviceScaleFactor: 1 });
    await tab.open((page) => page.evaluateOnNewDocument(startHidden));
    const page = tab.page;
    assert(await pollPage(page, () => typeof Module !== 'undefined' && Module.calledRun === true, (ran) => ran),
           'the program did not start');
    for (let i = 0; i < 3; i++) {
      await page.evaluate(() => document.dispatchEvent(new Event('visibilitychange')));
      await sleep(300);
    }
    assert.strictEqual(await page.evaluate(storedState), line, 'the stored scores were overwritten while hidden');

    await page.evaluate(() => {
      window.korvaneHidden = false;
      document.dispatchEvent(new Event('visibilitychange'));
    });
    assert(await tab.waitFor('browser-shown-late-menu', isMenu), 'no title menu once the page showed');
    assert(tab.lines.includes('Highscore 2 Loaded'), `the stored scores were not read:\n${tab.lines.join('\n')}`);
    assert.strictEqual(await page.evaluate(storedState), line, 'the stored scores changed');
    await page.close();
  } finally {
    await context.close();
  }
}

// With the page the size of the screen (a browser's full-screen mode), each
// resize of the canvas once became a refused full-screen request that wrapped
// the canvas in one more element, frame after frame. The canvas now follows
// the page at every size and the page keeps its elements.
async function fullScreenSession(browser, url) {
  const tab = new GameTab(browser, url, shots, { width: 640, height: 480, deviceScaleFactor: 1 });
  await tab.open();
  const page = tab.page;
  assert(await tab.waitFor('browser-full-screen-start', isMenu), 'no title menu');
  const elements = () => document.getElementsByTagName('*').length;
  const before = await page.evaluate(elements);
  const cdp = await page.createCDPSession();
  for (const [width, height] of [[800, 600], [1024, 768], [900, 700], [640, 480]]) {
    await cdp.send('Emulation.setDeviceMetricsOverride',
                   { width, height, deviceScaleFactor: 1, mobile: false, screenWidth: width, screenHeight: height });
    const canvas = await pollPage(page, () => {
      const c = document.getElementById('canvas');
      return { width: c.width, height: c.height, screen: [screen.width, screen.height] };
    }, (c) => c.width === width && c.height === height, 10000);
    assert(canvas, `the canvas did not follow a page the size of the screen, ${width}x${height}`);
    await sleep(500);  // frames at the new size
    assert.strictEqual(await page.evaluate(elements), before, `elements added at ${width}x${height}`);
  }
  // The game still draws, seen through the test's own viewport again.
  await cdp.send('Emulation.clearDeviceMetricsOverride');
  await page.setViewport({ width: 640, height: 480, deviceScaleFactor: 1 });
  assert(await tab.waitFor('browser-full-screen-after', isMenu), 'no title menu after the resizes');
  await page.close();
}

// The figures of both builds, side by side.
function printFigures(browserFigures, desktopFigures) {
  const rows = [
    ['time from start to the title menu, s', (f) => f.menuMs / 1000, 1],
    ['bytes before the title menu, MB', (f) => f.bytesBeforeMenu / 1e6, 2],
    ['frames drawn per second in play', (f) => f.framesPerSecond, 0],
    ['ms per drawn frame in play, median', (f) => f.frameMsMedian, 2],
    ['draw calls per drawn frame, median', (f) => f.drawCallsMedian, 0],
  ];
  const value = (f, get, digits) => {
    const v = f ? get(f) : NaN;
    return (Number.isFinite(v) ? v.toFixed(digits) : '-').padStart(9);
  };
  console.log(`figures (load average ${fs.readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ')})` +
              `${' '.repeat(2)}  browser   desktop`);
  for (const [label, get, digits] of rows) {
    console.log(`  ${label.padEnd(44)}${value(browserFigures, get, digits)} ${value(desktopFigures, get, digits)}`);
  }
  console.log('  (browser: bytes transferred, script time per animation frame, WebGL calls;');
  console.log('   desktop: bytes read by the process, main-thread CPU per swapped frame, OpenGL calls)');
}

(async () => {
  const served = await serve(site);
  const server = served.server;
  // The game's diagnostic lines, which these sessions read, reach the console
  // only with "?debug" in the address.
  const url = `${served.url}?debug`;
  const browser = await launchBrowser();
  const figures = {};
  const desktopFigures = desktopBuild ? {} : null;
  const stills = {};
  const sessions = [['landscape 640x480', () => landscapeSession(browser, url, figures)],
                    ['portrait 480x640, touch', () => portraitSession(browser, url)],
                    ['resized to 1280x960', () => resizeSession(browser, url)],
                    ['storage refused', () => refusedStorageSession(browser, url)],
                    ['loading bar on a slow network', () => loadingBarSession(browser, url)],
                    ['hidden page suspends and resumes', () => hiddenTabSession(browser, url)],
                    ['hidden before the first frame keeps the stored scores',
                     () => hiddenBeforeFirstFrameSession(browser, url)],
                    ['page the size of the screen keeps its elements', () => fullScreenSession(browser, url)],
                    ['phone shapes, touch', () => phoneSession(browser, url, shots)],
                    ['keyboard-only game', () => keyboardSession(browser, url, shots)]];
  if (desktopBuild) {
    sessions.push(['desktop build (figures, still menu)', () => desktopSession(desktopFigures, stills)],
                  ['same still menu as the desktop', () => sameFrameSession(browser, url, stills)]);
  } else {
    console.log('skip desktop comparison: no desktop build given');
  }
  const failed = !(await runSessions(sessions));
  await browser.close();
  server.kill();
  printFigures(figures, desktopFigures);
  console.log(`screenshots in ${shots}`);
  process.exit(failed ? 1 : 0);
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
