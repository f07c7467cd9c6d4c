#!/usr/bin/env bash
# Installs what is missing, builds the programs and starts the app,
# gloamyard (see README).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)"
exec build/dev/bin/gloamyard "$@"
