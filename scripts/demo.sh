#!/usr/bin/env bash
# make demo: installs what is missing, builds, installs the demo product (demo/) at version
# 1.0 in the Wine prefix, packs version 1.1 into an update file with updpack, signed with the
# demo vendor's key (made once, build/demo/vendor.key), and opens it in vareri.exe; the demo
# installer records that key as the product's UpdateKey, so the window checks the signature. With a display the window is yours and this waits until it closes. Without one
# (DISPLAY unset) demo_driver works the window on a virtual screen (Check, Options with every
# component selected and renaming on, Update), prints every log line and closing message,
# saves screenshots under build/demo/, and the demo succeeds only if every installed file is
# then the 1.1 build byte for byte and each backup the 1.0 build.
# VARERI_DEMO_NATIVE, VARERI_DEMO_WIN32 name other build directories than the presets'.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${JOBS:-$(nproc)}"
native="${VARERI_DEMO_NATIVE:-build/native}"
win32="${VARERI_DEMO_WIN32:-build/win32}"
out=build/demo
export WINEPREFIX="${VARERI_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"

# What demo/demo.json says: product, registry key, default directory and where each file goes
# in the prefix (drive_c/...).
product="Velloran Demo"
registry_key='Software\Velloran\Demo\1.0'
install_dir='C:\DEMO'
installed=(DEMO/DEMO.EXE DEMO/DEMOCORE.DLL DEMO/EXTRAS/DEMOFX.DLL windows/system32/DEMOSYS.DLL)

say() { echo "demo: $*"; }
fail() { echo "demo: $*" >&2; exit 1; }

bash scripts/bootstrap.sh

mkdir -p "$out"
log="$out/build.log"
say "building updpack, vareri.exe and the demo product (log: $log)"
preset_dir() { if [ "$2" != "build/$1" ]; then echo "-B $2"; fi; }
if ! {
  # shellcheck disable=SC2046
  cmake --preset native $(preset_dir native "$native") &&
    cmake --build "$native" -j"$jobs" --target updpack &&
    cmake --preset win32 $(preset_dir win32 "$win32") &&
    cmake --build "$win32" -j"$jobs" --target vareri_demo
} >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  fail "the build failed (whole log: $log)"
fi

# Version 1.0, fresh: no file, backup or registry value of an earlier run is left.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  say "creating the Wine prefix $WINEPREFIX"
  scripts/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
fi
drive_c="$WINEPREFIX/drive_c"
[ -d "$drive_c/windows/system32" ] || fail "no system directory in $WINEPREFIX"
rm -rf "$drive_c/DEMO"
for file in "${installed[@]}"; do
  rm -f "$drive_c/$file" "$drive_c/${file%?}_"
  mkdir -p "$(dirname "$drive_c/$file")"
  cp "$win32/demo/1.0/$(basename "$file")" "$drive_c/$file"
done
shown=("${installed[@]/#/C:/}")
shown=("${shown[@]//\//\\}")
say "installed $product 1.0 in the Wine prefix $WINEPREFIX:"
say "  ${shown[*]}"

rm -rf "$out/screenshots"
updpack="$native/tools/updpack/updpack"
if [ ! -f "$out/vendor.key" ]; then
  rm -f "$out/vendor.pub"
  "$updpack" keygen --private "$out/vendor.key" --public "$out/vendor.pub" >"$out/vendor.txt"
fi
update_key="$(cat "$out/vendor.txt")"
"$updpack" build "$win32/demo/demo.json" -o "$out/demo.upd" --sign "$out/vendor.key" --quiet
say "wrote $out/demo.upd ($product 1.1, from $win32/demo/demo.json), signed with $out/vendor.key"

driver=("$win32/demo/demo_driver.exe" --vareri "$(realpath "$win32/vareri.exe")"
        --update "$root/$out/demo.upd"
        --product "$product" --registry-key "$registry_key" --install-dir "$install_dir"
        --update-key "$update_key")
if [ -n "${DISPLAY:-}" ]; then
  # As scripts/xvfb-run-wine.sh does: one GUI run at a time in the prefix, and a Wine
  # session of its own, on this display.
  exec 8>"$WINEPREFIX.gui.lock"
  flock -w 600 8 || fail "another GUI run still holds $WINEPREFIX.gui.lock"
  timeout 30 wineserver -w >/dev/null 2>&1 8>&- || true
  say "opening vareri.exe on display $DISPLAY"
  scripts/wine-run.sh "${driver[@]}" --watch 8>&-
  exit
fi

mkdir -p "$out/screenshots"
say "no display: vareri.exe runs on a virtual screen; screenshots go to $out/screenshots"
set +e
VARERI_GUI_TIMEOUT="${VARERI_GUI_TIMEOUT:-120}" scripts/xvfb-run-wine.sh "${driver[@]}" \
  --screenshots "$out/screenshots"
rc=$?
set -e
scripts/screenshots-to-png.sh "$out/screenshots" || fail "the screenshots were not converted to PNG"
[ "$rc" -eq 0 ] || fail "demo_driver failed (exit status $rc)"

# Every file is now the 1.1 build, and (renaming was on) its backup the 1.0 build.
bad=0
for file in "${installed[@]}"; do
  name="$(basename "$file")"
  if ! cmp -s "$drive_c/$file" "$win32/demo/1.1/$name"; then
    echo "demo: C:/$file is not version 1.1" >&2
    bad=1
  fi
  if ! cmp -s "$drive_c/${file%?}_" "$win32/demo/1.0/$name"; then
    echo "demo: C:/${file%?}_ is not the previous version 1.0" >&2
    bad=1
  fi
done
exit "$bad"
