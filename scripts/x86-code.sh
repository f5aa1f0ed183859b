#!/usr/bin/env bash
# Whether this machine runs 32-bit x86 programs (Wine's 32-bit loader is one), and where it
# doesn't, user-mode emulation that makes it.
#
#   bash scripts/x86-code.sh probe   exit 0 when an i386 program runs; otherwise one line why not
#   bash scripts/x86-code.sh mode    "native", "emulated by <emulator>", or "none: <why not>"
#   bash scripts/x86-code.sh setup   the probe; where it fails, as root: qemu-user 10 (from
#                                    backports), binfmt_misc mounted, an i386 ELF entry written,
#                                    then the probe again. A second run finds the probe passing
#                                    and does nothing.
#
# Some virtual machines give user space no 32-bit code segment although the kernel has IA32
# emulation built in: exec of an i386 ELF fails with "Exec format error". qemu-user 7.2 (the
# release's own) is not enough for Wine; 10 is. The entry's F flag opens the emulator once at
# registration, so it is found whatever the program's root or namespace later.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
entry=qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
qemu=/usr/bin/qemu-i386
# The i386 ELF executables and shared objects, as Debian's qemu entries write them.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# The smallest i386 program: a static ELF that exits with 41 where it runs as 32-bit code.
# Its 0x48 byte is "dec eax" there, but a REX prefix to a nop in 64-bit mode (exit code 42).
probe() {
  local dir prog rc=0 err
  dir=$(mktemp -d) || return 1
  prog=$dir/exit41
  printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x64\x00\x00\x00\x64\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xb8\x2a\x00\x00\x00\x48\x90\x89\xc3\xb8\x01\x00\x00\x00\xcd\x80' >"$prog"
  chmod +x "$prog"
  err=$( { "$prog"; } 2>&1 ) || rc=$?
  rm -rf "$dir"
  case $rc in
    41) return 0 ;;
    42) why="an i386 program ran as 64-bit code" ;;
    126) why="an i386 program did not start (${err##*: })" ;;
    *) if [ $rc -gt 128 ]; then why="an i386 program was killed by signal $((rc - 128))";
       else why="an i386 program ended with exit code $rc"; fi ;;
  esac
  return 1
}

# The interpreter of an enabled binfmt_misc entry for i386 ELF programs, if there is one.
i386_interpreter() {
  local f
  for f in "$binfmt"/*; do
    [ -f "$f" ] && [ "$(head -n 1 "$f")" = enabled ] || continue
    grep -qE '^magic 7f454c4601.*0300$' "$f" || continue
    interpreter=$(sed -n 's/^interpreter //p' "$f")
    [ -x "$interpreter" ] || continue
    echo "$interpreter"
    return 0
  done
  return 1
}

qemu_major() {
  [ -x "$qemu" ] || { echo 0; return; }
  "$qemu" --version 2>/dev/null | sed -n -E '1s/.*version ([0-9]+)\..*/\1/p' | grep . || echo 0
}

install_qemu() {
  [ "$(qemu_major)" -ge 10 ] && return 0
  local codename sources
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || { why_more="no release codename to find qemu-user 10 in backports"; return 1; }
  sources=/etc/apt/sources.list.d/orvalis-$codename-backports.sources
  if ! grep -rqs -- "$codename-backports" /etc/apt/sources.list /etc/apt/sources.list.d; then
    printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$codename" >"$sources"
  fi
  export DEBIAN_FRONTEND=noninteractive SUDO=""
  source "$here/apt.sh"
  apt_update || { why_more="apt-get update failed"; return 1; }
  apt_install "qemu-user/$codename-backports" || { why_more="qemu-user from $codename-backports did not install"; return 1; }
  [ "$(qemu_major)" -ge 10 ] || { why_more="$qemu is not release 10 or later"; return 1; }
}

register_entry() {
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      { why_more="binfmt_misc could not be mounted"; return 1; }
  fi
  [ "$(cat "$binfmt/status" 2>/dev/null)" = enabled ] || echo 1 >"$binfmt/status"
  # An entry of that name that didn't make the probe pass (an older emulator, disabled) goes.
  [ -e "$binfmt/$entry" ] && echo -1 >"$binfmt/$entry"
  printf ':%s:M::%s:%s:%s:F' "$entry" "$magic" "$mask" "$qemu" >"$binfmt/register" 2>/dev/null ||
    { why_more="the binfmt_misc entry could not be written"; return 1; }
}

case "${1:-probe}" in
  probe)
    probe && exit 0
    echo "no 32-bit x86 code runs on this machine: $why"
    exit 1 ;;
  mode)
    if ! probe; then echo "none: $why"; exit 1; fi
    if interpreter=$(i386_interpreter); then
      echo "emulated by $("$interpreter" --version 2>/dev/null | head -n 1 | grep . || echo "$interpreter")"
    else
      echo native
    fi ;;
  setup)
    probe && exit 0
    native_why=$why
    if [ "$(id -u)" -ne 0 ]; then
      echo "no 32-bit x86 code runs on this machine ($native_why), and setting up its emulation needs root"
      exit 1
    fi
    if install_qemu && register_entry && probe; then
      echo "x86-code: this machine runs no 32-bit x86 code natively ($native_why); i386 programs now run through $("$qemu" --version | head -n 1) (binfmt_misc entry $entry)"
      exit 0
    fi
    echo "no 32-bit x86 code runs on this machine ($native_why), and its emulation could not be set up: ${why_more:-the probe still fails: $why}"
    exit 1 ;;
  *) echo "usage: x86-code.sh probe|mode|setup" >&2; exit 2 ;;
esac
