// The world tables beside the game, when the page comes from a korvane-server
// (its answers carry X-Korvane-Server): the top 10 of a difficulty and
// the player's own place, a name field and the "Post my scores" tickbox.
//
// Nothing is posted until the player has given a name and ticked the box.
// Then every finished game's replay (handed over by the web host through
// Module.korvane.postGame) is first kept in IndexedDB ("scores/queue/...")
// and leaves that queue only when the server has answered for it: accepted
// (201), already stored (409) or refused for good (any other 4xx but 429 and
// a refused name). A server that cannot be reached, or answers 429 or 5xx,
// is tried again after a back-off (its Retry-After when given), when the
// browser comes back online, and on the next visit: no game is lost, and the
// server stores none twice. The player's random secret token is made on the
// first post and kept beside the queue; the server keeps only its hash.
//
// Loaded before korvane-page.js and the program, so that its key guard runs
// before the game's own key listeners.
'use strict';

var KorvaneScores = (function () {
  var API = 'api/v1/';                      // beside the page
  var SERVER_HEADER = 'X-Korvane-Server';
  var BUILD_FILE = 'korvane-levels.js';     // written by the build beside the page
  var DB_NAME = 'korvane';                  // the page's own database (korvane-page.js)
  var DB_STORE = 'files';
  var TOKEN_KEY = 'scores/token';
  var PLAYER_KEY = 'scores/player';         // { name, post, server }
  var QUEUE = 'scores/queue/';              // + a key that sorts oldest first
  var BOARDS = ['easy', 'normal', 'hard'];  // difficulty 1-3
  var BOARD_TITLES = { easy: 'Easy', normal: 'Normal', hard: 'Hard' };
  var TOP = 10;
  var FIRST_RETRY_MS = 5000;
  var LAST_RETRY_MS = 5 * 60 * 1000;
  var TOKEN_BYTES = 32;
  // A display name: 1-24 letters or digits of any script, space, - _ .
  var NAME = /^[\p{L}\p{M}\p{N} ._-]{1,24}$/u;
  var NAME_RULE = 'A name is 1 to 24 letters or digits, with space, - _ or . between.';

  var ui = {};
  var state = {
    db: null, server: false, token: null, player: { name: '', post: false, server: false },
    board: 'normal', posting: false, retryTimer: null, failures: 0, waiting: 0,
    posted: 0, lastAnswer: null,
  };

  // --- storage -------------------------------------------------------------
  // One request in a transaction of its own; resolves to its result once the
  // transaction is complete.
  function request(mode, use) {
    return new Promise(function (resolve, reject) {
      var transaction = state.db.transaction(DB_STORE, mode);
      var pending = use(transaction.objectStore(DB_STORE));
      transaction.oncomplete = function () { resolve(pending.result); };
      transaction.onerror = function () { reject(transaction.error); };
      transaction.onabort = function () { reject(transaction.error || 'aborted'); };
    });
  }
  function read(key) { return request('readonly', function (store) { return store.get(key); }); }
  function write(key, value) { return request('readwrite', function (store) { return store.put(value, key); }); }
  function remove(key) { return request('readwrite', function (store) { return store.delete(key); }); }
  function queueKeys() {
    return request('readonly', function (store) {
      return store.getAllKeys(IDBKeyRange.bound(QUEUE, QUEUE + '\uffff'));
    });
  }

  function openStorage(open) {
    return open().then(function (db) {
      state.db = db;
      return Promise.all([read(TOKEN_KEY), read(PLAYER_KEY), queueKeys()]);
    }).then(function (found) {
      state.token = found[0] || null;
      if (found[1]) state.player = found[1];
      state.waiting = found[2].length;
    });
  }

  // Sorts by time, then by a counter for games kept in the same millisecond.
  var queued = 0;
  function queueKey() {
    return QUEUE + String(Date.now()).padStart(15, '0') + '-' + String(queued++).padStart(6, '0');
  }

  function makeToken() {
    var bytes = crypto.getRandomValues(new Uint8Array(TOKEN_BYTES));
    return btoa(String.fromCharCode.apply(null, bytes)).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }

  // --- the server ----------------------------------------------------------
  function getJson(path, token) {
    var headers = token ? { Authorization: 'Bearer ' + token } : {};
    return fetch(API + path, { headers: headers, cache: 'no-store' }).then(function (response) {
      return response.json().then(function (body) { return { status: response.status, body: body }; });
    });
  }

  function refreshTables() {
    if (!state.server) return Promise.resolve();
    var board = state.board;
    var mine = state.token ? getJson('boards/' + board + '/around', state.token) : Promise.resolve(null);
    return Promise.all([getJson('boards/' + board + '?limit=' + TOP), mine]).then(function (answers) {
      if (board !== state.board) return;
      var place = answers[1] && answers[1].status === 200 ? answers[1].body : null;
      showTable(answers[0].status === 200 ? answers[0].body.entries : null, place);
    }, function () {
      showTable(null, null);
    });
  }

  function retryIn(ms) {
    clearTimeout(state.retryTimer);
    state.retryTimer = setTimeout(drainQueue, ms);
  }

  function backOff(retryAfterSeconds) {
    state.failures++;
    var ms = Math.min(LAST_RETRY_MS, FIRST_RETRY_MS * Math.pow(2, state.failures - 1));
    if (retryAfterSeconds > 0) ms = Math.max(ms, retryAfterSeconds * 1000);
    retryIn(ms);
  }

  function postOne(game) {
    var name = state.player.name;
    return fetch(API + 'scores?name=' + encodeURIComponent(name), {
      method: 'POST',
      headers: { Authorization: 'Bearer ' + state.token, 'Content-Type': 'application/octet-stream',
                 'X-Korvane-Claimed-Score': String(game.claimed) },
      body: game.replay,
    }).then(function (response) {
      return response.json().catch(function () { return {}; }).then(function (body) {
        return { status: response.status, body: body, retryAfter: Number(response.headers.get('Retry-After')) || 0 };
      });
    });
  }

  // What an answer means for the queued game: 'done' (it leaves the queue),
  // 'later' (it stays; try again after a back-off) or 'name' (it stays until
  // the player mends the name).
  function verdict(answer) {
    if (answer.status === 201 || answer.status === 409) return 'done';
    if (answer.status === 429 || answer.status >= 500) return 'later';
    if (answer.body && answer.body.error === 'bad_name') return 'name';
    return 'done';
  }

  // Posts the queued games one at a time, oldest first. A game leaves the
  // queue before the next post starts, so no game is sent twice by this page.
  function drainQueue() {
    if (state.posting || !state.db) return;
    state.posting = true;
    var key;
    queueKeys().then(function (keys) {
      state.waiting = keys.length;
      if (!keys.length || !state.player.post || !NAME.test(state.player.name)) return null;
      key = keys[0];
      return ensureToken().then(function () { return read(key); }).then(function (game) {
        return game ? postOne(game) : { status: 409, body: {} };
      });
    }).then(function (answer) {
      var next = answer ? verdict(answer) : 'idle';
      if (next !== 'done') return settle(next, answer);
      state.failures = 0;
      return remove(key).then(function () {
        state.waiting--;
        state.posting = false;
        noteAnswer(answer);
        drainQueue();
      });
    }).catch(function () {
      // The network (or the server behind it) is out of reach.
      settle('later', { retryAfter: 0 });
    });
  }

  // The queue waits: for nothing, a back-off, or a mended name.
  function settle(next, answer) {
    state.posting = false;
    if (next === 'later') backOff(answer.retryAfter);
    showStatus(next === 'name' ? answer.body.message : undefined);
  }

  function ensureToken() {
    if (state.token) return Promise.resolve();
    var token = makeToken();
    return write(TOKEN_KEY, token).then(function () { state.token = token; });
  }

  function noteAnswer(answer) {
    state.lastAnswer = answer;
    if (answer.status === 201) {
      state.posted++;
      if (answer.body.board) state.board = answer.body.board;
      refreshTables();
    }
    showStatus();
  }

  // --- what the page shows -------------------------------------------------
  function withThousands(n) { return Number(n).toLocaleString('en'); }

  function row(entry, mine) {
    var line = document.createElement('tr');
    if (mine) line.className = 'mine';
    [withThousands(entry.rank), entry.name, withThousands(entry.score)].forEach(function (text, i) {
      var cell = line.insertCell();
      cell.textContent = text;  // names are the players': text, never markup
      if (i !== 1) cell.className = 'n';
    });
    return line;
  }

  function showTable(entries, place) {
    ui.title.textContent = 'World top 10: ' + BOARD_TITLES[state.board];
    BOARDS.forEach(function (board) { ui.tabs[board].setAttribute('aria-pressed', String(board === state.board)); });
    ui.table.textContent = '';
    if (!entries) {
      ui.table.insertRow().insertCell().textContent = 'The table cannot be read now.';
    } else if (!entries.length) {
      ui.table.insertRow().insertCell().textContent = 'No games yet.';
    }
    var mineShown = false;
    (entries || []).forEach(function (entry) {
      var mine = !!place && entry.game === place.game;
      mineShown = mineShown || mine;
      ui.table.appendChild(row(entry, mine));
    });
    if (place && !mineShown && entries) {
      place.entries.filter(function (entry) { return entry.game === place.game; }).forEach(function (entry) {
        var gap = ui.table.insertRow().insertCell();
        gap.colSpan = 3;
        gap.className = 'gap';
        gap.textContent = '\u22ee';
        ui.table.appendChild(row(entry, true));
      });
    }
    ui.place.textContent = place ? 'Your place: ' + withThousands(place.rank) + ' of ' + withThousands(place.of) : '';
    ui.toggle.textContent = place ? 'World #' + withThousands(place.rank) : 'World';
  }

  function showStatus(problem) {
    var text = '';
    var answer = state.lastAnswer;
    if (problem) {
      text = 'Not posted: ' + problem;
    } else if (state.waiting && !state.player.post) {
      text = state.waiting + (state.waiting === 1 ? ' game waits' : ' games wait') + ' to be posted.';
    } else if (state.waiting) {
      text = (state.waiting === 1 ? 'One game' : state.waiting + ' games') + ' to post' +
          (state.failures ? ': the server cannot be reached now; trying again.' : '.');
    } else if (answer && answer.status === 201) {
      text = 'Posted: ' + withThousands(answer.body.score) + ' on ' + BOARD_TITLES[answer.body.board] +
          ', world rank ' + withThousands(answer.body.rank) + ' of ' + withThousands(answer.body.of) + '.';
    } else if (answer && answer.status !== 409) {
      text = 'Not posted: ' + (answer.body.message || 'the server refused the game (' + answer.status + ').');
    }
    ui.status.textContent = text;
  }

  function showNameProblem() {
    var name = ui.name.value.trim();
    var bad = name !== '' && !NAME.test(name);
    ui.nameProblem.textContent = bad ? NAME_RULE : '';
    return bad;
  }

  // Keeps the name and the tickbox; ticking needs a good name.
  function onPlayerChange() {
    var name = ui.name.value.trim();
    if (showNameProblem() || (ui.post.checked && !name)) {
      if (!name) ui.nameProblem.textContent = 'Give a name to post your scores.';
      ui.post.checked = false;
    }
    state.player = { name: NAME.test(name) ? name : state.player.name, post: ui.post.checked, server: true };
    if (state.db) write(PLAYER_KEY, state.player).then(drainQueue, function () {});
    showStatus();
  }

  function showBoard(board) {
    state.board = board;
    refreshTables();
  }

  // The game's own key listeners (on the window, capturing) would take the
  // keys typed into the panel: Backspace would not reach the name field, and
  // letters would steer the game. The panel keeps its keys.
  function guardKeys() {
    ['keydown', 'keypress', 'keyup'].forEach(function (type) {
      window.addEventListener(type, function (event) {
        if (ui.panel && ui.panel.contains(event.target) && event.key !== 'Escape') event.stopImmediatePropagation();
      }, true);
    });
  }

  function bindPanel() {
    var ids = { panel: 'world', toggle: 'world-toggle', title: 'world-title', table: 'world-table',
                place: 'world-place', status: 'world-status', name: 'world-name', post: 'world-post',
                nameProblem: 'world-name-problem' };
    Object.keys(ids).forEach(function (part) { ui[part] = document.getElementById(ids[part]); });
    ui.tabs = {};
    BOARDS.forEach(function (board) {
      ui.tabs[board] = ui.panel.querySelector('[data-board="' + board + '"]');
      ui.tabs[board].addEventListener('click', function () { showBoard(board); });
    });
    ui.name.value = state.player.name;
    ui.post.checked = state.player.post;
    ui.name.addEventListener('input', showNameProblem);
    ui.name.addEventListener('change', onPlayerChange);
    ui.post.addEventListener('change', onPlayerChange);
    ui.toggle.addEventListener('click', function () { document.body.classList.toggle('world-open'); });
    document.getElementById('world-close').addEventListener('click', function () {
      document.body.classList.remove('world-open');
    });
  }

  function showPanel() {
    document.body.classList.add('with-world');
    ui.panel.hidden = false;
    ui.toggle.hidden = false;
    window.dispatchEvent(new Event('resize'));  // the canvas has less room now
  }

  // --- start -----------------------------------------------------------------
  // Whether this page came from a korvane-server, which marks every answer
  // with a header: true, false, or null when nothing answers (offline). A
  // small file of the build is asked for, which any host has (no error in
  // the console) and the service worker keeps with its headers (no network
  // on a repeat visit); an unreachable server seen before still gets the
  // panel, so the player sees what waits.
  function findServer() {
    return fetch(BUILD_FILE).then(function (response) {
      return response.headers.get(SERVER_HEADER) !== null;
    }, function () { return null; });
  }

  function start(open) {
    guardKeys();
    bindPanel();
    var stored = openStorage(open).catch(function () { state.db = null; });
    Promise.all([findServer(), stored]).then(function (found) {
      state.server = found[0] === true;
      if (!state.server && !(found[0] === null && state.player.server)) return;
      if (!state.db) {
        ui.post.disabled = ui.name.disabled = true;
        ui.nameProblem.textContent = 'Scores cannot be posted: this browser refuses to store them.';
      }
      showPanel();
      if (state.server && !state.player.server && state.db) {
        state.player.server = true;
        write(PLAYER_KEY, state.player).catch(function () {});
      }
      refreshTables();
      drainQueue();
    });
    window.addEventListener('online', function () {
      state.failures = 0;
      if (!state.server) {
        findServer().then(function (up) { state.server = up === true; refreshTables(); });
      }
      drainQueue();
    });
  }

  // A finished game: its table is shown; when the player chose to post, it is
  // kept in the queue first, then posted.
  function postGame(replay, difficulty, claimed) {
    var board = BOARDS[difficulty - 1];
    if (board) showBoard(board);
    if (!state.db || !state.player.post || !NAME.test(state.player.name) || !state.player.server) return;
    write(queueKey(), { replay: replay, claimed: claimed }).then(function () {
      state.waiting++;
      showStatus();
      drainQueue();
    }, function () {
      showStatus('this browser refused to keep the game.');
    });
  }

  return { start: start, postGame: postGame, state: state };
})();
