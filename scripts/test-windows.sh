#!/usr/bin/env bash
# Builds zav5.exe and runs its tests under Wine, on a virtual X display: the unit and scenario
# tests, the real window's tests, and the program on the demo store with a screenshot of its window
# (build/windows/artifacts/form1.png).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh
# The project's Wine prefix is made once, before tests start Wine side by side.
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows
