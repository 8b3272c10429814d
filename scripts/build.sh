#!/usr/bin/env bash
# Installs what is missing, configures and builds zav5 and its tests (preset "default").
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
