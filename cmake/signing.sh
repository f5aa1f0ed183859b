#!/usr/bin/env bash
# Authenticode signing of what the build ships, driven by the environment at build time:
#
#   ORVALIS_SIGN_PFX            a PKCS#12 file with a code-signing certificate and its key;
#                               unset or empty: nothing is signed
#   ORVALIS_SIGN_PASSWORD_FILE  a file holding its password (unset: the file has none)
#   ORVALIS_TIMESTAMP_URL       an RFC 3161 time-stamping service to countersign with (optional)
#
#   signing.sh stamp <file>                 writes what identifies the signing set-up (never
#                                           the password), touching the file only when that
#                                           changed, so a build re-signs exactly when it must
#   signing.sh sign <file> [description]    signs the file in place (SHA-256); when signing
#                                           fails, says what osslsigncode said and removes the
#                                           file: a failed step leaves nothing that could pass
#                                           for the signed file, and the next build makes it anew
#   signing.sh strip <objcopy> <file>       keeps the debug sections in <file>.debug beside it,
#                                           then strips the file and links it to them; on
#                                           failure the file is removed too
#
# The password reaches osslsigncode through -readpass only: never on a command line, in a log
# or in the build folder.
set -uo pipefail

fail() {  # fail <file> <message>: the message on stderr, the file and any half-made copy gone
  rm -f "$1" "$1.signing" "$1.stripping"
  printf '%s\n' "$2" >&2
  exit 1
}

stamp() {
  local out=$1 pfx=${ORVALIS_SIGN_PFX:-} text
  if [ -z "$pfx" ]; then
    text="unsigned"
  elif [ -r "$pfx" ]; then
    # The certificate file's digest: another certificate under the same name re-signs too.
    text="signed with $(sha256sum <"$pfx" | cut -d' ' -f1) timestamp ${ORVALIS_TIMESTAMP_URL:-none}"
  else
    text="signed with an unreadable $pfx"  # the signing step then fails with osslsigncode's words
  fi
  if [ -f "$out" ] && [ "$(cat "$out")" = "$text" ]; then return 0; fi
  mkdir -p "$(dirname "$out")"
  printf '%s\n' "$text" >"$out.new" && mv -f "$out.new" "$out"
}

sign() {
  local file=$1 description=${2:-} pfx=${ORVALIS_SIGN_PFX:-} out rc=0
  [ -n "$pfx" ] || return 0
  [ -f "$file" ] || fail "$file" "signing: no file $file to sign"
  local args=(sign -pkcs12 "$pfx" -h sha256)
  [ -n "${ORVALIS_SIGN_PASSWORD_FILE:-}" ] && args+=(-readpass "$ORVALIS_SIGN_PASSWORD_FILE")
  [ -n "$description" ] && args+=(-n "$description")
  [ -n "${ORVALIS_TIMESTAMP_URL:-}" ] && args+=(-ts "$ORVALIS_TIMESTAMP_URL")
  rm -f "$file.signing"
  out=$(osslsigncode "${args[@]}" -in "$file" -out "$file.signing" 2>&1) || rc=$?
  # osslsigncode has ended with 0 after writing nothing: only a file it wrote counts.
  [ $rc -eq 0 ] && [ -s "$file.signing" ] ||
    fail "$file" "signing $(basename "$file") failed (osslsigncode exit code $rc): $out"
  mv -f "$file.signing" "$file" || fail "$file" "signing: could not replace $file"
}

strip() {
  local objcopy=$1 file=$2 out
  out=$("$objcopy" --only-keep-debug "$file" "$file.debug" 2>&1) ||
    fail "$file" "stripping $(basename "$file"): $out"
  out=$("$objcopy" --strip-all "$file" "$file.stripping" 2>&1) ||
    fail "$file" "stripping $(basename "$file"): $out"
  # The link names the .debug file by its name alone: a debugger finds it beside the binary.
  out=$(cd "$(dirname "$file")" && "$objcopy" --add-gnu-debuglink="$(basename "$file").debug" "$file.stripping" 2>&1) ||
    fail "$file" "stripping $(basename "$file"): $out"
  mv -f "$file.stripping" "$file" || fail "$file" "stripping: could not replace $file"
}

usage() {
  echo "usage: signing.sh stamp <file> | sign <file> [description] | strip <objcopy> <file>" >&2
  exit 2
}
case ${1:-} in
  stamp) [ $# -eq 2 ] || usage; stamp "$2" ;;
  sign) [ $# -ge 2 ] && [ $# -le 3 ] || usage; sign "$2" "${3:-}" ;;
  strip) [ $# -eq 3 ] || usage; strip "$2" "$3" ;;
  *) usage ;;
esac
