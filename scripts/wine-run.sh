#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# wine-run.sh PROGRAM.exe [ARGS...]: runs a Windows program under Wine, in a
# Wine prefix of the project's own (made on first use), quietly.
# wine-run.sh --keep-server | --stop-server: keeps Wine's server running
# between programs (each start then costs about 0.1 s), or stops it.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/mervane-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=d;mshtml=d}
mkdir -p "$(dirname "$WINEPREFIX")"
# Console programs want no display; the window's tests name theirs in
# MERVANE_WINE_DISPLAY.
if [ -n "${MERVANE_WINE_DISPLAY:-}" ]; then
  export DISPLAY=$MERVANE_WINE_DISPLAY
else
  unset DISPLAY
fi
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
# Make the prefix once, out of sight, even when tests start side by side.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  flock "$WINEPREFIX.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || "$1" wineboot --init' \
    sh "$wine" >/dev/null 2>&1
fi
server=$(dirname "$wine")/wineserver${wine##*wine}
case ${1:-} in
  # Either fails only when there is no server to stop, or one running already.
  --keep-server) "$server" -p || true; exit 0 ;;
  --stop-server) "$server" -k || true; exit 0 ;;
esac
exec "$wine" "$@"
