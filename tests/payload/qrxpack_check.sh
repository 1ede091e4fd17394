#!/usr/bin/env bash
# The packed executable as it ships: the signature still verifies with the table appended,
# qrxpack lists, verifies and extracts the table byte for byte, and both checks notice tampering
# where each should.
#   qrxpack_check.sh QRXPACK PACKED.exe CERT.pem STAGED_PAGES_DIR
set -euo pipefail
pack=$1 exe=$2 cert=$3 pages=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

osslsigncode verify -in "$exe" -CAfile "$cert" >"$work/verify.txt" 2>&1 || { cat "$work/verify.txt"; fail "signature of the packed executable"; }
grep -q "Signature verification: ok" "$work/verify.txt" || fail "no 'Signature verification: ok'"
grep -qi "mismatch" "$work/verify.txt" && fail "osslsigncode reports a mismatch"

"$pack" verify --bound "$exe" | grep -q "matches the digest in the signed image" || fail "qrxpack verify --bound"
[ "$("$pack" list "$exe" | grep -c '^ ')" = 37 ] || fail "37 records listed"
"$pack" extract "$exe" "$work/out" >/dev/null
diff -r "$pages" "$work/out" || fail "extracted files differ from the staged pages"

# A byte of the table changed: outside the signed hash, so the signature stays valid, but the
# PE checksum is stale and qrxpack refuses it.
size=$(stat -c %s "$exe")
cp "$exe" "$work/table.exe"
printf '\x5a' | dd of="$work/table.exe" bs=1 seek=$((size - 100)) conv=notrunc status=none
osslsigncode verify -in "$work/table.exe" -CAfile "$cert" >/dev/null 2>&1 || fail "a table byte broke the signature"
if "$pack" verify "$work/table.exe" 2>/dev/null; then fail "qrxpack accepted a stale checksum"; fi

# The table swapped for another well-formed one (a page changed, packed again over the signed
# image): the signature still verifies, the digest inside the image does not match.
cp -r "$pages" "$work/swapped-pages"
printf '<!-- another page -->\n' >>"$work/swapped-pages/Load.html"
"$pack" pack --in "$exe" --pages "$work/swapped-pages" --out "$work/swapped.exe" >/dev/null
osslsigncode verify -in "$work/swapped.exe" -CAfile "$cert" >/dev/null 2>&1 || fail "a swapped table broke the signature"
if "$pack" verify "$work/swapped.exe" 2>"$work/swapped.txt"; then fail "qrxpack accepted a swapped table"; fi
grep -q "does not match the digest" "$work/swapped.txt" || fail "the swap was refused for another reason: $(cat "$work/swapped.txt")"

# A byte of the code changed: the signature no longer verifies.
cp "$exe" "$work/code.exe"
printf '\x90' | dd of="$work/code.exe" bs=1 seek=1100 conv=notrunc status=none
if osslsigncode verify -in "$work/code.exe" -CAfile "$cert" >/dev/null 2>&1; then fail "a code byte kept the signature valid"; fi

echo "qrxpack_check: $exe: signature ok, 37 files byte for byte, digest bound, tampering and swapping noticed"
