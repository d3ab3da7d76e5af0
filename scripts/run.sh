#!/bin/sh
# Builds Orvix.exe and starts it under Wine. Without a display it starts it
# on a private X server instead, opens a sample container, saves a screenshot,
# closes it again and ends that Wine session.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake --preset windows >/dev/null
cmake --build --preset windows --target Orvix
if [ -n "${DISPLAY:-}" ]; then
    exec scripts/wine-run.sh build/windows/shell/Orvix.exe
fi
echo "No display: starting Orvix on a private X server for a screenshot."
exec scripts/screenshot.sh build/orvix-screenshot.png
