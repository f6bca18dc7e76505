#!/usr/bin/env bash
# The two builds of updpack share keys and signatures: keys made by either one's keygen and by
# the openssl command (in both of its PEM forms) sign with both, and what one signs the other
# verifies. updpack.exe runs under Wine, in the build's prefix (it writes no registry).
#   tests/tools/cross_signing.sh build/native/tools/updpack/updpack build/win32/.../updpack.exe
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
native="$(realpath -m "$1")"
exe="$(realpath -m "$2")"
if [ ! -x "$native" ]; then
  echo "no native updpack at $native: build it first (cmake --preset native && cmake --build build/native)"
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"  # under Wine, on drive Z:, where the Unix paths below are found
data="$here/tests/data/trust"
windows() { "$here/scripts/wine-run.sh" "$exe" "$@"; }
fail() {
  echo "FAILED: $*"
  exit 1
}

"$native" keygen --private native.key --public native.pub >/dev/null 2>&1
windows keygen --private windows.key --public windows.pub >/dev/null 2>&1
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out openssl.key 2>/dev/null
openssl pkey -in openssl.key -pubout -out openssl.pub
openssl ec -in openssl.key -out openssl-ec.key 2>/dev/null
cp openssl.pub openssl-ec.pub
# The curve's own block first, then the key, as "openssl ecparam -genkey" writes them.
openssl ecparam -name prime256v1 -genkey -out ecparam.key
openssl pkey -in ecparam.key -pubout -out ecparam.pub
# OpenSSL reads the Windows build's keys as its own, byte for byte.
openssl pkey -in windows.key | cmp -s - windows.key || fail "openssl rewrites windows.key"
openssl pkey -in windows.key -pubout | cmp -s - windows.pub || fail "windows.pub is not windows.key's"

for key in native windows openssl openssl-ec ecparam; do
  for show in "$key.key" "$key.pub"; do
    [ "$("$native" key show "$show")" = "$(windows key show "$show" | tr -d '\r')" ] ||
      fail "the builds read $show as different keys"
  done
  "$native" build "$data/trust.json" -o "by-native-$key.upd" --sign "$key.key" --quiet
  windows build "$data/trust.json" -o "by-windows-$key.upd" --sign "$key.key" --quiet ||
    fail "updpack.exe did not sign with $key.key"
  windows verify "by-native-$key.upd" --key "$key.pub" >out.txt || fail "updpack.exe: $(cat out.txt)"
  grep -q "signature: ok" out.txt || fail "updpack.exe did not check the signature"
  "$native" verify "by-windows-$key.upd" --key "$key.pub" >out.txt || fail "updpack: $(cat out.txt)"
  grep -q "signature: ok" out.txt || fail "updpack did not check the signature"
  # And the other key is refused by both.
  other=native
  [ "$key" = native ] && other=windows
  if windows verify "by-native-$key.upd" --key "$other.pub" >/dev/null ||
    "$native" verify "by-windows-$key.upd" --key "$other.pub" >/dev/null; then
    fail "a file signed with $key.key passed for $other.key's"
  fi
done
# Keys neither build signs with: another curve, a passphrase, another kind of key.
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out p384.key 2>/dev/null
openssl pkey -in openssl.key -aes128 -passout pass:x -out encrypted.key
openssl genpkey -algorithm ED25519 -out ed25519.key
for bad in p384 encrypted ed25519 native; do
  [ $bad = native ] && bad_file=native.pub || bad_file=$bad.key
  if "$native" sign by-native-native.upd --key "$bad_file" --quiet 2>/dev/null ||
    windows sign by-windows-native.upd --key "$bad_file" --quiet 2>/dev/null; then
    fail "a build signed with $bad_file"
  fi
done
# sign: each build re-signs what the other built.
windows sign by-native-native.upd --key windows.key --quiet
"$native" verify by-native-native.upd --key windows.pub >/dev/null || fail "re-signed under Wine"
"$native" sign by-windows-windows.upd --key native.key --quiet
windows verify by-windows-windows.upd --key native.pub >/dev/null || fail "re-signed natively"
echo "keys and signatures cross both ways"
