#!/usr/bin/env bash
# The whole test suite, as CI runs it:
#   1. the native build with AddressSanitizer + UndefinedBehaviorSanitizer, its unit
#      and tool tests;
#   2. the fuzz targets (clang + libFuzzer), each for a short run from its seeds;
#   3. the Windows build (mingw-w64) and its tests under Wine in the test bed.
# Ends with one line "N passed, M failed" over all three; exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=${SONVEL_JOBS:-2}
FUZZ_SECONDS=${SONVEL_FUZZ_SECONDS:-15}

bash scripts/install-deps.sh || { echo "dependency install failed"; exit 1; }

mkdir -p build
passed=0
failed=0
skipped=0
report=()

# Adds the counts of a ctest JUnit file.
count_junit() {
    local file=$1 label=$2
    if [ ! -f "$file" ]; then
        failed=$((failed + 1)); report+=("$label: no results"); return
    fi
    local line t f s
    line=$(tr '\n\t' '  ' <"$file" | grep -o '<testsuite [^>]*>' | head -n1)
    t=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$line")
    f=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$line")
    s=$(grep -c '<skipped' "$file")
    t=${t:-0}; f=${f:-0}; s=${s:-0}
    passed=$((passed + t - f - s)); failed=$((failed + f)); skipped=$((skipped + s))
    report+=("$label: $((t - f - s)) passed, $f failed, $s skipped")
}

step_failed() { failed=$((failed + 1)); report+=("$1: FAILED"); }

# ---------------------------------------------------------------- 0. formatting
echo "=== formatting (clang-format, the committed .clang-format)"
unformatted=$(git ls-files '*.cpp' '*.h' | while read -r f; do
    clang-format --style=file "$f" | cmp -s - "$f" || echo "$f"; done)
if [ -z "$unformatted" ]; then
    passed=$((passed + 1)); report+=("format: passed")
else
    echo "$unformatted" | sed 's/^/  not formatted: /'
    failed=$((failed + 1)); report+=("format: FAILED (run clang-format -i on the files above)")
fi

# ---------------------------------------------------------------- 1. native, sanitized
echo "=== native build (ASan + UBSan)"
if cmake -S . -B build/asan -G Ninja -DSONVEL_SANITIZE=ON -DSONVEL_BENCH=OFF >build/asan-configure.log 2>&1; then
    if ninja -C build/asan -j"$JOBS"; then
        (cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
            ctest -j"$JOBS" --output-on-failure --output-junit "$ROOT/build/asan/junit.xml")
        count_junit build/asan/junit.xml native
    else
        step_failed "native build"
    fi
else
    cat build/asan-configure.log; step_failed "native configure"
fi

# ---------------------------------------------------------------- 2. fuzzing
echo "=== fuzz targets (clang, libFuzzer, ${FUZZ_SECONDS}s each)"
if CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DSONVEL_FUZZ=ON -DSONVEL_SANITIZE=ON \
        -DSONVEL_TESTS=OFF -DSONVEL_BENCH=OFF >build/fuzz-configure.log 2>&1 && ninja -C build/fuzz -j"$JOBS"; then
    for exe in build/fuzz/fuzz_*; do
        [ -x "$exe" ] || continue
        name=$(basename "$exe"); short=${name#fuzz_}
        work="build/fuzz/work/$short"; rm -rf "$work"; mkdir -p "$work"
        seeds="tests/fuzz/corpus/$short"
        args=("$work"); [ -d "$seeds" ] && args+=("$seeds")
        # New inputs go to the scratch folder; the committed seeds stay as they are.
        if (cd build/fuzz && "$ROOT/$exe" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2560 \
                -print_final_stats=0 "${args[@]/#/$ROOT/}" >"$ROOT/build/fuzz/$short.log" 2>&1); then
            passed=$((passed + 1)); report+=("fuzz $short: passed")
        else
            tail -40 "build/fuzz/$short.log"; failed=$((failed + 1)); report+=("fuzz $short: FAILED (build/fuzz/$short.log)")
        fi
    done
else
    cat build/fuzz-configure.log; step_failed "fuzz build"
fi

# ---------------------------------------------------------------- 3. Windows under Wine
echo "=== Windows build (mingw-w64) and tests under Wine"
if cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DSONVEL_BENCH=OFF \
        >build/win-configure.log 2>&1 && ninja -C build/win -j"$JOBS"; then
    # shellcheck source=testbed.sh
    if source scripts/testbed.sh start; then
        # The soak and the slowest engine tests need more than the wrapper's
        # default two minutes per process when the machine is busy.
        (cd build/win && SONVEL_WINE_TIMEOUT=280 ctest -j"$JOBS" --output-on-failure \
            --output-junit "$ROOT/build/win/junit.xml")
        count_junit build/win/junit.xml windows
    else
        step_failed "test bed"
    fi
else
    cat build/win-configure.log; step_failed "windows build"
fi

# CI leaves nothing running behind it; at a desk the test bed stays up for the next run.
[ "${CI:-}" = true ] && bash scripts/testbed.sh stop

echo
printf '%s\n' "${report[@]}"
[ "$skipped" -gt 0 ] && echo "($skipped skipped)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
