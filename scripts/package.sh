#!/usr/bin/env bash
# Packs the release from a built Windows tree (make dist builds it first):
#   scripts/package.sh BUILD_DIR OUT_DIR
# writes OUT_DIR/vareri-<version>-win32.zip with one folder vareri-<version>/ holding the three
# programs, the README, the docs and SHA256SUMS. With SIGN_CERT and SIGN_KEY (PEM files) the
# programs are Authenticode-signed first, timestamped by SIGN_TIMESTAMP (an RFC 3161 server's
# URL) when it is set. Unsigned, the zip depends only on the commit: every entry carries the
# commit's time (SOURCE_DATE_EPOCH, from git unless set), fixed permissions, in sorted order.
# Nothing is left under the zip's name unless every step succeeded.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR OUT_DIR" >&2; exit 64; }
build="$(cd "$1" && pwd)"
out="$2"
fail() { echo "package: $*" >&2; exit 1; }

[ -f "$build/vareri-version.txt" ] || fail "$build is not a configured build (no vareri-version.txt)"
version="$(cat "$build/vareri-version.txt")"
name="vareri-$version"
programs=("$build/vareri.exe" "$build/tools/cli/vareri-cli.exe" "$build/tools/updpack/updpack.exe")
for program in "${programs[@]}"; do
  [ -f "$program" ] || fail "$program is missing: build the win32 preset first"
done
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct 2>/dev/null)" ||
    fail "no commit to take the time from: set SOURCE_DATE_EPOCH"
fi
if [ -n "${SIGN_CERT:-}${SIGN_KEY:-}" ] && { [ -z "${SIGN_CERT:-}" ] || [ -z "${SIGN_KEY:-}" ]; }; then
  fail "signing needs both SIGN_CERT and SIGN_KEY"
fi

mkdir -p "$out"
zip="$(cd "$out" && pwd)/$name-win32.zip"
stage="$(mktemp -d)"
trap 'rm -rf "$stage" "$zip.part"' EXIT
dir="$stage/$name"
mkdir -p "$dir"
cp "${programs[@]}" "$dir/"
# The README and docs as the commit has them, without whatever else lies in the tree.
docs="$(git -C "$root" ls-files README.md docs)" || fail "$root is not a git checkout"
(cd "$root" && xargs -d '\n' cp --parents -t "$dir" <<<"$docs")

if [ -n "${SIGN_CERT:-}" ]; then
  command -v osslsigncode >/dev/null || fail "osslsigncode is missing (scripts/bootstrap.sh installs it)"
  timestamp=()
  if [ -n "${SIGN_TIMESTAMP:-}" ]; then timestamp=(-ts "$SIGN_TIMESTAMP"); fi
  for program in "$dir"/*.exe; do
    osslsigncode sign -certs "$SIGN_CERT" -key "$SIGN_KEY" -h sha256 \
      -n "Velloran Update Application" "${timestamp[@]}" \
      -in "$program" -out "$program.signed" >/dev/null ||
      fail "signing $(basename "$program") failed"
    mv "$program.signed" "$program"
  done
fi

(cd "$dir" && find . -type f -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum) \
  >"$stage/SHA256SUMS"
mv "$stage/SHA256SUMS" "$dir/"
find "$dir" -type d -exec chmod 755 {} +
find "$dir" -type f -exec chmod 644 {} +
find "$dir" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
# zip writes local times: in UTC the entries' times are the commit's wherever it runs.
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -@ "$zip.part")
mv -f "$zip.part" "$zip"
echo "package: wrote $zip"
