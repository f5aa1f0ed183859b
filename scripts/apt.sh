# Sourced by the install scripts: apt on a package index that may be half-synced. Needs SUDO.

# Suites whose index the last apt_update could not get (bookworm-security, say).
APT_FAILED_SUITES=()

installed() {  # installed <package>: true when dpkg has it installed
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

apt_update() {
  local try out rc
  for try in 1 2 3; do
    rc=0
    out=$($SUDO apt-get update -qq -o DPkg::Lock::Timeout=600 2>&1) || rc=$?
    if [ $rc -eq 0 ]; then APT_FAILED_SUITES=(); return 0; fi
    [ $try -lt 3 ] && sleep $((try * 10))
  done
  # A refused index is named by its URL: .../dists/<suite>/<component>/binary-<arch>/...
  mapfile -t APT_FAILED_SUITES < <(grep -o 'Failed to fetch [^ ]*' <<<"$out" |
                                   sed -n -E 's#.*/dists/([^/]+)/.*#\1#p' | sort -u)
  if [ ${#APT_FAILED_SUITES[@]} -eq 0 ]; then
    printf '%s\n' "$out" >&2
    return $rc
  fi
  echo "install-deps: apt-get update could not get the index of ${APT_FAILED_SUITES[*]} in 3 tries (mirror sync in progress); going on with the indices it did get" >&2
}

apt_install() {  # apt_install <package>...
  local out rc=0 pref suite
  out=$($SUDO apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "$@" 2>&1) || rc=$?
  [ $rc -eq 0 ] && return 0
  if [ ${#APT_FAILED_SUITES[@]} -gt 0 ] && grep -q -e 'held broken packages' -e 'unmet dependencies' <<<"$out"; then
    # Installed packages keep their versions (priority 100 beats 90); new ones come from the
    # suites whose index is whole, so both architectures of a library get the same version.
    pref=$(mktemp)
    for suite in "${APT_FAILED_SUITES[@]}"; do
      printf 'Package: *\nPin: release n=%s\nPin-Priority: 90\n\n' "$suite"
    done >"$pref"
    chmod 644 "$pref"
    echo "install-deps: i386 and amd64 versions disagree without the index of ${APT_FAILED_SUITES[*]}; installing with ${APT_FAILED_SUITES[*]} pinned below the other suites" >&2
    rc=0
    out=$($SUDO apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 -o Dir::Etc::Preferences="$pref" "$@" 2>&1) || rc=$?
    rm -f "$pref"
    [ $rc -eq 0 ] && return 0
  fi
  printf '%s\n' "$out" >&2
  echo "install-deps: apt-get install $* failed" >&2
  return $rc
}
