#!/usr/bin/env bash
# Runs the SZDD codec benchmark: the native codec_bench, with the system's lz32 timed by
# lz32_bench.exe under Wine when the Windows build has it.
# Usage: bench/codec_bench.sh [NATIVE_BENCH_BUILD_DIR] [WIN32_BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
native="${1:-$here/build/bench}"
win32="${2:-$here/build/win32}"
if [ -f "$win32/bench/lz32_bench.exe" ]; then
  exec "$native/bench/codec_bench" --lz32 "'$here/scripts/wine-run.sh' '$win32/bench/lz32_bench.exe'"
fi
echo "codec_bench.sh: $win32/bench/lz32_bench.exe not built, lz32 not measured" >&2
exec "$native/bench/codec_bench"
