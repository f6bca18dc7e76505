#!/usr/bin/env bash
# Installs what the two builds need on a fresh Debian machine. Safe to run again:
# it only calls apt when something is missing. Runs as root or through sudo.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "bootstrap: need root or sudo to install packages" >&2; exit 1
  fi
fi

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_cmd make || need+=(make)
have_cmd clang++ || need+=(clang)
have_pkg libgtest-dev || need+=(libgtest-dev)
have_pkg googletest || need+=(googletest)
have_pkg libclang-rt-14-dev || have_pkg libclang-rt-dev || need+=(libclang-rt-dev)
have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-i686)
have_cmd wine || need+=(wine)
have_pkg wine32:i386 || need+=(wine32:i386)
# Wine's bcrypt.dll does ECDSA through GnuTLS, which wine32 only recommends.
have_pkg libgnutls30:i386 || need+=(libgnutls30:i386)
have_pkg wine64 || need+=(wine64)
have_cmd xvfb-run || need+=(xvfb)
have_cmd xauth || need+=(xauth)
have_pkg nlohmann-json3-dev || need+=(nlohmann-json3-dev)
have_pkg libssl-dev || need+=(libssl-dev)
have_cmd mscompress || need+=(mscompress)
have_pkg libmspack-dev || need+=(libmspack-dev)
# make dist: the zip, and signing (tested with a certificate openssl makes).
have_cmd zip || need+=(zip)
have_cmd unzip || need+=(unzip)
have_cmd osslsigncode || need+=(osslsigncode)
have_cmd openssl || need+=(openssl)
# The demo's and try-update's screenshots, BMP as the driver takes them, become PNG.
have_cmd pnmtopng || need+=(netpbm)

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index now and then; try again, and if it
# still fails go on with the indexes apt has: the install itself then tells.
for try in 1 2 3; do
  if $SUDO apt-get update -q; then break; fi
  if [ "$try" -eq 3 ]; then
    echo "bootstrap: package lists not all refreshed; installing from what apt has" >&2
  else
    sleep $((try * 20))
  fi
done
$SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
