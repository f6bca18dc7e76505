#!/usr/bin/env bash
# Runs the read-only tests of a Windows test executable as an unprivileged user with a
# Wine prefix of its own: Wine keeps the read-only attribute in the Unix permissions,
# which root ignores, and keeps none on directories, so a directory that user may not
# write (holding a file R.DLL he may) is made here and named in VARERI_LOCKED_DIR.
set -euo pipefail
exe="$1"
user="${VARERI_TEST_USER:-nobody}"
group="$(id -gn "$user")"
home="$(mktemp -d /tmp/vareri-user-XXXXXX)"
trap 'chmod -R u+w "$home"; rm -rf "$home"' EXIT
mkdir "$home/locked"
touch "$home/locked/R.DLL"
chmod 666 "$home/locked/R.DLL"
locked="Z:$(printf '%s' "$home/locked" | tr / '\\')"
if [ "$(id -u)" -ne 0 ]; then
  # Not root: the read-only attribute binds this user already; run the tests directly.
  chmod 555 "$home/locked"
  VARERI_LOCKED_DIR="$locked" VARERI_EXPECT_READONLY=1 \
    "$(dirname "$0")/../../scripts/wine-run.sh" "$exe" --gtest_filter='*ReadOnly*'
  exit
fi
cp "$exe" "$home/tests.exe"
chown "$user:$group" "$home" "$home/tests.exe"
chmod 755 "$home"
setpriv --reuid="$user" --regid="$group" --clear-groups \
  env -i PATH=/usr/bin:/bin HOME="$home" WINEPREFIX="$home/prefix" WINEARCH=win32 \
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" VARERI_EXPECT_READONLY=1 \
  VARERI_LOCKED_DIR="$locked" \
  bash -c 'wineboot -i >/dev/null 2>&1; wine "$HOME/tests.exe" --gtest_filter="*ReadOnly*"; rc=$?; wineserver -k || true; exit $rc'
