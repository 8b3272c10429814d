#!/usr/bin/env bash
# Builds the packages into build/packages/: the Debian package of the Linux program (preset
# "release") and the zip for the store PC with both zav5.exe and the installation guide.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
bash scripts/build-windows.sh
mkdir -p build/packages
cpack --config build/release/CPackConfig.cmake -G DEB -B build/packages
cpack --config build/windows32/CPackConfig.cmake -G ZIP -B build/packages
rm -rf build/packages/_CPack_Packages
ls -l build/packages/*.deb build/packages/*.zip
