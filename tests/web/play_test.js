// Plays the browser build in headless Chromium, as a player would: the title
// menu appears, a difficulty starts a game, a dragged path of three gems is
// judged, Escape opens and closes the pause panel, quitting shows the
// game-over overlay and the menu, and after a reload the saved state is read
// back from the browser's storage. Also: a portrait window, and a browser
// that refuses storage. Screenshots stay in the output folder; the figures
// (bytes and time before the menu, frame time and draw calls in play) are
// printed at the end.
//   node play_test.js SITE_FOLDER OUTPUT_FOLDER
'use strict';

const fs = require('fs');
const path = require('path');
const assert = require('assert');
const { serve, launchBrowser, GameTab, distance, mean, count, sleep } = require('./browser_session');

const site = path.resolve(process.argv[2] || '../../build-web/site');
const shots = path.resolve(process.argv[3] || '../../build-web/test-output');
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
const isRoundOneBackground = (c) => distance(c, [100, 160, 240]) < 12;
const isPanelOrange = (c) => c[0] > 150 && c[1] > 70 && c[1] < 170 && c[2] < 60;

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
  const menu = await tab.waitFor('browser-menu', (s) => isSwitchGreen(s.at(32, 220)) && s.at(630, 240)[0] < 120);
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
  const frames = await tab.page.evaluate(() => window.korvaneMeter.frames);
  const drawn = frames.filter((f) => f.draws > 0);
  const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];
  figures.framesPerSecond = frames.length / (FIGURE_MS / 1000);
  figures.frameMsMedian = median(drawn.map((f) => f.ms));
  figures.drawCallsMedian = median(drawn.map((f) => f.draws));

  const pathOnBoard = findThreeAlike(board);
  await tab.drag(pathOnBoard || [[50, 120], [110, 120], [170, 120]]);
  const found = await tab.waitForLine(/Found 3\+ = /);
  await tab.take('browser-play-path');
  assert(found, `the released path was not judged:\n${tab.lines.join('\n')}`);
  if (pathOnBoard) assert(/Found 3\+ = 1,3,/.test(found), found);

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

  // After a reload the menu shows again over the state saved after the game:
  // it comes back from the browser's storage and every section loads.
  await tab.reload();
  assert(await tab.waitFor('browser-menu-reloaded', (s) => isSwitchGreen(s.at(32, 220))), 'no menu after the reload');
  for (const line of ['Settings Loaded', 'Highscore 2 Loaded']) {
    assert(tab.lines.includes(line), `"${line}" missing after the reload:\n${tab.lines.join('\n')}`);
  }
  const reloaded = await tab.page.evaluate(() => new TextDecoder().decode(Module.FS.readFile('/.vellumstate')));
  assert.strictEqual(reloaded, state, 'the state read after the reload differs from the one saved');
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

(async () => {
  const { server, url } = await serve(site);
  const browser = await launchBrowser();
  const figures = {};
  let failed = false;
  for (const [name, run] of [['landscape 640x480', () => landscapeSession(browser, url, figures)],
                             ['portrait 480x640, touch', () => portraitSession(browser, url)],
                             ['resized to 1280x960', () => resizeSession(browser, url)],
                             ['storage refused', () => refusedStorageSession(browser, url)]]) {
    const begun = Date.now();
    try {
      await run();
      console.log(`ok   ${name} (${((Date.now() - begun) / 1000).toFixed(1)} s)`);
    } catch (error) {
      failed = true;
      console.log(`FAIL ${name}: ${error.message}`);
    }
  }
  await browser.close();
  server.kill();
  console.log(`figures: ${JSON.stringify(figures)}`);
  console.log(`screenshots in ${shots}`);
  process.exit(failed ? 1 : 0);
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
