#!/usr/bin/env bash
# Installs the Debian packages the build, the screen and the tests need, when missing.
# Also generates the pt_BR.UTF-8 locale. Runs apt-get and locale-gen through sudo when not
# root. Safe to run again: it does nothing when all is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev
  rapidjson-dev
  unixodbc-dev odbc-postgresql postgresql
  clang libclang-rt-14-dev
  xvfb xauth fonts-liberation
  debhelper help2man lintian
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
else
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A till runs with LANG=pt_BR.UTF-8, and so do the tests: the locale must exist.
if ! locale -a 2>/dev/null | grep -qix 'pt_BR\.utf-\?8'; then
  echo "setup: generating the pt_BR.UTF-8 locale"
  if ! grep -qx 'pt_BR.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'pt_BR.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
