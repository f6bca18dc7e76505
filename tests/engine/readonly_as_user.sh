#!/usr/bin/env bash
# Runs the read-only target test of a Windows test executable as an unprivileged user
# with a Wine prefix of its own: Wine keeps the read-only attribute in the Unix
# permissions, which root ignores.
set -euo pipefail
exe="$1"
user="${VARERI_TEST_USER:-nobody}"
group="$(id -gn "$user")"
if [ "$(id -u)" -ne 0 ]; then
  # Not root: the read-only attribute binds this user already; run the test directly.
  exec "$(dirname "$0")/../../scripts/wine-run.sh" "$exe" --gtest_filter='*ReadOnly*'
fi
home="$(mktemp -d /tmp/vareri-user-XXXXXX)"
trap 'rm -rf "$home"' EXIT
cp "$exe" "$home/tests.exe"
chown -R "$user:$group" "$home"
chmod 755 "$home"
setpriv --reuid="$user" --regid="$group" --clear-groups \
  env -i PATH=/usr/bin:/bin HOME="$home" WINEPREFIX="$home/prefix" WINEARCH=win32 \
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" VARERI_EXPECT_READONLY=1 \
  bash -c 'wineboot -i >/dev/null 2>&1; wine "$HOME/tests.exe" --gtest_filter="*ReadOnly*"; rc=$?; wineserver -k || true; exit $rc'
