// The desktop build of the game as a child process on the X display in
// DISPLAY (a private Xvfb), for comparing it with the browser build: its
// window's pictures (ImageMagick's import), input through xdotool, and what
// the process read and drew. Each run has a scratch working folder of its own
// with "data" linked to the build's data, so it starts from a fresh state.
'use strict';

const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { decodePng, sleep, WAIT_MS } = require('./browser_session');

const POLL_MS = 150;
const HOLD_MS = 150;   // a press as long as a person's

function run(command, args) {
  try {
    return execFileSync(command, args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });
  } catch (error) {
    return null;
  }
}

class DesktopGame {
  // `program` the desktop korvane, `data` its data folder; `environment`
  // is added to this process's own (the GL meter, see gl_meter.c).
  constructor(program, data, shots, environment = {}) {
    this.program = program;
    this.data = data;
    this.shots = shots;
    this.environment = environment;
    this.folder = fs.mkdtempSync(path.join(os.tmpdir(), 'korvane-desktop-'));
    fs.symlinkSync(data, path.join(this.folder, 'data'));
    this.window = null;
  }

  start() {
    const output = fs.openSync(path.join(this.folder, 'output.txt'), 'w');
    this.started = Date.now();
    this.child = spawn(this.program, [], {
      cwd: this.folder, stdio: ['ignore', output, output],
      env: { ...process.env, ...this.environment },
    });
    fs.closeSync(output);
    this.exited = false;
    this.child.on('exit', () => { this.exited = true; });
  }

  async waitForWindow() {
    const deadline = Date.now() + WAIT_MS;
    while (!this.window && !this.exited && Date.now() < deadline) {
      const found = run('xdotool', ['search', '--pid', String(this.child.pid), '--name', '^Korvane$']);
      if (found && found.trim()) this.window = found.trim().split('\n')[0];
      else await sleep(POLL_MS);
    }
    return this.window !== null;
  }

  // The window's picture as 8-bit RGB, kept under the name; null when it
  // could not be taken.
  take(name) {
    const file = path.join(this.shots, `${name}.png`);
    if (run('import', ['-window', this.window, `PNG24:${file}`]) === null) return null;
    return decodePng(fs.readFileSync(file));
  }

  async waitFor(name, test, waitMs = WAIT_MS) {
    const deadline = Date.now() + waitMs;
    while (Date.now() < deadline && !this.exited) {
      const shot = this.take(name);
      if (shot && test(shot)) return shot;
      await sleep(POLL_MS);
    }
    return null;
  }

  // Bytes the process has read from files and pipes so far (mapped files,
  // such as the program and its libraries, are not counted).
  bytesRead() {
    const io = fs.readFileSync(`/proc/${this.child.pid}/io`, 'utf8');
    return Number(/rchar: (\d+)/.exec(io)[1]);
  }

  async click(x, y) {
    run('xdotool', ['mousemove', '--window', this.window, String(x), String(y)]);
    run('xdotool', ['mousedown', '1']);
    await sleep(HOLD_MS);
    run('xdotool', ['mouseup', '1']);
  }

  async stop() {
    if (!this.exited) {
      this.child.kill('SIGTERM');
      const deadline = Date.now() + WAIT_MS / 6;
      while (!this.exited && Date.now() < deadline) await sleep(50);
    }
    fs.rmSync(this.folder, { recursive: true, force: true });
  }
}

module.exports = { DesktopGame };
