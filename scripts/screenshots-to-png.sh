#!/usr/bin/env bash
# Turns the driver's BMP screenshots in one folder into PNG files, with netpbm (which
# bootstrap installs) or else ImageMagick. Fails, keeping the BMP files, when neither is
# there or a picture cannot be converted.
set -u
dir="$1"
to_png() {
  if command -v bmptopnm >/dev/null 2>&1 && command -v pnmtopng >/dev/null 2>&1; then
    bmptopnm "$1" 2>/dev/null | pnmtopng >"$2" 2>/dev/null
  elif command -v convert >/dev/null 2>&1; then
    convert "$1" "$2" >/dev/null 2>&1
  else
    echo "screenshots: no converter to PNG (scripts/bootstrap.sh installs netpbm)" >&2
    return 2
  fi
}
status=0
for bmp in "$dir"/*.bmp; do
  [ -e "$bmp" ] || continue
  png="${bmp%.bmp}.png"
  if to_png "$bmp" "$png" && [ -s "$png" ]; then
    rm -f "$bmp"
  else
    rc=$?
    rm -f "$png"
    [ "$rc" -eq 2 ] && exit 1
    echo "screenshots: cannot convert $bmp to PNG; the BMP file stays" >&2
    status=1
  fi
done
exit "$status"
