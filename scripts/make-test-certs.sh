#!/usr/bin/env bash
# Makes the throwaway test TLS material in build/certs (or $1), reusing what
# exists:
#   ca.pem, ca.der, ca.key     a test CA (trusted in the private Wine prefix only)
#   server.pem, server.key     "localhost" (SAN DNS:localhost only), signed by the CA
#   bad.pem, bad.key           a self-signed "localhost" certificate nobody trusts
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/certs}
mkdir -p "$dir"
cd "$dir"

exec 9>"$dir/.lock"
flock -w 60 9

subject_alt="subjectAltName=DNS:localhost"
quiet() { "$@" >/dev/null 2>&1 || { echo "make-test-certs: failed: $*" >&2; "$@"; exit 1; }; }

if [ ! -f ca.pem ] || [ ! -f ca.key ]; then
  rm -f ca.der server.pem server.key
  quiet openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -keyout ca.key -out ca.pem -subj "/CN=Tavri Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
fi
[ -f ca.der ] || quiet openssl x509 -in ca.pem -outform DER -out ca.der

if [ ! -f server.pem ] || [ ! -f server.key ]; then
  quiet openssl req -newkey rsa:2048 -nodes -sha256 -keyout server.key -out server.csr -subj "/CN=localhost"
  printf '%s\n' "$subject_alt" "extendedKeyUsage=serverAuth" "basicConstraints=CA:FALSE" >server.ext
  quiet openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 3650 -sha256 \
    -extfile server.ext -out server.pem
  rm -f server.csr server.ext
fi

if [ ! -f bad.pem ] || [ ! -f bad.key ]; then
  quiet openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -keyout bad.key -out bad.pem -subj "/CN=localhost" -addext "$subject_alt"
fi
echo "$dir"
