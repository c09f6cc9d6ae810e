// Browser sessions for phones and for the board without a pointer. Phones:
// the page at 390x844, 360x800, 844x390 and 800x360 CSS pixels at a device
// pixel ratio of 3 with touch, where a finger starts a game, opens the pause
// panel and reaches its quit button (which must be whole on the screen), and
// the game-over overlay gives way to the menu. Keys: a whole game at 640x480
// played with the keyboard alone, the board with its cursor (the arrows show
// and move it, Space held draws a path, W/A/S/D step along it), ended from
// the pause panel with the keys. Screenshots stay in the output folder; each
// phone shape prints the time and bytes it took to reach the title menu.
'use strict';

const assert = require('assert');
const { GameTab, distance, mean, count, sleep } = require('./browser_session');

const SLIDE_IN_MS = 1000;  // the menu's buttons settle within 32 updates
const SAME_KIND = 40;      // colour distance between gems of one kind
const COMBO_MS = 2500;     // a combo's 90 updates run out well within this
const DEVICE_RATIO = 3;

const isSwitchGreen = (c) => c[1] > 150 && c[0] < 120 && c[2] < 120;
const isRoundOneBackground = (c) => distance(c, [100, 160, 240]) < 12;
const isPanelOrange = (c) => c[0] > 150 && c[1] > 70 && c[1] < 170 && c[2] < 60;
const isQuitRed = (c) => c[0] > 200 && c[1] < 90 && c[2] < 90;
const isSoundGreen = (c) => c[1] > 200 && c[0] < 120 && c[2] < 120;
// The game-over overlay's yellow bar at 0.45 of the height, over a dark board.
const isGameOverBar = (c) => c[0] > 110 && c[1] > 110 && c[2] < 90;

// The game's virtual screen in a viewport: 640 wide or 480 high, whichever
// fits tighter, and the screenshot pixels of a virtual point.
function virtualScreen(width, height) {
  const scale = Math.max(width / 640, height / 480);
  const w = width / scale, h = height / scale;
  const shot = (x, y) => [Math.round(x * scale * DEVICE_RATIO), Math.round(y * scale * DEVICE_RATIO)];
  const css = (x, y) => [Math.round(x * scale), Math.round(y * scale)];
  return { w, h, landscape: w >= h, shot, css };
}

// Pixels of the test in a column band of the screenshot, [x0, x1).
function columnPixels(shot, x0, x1, test) {
  return count(shot, x0, 0, x1, shot.height, test);
}

// The centre of the pixels that pass the test, or null.
function centreOf(shot, test) {
  let sx = 0, sy = 0, n = 0;
  for (let y = 0; y < shot.height; y += 2) {
    for (let x = 0; x < shot.width; x += 2) {
      if (!test(shot.at(x, y))) continue;
      sx += x; sy += y; n++;
    }
  }
  return n > 0 ? [sx / n, sy / n] : null;
}

