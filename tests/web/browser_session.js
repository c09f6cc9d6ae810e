// Shared pieces of the browser tests: a loopback web server for the built
// page, headless Chromium with software WebGL, screenshots read back as
// pixels, console lines, and input held as long as a person holds it.
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require('puppeteer-core');

const HOLD_MS = 150;     // a press as long as a person's: seen by at least one update
const POLL_MS = 150;     // between screenshots while waiting
const WAIT_MS = 60000;   // longest wait for anything to show (a busy machine)

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// What a 640x480 canvas at the page's top left shows.
const SLIDE_IN_MS = 1000;    // the menu's buttons settle within 32 updates
const isSwitchGreen = (c) => c[1] > 150 && c[0] < 120 && c[2] < 120;
const isMenu = (s) => isSwitchGreen(s.at(32, 220)) && s.at(630, 240)[0] < 120;
const isRoundOneBackground = (c) => distance(c, [100, 160, 240]) < 12;
const isPanelOrange = (c) => c[0] > 150 && c[1] > 70 && c[1] < 170 && c[2] < 60;
const HARD_BUTTON = [384, 336];
const PAUSE_QUIT_BUTTON = [180, 184];

// python3's server on a free loopback port; resolves to its base URL.
function serve(folder) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1'],
                         { cwd: folder, stdio: ['ignore', 'pipe', 'pipe'] });
    server.requests = [];
    let announced = false;
    server.stdout.on('data', (chunk) => {
      const match = /port (\d+)/.exec(chunk.toString());
      if (match && !announced) {
        announced = true;
        resolve({ server, url: `http://127.0.0.1:${match[1]}/` });
      }
    });
    server.stderr.resume();
    server.on('exit', (code) => { if (!announced) reject(new Error(`http.server ended (${code})`)); });
  });
}

// `extraArgs` add switches or replace the default value of one.
function launchBrowser(extraArgs = []) {
  const switchName = (arg) => arg.split('=')[0];
  const replaced = extraArgs.map(switchName);
  const args = ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
                '--autoplay-policy=user-gesture-required'].filter((arg) => !replaced.includes(switchName(arg)));
  return puppeteer.launch({
    executablePath: process.env.KORVANE_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: args.concat(extraArgs),
  });
}

// A PNG as Chromium writes its screenshots (8-bit RGB or RGBA, not
// interlaced), decoded to { width, height, at(x, y) -> [r, g, b] }.
function decodePng(png) {
  let offset = 8;
  let width = 0, height = 0, channels = 0;
  const data = [];
  while (offset < png.length) {
    const length = png.readUInt32BE(offset);
    const type = png.toString('ascii', offset + 4, offset + 8);
    const body = png.subarray(offset + 8, offset + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      channels = { 2: 3, 6: 4 }[body[9]];
      if (body[8] !== 8 || !channels || body[12] !== 0) throw new Error('unexpected PNG layout');
    } else if (type === 'IDAT') {
      data.push(body);
    }
    offset += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= channels ? pixels[y * stride + i - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + i] : 0;
      const c = i >= channels && y > 0 ? pixels[(y - 1) * stride + i - channels] : 0;
      let value = line[i];
      if (filter === 1) value += a;
      else if (filter === 2) value += b;
      else if (filter === 3) value += (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        value += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      pixels[y * stride + i] = value & 0xff;
    }
  }
  const at = (x, y) => {
    if (x < 0 || y < 0 || x >= width || y >= height) return [0, 0, 0];
    const p = (y * width + x) * channels;
    return [pixels[p], pixels[p + 1], pixels[p + 2]];
  };
  return { width, height, at, pixels, channels };
}

