#!/usr/bin/env bash
# Installs what is missing and cross-compiles zav5.exe for Windows, twice:
#   build/windows32/zav5.exe   32-bit, the store build (preset "windows32")
#   build/windows/zav5.exe     64-bit, for stores with the 64-bit Access engine (preset "windows")
# Each is one statically linked file, with the Windows test programs beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps-windows.sh
for preset in windows windows32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
