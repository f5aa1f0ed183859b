#!/usr/bin/env bash
# Installs what the build and the tests need, and nothing when it is all there already.
set -euo pipefail

packages=(cmake ninja-build g++ g++-mingw-w64-i686 mingw-w64-tools libwine-dev
          wine wine32:i386 xvfb xauth x11-apps imagemagick googletest libgtest-dev
          nlohmann-json3-dev binutils-mingw-w64-i686 python3 wixl msitools
          g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 clang libfuzzer-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
