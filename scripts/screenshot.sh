#!/bin/sh
# Starts Orvix.exe under Wine on a private X server, opens a sample container
# the way a user would (Ctrl+O, its path, Enter, a click on the first row),
# saves a picture of the window, then closes Orvix as the close box would and
# ends its Wine session. Returns within a minute of the picture whatever Wine
# does. Usage: screenshot.sh [output.png]   (default: docs/screenshot.png)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out="${1:-$root/docs/screenshot.png}"
case "$out" in /*) ;; *) out="$root/$out" ;; esac
build="$root/build/windows"
exe="$build/shell/Orvix.exe"
[ -f "$exe" ] || { echo "build Orvix.exe first (cmake --build --preset windows --target Orvix)"; exit 1; }

if [ -z "${ORVIX_IN_XVFB:-}" ]; then
    ORVIX_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$out"
fi

# A prefix of its own: ending this session with wineserver -k must never take
# down a test run that shares the build's usual prefix.
prefix="$build/screenshot-wineprefix"
export ORVIX_WINEPREFIX="$prefix"
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
sample="$build/screenshot-sample"
log="$build/screenshot-wine.log"

# The sample container: generated bitmaps of several sizes and depths, linked
# into a resource-only image by the same toolchain the build uses.
rm -rf "$sample"
mkdir -p "$sample"
(
    cd "$sample"
    convert -size 360x270 xc: -sparse-color Shepards \
        '0,0 #ff3b30 360,0 #5856d6 180,135 #ffcc00 0,270 #34c759 360,270 #007aff' BMP3:blend.bmp
    convert -seed 7 -size 240x180 plasma:fractal -colors 256 -type Palette -compress None BMP3:plasma.bmp
    convert -size 60x60 pattern:checkerboard -auto-level -scale 200% \
        +level-colors '#0a7e8c,#ff9f1c' -type TrueColor BMP3:checks.bmp
    convert -size 240x160 radial-gradient:gold-purple BMP3:glow.bmp
    convert -size 300x80 pattern:hexagons +level-colors navy,'#7fdbff' -type TrueColor BMP3:hexagons.bmp
    cat >gallery.rc <<'EOF'
LANGUAGE 0, 0
1001 BITMAP "blend.bmp"
1002 BITMAP "plasma.bmp"
1003 BITMAP "checks.bmp"
1004 BITMAP "glow.bmp"
1005 BITMAP "hexagons.bmp"
EOF
    x86_64-w64-mingw32-windres -O coff -i gallery.rc -o gallery.res.o
    x86_64-w64-mingw32-gcc-posix -shared -nostdlib -Wl,-e,0 -s -o gallery.obk gallery.res.o
)
container="Z:$(printf '%s' "$sample/gallery.obk" | tr / '\\')"

# Debian's Wine does not find the fonts it ships, which leaves the caption
# buttons as letters; the prefix's own Fonts folder is always searched.
mkdir -p "$prefix/drive_c/windows/Fonts"
cp -n /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true

alive() {
    [ -r "/proc/$1/stat" ] || return 1
    case "$(sed 's/.*) //' "/proc/$1/stat")" in Z*) return 1 ;; esac
}

# Polls until a window whose xwininfo line matches $2 shows up, for $1 seconds.
wait_window() {
    limit=$(($(date +%s) + $1))
    until xwininfo -root -tree 2>/dev/null | grep -q -- "$2"; do
        [ "$(date +%s)" -lt "$limit" ] || return 1
        alive "$runner" || return 1
        sleep 0.3
    done
}

runner=""
stop_wine() {
    [ -n "$runner" ] || return 0
    # taskkill posts WM_CLOSE only to windows on its own desktop, so it runs
    # on Orvix's; with no document changed Orvix asks nothing.
    timeout -k 2 10 wine explorer /desktop=Orvix taskkill /im Orvix.exe >>"$log" 2>&1 || true
    # Orvix gone, the desktop closes itself and the runner ends.
    n=0
    while alive "$runner" && [ "$n" -lt 30 ]; do sleep 0.5; n=$((n + 1)); done
    timeout -k 2 10 wineserver -k >>"$log" 2>&1 || true
    n=0
    while alive "$runner" && [ "$n" -lt 10 ]; do sleep 0.5; n=$((n + 1)); done
    kill -KILL "-$runner" 2>/dev/null || true
    wait "$runner" 2>/dev/null || true
    runner=""
}
trap stop_wine EXIT
trap 'exit 1' INT TERM

fail() {
    echo "$1"
    tail -20 "$log"
    exit 1
}

# A session left over from an interrupted run would hold the old display.
timeout -k 2 10 wineserver -k 2>/dev/null || true
: >"$log"
# Its own process group, so the last resort above can end all of it at once.
# A Wine desktop window gives the program its usual frame and caption.
setsid "$root/scripts/wine-run.sh" explorer /desktop=Orvix,1000x660 "$exe" >>"$log" 2>&1 &
runner=$!

# The first run also sets the prefix up, which takes a while.
wait_window 180 '"Orvix": ("orvix.exe"' || fail "Orvix did not start"
sleep 1
# A click in the empty preview pane gives the window the keyboard.
xdotool mousemove 600 300 click 1
xdotool key ctrl+o
wait_window 30 '"Open": ("orvix.exe"' || fail "the Open dialog did not appear"
sleep 0.5
xdotool type --delay 5 "$container"
xdotool key Return
wait_window 30 'gallery.obk": ("orvix.exe"' || fail "Orvix did not open $container"
# The first row of the list: below the caption, the menu bar and the header.
xdotool mousemove 40 69 click 1
xdotool mousemove 990 650
sleep 2  # let the preview paint
mkdir -p "$(dirname "$out")"
import -window root -crop 980x640+0+0 +repage "$out"
echo "Picture taken; closing Orvix."
stop_wine
echo "Screenshot saved to $out"
