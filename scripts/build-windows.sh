#!/usr/bin/env bash
# Cross-builds the Windows programs, their tests and the installer into
# build/windows (mingw-w64, static Qt from scripts/build-qt-windows.sh):
#   build/windows/bin/norvexa.exe, norvexa-print.exe, the test programs, and
#   build/windows/norvexa-setup-<version>.exe
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
qt=$("$top/scripts/build-qt-windows.sh")
out=$top/build/windows
# Wine runs the icon program at build time and the tests later, in a prefix of the build's own.
export WINEPREFIX=${WINEPREFIX:-$out/wine} WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
cmake -S "$top" -B "$out" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR=wine -DCMAKE_BUILD_TYPE=Release -DNORVEXA_WERROR=ON -DNORVEXA_BUILD_BENCH=OFF \
    -DGTEST_SOURCE_DIR=/usr/src/googletest "$@"
cmake --build "$out" -j"$(nproc)"
