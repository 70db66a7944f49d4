#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Does nothing when
# every package is already present, so both README commands can call it first.
set -euo pipefail

packages=(
  wine wine32:i386 wine64 libwine-dev fonts-wine
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  cmake make googletest
  xvfb xauth imagemagick
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
