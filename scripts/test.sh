#!/usr/bin/env bash
# Installs what is needed, builds everything with warnings as errors and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
build="${NORVEXA_BUILD_DIR:-$top/build/ci}"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVEXA_WERROR=ON
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600

# Second stage: the unit and window tests again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (g++). Leak checking stays on for the core's tests. The
# tests that run Qt (the windows, norvexa-print, printing through QPrinter) run
# without it: Qt, fontconfig and the offscreen platform plugin keep caches that
# they never free before exit, which LeakSanitizer would report as our leaks.
echo "test.sh: first stage took ${SECONDS} s"
stage_start=$SECONDS
asan="${NORVEXA_ASAN_BUILD_DIR:-$top/build/asan}"
cmake -S "$top" -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DNORVEXA_WERROR=ON -DNORVEXA_SANITIZE=ON \
  -DNORVEXA_BUILD_BENCH=OFF
cmake --build "$asan" -j"$(nproc)"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for dir in "$asan"/tests/*/; do
  [ -f "$dir/CTestTestfile.cmake" ] || continue
  case "$(basename "$dir")" in
    forms|cli|integration) leaks=0 ;;
    *) leaks=1 ;;
  esac
  ASAN_OPTIONS="detect_leaks=$leaks:abort_on_error=1" \
    ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 1200
done
echo "test.sh: sanitizer stage took $((SECONDS - stage_start)) s"

# Third stage: each fuzz target for 60 seconds on its corpus (clang, libFuzzer).
stage_start=$SECONDS
"$top/scripts/fuzz.sh" 60
echo "test.sh: fuzzing stage took $((SECONDS - stage_start)) s"
