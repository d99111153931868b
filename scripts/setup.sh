#!/usr/bin/env bash
# Installs the Debian packages the build, the screen and the tests need, when missing.
# Runs apt-get through sudo when not root. Safe to run again: it does nothing when all is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  unixodbc-dev odbc-postgresql postgresql
  clang libclang-rt-14-dev
  xvfb xauth fonts-liberation
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
