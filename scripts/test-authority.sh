#!/usr/bin/env bash
# A throwaway code-signing authority, made afresh with openssl for the tests and the demo (no
# key of it is ever kept in the project):
#
#   bash scripts/test-authority.sh <folder>
#
# writes into the folder (made empty first):
#   root.crt, root.cer          "Orvalis Test Root", the root a machine is told to trust
#   signer.pfx, signer.cer      "Orvalis Test Publisher", a code-signing certificate of that root
#                               with its key; the publisher a machine is told to trust
#   signer.pass                 the password of signer.pfx
#   stranger.pfx, stranger.cer  "Orvalis Test Stranger", another certificate of that root, which
#                               nobody makes a trusted publisher (no password)
#   tsa.crt, tsa.key, tsa.cnf   "Orvalis Test Time-Stamping", a time-stamping certificate of the
#                               test root, with its key and an openssl ts configuration for it
#   other-root.crt              "Orvalis Other Root", a root nobody trusts
#   other.pfx, other.cer        "Orvalis Other Publisher", a code-signing certificate of it (no password)
# (.crt PEM, .cer DER). Prints nothing but errors; exit code 1 on any failure.
set -euo pipefail
dir=${1:?usage: test-authority.sh <folder>}
rm -rf "$dir"
mkdir -p "$dir"
cd "$dir"

cat >ext.cnf <<'EOF'
[root]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[tsa]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF

quiet() {  # quiet <command...>: openssl's chatter only when it fails
  local out
  out=$("$@" 2>&1) || { printf '%s\n' "$out" >&2; return 1; }
}

root() {  # root <name> <subject>
  quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.crt" -days 3650 \
    -subj "/O=Orvalis Tests/CN=$2" -extensions root -config <(cat /etc/ssl/openssl.cnf ext.cnf)
  quiet openssl x509 -in "$1.crt" -outform DER -out "$1.cer"
}

signer() {  # signer <name> <subject> <root name> [password file]
  quiet openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/O=Orvalis Tests/CN=$2"
  quiet openssl x509 -req -in "$1.csr" -CA "$3.crt" -CAkey "$3.key" -CAcreateserial -days 730 \
    -extfile ext.cnf -extensions signer -out "$1.crt"
  quiet openssl x509 -in "$1.crt" -outform DER -out "$1.cer"
  local pass=pass:
  [ $# -ge 4 ] && pass=file:$4
  quiet openssl pkcs12 -export -inkey "$1.key" -in "$1.crt" -certfile "$3.crt" -name "$2" -out "$1.pfx" -passout "$pass"
  rm -f "$1.key" "$1.csr"
}

root root "Orvalis Test Root"
openssl rand -hex 16 >signer.pass
signer signer "Orvalis Test Publisher" root signer.pass
signer stranger "Orvalis Test Stranger" root
# A time-stamping service's certificate, and openssl ts's settings to answer with it.
quiet openssl req -new -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.csr -subj "/O=Orvalis Tests/CN=Orvalis Test Time-Stamping"
quiet openssl x509 -req -in tsa.csr -CA root.crt -CAkey root.key -CAcreateserial -days 730 -extfile ext.cnf -extensions tsa -out tsa.crt
rm -f tsa.csr
cat >tsa.cnf <<EOF
[tsa]
default_tsa = answer
[answer]
serial = $PWD/tsa.serial
crypto_device = builtin
signer_cert = $PWD/tsa.crt
certs = $PWD/root.crt
signer_key = $PWD/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ordering = no
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
EOF
echo 01 >tsa.serial

root other-root "Orvalis Other Root"
signer other "Orvalis Other Publisher" other-root
# The roots' keys go with this run: nothing can be issued under them later.
rm -f root.key other-root.key root.srl other-root.srl ext.cnf
