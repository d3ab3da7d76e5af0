#!/bin/bash
# Installs what is missing, builds every build and runs every test suite:
# the native core tests (plain and under ASan/UBSan), the Windows tests under
# Wine on a private X server, and the fuzz targets over their seed corpora.
# Prints a total; exits non-zero when anything failed.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh test || exit 1

logs="$root/build/test-logs"
rm -rf "$logs"
mkdir -p "$logs"
passed=0
failed=0
status=0

show_failures() {
    echo "---- failures in $1 (full log: $1) ----"
    grep -a -B3 -A15 -E 'Failure$|\[  FAILED  \] [A-Za-z]|runtime error|ERROR: AddressSanitizer|Test timeout|Exception:' "$1" | head -250
    echo "----"
}

# Adds one suite's GoogleTest counts to the totals. A program that died
# before printing its summary counts as one failure.
count() {
    local name=$1 log=$2 rc=$3 p f
    p=$(grep -a -oE '\[  PASSED  \] [0-9]+ test' "$log" | awk '{s += $4} END {print s + 0}')
    f=$(grep -a -oE '\[  FAILED  \] [0-9]+ tests?, listed below' "$log" | awk '{s += $4} END {print s + 0}')
    if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
    passed=$((passed + p))
    failed=$((failed + f))
    echo "$name: $p passed, $f failed"
    if [ "$rc" -ne 0 ]; then
        status=1
        show_failures "$log"
    fi
}

build() {
    local preset=$1
    echo "== building $preset"
    if cmake --preset "$preset" >"$logs/$preset-configure.log" 2>&1 &&
        cmake --build --preset "$preset" >"$logs/$preset-build.log" 2>&1; then
        return 0
    fi
    echo "$preset: build failed"
    tail -n 40 "$logs/$preset-configure.log" "$logs/$preset-build.log"
    failed=$((failed + 1))
    status=1
    return 1
}

# Every C++ file as clang-format lays it out; a difference fails the run.
echo "== checking formatting"
if git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror >"$logs/format.log" 2>&1; then
    passed=$((passed + 1))
    echo "format: clean"
else
    failed=$((failed + 1))
    status=1
    echo "format: differences (clang-format -i fixes them)"
    head -40 "$logs/format.log"
fi

for preset in native native-asan; do
    if build "$preset"; then
        ctest --preset "$preset" -V -j2 >"$logs/$preset.log" 2>&1
        count "$preset" "$logs/$preset.log" $?
    fi
done

if build windows; then
    # One private X server for the whole run; the GUI tests need a screen
    # larger than the 980 x 640 main window.
    xvfb-run -a -s "-screen 0 1600x1200x24" ctest --preset windows -V >"$logs/windows.log" 2>&1
    count windows "$logs/windows.log" $?
    # The run command as a user without a display meets it, end to end.
    echo "== running scripts/run.sh without a display"
    if scripts/test-run-headless.sh >"$logs/run-headless.log" 2>&1; then
        passed=$((passed + 1))
        echo "run-headless: $(tail -1 "$logs/run-headless.log")"
    else
        failed=$((failed + 1))
        status=1
        echo "run-headless: FAILED (full log: $logs/run-headless.log)"
        tail -n 40 "$logs/run-headless.log"
    fi
fi

if build fuzz; then
    for fuzzer in build/fuzz/tests/fuzz/fuzz_*; do
        [ -x "$fuzzer" ] || continue
        name=$(basename "$fuzzer")
        # Every seed once: the corpus doubles as a regression suite.
        if "$fuzzer" -runs=0 "tests/fuzz/corpus/$name" >"$logs/$name.log" 2>&1; then
            passed=$((passed + 1))
            echo "$name: corpus replayed"
        else
            failed=$((failed + 1))
            status=1
            echo "$name: FAILED"
            tail -n 40 "$logs/$name.log"
        fi
    done
fi

echo
echo "Total: $passed passed, $failed failed"
exit $status
