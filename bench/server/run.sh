#!/usr/bin/env bash
# Load figures of korvane-server on a table of N stored games (default
# 1,000,000), all on loopback: a private PostgreSQL cluster in a temporary
# folder (removed at the end), the server from build/, wrk for a bounded
# time per case. Prints requests per second and latency percentiles of a
# board's top 10 and of "around me" for a player in the middle, the server's
# resident memory, verified posts per second of the golden replays, and the
# EXPLAIN ANALYZE of each read query (bench/server/explain.sql).
# Usage: bench/server/run.sh [GAMES] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
games=${1:-1000000}
seconds=${2:-10}
pg=/usr/lib/postgresql/15/bin
port=18480
# The server binds with SO_REUSEPORT: a second one on a taken port would
# share the connections with the first and the figures would mix both.
if ss -ltn | grep -q "127.0.0.1:$port "; then echo "port $port is in use (another bench?)" >&2; exit 1; fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/korvane-bench-XXXXXX")
as_owner=()
if [ "$(id -u)" = 0 ]; then chown nobody "$dir"; as_owner=(runuser -u nobody --); fi
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  "${as_owner[@]}" "$pg/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
  rm -rf -- "$dir"
}
trap cleanup EXIT

"${as_owner[@]}" "$pg/initdb" -D "$dir/data" -A trust -U korvane >/dev/null
"${as_owner[@]}" "$pg/pg_ctl" -D "$dir/data" -o "-k $dir -c listen_addresses='' -c shared_buffers=256MB" \
  -l "$dir/log" -w start >/dev/null
url="host=$dir user=korvane dbname=postgres"

start_server() {
  KORVANE_DATABASE_URL="$url" KORVANE_LISTEN=127.0.0.1:$port KORVANE_DATA="$root/build/data" \
    KORVANE_POSTS_PER_MINUTE=100000 "$root/build/korvane-server" 2>>"$dir/server.log" &
  server_pid=$!
  for _ in $(seq 100); do curl -sf "http://127.0.0.1:$port/api/v1/health" >/dev/null && return; sleep 0.1; done
  echo "the server did not start" >&2; exit 1
}
start_server
echo "== seeding $games games"
time psql -q -h "$dir" -U korvane -d postgres -v games="$games" -f "$root/bench/server/seed_games.sql"

# The player ranked in the middle of the board (players and their games
# share ids in the seed): an OFFSET here only picks whom to measure.
middle=$(psql -h "$dir" -U korvane -d postgres -Atc \
  "SELECT game_id FROM bests WHERE board = 2 ORDER BY neg_score, verified_at, game_id OFFSET $((games / 2)) LIMIT 1")
echo "== query plans for player $middle (rank $((games / 2 + 1)))"
psql -h "$dir" -U korvane -d postgres -v game="$middle" -f "$root/bench/server/explain.sql"
echo "== GET top 10 of normal, $seconds s"
wrk -t2 -c16 -d"${seconds}s" --latency "http://127.0.0.1:$port/api/v1/boards/normal" | grep -E "Requests/sec|50%|90%|99%"
for connections in 1 8; do
  echo "== GET around me (player $middle, rank $((games / 2 + 1)) of $games), $connections connection(s), $seconds s"
  wrk -t1 -c$connections -d"${seconds}s" --latency -H "Authorization: Bearer bench-token-$middle" \
    "http://127.0.0.1:$port/api/v1/boards/normal/around" | grep -E "Requests/sec|50%|90%|99%"
done
echo "== resident memory of the server: $(ps -o rss= -p "$server_pid") KiB"

echo "== verified posts: 20 tokens each posting the 4 golden games (each stored once, the rest re-run then 409)"
start=$(date +%s.%N)
for i in $(seq 20); do
  posts=()
  for replay in "$root"/tests/replays/*.kvrp; do
    curl -s -o /dev/null -m 60 -X POST --data-binary "@$replay" -H "Authorization: Bearer bench-poster-$i-0000000" \
      "http://127.0.0.1:$port/api/v1/scores?name=Bench" &
    posts+=($!)
  done
  wait "${posts[@]}"
done
end=$(date +%s.%N)
echo "80 posts re-run in $(echo "$end - $start" | bc) s: $(echo "80 / ($end - $start)" | bc) posts/s"
