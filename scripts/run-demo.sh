#!/usr/bin/env bash
# Builds the program zav5 (not its tests), creates a fresh demo store under build/demo-store and
# runs the program on it in the foreground. Ctrl+C stops it. The run log is
# build/demo-store/c/sulvo/bkp/logzav3_DDMMYYYY.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target zav5
store="$PWD/build/demo-store"
rm -rf "$store"
./build/default/zav5 demo "$store"
echo "Running; the run log is in $store/c/sulvo/bkp/. Ctrl+C stops the program."
exec ./build/default/zav5 --drive "C=$store/c" --drive "Z=$store/z" "$@"