async function phoneShape(browser, url, shots, width, height) {
  const name = `browser-phone-${width}x${height}`;
  const v = virtualScreen(width, height);
  const tab = new GameTab(browser, url, shots,
                          { width, height, deviceScaleFactor: DEVICE_RATIO, hasTouch: true, isMobile: true });
  await tab.open();
  // The sound switch: on the left edge in landscape, at the top in portrait.
  const switchAt = v.landscape ? v.shot(32, v.h / 2 - 20) : v.shot(v.w / 2, 12);
  assert(await tab.waitFor(`${name}-menu`, (s) => isSwitchGreen(s.at(...switchAt))), `${name}: no title menu`);
  const seconds = ((Date.now() - tab.started) / 1000).toFixed(1);
  console.log(`  ${width}x${height} at ${DEVICE_RATIO}x: title menu after ${seconds} s, ` +
              `${(tab.bytes / 1e6).toFixed(2)} MB transferred`);
  await sleep(SLIDE_IN_MS);
  await tab.take(`${name}-menu`);

  // A finger on the hard button starts a game.
  const hard = v.landscape ? v.css(0.6 * v.w, 0.7 * v.h) : v.css(0.3 * v.w, 0.85 * v.h);
  const corner = v.shot(4, v.h - 4);
  assert(await tab.tapUntil(...hard, `${name}-play`, (s) => isRoundOneBackground(s.at(...corner))),
         `${name}: a tap on the hard button did not start a game`);
  await sleep(1500);
  await tab.take(`${name}-play`);

  // The pause button, then the panel: its quit and sound buttons whole on
  // the screen (none of their colour on the outermost columns).
  const pause = await tab.tapUntil(...v.css(16, 16), `${name}-pause`, (s) =>
    count(s, 0, 0, s.width, s.height, isPanelOrange) > s.width * s.height / 20 &&
    centreOf(s, isQuitRed) !== null && centreOf(s, isSoundGreen) !== null);
  assert(pause, `${name}: the pause panel did not open with its buttons`);
  await sleep(500);
  const panel = await tab.take(`${name}-pause`);
  const edge = 2 * DEVICE_RATIO;
  const cut = columnPixels(panel, 0, edge, isQuitRed) +
              columnPixels(panel, panel.width - edge, panel.width, isSoundGreen);
  assert.strictEqual(cut, 0, `${name}: a pause panel button runs off the screen`);

  // The quit button answers a finger: the game ends (its overlay lasts less
  // than two seconds, about as long as a screenshot this large takes) and
  // the menu comes back.
  const quit = centreOf(panel, isQuitRed);
  const quitCss = [Math.round(quit[0] / DEVICE_RATIO), Math.round(quit[1] / DEVICE_RATIO)];
  assert(await tab.tapUntil(...quitCss, `${name}-menu-after-game`, (s) => isSwitchGreen(s.at(...switchAt)) &&
                            !isRoundOneBackground(s.at(...corner))),
         `${name}: a tap on the quit button did not end the game`);
  await tab.page.close();
}

// The four phone shapes, one page each.
async function phoneSession(browser, url, shots) {
  for (const [width, height] of [[390, 844], [360, 800], [844, 390], [800, 360]]) {
    await phoneShape(browser, url, shots, width, height);
  }
}

// The landscape board at 640x480: cells 60 pixels apart, the first at (50, 120).
const cellCentre = (c, r) => [50 + 60 * c, 120 + 60 * r];

// Three neighbouring cells whose gems look alike, as [column, row], or null.
function findRunCells(shot) {
  const colour = (c, r) => mean(shot, ...cellCentre(c, r), 6);
  const alike = (a, b) => distance(colour(...a), colour(...b)) < SAME_KIND;
  for (let r = 0; r < 6; r++) {
    for (let c = 0; c + 2 < 10; c++) {
      if (alike([c, r], [c + 1, r]) && alike([c + 1, r], [c + 2, r])) return [[c, r], [c + 1, r], [c + 2, r]];
    }
  }
  for (let c = 0; c < 10; c++) {
    for (let r = 0; r + 2 < 6; r++) {
      if (alike([c, r], [c, r + 1]) && alike([c, r + 1], [c, r + 2])) return [[c, r], [c, r + 1], [c, r + 2]];
    }
  }
  return null;
}

// The cursor's frame: its top edge runs 26 pixels above the cell's centre,
// white while idle, yellow while a path is held.
function cursorFrame(shot, cell, holding) {
  const [x, y] = cellCentre(...cell);
  const c = shot.at(x, y - 26);
  return holding ? c[0] > 230 && c[1] > 200 && c[1] < 240 && c[2] < 80 : c.every((v) => v > 240);
}

async function boardAtRest(tab, name) {
  let previous = null;
  const rows = (s) => s.pixels.subarray(90 * s.width * s.channels, 480 * s.width * s.channels);
  return tab.waitFor(name, (s) => {
    const still = previous && rows(previous).equals(rows(s));
    previous = s;
    return isRoundOneBackground(s.at(5, 470)) && still;
  });
}

