#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
preset="${GLOAMYARD_PRESET:-dev}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" "$@"
# With the default preset, the file readers are also fuzzed for a few
# seconds each from their seed corpus (clang, libFuzzer; see README).
if [ "$preset" = dev ] && [ $# -eq 0 ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$(nproc)"
  ctest --preset fuzz
fi
