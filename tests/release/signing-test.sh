#!/bin/bash
# The release command with --pkcs12, signed by a throwaway CA's code-signing
# certificate made here with openssl:
# - osslsigncode verifies the signature against that CA;
# - SHA256SUMS is the signed file's;
# - the signed program starts and shows its window under Wine;
# - without its signature it is byte for byte the unsigned release that
#   repro-test.sh left in UNSIGNED_CLONE (else: which bytes differ, and
#   the checks on everything else).
#   signing-test.sh SOURCE_DIR WORK_DIR UNSIGNED_CLONE BUILD
set -u
source_dir=$1
work=$2
unsigned=$3/dist/ZelvorTarnwick.exe
build=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work/keys"
source "$(dirname "$0")/../check.sh"

keys=$work/keys
make_keys() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Zelvor-Tarnwick throwaway test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$keys/ca.key" -out "$keys/ca.pem" &&
  openssl req -newkey rsa:2048 -nodes -subj "/CN=Zelvor-Tarnwick throwaway code signing" \
    -keyout "$keys/signer.key" -out "$keys/signer.csr" &&
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >"$keys/signer.ext" &&
  openssl x509 -req -days 30 -in "$keys/signer.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" \
    -CAcreateserial -extfile "$keys/signer.ext" -out "$keys/signer.pem" &&
  echo "throwaway password" >"$keys/password" &&
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Some other CA" \
    -addext "basicConstraints=critical,CA:TRUE" -keyout "$keys/other.key" -out "$keys/other.pem" &&
  openssl pkcs12 -export -inkey "$keys/signer.key" -in "$keys/signer.pem" -certfile "$keys/ca.pem" \
    -passout "file:$keys/password" -out "$keys/signer.p12"
} >"$keys/openssl.log" 2>&1
check "a throwaway CA and code-signing certificate" make_keys || cat "$keys/openssl.log"

clone=$work/src
git clone -q "$source_dir" "$clone" || exit 1
sign_release() {
  (cd "$clone" && bash scripts/release.sh --pkcs12 "$keys/signer.p12" --password-file "$keys/password") \
    >"$work/release.log" 2>&1 || { cat "$work/release.log"; return 1; }
}
check "release.sh --pkcs12 FILE --password-file FILE" sign_release
signed=$clone/dist/ZelvorTarnwick.exe

verify=$(osslsigncode verify -CAfile "$keys/ca.pem" -in "$signed" 2>&1)
verified() { grep -q "^Signature verification: ok" <<<"$verify" && grep -q "Subject: /CN=Zelvor-Tarnwick throwaway code signing" <<<"$verify"; }
check "osslsigncode verifies the signature against the CA" verified || echo "$verify" | tail -n 20
rejected() { ! osslsigncode verify -CAfile "$keys/other.pem" -in "$signed" >/dev/null 2>&1; }
check "and fails against a CA that did not issue the certificate" rejected
check "the signature's digest is SHA-256" grep -q "Message digest algorithm *: SHA256" <<<"$verify"
check "SHA256SUMS is the signed file's" bash -c "cd '$clone/dist' && sha256sum -c --strict SHA256SUMS"
check "BUILDINFO says it is signed" grep -q "^signed: yes" "$clone/dist/BUILDINFO"

cp "$signed" "$build/signed-ZelvorTarnwick.exe"
shows() { "$source_dir/tests/wine/tools/run-wine-test.sh" "$build" shows_window.exe "Z:$build/signed-ZelvorTarnwick.exe"; }
check "the signed program starts and shows its window under Wine" shows

osslsigncode remove-signature -in "$signed" -out "$work/removed.exe" >/dev/null 2>&1
if ! check "without its signature it is the unsigned release, byte for byte" cmp -s "$unsigned" "$work/removed.exe"; then
  python3 "$here/pe-diff.py" "$unsigned" "$work/removed.exe"
  # Everything but the header fields that a signature changes.
  mask() { python3 - "$1" <<'PY'
import struct, sys
image = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", image, 0x3C)[0]
optional = pe + 24
image[optional + 64:optional + 68] = bytes(4)                      # CheckSum
image[optional + 112 + 4 * 8:optional + 112 + 5 * 8] = bytes(8)    # Certificate directory
sys.stdout.buffer.write(image)
PY
  }
  check "the rest of the file is the unsigned release's" cmp -s <(mask "$unsigned") <(mask "$work/removed.exe")
fi

summary release_signing
