#!/usr/bin/env bash
# Remakes the signed update files of this folder with the native updpack; the keys stay:
#   tests/data/trust/make.sh build/native/tools/updpack/updpack
# The keys are the tests' own and sign nothing else: vendor.key was made by updpack keygen
# (vendor.txt holds the text it printed), other.key by
#   openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256
# and other-ec.key is the same key as "EC PRIVATE KEY" (openssl ec -in other.key).
# The 1.0 and 1.1 files are small PE images with version resources (tests/support/pe_builder).
set -euo pipefail
updpack="$(realpath "$1")"
cd "$(dirname "$0")"
"$updpack" build trust.json -o signed.upd --sign vendor.key --quiet
cp signed.upd signed-other.upd
"$updpack" sign signed-other.upd --key other.key --quiet
