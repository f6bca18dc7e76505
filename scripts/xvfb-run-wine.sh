#!/usr/bin/env bash
# Runs a Windows program under Wine on a private virtual X screen (Xvfb), as the GUI tests
# need: it works with no DISPLAY (CI has none) and never draws on a real desktop. The Wine
# prefix is the one scripts/wine-run.sh picks ($VARERI_WINEPREFIX or build/wineprefix).
#   scripts/xvfb-run-wine.sh build/win32/tests/gui_driver_tests.exe --gtest_filter='X.*'
# A program still running after VARERI_GUI_TIMEOUT seconds (default 110) is ended.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export WINEPREFIX="${VARERI_WINEPREFIX:-$(dirname "$here")/build/wineprefix}"
# A crash ends the program at once: with a display, Wine's debugger would open a crash
# dialog and wait for a click that never comes.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"

# Waits (bounded) until no Wine session runs in the prefix.
wine_session_end() {
  if [ -f "$WINEPREFIX/system.reg" ]; then timeout 30 wineserver -w >/dev/null 2>&1 8>&- || true; fi
}

if [ -z "${VARERI_IN_XVFB:-}" ]; then
  if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run-wine: xvfb-run is missing (apt-get install xvfb xauth)" >&2
    exit 2
  fi
  # One GUI run at a time per prefix: a Wine session has one foreground window, one
  # cursor and one keyboard focus, whichever X screen each program draws on.
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 8>"$WINEPREFIX.gui.lock"
  if ! flock -w 600 8; then
    echo "xvfb-run-wine: another GUI run still holds $WINEPREFIX.gui.lock" >&2
    exit 3
  fi
  # No window manager runs on the virtual screen: Wine would wait 2 s for one to confirm
  # every window it hides (each closed message box), unless windows are unmanaged.
  if ! grep -qs '^"Managed"="N"' "$WINEPREFIX/user.reg"; then
    "$here/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 8>&-
  fi
  # A Wine session still running keeps its desktop on the display it started with (another
  # Xvfb, a developer's screen, none): start a fresh one on this screen.
  wine_session_end
  export VARERI_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

set +e
limit="${VARERI_GUI_TIMEOUT:-110}"
timeout -k 5 "$limit" "$here/wine-run.sh" "$@" 8>&-
rc=$?
set -e
# timeout's own statuses: ended by SIGTERM (124), or by SIGKILL 5 s later (137).
if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
  echo "xvfb-run-wine: $1 was still running after $limit s and was ended (exit status $rc)." >&2
  echo "xvfb-run-wine: on this virtual screen nobody answers its windows; to see what" \
    "vareri.exe makes of an update file, run scripts/try-update.sh FILE.upd." \
    "VARERI_GUI_TIMEOUT sets the limit." >&2
fi
# Every Wine process of the session ends while its display still exists.
wine_session_end
exit "$rc"
