#!/bin/sh
# Installs the Debian packages the build and the tests need; skips what is
# already there. Usage: install-deps.sh [run|test]
set -e
need="cmake make pkg-config g++ g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick libcli11-dev nlohmann-json3-dev libspng-dev zlib1g-dev"
if [ "${1:-test}" = "test" ]; then
    need="$need googletest libgtest-dev clang-14 libclang-rt-14-dev clang-format"
fi
missing=""
for p in $need; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
