#!/usr/bin/env bash
# full_disk.sh mount|unmount <folder>: a 64 KiB file system for the save tests, where the
# machine lets us mount one (as root). When it can't be mounted, <folder>.unavailable says
# why and the tests that need it are reported skipped with that reason.
set -uo pipefail
action=$1 dir=$2
case "$action" in
  mount)
    mountpoint -q "$dir" && umount "$dir"
    rm -rf "$dir" "$dir.unavailable"
    mkdir -p "$dir"
    if reason=$(mount -t tmpfs -o size=64k orvalis-full-disk "$dir" 2>&1); then
      mkdir "$dir/save"
      echo "a 64 KiB file system at $dir"
    else
      echo "no 64 KiB file system could be mounted at $dir: ${reason:-mount failed}" | tee "$dir.unavailable"
    fi
    ;;
  unmount)
    if mountpoint -q "$dir"; then umount "$dir"; fi
    rm -rf "$dir" "$dir.unavailable"
    ;;
esac
exit 0
