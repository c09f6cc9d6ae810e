#!/usr/bin/env bash
# Runs a local world score server on http://127.0.0.1:8080/ (KORVANE_LISTEN
# to change it): installs what is missing, builds korvane-server and the
# re-run program into build-server/ and the browser build (tools/web.sh) into
# build-web/site, which the server serves under / beside the world tables
# (KORVANE_SITE names another folder and skips that build), and, unless
# KORVANE_DATABASE_URL names a
# database, keeps a PostgreSQL cluster of its own in server-db/ (made on first
# use, run by an unprivileged user, on a Unix socket only: no TCP port, no
# password). Ctrl-C stops the server; the cluster is stopped with it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-server"
"$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DKORVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvane-server korvane-replay
if [ -z "${KORVANE_SITE:-}" ]; then
  "$root/tools/web.sh" --build-only
  export KORVANE_SITE="$root/build-web/site"
fi

pg=/usr/lib/postgresql/15/bin
cluster=
if [ -z "${KORVANE_DATABASE_URL:-}" ]; then
  cluster="$root/server-db"
  as_owner=()
  if [ "$(id -u)" = 0 ]; then as_owner=(runuser -u nobody --); fi
  if [ ! -d "$cluster/data" ]; then
    mkdir -p "$cluster"
    [ "$(id -u)" = 0 ] && chown nobody "$cluster"
    "${as_owner[@]}" "$pg/initdb" -D "$cluster/data" -A trust -U korvane >/dev/null
  fi
  "${as_owner[@]}" "$pg/pg_ctl" -D "$cluster/data" -o "-k $cluster -c listen_addresses=''" -l "$cluster/log" -w start
  trap '"${as_owner[@]}" "$pg/pg_ctl" -D "$cluster/data" -m fast -w stop' EXIT
  export KORVANE_DATABASE_URL="host=$cluster user=korvane dbname=postgres"
fi
export KORVANE_DATA="${KORVANE_DATA:-$build/data}"
"$build/korvane-server"
