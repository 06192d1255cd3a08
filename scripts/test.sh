#!/usr/bin/env bash
# Installs what is needed, builds everything with warnings as errors and runs every
# test: the CMake presets ci (g++), asan (sanitizers) and core (clang, without Qt),
# the Debian package, the Windows build under Wine, then each fuzz target for a minute.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cd "$top"
jobs=$(nproc)

cmake --preset ci
cmake --build --preset ci -j"$jobs"
ctest --preset ci -j"$jobs"
echo "test.sh: first stage took ${SECONDS} s"

# The unit and window tests again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (g++), leak checking on. Qt's own allocations (the
# offscreen platform, fontconfig) have shown no leak reports in the window tests.
stage_start=$SECONDS
cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"
echo "test.sh: sanitizer stage took $((SECONDS - stage_start)) s"

# The core alone, with Qt hidden from CMake: it must build and pass its tests
# without it (clang, so a second compiler sees the code too).
stage_start=$SECONDS
cmake --preset core
cmake --build --preset core -j"$jobs"
ctest --preset core -j"$jobs"
echo "test.sh: core stage took $((SECONDS - stage_start)) s"

# The Debian package: built, linted, installed, used and removed (needs root).
stage_start=$SECONDS
"$top/scripts/package-test.sh"
echo "test.sh: package stage took $((SECONDS - stage_start)) s"

# Windows: the programs cross-built, their tests and the service run under Wine, and
# the installer (skipped with a message when no Qt for Windows is at hand, unless
# NORVEXA_WINDOWS=required, as in CI).
stage_start=$SECONDS
"$top/scripts/windows-test.sh"
echo "test.sh: Windows stage took $((SECONDS - stage_start)) s"

# Last stage: each fuzz target for 60 seconds on its corpus (clang, libFuzzer).
stage_start=$SECONDS
"$top/scripts/fuzz.sh" 60
echo "test.sh: fuzzing stage took $((SECONDS - stage_start)) s"
