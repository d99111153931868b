#!/usr/bin/env bash
# The Debian package as a shop gets it: lintian finds nothing, and the programs run from the
# unpacked tree (their private libraries and the module found through the run path only).
#   tests/package/test.sh [DEB]      builds the package when no DEB is given
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
deb=${1:-$(bash "$root/scripts/package.sh")}
work=$(mktemp -d /tmp/regvenda-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

if ! command -v lintian >/dev/null; then
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends lintian
fi
lintian --fail-on error,warning "$deb"

tree="$work/tree"
dpkg-deb -x "$deb" "$tree"
dpkg-deb -e "$deb" "$work/control"
bin="$tree/usr/bin"
triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
readelf -d "$bin/regvenda" | grep -q "RUNPATH.*\[\$ORIGIN/../lib/$triplet/regvenda\]" ||
  fail "regvenda's run path does not lead to the private library folder"
grep -qx /etc/regvenda/ConexaoOrv.txt "$work/control/conffiles" || fail "ConexaoOrv.txt is no conffile"

export QT_QPA_PLATFORM=offscreen
"$bin/regvenda" --version | grep -q "^regvenda [0-9]" || fail "regvenda --version"
"$bin/cds" --help | grep -q "cds json" || fail "cds --help"
programs=(regvenda cds regvenda-demo regvenda-sync)
"$bin/regvenda-sync" --help | grep -q -- "--watch" || fail "regvenda-sync --help"
unit="$tree/lib/systemd/system/regvenda-sync.service"
[ -f "$unit" ] || fail "no regvenda-sync.service"
if command -v systemd-analyze >/dev/null; then
  # Checked as installed: the program at its place, the rest of the unit untouched.
  sed "s|^ExecStart=/usr/bin/|ExecStart=$bin/|" "$unit" >"$work/regvenda-sync.service"
  systemd-analyze verify --man=no "$work/regvenda-sync.service"
fi
for p in "${programs[@]}"; do
  [ -f "$tree/usr/share/man/man1/$p.1.gz" ] || fail "no manual page for $p"
done

# The screen opens on a demo data directory, the module taken from the private folder.
"$bin/regvenda-demo" "$work/data" >/dev/null
"$bin/regvenda" --data-dir "$work/data" --screenshot "$work/screen.png" >/dev/null ||
  fail "the unpacked screen did not open"

# A purge keeps the data directory while a sale file waits for the take-up, and only then.
mkdir -p "$work/stubs" "$work/var/Dados/VENDA_ARQUIVO/Enviados"
for stub in dpkg-statoverride deb-systemd-helper systemctl; do
  printf '#!/bin/sh\nexit 1\n' >"$work/stubs/$stub"; chmod +x "$work/stubs/$stub"
done
sed "s|^datadir=/var/lib/regvenda|datadir=$work/var|" "$work/control/postrm" >"$work/postrm"
touch "$work/var/Dados/VENDA_ARQUIVO/Venda1_1_7.cds" "$work/var/Dados/VENDA_ARQUIVO/Enviados/Venda1_1_6.cds"
PATH="$work/stubs:$PATH" sh "$work/postrm" purge 2>"$work/said"
[ -d "$work/var" ] && grep -q "1 sale file" "$work/said" || fail "a purge lost a waiting sale"
rm "$work/var/Dados/VENDA_ARQUIVO/Venda1_1_7.cds"
PATH="$work/stubs:$PATH" sh "$work/postrm" purge
[ ! -e "$work/var" ] || fail "a purge kept a data directory with nothing waiting"
echo "package test: $deb passed"
