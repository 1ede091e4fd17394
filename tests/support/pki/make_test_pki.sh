#!/usr/bin/env bash
# Makes the test PKI in <out>: a root CA that the tests add to the test Wine prefix's machine "Root"
# store (never the host's), server certificates from it, and the bad ones a download must refuse.
#   root-ca.pem/.der          "QRX Test Root CA"
#   server.pem/-key.pem       CN localhost; SANs localhost, 127.0.0.1, 127.0.0.2 as DNS and as IP names
#   server-ip.pem             the same names as IP SANs only (127.0.0.1, 127.0.0.2)
#   server-dns.pem            the same names as DNS SANs only
#   expired.pem               like server.pem, valid 2020-01-01 to 2021-01-01
#   wrong-name.pem            CN and SAN wrong-name.qrx.test only
#   untrusted.pem             like server.pem, from "QRX Test Untrusted CA", which no store holds
# Every server certificate is written with its key appended (one file for Python's ssl).
set -euo pipefail
out=$1
rm -rf "$out.tmp"
mkdir -p "$out.tmp"
cd "$out.tmp"

ca() {  # ca <name> <subject>
  mkdir -p "$1/db"
  : > "$1/db/index.txt"
  echo 1000 > "$1/db/serial"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$1/key.pem" -out "$1/cert.pem" 2>/dev/null
  cat > "$1/ca.cnf" <<CNF
[ca]
default_ca = this
[this]
dir = $PWD/$1
database = \$dir/db/index.txt
serial = \$dir/db/serial
new_certs_dir = \$dir/db
certificate = \$dir/cert.pem
private_key = \$dir/key.pem
default_md = sha256
default_days = 825
policy = any
copy_extensions = none
unique_subject = no
[any]
commonName = supplied
CNF
}

server() {  # server <ca> <file> <CN> <subjectAltName> [openssl ca date options...]
  local authority=$1 file=$2 cn=$3 san=$4
  shift 4
  openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$cn" -keyout "$file-key.pem" -out "$file.csr" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' \
    "$san" > "$file.ext"
  openssl ca -batch -notext -config "$authority/ca.cnf" -extfile "$file.ext" -in "$file.csr" -out "$file.pem" \
    "$@" 2>/dev/null
  cat "$file-key.pem" >> "$file.pem"
  rm -f "$file.csr" "$file.ext" "$file-key.pem"
}

all_names="DNS:localhost,DNS:127.0.0.1,DNS:127.0.0.2,IP:127.0.0.1,IP:127.0.0.2"
ca root "QRX Test Root CA"
ca other "QRX Test Untrusted CA"
server root server localhost "$all_names"
server root server-ip 127.0.0.1 "IP:127.0.0.1,IP:127.0.0.2"
server root server-dns localhost "DNS:localhost,DNS:127.0.0.1,DNS:127.0.0.2"
server root expired localhost "$all_names" -startdate 20200101000000Z -enddate 20210101000000Z
server root wrong-name wrong-name.qrx.test "DNS:wrong-name.qrx.test"
server other untrusted localhost "$all_names"
cp root/cert.pem root-ca.pem
openssl x509 -in root-ca.pem -outform DER -out root-ca.der
rm -rf root other
cd ..
rm -rf "$out"
mv "$out.tmp" "$out"
