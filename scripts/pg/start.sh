#!/usr/bin/env bash
# Starts a throw-away PostgreSQL 15 server for the tests: a new cluster in a temporary
# folder, listening on 127.0.0.1 only, on a free port, trust authentication, one database.
#
#   dir=$(scripts/pg/start.sh [DIR])     # prints the cluster's folder (created if needed)
#   . "$dir/env"                         # REGVENDA_PG_DIR, REGVENDA_PG_PORT, REGVENDA_PG_CONNECTION
#   scripts/pg/stop.sh "$dir"            # stops the server and removes the folder
#
# PostgreSQL refuses to run as root, so under root (CI containers) the server runs as the
# "postgres" system user the Debian package creates, or as "nobody" when that is missing.
# Everything but the folder's path goes to stderr, so the caller can capture stdout.
set -euo pipefail

PGBIN=${REGVENDA_PG_BIN:-/usr/lib/postgresql/15/bin}
DRIVER=${REGVENDA_PG_DRIVER:-}
DB=regvenda
DBUSER=regvenda

say() { echo "pg/start: $*" >&2; }
die() { say "$*"; exit 1; }

[[ -x "$PGBIN/initdb" && -x "$PGBIN/pg_ctl" ]] ||
  die "PostgreSQL 15 não encontrado em $PGBIN (pacote postgresql-15)."

if [[ -z "$DRIVER" ]]; then
  for candidate in /usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so /usr/lib/*/odbc/psqlodbcw.so \
                   /usr/lib/odbc/psqlodbcw.so; do
    if [[ -f "$candidate" ]]; then DRIVER=$candidate; break; fi
  done
fi
[[ -n "$DRIVER" && -f "$DRIVER" ]] || die "driver ODBC do PostgreSQL não encontrado (pacote odbc-postgresql)."

dir=${1:-}
if [[ -z "$dir" ]]; then
  dir=$(mktemp -d "${TMPDIR:-/tmp}/regvenda-pg.XXXXXX")
else
  mkdir -p "$dir"
fi
dir=$(cd "$dir" && pwd)
[[ -e "$dir/data" ]] && die "$dir já contém um cluster; use outra pasta ou pare-o com stop.sh."

# Run the server's own programs as an ordinary user when we are root.
as_owner=()
if [[ $(id -u) -eq 0 ]]; then
  owner=postgres
  id "$owner" >/dev/null 2>&1 || owner=nobody
  chown "$owner" "$dir"
  as_owner=(runuser -u "$owner" --)
  "${as_owner[@]}" test -w "$dir" ||
    die "o usuário $owner não alcança $dir (defina TMPDIR para uma pasta acessível)."
fi
run() { "${as_owner[@]}" "$@"; }

run "$PGBIN/initdb" --pgdata="$dir/data" --username="$DBUSER" --auth=trust --encoding=UTF8 \
  --no-locale --no-sync >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; die "initdb falhou."; }
run mkdir -p "$dir/socket"

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

started=
for _ in 1 2 3 4 5 6 7 8; do
  port=$((20000 + RANDOM % 40000))
  port_in_use "$port" && continue
  if run "$PGBIN/pg_ctl" --pgdata="$dir/data" --log="$dir/server.log" --wait --timeout=30 \
       -o "-p $port -c listen_addresses=127.0.0.1 -k $dir/socket -c fsync=off -c full_page_writes=off" \
       start >&2; then
    started=yes
    break
  fi
  say "porta $port não serviu; tentando outra."
done
[[ -n "$started" ]] || { cat "$dir/server.log" >&2 || true; die "o servidor não subiu."; }

run "$PGBIN/createdb" --host=127.0.0.1 --port="$port" --username="$DBUSER" "$DB" ||
  die "createdb falhou."

cat >"$dir/env" <<ENV
export REGVENDA_PG_DIR='$dir'
export REGVENDA_PG_PORT='$port'
export REGVENDA_PG_CONNECTION='Driver=$DRIVER;Server=127.0.0.1;Port=$port;Database=$DB;Uid=$DBUSER;Pwd=;'
ENV
chmod a+r "$dir/env"
say "servidor em 127.0.0.1:$port, banco $DB; variáveis em $dir/env"
echo "$dir"
