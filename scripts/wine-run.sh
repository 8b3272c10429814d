#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, which is created on first use:
#   wine-run.sh [--64] PROGRAM ARGS...   64-bit Wine, prefix build/wine-prefix
#   wine-run.sh --32 PROGRAM ARGS...     32-bit Wine, prefix build/wine-prefix32
# Wine's own chatter is silenced; the program's output and exit code pass through.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bits=64
case "${1:-}" in
  --32) bits=32; shift ;;
  --64) shift ;;
esac
if [ "$bits" = 32 ]; then
  export WINEPREFIX="${ZAV5_WINEPREFIX:-$root/build/wine-prefix32}"
  export WINEARCH=win32
  wine=/usr/lib/wine/wine
else
  export WINEPREFIX="${ZAV5_WINEPREFIX:-$root/build/wine-prefix}"
  wine=/usr/lib/wine/wine64
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w
fi
exec "$wine" "$@"
