// The style sheet and the script of the replay page. The script rebuilds every position from
// the start and the changes per event, and shows one position at a time: it restyles the
// squares of the board picture (the classes of squareClass), fills the score table, moves the
// chart's cursor, marks the event in the move list and writes the board as text. A page that
// follows a running game also adds the events its stream sends.
#include "replay/ReplayPage.hpp"

const char* const REPLAY_STYLE = R"CSS(
body{font-family:'DejaVu Sans',Verdana,sans-serif;margin:0;background:#eceff1;color:#263238}
header{background:#37474f;color:#fff;padding:10px 18px}
header h1{margin:0;font-size:20px}
header p{margin:4px 0 0;font-size:13px;color:#cfd8dc}
main{display:flex;flex-wrap:wrap;gap:16px;padding:14px;align-items:flex-start}
section,aside{background:#fff;border-radius:6px;padding:12px;box-shadow:0 1px 3px #0003}
section{flex:1 1 560px;min-width:320px}
section svg.board{max-width:100%;height:auto}
aside{flex:0 0 470px}
h2{font-size:15px;margin:14px 0 6px}
#controls{display:flex;align-items:center;gap:6px;margin-bottom:6px}
#controls button{font-size:15px;min-width:38px;padding:4px 8px;cursor:pointer}
#slider{flex:1;min-width:160px}
#position{font-variant-numeric:tabular-nums;min-width:110px;text-align:right}
#status{margin:4px 0 8px;font-size:14px}
table{border-collapse:collapse;font-size:14px}
td,th{padding:3px 10px;text-align:left;border-bottom:1px solid #eceff1}
tr.next td{background:#fff8e1}
.dot{display:inline-block;width:12px;height:12px;border-radius:50%;margin-right:6px;
 vertical-align:-1px;border:1px solid #263238}
.dot.p1{background:#e53935}.dot.p2{background:#1e88e5}.dot.p3{background:#43a047}
.dot.p4{background:#fdd835}.dot.p5{background:#26c6da}.dot.p6{background:#d81b60}
.dot.p7{background:#fafafa}.dot.p8{background:#424242}
#moves{position:relative;max-height:260px;overflow-y:auto;margin:0;padding:4px 4px 4px 8px;list-style:none;
 border:1px solid #cfd8dc;font-size:13px;font-variant-numeric:tabular-nums}
#moves li{padding:1px 4px;cursor:pointer;border-left:4px solid transparent}
#moves li.bomb{background:#fff3e0;border-left-color:#ff6f00}
#moves li.dq{color:#c62828;font-weight:bold;border-left-color:#c62828}
#moves li.current{background:#263238;color:#fff}
#chart .tick{font-size:11px;fill:#607d8b}
.note{font-size:13px;color:#c62828}
pre{font-size:12px;line-height:1.2}
)CSS";

const char* const REPLAY_SCRIPT = R"JS(
(function () {
  'use strict';
  var D = DATA;
  var size = D.w * D.h;
  function applyChanges(board, changes) {
    var squares = board.split('');
    changes.split(';').forEach(function (item) {
      if (item.length > 1) {
        squares[parseInt(item.slice(0, -1), 10)] = item.slice(-1);
      }
    });
    return squares.join('');
  }
  var boards = [D.start];
  for (var n = 1; n < D.frames.length; n++) {
    boards.push(applyChanges(boards[n - 1], D.frames[n].c));
  }
  var groups = [];
  for (var i = 0; i < size; i++) {
    groups.push(document.getElementById('q' + i));
  }
  function squareClass(c) {
    if (c >= '1' && c <= '8') return 'p' + c;
    if ('xicb'.indexOf(c) >= 0) return c;
    return c === '-' ? 'h' : 'e';
  }
  var cellSize = 0, left = 0, top = 0;
  var lastMark = document.getElementById('lastmove');
  (function measure() {
    for (var i = 0; i < size; i++) {
      if (groups[i]) {
        var r = groups[i].querySelector('rect');
        cellSize = parseFloat(r.getAttribute('width'));
        left = parseFloat(r.getAttribute('x')) - (i % D.w) * cellSize;
        top = parseFloat(r.getAttribute('y')) - Math.floor(i / D.w) * cellSize;
        return;
      }
    }
  })();
  var slider = document.getElementById('slider');
  var items = document.querySelectorAll('#moves li');
  var scoreCells = document.querySelectorAll('#scores td.score');
  var bombCells = document.querySelectorAll('#scores td.bombs');
  var overrideCells = document.querySelectorAll('#scores td.overrides');
  var cursor = document.getElementById('chart-cursor');
  var polyline = document.querySelector('#chart polyline');
  var current = -1;
  var timer = null;

  function chartX(n) {
    if (!polyline) return 0;
    var points = polyline.getAttribute('points').split(' ');
    return parseFloat(points[Math.min(n, points.length - 1)].split(',')[0]);
  }

  function show(n) {
    n = Math.max(0, Math.min(D.frames.length - 1, n | 0));
    var f = D.frames[n], board = boards[n];
    for (var i = 0; i < size; i++) {
      var g = groups[i];
      if (!g) continue;
      var c = board[i];
      var out = c >= '1' && c <= '8' && f.dq.indexOf(parseInt(c, 10)) >= 0;
      g.setAttribute('class', 'sq ' + squareClass(c) + (out ? ' dq' : ''));
      g.querySelector('text').textContent = (c === '0' || c === '-') ? '' : c;
    }
    if (f.l >= 0 && f.l < size) {
      lastMark.setAttribute('x', left + (f.l % D.w) * cellSize + 1);
      lastMark.setAttribute('y', top + Math.floor(f.l / D.w) * cellSize + 1);
      lastMark.setAttribute('visibility', 'visible');
    } else {
      lastMark.setAttribute('visibility', 'hidden');
    }
    for (var p = 0; p < D.players; p++) {
      scoreCells[p].textContent = f.s[p] < 0 ? 'out' : String(f.s[p]);
      bombCells[p].textContent = f.b[p];
      overrideCells[p].textContent = f.o[p];
      document.getElementById('row' + (p + 1)).className = f.next === p + 1 ? 'next' : '';
    }
    var event = n > 0 ? D.events[n - 1] : null;
    document.getElementById('caption').textContent =
        n === 0 ? 'start position' : 'after event ' + n + ': ' + event.t;
    document.getElementById('position').textContent = 'event ' + n + ' / ' + (D.frames.length - 1);
    var phase = {build: 'build phase', bombs: 'bomb phase', over: 'game over'}[f.ph];
    document.getElementById('status').textContent =
        phase + (f.next ? ', player ' + f.next + ' to move' : '');
    var rows = [];
    for (var y = 0; y < D.h; y++) rows.push(board.substr(y * D.w, D.w));
    document.getElementById('board-text').textContent = rows.join('\n') + '\n';
    if (cursor) {
      cursor.setAttribute('x1', chartX(n));
      cursor.setAttribute('x2', chartX(n));
    }
    if (current >= 0 && items[current]) items[current].classList.remove('current');
    if (items[n]) {
      items[n].classList.add('current');
      var list = items[n].parentNode;
      if (items[n].offsetTop < list.scrollTop ||
          items[n].offsetTop > list.scrollTop + list.clientHeight - 20) {
        list.scrollTop = items[n].offsetTop - list.clientHeight / 2;
      }
    }
    slider.value = n;
    current = n;
    try {
      history.replaceState(null, '', '#move=' + n);
    } catch (e) {
      // Some browsers refuse to change the address of a local file; the page works without.
    }
  }

  function fromHash() {
    var m = /move=(\d+)/.exec(location.hash);
    return m ? parseInt(m[1], 10) : 0;
  }
  function stop() {
    if (timer) clearInterval(timer);
    timer = null;
    document.getElementById('play').textContent = 'play';
  }
  function play() {
    if (timer) return stop();
    if (current >= D.frames.length - 1) show(0);
    document.getElementById('play').textContent = 'pause';
    timer = setInterval(function () {
      if (current >= D.frames.length - 1) return stop();
      show(current + 1);
    }, 400);
  }
  document.getElementById('first').onclick = function () { stop(); show(0); };
  document.getElementById('prev').onclick = function () { stop(); show(current - 1); };
  document.getElementById('next').onclick = function () { stop(); show(current + 1); };
  document.getElementById('last').onclick = function () { stop(); show(D.frames.length - 1); };
  document.getElementById('play').onclick = play;
  slider.oninput = function () { stop(); show(parseInt(slider.value, 10)); };
  function pick() { stop(); show(parseInt(this.getAttribute('data-n'), 10)); }
  for (var k = 0; k < items.length; k++) {
    items[k].onclick = pick;
  }
  document.addEventListener('keydown', function (e) {
    if (e.target === slider && e.key.indexOf('Arrow') === 0) return;
    var moves = {ArrowLeft: -1, ArrowRight: 1, ArrowUp: -1, ArrowDown: 1};
    if (e.key in moves) { stop(); show(current + moves[e.key]); }
    else if (e.key === 'Home') { stop(); show(0); }
    else if (e.key === 'End') { stop(); show(D.frames.length - 1); }
    else if (e.key === ' ') { play(); }
    else return;
    e.preventDefault();
  });
  window.addEventListener('hashchange', function () {
    if (fromHash() !== current) show(fromHash());
  });
  // A live page without a position in its address starts at the newest one.
  var fromEnd = typeof LIVE !== 'undefined' && !/move=/.test(location.hash);
  show(fromEnd ? D.frames.length - 1 : fromHash());

  // A page that follows a running game adds each event its stream sends, stays at the newest
  // position while it shows it, and reloads as the finished replay when the game has ended.
  function append(m) {
    var following = current === D.frames.length - 1;
    boards.push(applyChanges(boards[boards.length - 1], m.frame.c));
    D.frames.push(m.frame);
    D.events.push(m.event);
    var n = D.events.length;
    var li = document.createElement('li');
    li.setAttribute('data-n', n);
    li.className = 'p' + m.event.p + (m.event.bomb ? ' bomb' : '') + (m.event.dq ? ' dq' : '');
    li.textContent = n + '. ' + m.event.t;
    li.onclick = pick;
    document.getElementById('moves').appendChild(li);
    items = document.querySelectorAll('#moves li');
    slider.max = n;
    show(following ? n : current);
    var latency = Date.now() - m.appliedMs;
    var live = document.getElementById('live');
    live.setAttribute('data-latency', latency);
    live.textContent = 'live: event ' + n + ' shown ' + latency + ' ms after the referee applied it';
  }
  function follow() {
    var source = new EventSource(LIVE.events + '?from=' + (D.frames.length - 1));
    source.onopen = function () {
      document.getElementById('live').textContent = 'live: following the game';
    };
    source.onmessage = function (e) {
      var m = JSON.parse(e.data);
      if (m.n === D.frames.length) append(m);
    };
    source.addEventListener('end', function () { source.close(); location.reload(); });
    source.onerror = function () {
      if (source.readyState !== EventSource.CLOSED) return;
      setTimeout(function () { location.reload(); }, 1000);
    };
  }
  if (typeof LIVE !== 'undefined') follow();
})();
)JS";
