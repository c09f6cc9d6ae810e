#!/usr/bin/env bash
# Runs a command beside a real korvane-server on a throwaway PostgreSQL
# cluster, both removed afterwards: the cluster in a temporary folder, on a
# Unix socket only, owned by an unprivileged user (nobody) when run as root;
# the server on a free loopback port, serving SITE under / and re-running
# posted games with BUILD's korvane-replay and data. The command gets the
# server's address in KORVANE_TEST_SERVER and its database in
# KORVANE_TEST_DATABASE; its exit status is this script's.
#   tests/web/with_score_server.sh BUILD SITE COMMAND...
set -uo pipefail
[ $# -ge 3 ] || { echo "usage: with_score_server.sh BUILD SITE COMMAND..." >&2; exit 2; }
build=$1 site=$2
shift 2
pg=/usr/lib/postgresql/15/bin
dir=$(mktemp -d "${TMPDIR:-/tmp}/korvane-web-server-XXXXXX")
as_owner=()
if [ "$(id -u)" = 0 ]; then chown nobody "$dir"; as_owner=(runuser -u nobody --); fi
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  "${as_owner[@]}" "$pg/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1
  rm -rf -- "$dir"
}
trap cleanup EXIT

"${as_owner[@]}" "$pg/initdb" -D "$dir/data" -A trust -U korvane >/dev/null || exit 1
"${as_owner[@]}" "$pg/pg_ctl" -D "$dir/data" -o "-k $dir -c listen_addresses=''" -l "$dir/log" -w start \
  >/dev/null || { cat "$dir/log"; exit 1; }
export KORVANE_TEST_DATABASE="host=$dir user=korvane dbname=postgres"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
KORVANE_DATABASE_URL="$KORVANE_TEST_DATABASE" KORVANE_LISTEN="127.0.0.1:$port" KORVANE_DATA="$build/data" \
  KORVANE_SITE="$site" KORVANE_WORKERS=1 "$build/korvane-server" 2>"$dir/server.log" &
server_pid=$!
export KORVANE_TEST_SERVER="http://127.0.0.1:$port/"
for _ in $(seq 100); do
  curl -sf "${KORVANE_TEST_SERVER}api/v1/health" >/dev/null && break
  sleep 0.1
done
curl -sf "${KORVANE_TEST_SERVER}api/v1/health" >/dev/null || { echo "korvane-server did not start:"; cat "$dir/server.log"; exit 1; }

"$@"
status=$?
[ $status -ne 0 ] && { echo "--- korvane-server's log"; cat "$dir/server.log"; }
exit $status
