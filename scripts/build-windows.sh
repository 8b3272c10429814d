#!/usr/bin/env bash
# Installs what is missing and cross-compiles zav5.exe for 64-bit Windows (preset "windows"):
# build/windows/zav5.exe, one statically linked file, with the Windows test programs beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps-windows.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