function distance(a, b) {
  return Math.hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

// Mean colour of the square of side 2 * half + 1 around (x, y).
function mean(shot, x, y, half) {
  const sum = [0, 0, 0];
  let n = 0;
  for (let dy = -half; dy <= half; dy++) {
    for (let dx = -half; dx <= half; dx++) {
      const c = shot.at(x + dx, y + dy);
      sum[0] += c[0]; sum[1] += c[1]; sum[2] += c[2];
      n++;
    }
  }
  return sum.map((v) => v / n);
}

function count(shot, x0, y0, x1, y1, test) {
  let n = 0;
  for (let y = y0; y < y1; y++) for (let x = x0; x < x1; x++) n += test(shot.at(x, y)) ? 1 : 0;
  return n;
}

// One page of the game at a viewport size; screenshots go to `shots`.
class GameTab {
  constructor(browser, url, shots, viewport) {
    this.browser = browser;
    this.url = url;
    this.shots = shots;
    this.viewport = viewport;
    this.lines = [];
    this.bytes = 0;
    this.urls = [];
  }

  async open(beforeLoad) {
    this.page = await this.browser.newPage();
    await this.page.setViewport(this.viewport);
    this.page.on('console', (message) => this.lines.push(message.text()));
    this.page.on('pageerror', (error) => this.lines.push(`pageerror: ${error.message}`));
    this.page.on('response', async (response) => {
      this.bytes += Number(response.headers()['content-length'] || 0);
      this.urls.push(response.url());
    });
    if (beforeLoad) await beforeLoad(this.page);
    this.started = Date.now();
    await this.page.goto(this.url, { waitUntil: 'load' });
  }

  async reload() {
    this.lines = [];
    this.bytes = 0;
    this.urls = [];
    this.started = Date.now();
    await this.page.reload({ waitUntil: 'load' });
  }

  async take(name) {
    const png = await this.page.screenshot({ type: 'png' });
    fs.writeFileSync(path.join(this.shots, `${name}.png`), png);
    return decodePng(png);
  }

  // Screenshots until what the player sees passes the test; the last one is
  // kept under the name.
  async waitFor(name, test, waitMs = WAIT_MS) {
    const deadline = Date.now() + waitMs;
    while (Date.now() < deadline) {
      const shot = await this.take(name);
      if (test(shot)) return shot;
      await sleep(POLL_MS);
    }
    return null;
  }

  async waitForLine(pattern, waitMs = WAIT_MS) {
    const deadline = Date.now() + waitMs;
    while (Date.now() < deadline) {
      const line = this.lines.find((text) => pattern.test(text));
      if (line) return line;
      await sleep(POLL_MS);
    }
    return null;
  }

  async click(x, y) {
    await this.page.mouse.move(x, y);
    await this.page.mouse.down();
    await sleep(HOLD_MS);
    await this.page.mouse.up();
  }

  // Clicks and waits for the screen it leads to; a click that a very busy
  // machine let fall between two updates is given once more.
  async clickUntil(x, y, name, test) {
    return this.pressUntil(() => this.click(x, y), name, test);
  }

  async tap(x, y) {
    await this.page.touchscreen.touchStart(x, y);
    await sleep(HOLD_MS);
    await this.page.touchscreen.touchEnd();
  }

  async tapUntil(x, y, name, test) {
    return this.pressUntil(() => this.tap(x, y), name, test);
  }

  async pressUntil(press, name, test) {
    await press();
    const shot = await this.waitFor(name, test, WAIT_MS / 3);
    if (shot) return shot;
    await press();
    return this.waitFor(name, test);
  }

  async key(name) {
    await this.page.keyboard.down(name);
    await sleep(HOLD_MS);
    await this.page.keyboard.up(name);
  }

  // On a 640x480 canvas: Hard from the title menu, then quit from the pause
  // panel at once, back to the menu: a short finished game.
  async playQuitGame(name) {
    if (!(await this.waitFor(`${name}-menu`, isMenu))) throw new Error(`${name}: no title menu`);
    await sleep(SLIDE_IN_MS);
    if (!(await this.clickUntil(...HARD_BUTTON, `${name}-play`, (s) => isRoundOneBackground(s.at(5, 470))))) {
      throw new Error(`${name}: the hard button did not start a game`);
    }
    await sleep(2 * SLIDE_IN_MS);
    await this.key('Escape');
    if (!(await this.waitFor(`${name}-pause`, (s) => count(s, 180, 196, 460, 300, isPanelOrange) > 8000))) {
      throw new Error(`${name}: the pause panel did not open`);
    }
    const panelGone = (s) => count(s, 180, 196, 460, 300, isPanelOrange) < 2000;
    if (!(await this.clickUntil(...PAUSE_QUIT_BUTTON, `${name}-quit`, panelGone))) {
      throw new Error(`${name}: the quit button did not close the pause panel`);
    }
    if (!(await this.waitFor(`${name}-menu-after`, isMenu))) throw new Error(`${name}: no menu after the game`);
  }

  async drag(points) {
    await this.page.mouse.move(points[0][0], points[0][1]);
    await this.page.mouse.down();
    await sleep(HOLD_MS);
    for (const [x, y] of points) {
      await this.page.mouse.move(x, y, { steps: 4 });
      await sleep(HOLD_MS);
    }
    await this.page.mouse.up();
  }
}

// Runs the sessions, each a [name, async function], whose names match
// KORVANE_WEB_SESSIONS (all when unset), one after another, a line for each;
// true when every one passed.
async function runSessions(sessions) {
  const only = new RegExp(process.env.KORVANE_WEB_SESSIONS || '');
  let passed = true;
  for (const [name, run] of sessions.filter(([sessionName]) => only.test(sessionName))) {
    const begun = Date.now();
    try {
      await run();
      console.log(`ok   ${name} (${((Date.now() - begun) / 1000).toFixed(1)} s)`);
    } catch (error) {
      passed = false;
      console.log(`FAIL ${name}: ${error.stack || error.message}`);
    }
  }
  return passed;
}

module.exports = { serve, launchBrowser, GameTab, decodePng, distance, mean, count, sleep, WAIT_MS, isMenu,
                   runSessions };
