#!/usr/bin/env bash
# Installs what is missing, builds the preset "bench" and measures one offer's deactivation on
# synthetic stores against the floor (the same change by set-based SQL), then the program's
# processor time while it waits between cycles. Arguments go to the benchmark, e.g.
# --benchmark_filter=righe:10000/ for the largest offers only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --target zav5_bench zav5
./build/bench/zav5_bench --tabella=build/bench/tabella.md "$@"
bash bench/idle_cpu.sh build/bench/zav5 60
