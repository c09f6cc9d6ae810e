// The browser build served by a real korvane-server (tests/web/with_score_server.sh
// starts one on a throwaway database): the player gives a name, ticks "Post
// my scores" and plays; the server re-runs the game, stores it, and the page
// shows the world top 10 with the player's row and place beside the canvas.
// A game finished while the network is gone waits in the page's queue and is
// posted, once, when it comes back. On a phone the tables sit behind a
// button. Screenshots stay in the output folder.
//   KORVANE_TEST_SERVER=URL node world_tables_test.js OUTPUT_FOLDER
'use strict';

const fs = require('fs');
const path = require('path');
const assert = require('assert');
const { execFileSync } = require('child_process');
const { launchBrowser, GameTab, sleep, WAIT_MS, runSessions } = require('./browser_session');

const server = process.env.KORVANE_TEST_SERVER;
const shots = path.resolve(process.argv[2] || '../../build-web/test-output');
fs.mkdirSync(shots, { recursive: true });

const PANEL_WIDTH = 288;  // 18rem
const NAME = 'Tafel Tester';

async function pollPage(page, fn, test, waitMs = WAIT_MS) {
  const deadline = Date.now() + waitMs;
  let value;
  while (Date.now() < deadline) {
    value = await page.evaluate(fn);
    if (test(value)) return value;
    await sleep(200);
  }
  return value;
}

// Every game the server stored, whoever's best it is.
function storedGames() {
  const count = execFileSync('psql', [process.env.KORVANE_TEST_DATABASE, '-Atc', 'SELECT count(*) FROM games']);
  return Number(count.toString());
}

async function board(name) {
  const response = await fetch(`${server}api/v1/boards/${name}`);
  return (await response.json()).entries;
}

const panelText = () => ({
  status: document.getElementById('world-status').textContent,
  place: document.getElementById('world-place').textContent,
  mine: Array.from(document.querySelectorAll('#world-table tr.mine'), (row) => row.textContent),
  title: document.getElementById('world-title').textContent,
  posted: KorvaneScores.state.posted,
  waiting: KorvaneScores.state.waiting,
});

// A wide page: the panel beside a 640x480 canvas. A name and the tickbox,
// then a game: its row and place show once the server has taken it.
async function postSession(browser) {
  const tab = new GameTab(browser, server, shots, { width: 640 + PANEL_WIDTH, height: 480, deviceScaleFactor: 1 });
  await tab.open();
  await tab.page.waitForSelector('#world:not([hidden])', { visible: true, timeout: WAIT_MS });
  const canvasWidth = await pollPage(tab.page, () => document.getElementById('canvas').width, (w) => w === 640);
  assert.strictEqual(canvasWidth, 640, 'the canvas did not make room for the tables beside it');

  // A name with a character outside the rule is refused and nothing is ticked.
  await tab.page.type('#world-name', 'bad<name>');
  await tab.page.click('#world-post');
  const refused = await tab.page.$eval('#world-post', (box) => box.checked);
  assert(!refused, 'a bad name was accepted');
  await tab.page.$eval('#world-name', (field) => { field.value = ''; });
  await tab.page.type('#world-name', NAME);
  await tab.page.click('#world-post');
  assert(await tab.page.$eval('#world-post', (box) => box.checked), 'the tickbox did not take');

  await tab.playQuitGame('world-first');
  const shown = await pollPage(tab.page, panelText, (p) => p.posted === 1 && p.mine.length === 1);
  await tab.take('world-posted');
  assert.strictEqual(shown.posted, 1, `the game was not posted: ${JSON.stringify(shown)}`);
  assert(/^Posted: .* on Hard, world rank 1 of 1\.$/.test(shown.status), shown.status);
  assert.strictEqual(shown.title, 'World top 10: Hard');
  assert(shown.mine[0].includes(NAME), `the player's row is not marked: ${shown.mine}`);
  assert.strictEqual(shown.place, 'Your place: 1 of 1');
  assert.deepStrictEqual((await board('hard')).map((e) => e.name), [NAME]);

  assert(!tab.lines.some((line) => line.startsWith('pageerror')), tab.lines.join('\n'));

  // Without the network the next game waits in the page's queue; the page is
  // closed; the next visit, online again, posts it, once.
  await tab.page.setOfflineMode(true);
  await tab.playQuitGame('world-offline');
  const waiting = await pollPage(tab.page, panelText, (p) => p.waiting === 1 && /trying again/.test(p.status));
  assert(waiting.waiting === 1 && /trying again/.test(waiting.status), `no game waiting: ${JSON.stringify(waiting)}`);
  await tab.page.close();
  assert.strictEqual(storedGames(), 1);
  const again = new GameTab(browser, server, shots, { width: 640 + PANEL_WIDTH, height: 480, deviceScaleFactor: 1 });
  await again.open();
  const posted = await pollPage(again.page, panelText, (p) => p.posted === 1 && p.waiting === 0);
  assert.strictEqual(posted.posted, 1, `the waiting game was not posted on the next visit: ${JSON.stringify(posted)}`);
  await sleep(1000);
  assert.strictEqual(storedGames(), 2, 'the queue posted a game twice or lost one');
  await again.take('world-next-visit');
  await again.page.close();
}

// A phone: the canvas keeps the whole page and the tables open from a button
// that shows the player's rank.
async function phoneSession(browser) {
  const tab = new GameTab(browser, server, shots, { width: 390, height: 844, deviceScaleFactor: 1, hasTouch: true });
  await tab.open();
  await tab.page.waitForSelector('#world-toggle', { visible: true, timeout: WAIT_MS });
  assert(!(await tab.page.$eval('#world', (panel) => panel.offsetWidth > 0)), 'the tables cover the game at start');
  assert.strictEqual(await pollPage(tab.page, () => document.getElementById('canvas').width, (w) => w === 390), 390);
  await tab.take('world-phone-closed');
  await tab.page.click('#world-toggle');
  await tab.page.waitForSelector('#world', { visible: true, timeout: WAIT_MS });
  await tab.take('world-phone-open');
  await tab.page.click('#world-close');
  assert(!(await tab.page.$eval('#world', (panel) => panel.offsetWidth > 0)), 'the close button did not close');
  await tab.page.close();
}

(async () => {
  assert(server, 'KORVANE_TEST_SERVER names the server (tests/web/with_score_server.sh sets it)');
  const browser = await launchBrowser();
  const passed = await runSessions([
    ['a named player posts, sees their place, and a game played offline waits', () => postSession(browser)],
    ['phone: the tables behind a button', () => phoneSession(browser)]]);
  await browser.close();
  process.exit(passed ? 0 : 1);
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
