#!/usr/bin/env bash
# Runs the trust store's table (cli_tests' TrustStore tests) under Wine with the store in the
# registry, in a Wine prefix of its own, so that nothing it writes under HKLM reaches another
# test. Windows code cannot make a symbolic link under Wine: the link of the table's "--dir
# through a link" row is made here, as the Unix link it is under Wine.
#   tests/cli/trust_registry.sh build/win32/tests/cli_tests.exe build/win32/wineprefix-trust
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
tests="$1"
prefix="$2"
rm -rf "$prefix"
export VARERI_WINEPREFIX="$prefix"
"$here/scripts/wine-run.sh" cmd /c exit 0
base="$prefix/drive_c/vareri-trust"
mkdir -p "$base/APP"
ln -sfn "$base/APP" "$base/LINK"
VARERI_TRUST_REGISTRY=1 "$here/scripts/wine-run.sh" "$tests" --gtest_filter='TrustStore*'
