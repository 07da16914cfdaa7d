#!/usr/bin/env bash
# Makes the test certificates: a test CA, a certificate for localhost signed by it, and an
# untrusted self-signed one for the same names. Valid for 100 years; run again to renew.
set -euo pipefail
cd "$(dirname "$0")"
san="subjectAltName=DNS:localhost,IP:127.0.0.1"
openssl req -x509 -newkey rsa:2048 -nodes -days 36500 -subj "/CN=Kelvo Test CA" \
  -keyout ca.key -out ca.pem -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout localhost.key -out localhost.csr 2>/dev/null
openssl x509 -req -in localhost.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 36500 \
  -extfile <(printf '%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$san") -out localhost.pem 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 36500 -subj "/CN=localhost" \
  -keyout untrusted.key -out untrusted.pem -addext "$san" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=wrong.example" -keyout wronghost.key -out wronghost.csr 2>/dev/null
openssl x509 -req -in wronghost.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 36500 \
  -extfile <(printf 'subjectAltName=DNS:wrong.example\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n') -out wronghost.pem 2>/dev/null
rm -f ./*.csr ca.srl
