#!/usr/bin/env bash
# The release zip packed from the built programs (scripts/package.sh):
#   tests/release/dist_test.sh BUILD_DIR VARERI_GUI_TESTS_EXE
# Unsigned, it holds exactly the programs as built, the README, the docs and sums that match.
# Signed with a throwaway self-signed certificate, osslsigncode accepts each program and each
# still runs under Wine. A timestamp server that does not answer stops the packing, no zip.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$1"
version="$(cat "$build/vareri-version.txt")"
name="vareri-$version"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "dist_test: $*" >&2; exit 1; }
pack() { # into $tmp/$1, unpacked there, with the environment given before the call
  "$root/scripts/package.sh" "$build" "$tmp/$1" >/dev/null
  unzip -q "$tmp/$1/$name-win32.zip" -d "$tmp/$1"
  (cd "$tmp/$1/$name" && sha256sum --check --quiet SHA256SUMS) || fail "$1: the sums do not match"
}

pack plain
plain="$tmp/plain/$name"
expected="$(printf '%s\n' SHA256SUMS vareri.exe vareri-cli.exe updpack.exe \
  "$(git -C "$root" ls-files README.md docs)" | sed "s|^|$name/|" | LC_ALL=C sort)"
[ "$(unzip -Z1 "$tmp/plain/$name-win32.zip")" = "$expected" ] || fail "unexpected entries"
cmp "$build/vareri.exe" "$plain/vareri.exe"
cmp "$build/tools/cli/vareri-cli.exe" "$plain/vareri-cli.exe"
cmp "$build/tools/updpack/updpack.exe" "$plain/updpack.exe"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vareri test signer" \
  -addext extendedKeyUsage=codeSigning -keyout "$tmp/key.pem" -out "$tmp/cert.pem" 2>/dev/null
export SIGN_CERT="$tmp/cert.pem" SIGN_KEY="$tmp/key.pem"
pack signed
signed="$tmp/signed/$name"
for program in vareri.exe vareri-cli.exe updpack.exe; do
  osslsigncode verify -CAfile "$SIGN_CERT" -in "$signed/$program" >/dev/null || fail "$program"
  ! osslsigncode verify -CAfile "$SIGN_CERT" -in "$plain/$program" >/dev/null 2>&1 || fail "$program"
done
for tool in vareri-cli updpack; do
  said="$("$root/scripts/wine-run.sh" "$signed/$tool.exe" --version | tr -d '\r')"
  [ "$said" = "$tool $version" ] || fail "the signed $tool.exe says '$said'"
done
VARERI_EXE="$signed/vareri.exe" "$root/scripts/xvfb-run-wine.sh" "$2" \
  --gtest_filter=StartUpTest.OpensTheFileFromTheCommandLineAndFillsTheWindow >"$tmp/gui.log" 2>&1 &&
  grep -q '^\[  PASSED  \] 1 test' "$tmp/gui.log" || { cat "$tmp/gui.log" >&2; fail "vareri.exe"; }

if SIGN_TIMESTAMP=http://127.0.0.1:9/ "$root/scripts/package.sh" "$build" "$tmp/stamped" \
  >/dev/null 2>&1; then
  fail "packing succeeded although the timestamp server did not answer"
fi
[ -z "$(ls -A "$tmp/stamped")" ] || fail "a failed packing left files behind"
