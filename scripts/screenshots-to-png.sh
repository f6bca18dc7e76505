#!/usr/bin/env bash
# Turns the driver's BMP screenshots in one folder into PNG files where ImageMagick is
# installed; without it the BMP files stay as they are.
set -u
dir="$1"
command -v convert >/dev/null 2>&1 || exit 0
for bmp in "$dir"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" >/dev/null 2>&1 && rm -f "$bmp"
done
exit 0
