#!/bin/sh
# Runs a Windows program of the build under Wine, in a Wine prefix that
# belongs to the build folder (never the user's own ~/.wine).
# Usage: wine-run.sh program.exe [args...]
set -e
exe="$1"
if [ -z "${ORVIX_WINEPREFIX:-}" ]; then
    dir=$(cd "$(dirname "$exe")" && pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    [ -f "$dir/CMakeCache.txt" ] || dir=$(cd "$(dirname "$exe")" && pwd)
    ORVIX_WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX="$ORVIX_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: nothing here needs them, and they would ask.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"
if [ ! -f "$WINEPREFIX/.orvix-ready-2" ]; then
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.orvix-ready-2" ]; then
            wineboot -i >/dev/null 2>&1 || true
            # Unmanaged windows: with no window manager Wine otherwise waits
            # about two seconds each time a dialog is hidden. A crashed test
            # ends at once instead of waiting behind the crash dialog.
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
            wineserver -w || true
            touch "$WINEPREFIX/.orvix-ready-2"
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
