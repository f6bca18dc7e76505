#!/usr/bin/env bash
# Checks that a release is reproducible: clones the current commit twice, into directories of
# different names and depths, runs `make dist` in each from clean, and compares the three
# programs and the zip byte for byte. Uncommitted changes are not part of the check.
#   scripts/check_reproducible.sh          (JOBS=n for the builds; .ci/run calls it with REPRO=1)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${JOBS:-$(nproc)}"
commit="$(git -C "$root" rev-parse HEAD)"
work="$(mktemp -d "${TMPDIR:-/tmp}/vareri-repro.XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "check_reproducible: $*" >&2; exit 1; }

trees=("$work/a/vareri" "$work/second/build-place/src")
for tree in "${trees[@]}"; do
  git clone -q --no-local --no-checkout "$root" "$tree"
  git -C "$tree" checkout -q --detach "$commit"
  echo "check_reproducible: make dist in $tree"
  # The signing variables of the caller would make the two zips differ by their signing time.
  if ! env -u SIGN_CERT -u SIGN_KEY -u SIGN_TIMESTAMP -u SOURCE_DATE_EPOCH \
    make -C "$tree" dist JOBS="$jobs" >"$tree.log" 2>&1; then
    tail -n 30 "$tree.log" >&2
    fail "make dist failed in $tree"
  fi
done

status=0
compare() {
  if cmp -s "${trees[0]}/$1" "${trees[1]}/$1"; then
    echo "check_reproducible: same bytes: $1 ($(sha256sum <"${trees[0]}/$1" | cut -c1-16)...)"
  else
    echo "check_reproducible: differs: $1" >&2
    status=1
  fi
}
compare build/win32/vareri.exe
compare build/win32/tools/cli/vareri-cli.exe
compare build/win32/tools/updpack/updpack.exe
zip="build/dist/vareri-$(cat "${trees[0]}/build/win32/vareri-version.txt")-win32.zip"
[ -f "${trees[0]}/$zip" ] || fail "make dist wrote no $zip"
compare "$zip"
[ $status -eq 0 ] || fail "two builds of $commit differ"
echo "check_reproducible: $commit builds reproducibly"
