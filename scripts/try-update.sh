#!/usr/bin/env bash
# Opens vareri.exe under Wine on any update file, to see what the window makes of it.
#   scripts/try-update.sh my.upd [--path 'C:\Program Files\Quill']
# With a display (DISPLAY set) the window is yours, in the project's Wine prefix: Check,
# Options and Update as you like; each run's log and closing message are printed as they
# come. Without one the window runs on a virtual screen and is only checked, never updated:
# screenshots of the main window, the closing message and the log after Check go to
# build/try/screenshots, the log lines and the message are printed, then the window is
# closed. --path types a directory into the Path box (else the window proposes one).
# Installs what is missing, and builds vareri.exe and the driver only where they are missing
# or older than their sources; a Windows build already configured is used as it is.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
say() { echo "try-update: $*"; }
fail() { echo "try-update: $*" >&2; exit 1; }
usage() { fail "usage: scripts/try-update.sh FILE.upd [--path DIR]"; }

[ $# -ge 1 ] || usage
upd="$1"
shift
path=()
case "${1:-}" in
  --path) [ $# -eq 2 ] || usage; path=(--path "$2") ;;
  "") ;;
  *) usage ;;
esac
[ -f "$upd" ] || fail "no such file: $upd"
upd="$(realpath "$upd")"

cd "$root"
bash scripts/bootstrap.sh
win32=build/win32
out=build/try
mkdir -p "$out"
configure=(true)
[ -f "$win32/CMakeCache.txt" ] || configure=(cmake --preset win32)
say "bringing vareri.exe up to date (log: $out/build.log)"
if ! { "${configure[@]}" && cmake --build "$win32" -j"${JOBS:-2}" --target vareri demo_driver; } \
  >"$out/build.log" 2>&1; then
  tail -n 30 "$out/build.log" >&2
  fail "the build failed (whole log: $out/build.log)"
fi
export WINEPREFIX="${VARERI_WINEPREFIX:-$root/build/wineprefix}"
driver=("$win32/demo/demo_driver.exe" --vareri "$(realpath "$win32/vareri.exe")" --update "$upd")

if [ -n "${DISPLAY:-}" ]; then
  # As scripts/xvfb-run-wine.sh does: one GUI run at a time in the prefix, and a Wine
  # session of its own, on this display.
  scripts/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
  exec 8>"$WINEPREFIX.gui.lock"
  flock -w 600 8 || fail "another GUI run still holds $WINEPREFIX.gui.lock"
  timeout 30 wineserver -w >/dev/null 2>&1 8>&- || true
  say "opening vareri.exe on display $DISPLAY; close the window to end"
  exec scripts/wine-run.sh "${driver[@]}" --watch "${path[@]}" 8>&-
fi

rm -rf "$out/screenshots"
mkdir -p "$out/screenshots"
say "no display: vareri.exe runs on a virtual screen, is checked (never updated) and closed"
set +e
VARERI_GUI_TIMEOUT="${VARERI_GUI_TIMEOUT:-120}" scripts/xvfb-run-wine.sh "${driver[@]}" \
  --check-only --screenshots "$out/screenshots" "${path[@]}"
rc=$?
set -e
scripts/screenshots-to-png.sh "$out/screenshots" || fail "the screenshots were not converted to PNG"
say "screenshots: $(ls "$out/screenshots" | tr '\n' ' ')(in $out/screenshots)"
[ "$rc" -eq 0 ] || fail "vareri.exe did not get through the check (exit status $rc); see above"
