#!/usr/bin/env bash
# Builds the Debian package (programs and libraries only, in Release) and prints the path
# of the .deb, under build/deb/. Installs what the build needs (debian/control's
# Build-Depends), through sudo when not root. The build log is build/deb/build.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/deb"

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ! dpkg-checkbuilddeps "$root/debian/control" >/dev/null 2>&1; then
  echo "package: installing the build dependencies" >&2
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends dpkg-dev
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get build-dep -y -qq "$root" >/dev/null
fi

# dpkg-buildpackage writes beside the source tree: a copy inside build/ keeps it there.
rm -rf "$out"
mkdir -p "$out/src"
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$out/src" -xf -

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
deb="$out/regvenda_${version}_$(dpkg --print-architecture).deb"
if ! (cd "$out/src" &&
      DEB_BUILD_OPTIONS="nocheck noddebs parallel=$(nproc)" dpkg-buildpackage -us -uc -b) \
      >"$out/build.log" 2>&1; then
  tail -n 40 "$out/build.log" >&2
  echo "package: the build failed (whole log: $out/build.log)" >&2
  exit 1
fi
rm -rf "$out/src"
echo "$deb"
