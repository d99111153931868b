#!/usr/bin/env bash
# Stops the server scripts/pg/start.sh started in DIR and removes DIR.
#   scripts/pg/stop.sh DIR           (or with REGVENDA_PG_DIR set)
#   scripts/pg/stop.sh --keep DIR    stops the server, keeps the folder (logs)
set -euo pipefail

PGBIN=${REGVENDA_PG_BIN:-/usr/lib/postgresql/15/bin}
keep=
if [[ ${1:-} == --keep ]]; then keep=yes; shift; fi
dir=${1:-${REGVENDA_PG_DIR:-}}
[[ -n "$dir" ]] || { echo "uso: stop.sh [--keep] DIR" >&2; exit 2; }
[[ -f "$dir/env" || -d "$dir/data" ]] || { echo "pg/stop: $dir não é um cluster de teste" >&2; exit 1; }

if [[ -f "$dir/data/postmaster.pid" ]]; then
  as_owner=()
  if [[ $(id -u) -eq 0 ]]; then as_owner=(runuser -u "$(stat -c %U "$dir/data")" --); fi
  "${as_owner[@]}" "$PGBIN/pg_ctl" --pgdata="$dir/data" --mode=immediate --wait stop >&2 || true
fi
if [[ -z "$keep" ]]; then rm -rf "$dir"; fi
