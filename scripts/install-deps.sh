#!/usr/bin/env bash
# Installs what the build and the tests need, and nothing when it is all there already; then
# makes sure this machine runs 32-bit x86 programs, which Wine's 32-bit loader is (natively,
# or through user-mode emulation where the machine gives user space no 32-bit code segment).
#
# The package index can be half-synced for hours: one architecture's index of a suite refused
# ("Mirror sync in progress?") while the other's is new. apt-get update is retried, then the
# install goes on with the indices it did get; when the i386 and amd64 twins of a library then
# come from different suites (Multi-Arch: same needs equal versions), the suites whose index
# failed are pinned below the others for the install, which gives a consistent set. That is
# said in one line; a failure that remains is apt's own, shown in full.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

packages=(cmake ninja-build g++ g++-mingw-w64-i686 mingw-w64-tools libwine-dev
          wine wine32:i386 xvfb xauth x11-apps imagemagick googletest libgtest-dev
          nlohmann-json3-dev binutils-mingw-w64-i686 python3 wixl msitools
          g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 clang libfuzzer-14-dev
          libclang-rt-14-dev fp-utils-3.2.2 fonts-wine osslsigncode openssl)
# libclang-rt-14-dev: the fuzzers' and sanitizers' runtimes, which clang alone doesn't bring.
# fonts-wine: the fonts Wine's prefixes draw with, Marlett (the title bar's buttons) among them.
# osslsigncode and openssl: the build's signing, and the tests' throwaway signing authority.

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
source "$here/apt.sh"

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  # One line for a person waiting (the demo's stages); the install itself says nothing more.
  [ "${ORVALIS_INSTALL_STAGES:-no}" = yes ] && echo "Installing ${#missing[@]} packages..."
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  apt_update
  apt_install "${missing[@]}"
fi

# 32-bit programs: a probe, and the emulation where the probe fails. A machine where neither
# works still builds and runs everything 64-bit; the test script reports the 32-bit suite as
# skipped with the reason this prints.
bash "$here/x86-code.sh" setup || true
