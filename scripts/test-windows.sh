#!/usr/bin/env bash
# Builds zav5.exe and runs its tests under Wine, on a virtual X display: the unit and scenario
# tests, the real window's tests, and the program on the demo store with a screenshot of its window
# (build/windows/artifacts/form1.png).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh
# One Wine server for the prefix, started on the display the tests use and kept running while they
# run side by side: Wine processes that start a server at the same moment can hang, and Wine's
# desktop keeps the display that it first met.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  export WINEPREFIX="$PWD/build/wine-prefix"
  scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -p
  scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
  status=0
  ctest --preset windows || status=$?
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  exit $status'
