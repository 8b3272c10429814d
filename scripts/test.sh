#!/usr/bin/env bash
# Builds zav5 and runs the whole test suite: the Linux build, then the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --preset default
bash scripts/test-windows.sh
