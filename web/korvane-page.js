// The page around the browser build of Korvane: chooses which data packages
// to fetch, shows their progress, keeps the saved state and the replays of
// finished games in IndexedDB, starts the world tables beside the game
// (korvane-scores.js), lets
// touches act as the pointer, and answers the web host's questions
// (host/browser.cpp calls Module.korvane). It says in words what the browser
// lacks (WebGL, Web Audio, storage), and hands the files to a service worker
// (service-worker.js) that keeps them for play without the network.
'use strict';

var Module = (function () {
  var canvas = document.getElementById('canvas');
  var statusBox = document.getElementById('status');
  var statusText = document.getElementById('status-text');
  var statusBar = document.getElementById('status-bar');
  var notice = document.getElementById('notice');

  var STATE_NAME = '.vellumstate';       // the host's state file, in its working folder
  var DB_NAME = 'korvane';
  var DB_STORE = 'files';
  var REPLAYS = 'replays';               // the host's replay folder, in its working folder
  var STORAGE_WAIT_MS = 5000;            // a storage that does not answer counts as refused
  var NOT_SAVED = 'Scores are not saved: this browser refuses to store them.';
  var NO_SOUND = 'Sound is off: this browser cannot play it (no Web Audio).';
  var NO_SOUND_MS = 10000;
  var NEW_BUILD = 'A new version of Korvane has arrived: reload the page to play it.';
  var NO_WEBGL = 'Korvane cannot start: this browser does not let the page draw with WebGL. ' +
      'Try turning on hardware acceleration (graphics acceleration) in the browser\'s settings, ' +
      'updating the browser or the graphics driver, or opening the page in another browser.';
  var STOPPED = 'Korvane has stopped after an error. Reload the page to play again.';
  // The program's diagnostic lines reach the console only when asked for
  // with "?debug" in the address; its error reports always do.
  var DEBUG = /[?&]debug(=|&|$)/.test(location.search);
  var ERROR_REPORT = /^Vellum Runtime Error/;

  // The game's resolution levels: images for a drawing buffer wider or taller
  // than KORVANE_LEVELS.twiceAbove device pixels come at twice the size, above
  // fourTimesAbove at four times (korvane-levels.js, from the game's header).
  function levelFor(width, height) {
    var longest = Math.max(width, height);
    return longest > KORVANE_LEVELS.fourTimesAbove ? 4 : longest > KORVANE_LEVELS.twiceAbove ? 2 : 1;
  }

  function canvasPixels() {
    var box = canvas.getBoundingClientRect();
    var ratio = window.devicePixelRatio || 1;
    return { width: Math.round(box.width * ratio), height: Math.round(box.height * ratio) };
  }

  function addScript(src) {
    var script = document.createElement('script');
    script.src = src;
    script.async = false;  // in order: the data packages register before the program runs
    document.body.appendChild(script);
  }

  // --- data packages -----------------------------------------------------
  var levels = { ready: {}, pending: 0 };

  function levelReady(width, height) {
    var level = levelFor(width, height);
    if (levels.ready[level]) return true;
    if (!levels.pending) {
      levels.pending = level;
      addScript('data-' + level + '.js');
    }
    return false;
  }

  // A package is in the file system once the run dependency it holds is
  // released; after start-up nothing else holds one.
  function monitorRunDependencies(left) {
    if (left === 0 && levels.pending) {
      levels.ready[levels.pending] = true;
      levels.pending = 0;
      keepLevels();
    }
  }

  // Each package script announces its size before it starts its fetch (the
  // packager asks the page for a copy it may already hold; there is none).
  // The bar's whole is known once every package needed at start has
  // announced itself: until then it stays empty, so that it never shrinks
  // back when a package's fetch begins after another's.
  var START_PACKAGES = 2;                // what every size needs, and the first level
  var packageBytes = {};

  function announcePackage(name, size) {
    packageBytes[name] = size;
    return null;
  }

  function showProgress() {
    var names = Object.keys(packageBytes);
    if (names.length < START_PACKAGES || statusBox.classList.contains('message')) return;
    var downloads = Module.dataFileDownloads || {};
    var loaded = 0, total = 0;
    names.forEach(function (name) { total += packageBytes[name]; });
    for (var url in downloads) loaded += downloads[url].loaded;
    statusText.textContent = 'Loading ' + Math.floor(loaded / 1024) + ' of ' +
        Math.floor(total / 1024) + ' KiB';
    statusBar.style.width = (100 * loaded / total) + '%';
  }

  // --- notices -----------------------------------------------------------
  // Each notice shows once, one line each: for as long as the page is open,
  // or for `lastingMs` when given (it covers the bottom of the game).
  var shownNotices = {};
  function showNotice(text, lastingMs) {
    if (shownNotices[text]) return;
    shownNotices[text] = true;
    var line = document.createElement('div');
    line.textContent = text;
    notice.appendChild(line);
    notice.hidden = false;
    if (lastingMs) {
      setTimeout(function () {
        notice.removeChild(line);
        notice.hidden = !notice.firstChild;
      }, lastingMs);
    }
  }

  function print(text) {
    if (DEBUG) console.log(text);
    else if (ERROR_REPORT.test(text)) console.error(text);
  }

  function printErr(text) {
    if (DEBUG) console.warn(text);
  }

  // A throwaway canvas answers whether WebGL is there without fixing the
  // game canvas's context before the program asks for its own.
  function webglAvailable() {
    try {
      var probe = document.createElement('canvas');
      return !!(window.WebGLRenderingContext && (probe.getContext('webgl') || probe.getContext('experimental-webgl')));
    } catch (error) {
      return false;
    }
  }

  function refuseToStart(text) {
    statusText.textContent = text;
    statusBox.querySelector('.track').hidden = true;
    statusBox.classList.add('message');
    statusBox.hidden = false;
  }

  // The runtime's way out when the program ends (exit) or fails (an
  // uncaught error), which must still unwind the program by throwing. It
  // ends only when it cannot go on: before it has a WebGL context
  // (Module.ctx), because the browser refused one.
  function quit(code, unwind) {
    if (code !== 0) refuseToStart(Module.ctx ? STOPPED : NO_WEBGL);
    throw unwind;
  }

  // --- first gesture -----------------------------------------------------
  // The audio output opens once the player has clicked, pressed a key or
  // touched the page; before that a page may not start sound, and trying
  // makes the browser warn.
  var gestured = false;
  ['keydown', 'mousedown', 'pointerdown', 'touchend'].forEach(function (type) {
    window.addEventListener(type, function () { gestured = true; }, { capture: true, once: true });
  });
  function gestureSeen() {
    var activation = navigator.userActivation;
    return activation ? activation.hasBeenActive : gestured;
  }

  // --- saved state -------------------------------------------------------
  var storage = { db: null, refused: false, saves: 0, replaySaves: 0 };

  function workPath(name) {
    var folder = Module.FS.cwd();
    return (folder === '/' ? '' : folder) + '/' + name;
  }
  function statePath() { return workPath(STATE_NAME); }

  function refuseStorage(reason) {
    storage.db = null;
    if (storage.refused) return;
    storage.refused = true;
    print('korvane: no storage (' + reason + ')');
    showNotice(NOT_SAVED);
  }

  function errorName(source) {
    return source && source.error ? source.error.name : 'aborted';
  }

  function openStorage() {
    return new Promise(function (resolve, reject) {
      var timer = setTimeout(function () { reject('no answer'); }, STORAGE_WAIT_MS);
      var request = indexedDB.open(DB_NAME, 1);
      request.onupgradeneeded = function () { request.result.createObjectStore(DB_STORE); };
      request.onsuccess = function () { clearTimeout(timer); resolve(request.result); };
      request.onerror = function () { clearTimeout(timer); reject(request.error); };
    });
  }

  function readSavedState(db) {
    return new Promise(function (resolve, reject) {
      var transaction = db.transaction(DB_STORE, 'readonly');
      var request = transaction.objectStore(DB_STORE).get(STATE_NAME);
      request.onsuccess = function () { resolve(request.result); };
      request.onerror = function () { reject(request.error); };
      transaction.onabort = function () { reject(errorName(transaction)); };
    });
  }

  // Replays are kept under their file's path in the folder ("replays/NAME").
  function isReplayKey(key) { return typeof key === 'string' && key.indexOf(REPLAYS + '/') === 0; }

  function restoreReplays(db) {
    return new Promise(function (resolve, reject) {
      var request = db.transaction(DB_STORE, 'readonly').objectStore(DB_STORE).openCursor();
      request.onsuccess = function () {
        var cursor = request.result;
        if (!cursor) return resolve();
        if (isReplayKey(cursor.key)) {
          if (!Module.FS.analyzePath(workPath(REPLAYS)).exists) Module.FS.mkdir(workPath(REPLAYS));
          Module.FS.writeFile(workPath(cursor.key), new Uint8Array(cursor.value));
        }
        cursor.continue();
      };
      request.onerror = function () { reject(request.error); };
    });
  }

  // Before the program starts: the state and the replays saved in an earlier
  // visit become the files the host reads.
  function restoreState() {
    Module.addRunDependency('saved state');
    Promise.resolve().then(openStorage).then(function (db) {
      storage.db = db;
      return restoreReplays(db).then(function () { return readSavedState(db); });
    }).then(function (bytes) {
      if (bytes) Module.FS.writeFile(statePath(), new Uint8Array(bytes));
    }).catch(function (error) {
      refuseStorage(error && error.name ? error.name : String(error));
    }).then(function () {
      Module.removeRunDependency('saved state');
    });
  }

  // After every save: the state file's bytes go to IndexedDB. A write that
  // fails (an error, or an abort such as a full quota's QuotaExceededError)
  // changes nothing stored: the state saved before stays as it was.
  function keepState() {
    if (!storage.db) return;
    try {
      var bytes = Module.FS.readFile(statePath());
      var transaction = storage.db.transaction(DB_STORE, 'readwrite');
      transaction.objectStore(DB_STORE).put(bytes, STATE_NAME);
      transaction.oncomplete = function () { storage.saves++; };
      transaction.onerror = function () { refuseStorage(errorName(transaction)); };
      transaction.onabort = function () { refuseStorage(errorName(transaction)); };
    } catch (error) {
      refuseStorage(error.message || String(error));
    }
  }

  // After every finished game: the replay folder goes to IndexedDB as it is
  // (the host has just added the game and dropped what it no longer keeps).
  // A refusal loses the replays only; the scores have their own copy.
  function keepReplays() {
    if (!storage.db) return;
    try {
      var names = Module.FS.readdir(workPath(REPLAYS)).filter(function (name) { return /\.kvrp$/.test(name); });
      var transaction = storage.db.transaction(DB_STORE, 'readwrite');
      var store = transaction.objectStore(DB_STORE);
      names.forEach(function (name) { store.put(Module.FS.readFile(workPath(REPLAYS + '/' + name)), REPLAYS + '/' + name); });
      store.getAllKeys().onsuccess = function (event) {
        event.target.result.forEach(function (key) {
          if (isReplayKey(key) && names.indexOf(key.slice(REPLAYS.length + 1)) < 0) store.delete(key);
        });
      };
      transaction.oncomplete = function () { storage.replaySaves++; };
      transaction.onerror = function () { console.log('korvane: replays not kept (' + transaction.error + ')'); };
    } catch (error) {
      console.log('korvane: replays not kept (' + (error.message || error) + ')');
    }
  }

  // --- touches -----------------------------------------------------------
  // The window layer turns a touch into a press or release of the left
  // button but does not move the pointer: the first finger down moves it
  // first (as a mouse would), and further fingers are ignored.
  var pointerTouch = null;
  function onTouch(event) {
    var touch = null;
    for (var i = 0; i < event.changedTouches.length; i++) {
      var candidate = event.changedTouches[i];
      if (pointerTouch === null && event.type === 'touchstart') pointerTouch = candidate.identifier;
      if (candidate.identifier === pointerTouch) touch = candidate;
    }
    if (!touch) {
      event.preventDefault();
      event.stopImmediatePropagation();
      return;
    }
    canvas.dispatchEvent(new MouseEvent('mousemove', { clientX: touch.clientX, clientY: touch.clientY }));
    if (event.type === 'touchend' || event.type === 'touchcancel') pointerTouch = null;
  }
  ['touchstart', 'touchmove', 'touchend', 'touchcancel'].forEach(function (type) {
    canvas.addEventListener(type, onTouch, { capture: true, passive: false });
  });

  // --- offline -----------------------------------------------------------
  // The service worker keeps this build's files, named by their content, so
  // that a later visit plays without the network. A newer build it found
  // during an earlier visit takes over before anything of this one runs:
  // the page reloads once, and every file then comes from the one build.
  var offline = { worker: null };

  function levelFiles() {
    var files = [];
    Object.keys(levels.ready).forEach(function (level) {
      files.push('data-' + level + '.js', 'data-' + level + '.data');
    });
    return files;
  }

  function keepLevels() {
    if (offline.worker) offline.worker.postMessage({ keep: levelFiles() });
  }

  function registerWorker() {
    navigator.serviceWorker.register('service-worker.js').then(function () {
      return navigator.serviceWorker.ready;
    }).then(function (registration) {
      offline.worker = registration.active;
      keepLevels();
    }).catch(function (error) {
      print('korvane: no offline play (' + error + ')');
    });
  }

  // Calls start() unless a waiting newer build takes over first.
  function startWithWorker(start) {
    if (!('serviceWorker' in navigator)) return start();
    navigator.serviceWorker.addEventListener('message', function (event) {
      if (event.data && event.data.newBuild) showNotice(NEW_BUILD);
    });
    navigator.serviceWorker.getRegistration().then(function (registration) {
      if (registration && registration.waiting && navigator.serviceWorker.controller) {
        navigator.serviceWorker.addEventListener('controllerchange', function () { location.reload(); });
        registration.waiting.postMessage('take over');
        return;
      }
      start();
      if (document.readyState === 'complete') registerWorker();
      else window.addEventListener('load', registerWorker);
    }, start);
  }

  // --- start -------------------------------------------------------------
  var first = canvasPixels();
  var firstLevel = levelFor(first.width, first.height);
  levels.pending = firstLevel;

  var module = {
    canvas: canvas,
    korvane: { canvasPixels: canvasPixels, levelReady: levelReady, keepState: keepState, keepReplays: keepReplays,
               gestureSeen: gestureSeen, postGame: KorvaneScores.postGame, noAudio: function () { showNotice(NO_SOUND, NO_SOUND_MS); },
               storage: storage, levels: levels, offline: offline,
               // Counted by the web host for tests and diagnostics.
               loop: { updates: 0, resumes: 0, resumeLeadMs: null } },
    getPreloadedPackage: announcePackage,
    preRun: [restoreState],
    // The runtime's stop protocol reads standard input; a page has none.
    stdin: function () { return null; },
    print: print,
    printErr: printErr,
    setStatus: showProgress,
    monitorRunDependencies: monitorRunDependencies,
    onRuntimeInitialized: function () { statusBox.hidden = true; },
    quit: quit,
  };
  KorvaneScores.start(openStorage);
  if (!webglAvailable()) {
    refuseToStart(NO_WEBGL);
    return module;
  }
  startWithWorker(function () {
    addScript('data-common.js');
    addScript('data-' + firstLevel + '.js');
    addScript('korvane.js');
  });
  return module;
})();
