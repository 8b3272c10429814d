#!/usr/bin/env bash
# Builds both zav5.exe and runs their tests on a virtual X display: the 64-bit build under 64-bit
# Wine, the 32-bit one under 32-bit Wine. Each runs the unit and scenario tests, the real window's
# tests, and the program on the demo store with a screenshot of its window
# (build/windows/artifacts/form1.png, build/windows32/artifacts/form1.png); the 32-bit build also
# packs the zip for the store PC and checks it.
#
# 32-bit Wine is a 32-bit Linux program. A kernel that runs none (its ia32 emulation switched off,
# as on some virtual machines) cannot start it: there the 32-bit build's Wine tests are not run,
# and the script says so. Its zip is checked all the same.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh

bits_to_run="64 32"
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  bits_to_run="64"
fi

# One Wine server per prefix, started on the display the tests use and kept running while they
# run side by side: Wine processes that start a server at the same moment can hang, and Wine's
# desktop keeps the display that it first met.
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  status=0
  for bits in '"$bits_to_run"'; do
    preset=windows; prefix=build/wine-prefix
    if [ $bits = 32 ]; then preset=windows32; prefix=build/wine-prefix32; fi
    export WINEPREFIX="$PWD/$prefix"
    echo "== zav5.exe, $bits bit, under $bits-bit Wine"
    scripts/wine-run.sh --$bits cmd /c exit >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -p
    scripts/wine-run.sh --$bits cmd /c exit >/dev/null 2>&1 || true
    ctest --preset $preset || status=$?
    /usr/lib/wine/wineserver -k 2>/dev/null || true
  done
  exit $status' || status=$?

if [ "$bits_to_run" = 64 ]; then
  echo "== zav5.exe, 32 bit: its Wine tests are NOT RUN: this machine's kernel runs no 32-bit" \
       "programs ($(/usr/lib/wine/wine --version 2>&1 | head -n 1))"
  ctest --preset windows32 -R '^package\.' || status=$?
fi
exit $status
