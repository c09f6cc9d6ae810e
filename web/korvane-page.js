// The page around the browser build of Korvane: chooses which data packages
// to fetch, shows their progress, keeps the saved state and the replays of
// finished games in IndexedDB, lets
// touches act as the pointer, and answers the web host's questions
// (host/browser.cpp calls Module.korvane).
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

  // The game's resolution levels: images for a drawing buffer wider or taller
  // than 630 device pixels come at twice the size, above 1230 at four times.
  function levelFor(width, height) {
    var longest = Math.max(width, height);
    return longest > 1230 ? 4 : longest > 630 ? 2 : 1;
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
    if (names.length < START_PACKAGES) return;
    var downloads = Module.dataFileDownloads || {};
    var loaded = 0, total = 0;
    names.forEach(function (name) { total += packageBytes[name]; });
    for (var url in downloads) loaded += downloads[url].loaded;
    statusText.textContent = 'Loading ' + Math.floor(loaded / 1024) + ' of ' +
        Math.floor(total / 1024) + ' KiB';
    statusBar.style.width = (100 * loaded / total) + '%';
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
    console.log('korvane: no storage (' + reason + ')');
    notice.textContent = NOT_SAVED;
    notice.hidden = false;
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
      var request = db.transaction(DB_STORE, 'readonly').objectStore(DB_STORE).get(STATE_NAME);
      request.onsuccess = function () { resolve(request.result); };
      request.onerror = function () { reject(request.error); };
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

  // After every save: the state file's bytes go to IndexedDB.
  function keepState() {
    if (!storage.db) return;
    try {
      var bytes = Module.FS.readFile(statePath());
      var transaction = storage.db.transaction(DB_STORE, 'readwrite');
      transaction.objectStore(DB_STORE).put(bytes, STATE_NAME);
      transaction.oncomplete = function () { storage.saves++; };
      transaction.onerror = function () { refuseStorage(transaction.error && transaction.error.name); };
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

  // --- start -------------------------------------------------------------
  var first = canvasPixels();
  var firstLevel = levelFor(first.width, first.height);
  levels.pending = firstLevel;

  var module = {
    canvas: canvas,
    korvane: { canvasPixels: canvasPixels, levelReady: levelReady, keepState: keepState, keepReplays: keepReplays,
               storage: storage, levels: levels,
               // Counted by the web host for tests and diagnostics.
               loop: { updates: 0, resumes: 0, resumeLeadMs: null } },
    getPreloadedPackage: announcePackage,
    preRun: [restoreState],
    // The runtime's stop protocol reads standard input; a page has none.
    stdin: function () { return null; },
    print: function (text) { console.log(text); },
    printErr: function (text) { console.warn(text); },
    setStatus: showProgress,
    monitorRunDependencies: monitorRunDependencies,
    onRuntimeInitialized: function () { statusBox.hidden = true; },
  };
  addScript('data-common.js');
  addScript('data-' + firstLevel + '.js');
  addScript('korvane.js');
  return module;
})();
