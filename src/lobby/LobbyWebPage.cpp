// The lobby's front page: the standings, the games running now and the last finished ones. The
// page is static; its script fetches the JSON interface every few seconds and rebuilds the
// tables, writing every value as text.
#include "lobby/LobbyWeb.hpp"

const char* const LOBBY_PAGE = R"HTML(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Reversi lobby</title>
<style>
body{font-family:'DejaVu Sans',Verdana,sans-serif;margin:0;background:#eceff1;color:#263238}
header{background:#37474f;color:#fff;padding:10px 18px}
header h1{margin:0;font-size:20px}
header p{margin:4px 0 0;font-size:13px;color:#cfd8dc}
main{display:flex;flex-wrap:wrap;gap:16px;padding:14px;align-items:flex-start}
section{background:#fff;border-radius:6px;padding:12px;box-shadow:0 1px 3px #0003}
#standings-pane{flex:1 1 100%}
#running-pane,#finished-pane{flex:1 1 420px}
h2{font-size:15px;margin:2px 0 8px}
table{border-collapse:collapse;font-size:14px;width:100%}
td,th{padding:4px 10px;text-align:left;border-bottom:1px solid #eceff1;white-space:nowrap}
th{font-weight:normal;color:#607d8b;font-size:12px}
td.num,th.num{text-align:right;font-variant-numeric:tabular-nums}
.interval{color:#78909c;font-size:12px}
.empty{color:#90a4ae;font-style:italic}
a{color:#1565c0;text-decoration:none}
a:hover{text-decoration:underline}
.dq{color:#c62828}
#updated{float:right}
</style>
</head>
<body>
<header><h1>Reversi lobby</h1>
<p>Ratings are Elo from the pairwise outcomes of every finished game, with their 95 % interval.
<span id="updated">loading</span></p></header>
<main>
<section id="standings-pane"><h2>Standings</h2>
<table id="standings"><thead><tr><th class="num">#</th><th>group</th><th class="num">rating</th>
<th class="num">games</th><th class="num">wins</th><th class="num">mean rank</th>
<th>disqualified</th><th>last seen</th></tr></thead><tbody></tbody></table></section>
<section id="running-pane"><h2>Running now</h2>
<table id="running"><thead><tr><th>game</th><th>map</th><th>groups</th><th class="num">events</th>
<th>started</th></tr></thead><tbody></tbody></table></section>
<section id="finished-pane"><h2>Last finished</h2>
<table id="finished"><thead><tr><th>game</th><th>map</th><th>result</th><th>ended</th></tr>
</thead><tbody></tbody></table></section>
</main>
<script>
(function () {
  'use strict';
  function ago(ms) {
    if (!ms) return '';
    var s = Math.max(0, Math.round((Date.now() - ms) / 1000));
    if (s < 60) return s + ' s ago';
    if (s < 3600) return Math.floor(s / 60) + ' min ago';
    if (s < 86400) return Math.floor(s / 3600) + ' h ago';
    return new Date(ms).toISOString().slice(0, 16).replace('T', ' ');
  }
  function signed(x) { return (x >= 0 ? '+' : '') + x.toFixed(1); }
  function rating(r) {
    if (r.kind === 'none') return ['-', ''];
    var value = r.kind === 'value' ? signed(r.elo) : (r.kind === 'above' ? '> ' : '< ') + signed(r.elo);
    var low = r.low === null ? '' : signed(r.low);
    var high = r.high === null ? '' : signed(r.high);
    return [value, '[' + low + ', ' + high + ']'];
  }
  function cell(row, text, cls) {
    var td = row.insertCell();
    td.textContent = text;
    if (cls) td.className = cls;
    return td;
  }
  function link(row, id) {
    var a = document.createElement('a');
    a.href = '/games/' + id;
    a.textContent = 'game ' + id;
    row.insertCell().appendChild(a);
  }
  function fill(id, items, columns, add) {
    var body = document.querySelector('#' + id + ' tbody');
    body.textContent = '';
    if (!items.length) {
      cell(body.insertRow(), 'none yet', 'empty').colSpan = columns;
    }
    items.forEach(function (item, i) { add(body.insertRow(), item, i); });
  }
  function causes(d) {
    var parts = [];
    for (var cause in d) if (d[cause] > 0) parts.push(d[cause] + ' ' + cause);
    return parts.join(', ');
  }
  function groups(game, withScores) {
    return game.seats.map(function (s) {
      var text = 'group ' + s.group;
      if (withScores) text += s.disqualified !== null ? ' out' : ' ' + s.score;
      return text;
    }).join(', ');
  }
  function standings(data) {
    fill('standings', data.groups, 8, function (row, g, i) {
      cell(row, String(i + 1), 'num');
      cell(row, 'group ' + g.group);
      var r = rating(g.rating);
      var td = cell(row, r[0] + ' ', 'num');
      var span = document.createElement('span');
      span.className = 'interval';
      span.textContent = r[1];
      td.appendChild(span);
      cell(row, String(g.games), 'num');
      cell(row, String(Math.round(g.wins * 100) / 100), 'num');
      cell(row, g.meanRank.toFixed(2), 'num');
      cell(row, causes(g.disqualified), 'dq');
      cell(row, ago(g.lastSeenMs));
    });
  }
  function running(games) {
    fill('running', games.reverse(), 5, function (row, g) {
      link(row, g.id);
      cell(row, g.map);
      cell(row, groups(g, false));
      cell(row, g.events === undefined ? '' : String(g.events), 'num');
      cell(row, ago(g.startedMs));
    });
  }
  function finished(games) {
    fill('finished', games.reverse(), 4, function (row, g) {
      link(row, g.id);
      cell(row, g.map);
      cell(row, groups(g, true));
      cell(row, ago(g.endedMs));
    });
  }
  function get(url) {
    return fetch(url, {cache: 'no-store'}).then(function (r) {
      if (!r.ok) throw new Error(url + ': ' + r.status);
      return r.json();
    });
  }
  function refresh() {
    Promise.all([get('/api/standings'), get('/api/games?state=running&limit=100'),
                 get('/api/games?state=finished&limit=20')]).then(function (all) {
      standings(all[0]);
      running(all[1]);
      finished(all[2]);
      document.getElementById('updated').textContent = 'updated ' + new Date().toLocaleTimeString();
    }).catch(function (e) {
      document.getElementById('updated').textContent = 'not updated: ' + e.message;
    }).then(function () { setTimeout(refresh, 3000); });
  }
  refresh();
})();
</script>
</body>
</html>
)HTML";
