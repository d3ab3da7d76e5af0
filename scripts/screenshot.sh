#!/bin/sh
# Starts Orvix.exe under Wine on a private X server, waits for its window,
# saves a picture of it, then closes it as the close box would.
# Usage: screenshot.sh [output.png]   (default: docs/screenshot.png)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out="${1:-$root/docs/screenshot.png}"
case "$out" in /*) ;; *) out="$root/$out" ;; esac
exe="$root/build/windows/shell/Orvix.exe"
[ -f "$exe" ] || { echo "build Orvix.exe first (cmake --build --preset windows --target Orvix)"; exit 1; }

if [ -z "${ORVIX_IN_XVFB:-}" ]; then
    ORVIX_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$out"
fi

export ORVIX_WINEPREFIX="$root/build/windows/wineprefix"
# A Wine desktop window gives the program its usual frame and caption.
"$root/scripts/wine-run.sh" explorer /desktop=Orvix,1000x660 "$exe" &
runner=$!
waited=0
until xwininfo -root -tree 2>/dev/null | grep -q '"Orvix - Wine desktop"'; do
    sleep 0.5
    waited=$((waited + 1))
    [ "$waited" -lt 120 ] || { echo "Orvix did not start"; kill "$runner" 2>/dev/null; exit 1; }
done
sleep 4  # let the window paint
mkdir -p "$(dirname "$out")"
import -window root -crop 980x640+0+0 +repage "$out"
WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all wine taskkill /im Orvix.exe >/dev/null 2>&1 || true
wait "$runner" 2>/dev/null || true
WINEPREFIX="$root/build/windows/wineprefix" wineserver -k 2>/dev/null || true
echo "Screenshot saved to $out"
