#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (build/wine-prefix), which is
# created on first use. Wine's own chatter is silenced; the program's output and exit code pass
# through.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${ZAV5_WINEPREFIX:-$root/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w
fi
exec "$wine" "$@"