// Moves the cursor one cell at a time, each move seen on the screen before
// the next (a press that a very busy machine let fall between two updates is
// given once more); returns whether it got there.
async function stepCursor(tab, from, to, holding, keys = ['ArrowRight', 'ArrowLeft', 'ArrowDown', 'ArrowUp']) {
  const at = from.slice();
  while (at[0] !== to[0] || at[1] !== to[1]) {
    const across = Math.sign(to[0] - at[0]);
    const down = across === 0 ? Math.sign(to[1] - at[1]) : 0;
    const key = across > 0 ? keys[0] : across < 0 ? keys[1] : down > 0 ? keys[2] : keys[3];
    at[0] += across;
    at[1] += down;
    const cell = at.slice();
    const moved = await tab.pressUntil(() => tab.key(key), 'browser-keys-move', (s) => cursorFrame(s, cell, holding));
    if (!moved) return false;
  }
  return true;
}

// The pause panel's highlight ring around its quit button (640x480).
const quitChosen = (s) => count(s, 140, 144, 220, 224, (c) => c[0] > 230 && c[1] > 230 && c[2] < 150) > 50;

async function keyboardSession(browser, url, shots) {
  // The judged paths are written as debug lines.
  const tab = new GameTab(browser, `${url}?debug`, shots, { width: 640, height: 480, deviceScaleFactor: 1 });
  await tab.open();
  assert(await tab.waitFor('browser-keys-menu', (s) => isSwitchGreen(s.at(32, 220))), 'no title menu');
  await sleep(SLIDE_IN_MS);
  await tab.key('ArrowLeft');  // normal to easy, when the machine keeps up
  assert(await tab.pressUntil(() => tab.key('Enter'), 'browser-keys-play', (s) => isRoundOneBackground(s.at(5, 470))),
         'Enter did not start a game');
  assert(await boardAtRest(tab, 'browser-keys-play'), 'the board did not come to rest');

  let at = [5, 3];  // the cursor starts in the middle; the first key shows it
  assert(await tab.pressUntil(() => tab.key('ArrowRight'), 'browser-keys-cursor', (s) => cursorFrame(s, at, false)),
         'no cursor frame');
  let paths = 0;
  for (let attempt = 0; attempt < 2; attempt++) {
    if (attempt > 0) await sleep(COMBO_MS);  // the marked gems shatter and new ones fall in
    const board = await boardAtRest(tab, 'browser-keys-board');
    const run = board && findRunCells(board);
    if (!run) break;
    assert(await stepCursor(tab, at, run[0], false), 'the arrows did not move the cursor');
    await tab.page.keyboard.down(' ');
    assert(await tab.waitFor('browser-keys-holding', (s) => cursorFrame(s, run[0], true)),
           'the held path is not shown');
    assert(await stepCursor(tab, run[0], run[2], true, ['d', 'a', 's', 'w']), 'W/A/S/D did not move the cursor');
    await tab.page.keyboard.up(' ');
    at = run[2];
    paths++;
    const judged = async () => tab.lines.filter((line) => /Found 3\+ = 1,3,/.test(line)).length === paths;
    const deadline = Date.now() + 20000;
    while (!(await judged()) && Date.now() < deadline) await sleep(100);
    assert(await judged(), `path ${paths} was not judged a success:\n${tab.lines.join('\n')}`);
  }
  assert(paths > 0, 'no run of three on the board');
  await tab.take('browser-keys-paths');

  // The pause panel with the keys: open, choose quit, confirm.
  assert(await tab.pressUntil(() => tab.key('Escape'), 'browser-keys-pause',
                              (s) => count(s, 180, 196, 460, 300, isPanelOrange) > 8000),
         'Escape did not open the pause panel');
  assert(await tab.pressUntil(() => tab.key('ArrowLeft'), 'browser-keys-quit-chosen', quitChosen),
         'the left arrow did not choose the quit button');
  assert(await tab.pressUntil(() => tab.key('Enter'), 'browser-keys-game-over', (s) =>
    isGameOverBar(mean(s, 60, 216, 2)) || (isSwitchGreen(s.at(32, 220)) && !isRoundOneBackground(s.at(5, 470)))),
         'quitting with the keys did not end the game');
  assert(await tab.waitFor('browser-keys-menu-after-game', (s) => isSwitchGreen(s.at(32, 220)) &&
                           !isRoundOneBackground(s.at(5, 470))), 'the menu did not come back');
  await tab.page.close();
}

module.exports = { phoneSession, keyboardSession };
