#!/bin/bash
# Runs scripts/run.sh as on a machine without a display and checks that it
# comes back by itself, successfully, soon after taking its picture, that the
# picture shows a previewed bitmap, and that no Wine or X server process it
# started is still running. Prints one summary line last.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
picture="$root/build/orvix-screenshot.png"
log="$root/build/run-headless.log"
total_limit=600   # a first run builds Orvix and sets a Wine prefix up
after_limit=60

mkdir -p "$root/build"
rm -f "$picture"
# Every process the run starts inherits this, which finds what outlives it.
mark="orvix-run-headless-$$-$(date +%s%N)"
started=$(date +%s)
env -u DISPLAY ORVIX_RUN_MARK="$mark" timeout -k 10 "$total_limit" scripts/run.sh >"$log" 2>&1 </dev/null
rc=$?
ended=$(date +%s)
cat "$log"
echo "----"

problems=()
case $rc in
    0) ;;
    124 | 137) problems+=("run.sh still running after $total_limit s: stopped") ;;
    *) problems+=("run.sh exited with $rc after $((ended - started)) s") ;;
esac
grep -q "Screenshot saved to $picture" "$log" || problems+=("run.sh did not say where the picture is")

after="?"
if [ -f "$picture" ]; then
    after=$((ended - $(stat -c %Y "$picture")))
    [ "$after" -le "$after_limit" ] || problems+=("run.sh returned $after s after the picture")
    size=$(identify -format '%wx%h' "$picture" 2>/dev/null)
    [ "$size" = "980x640" ] || problems+=("picture is '$size', not the 980x640 window")
    # An empty window has a few dozen colours; a previewed gradient, thousands.
    colours=$(identify -format '%k' "$picture" 2>/dev/null)
    [ "${colours:-0}" -ge 1000 ] || problems+=("picture has ${colours:-no} colours: no bitmap previewed")
else
    problems+=("no picture at $picture")
fi

leftovers=()
for env in /proc/[0-9]*/environ; do
    pid=${env#/proc/}
    pid=${pid%/environ}
    grep -qzx "ORVIX_RUN_MARK=$mark" "$env" 2>/dev/null || continue
    leftovers+=("$pid $(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline")")
done
if [ "${#leftovers[@]}" -gt 0 ]; then
    problems+=("processes left running:")
    for entry in "${leftovers[@]}"; do
        problems+=("  $entry")
        kill -KILL "${entry%% *}" 2>/dev/null
    done
fi

if [ "${#problems[@]}" -gt 0 ]; then
    printf '%s\n' "${problems[@]}"
    exit 1
fi
echo "returned in $((ended - started)) s, $after s after the picture; nothing left running"
