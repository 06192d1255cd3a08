#!/usr/bin/env bash
# Builds the release and the Debian package from it: build/deb/norvexa_<version>_<arch>.deb.
# The compiler and linker flags are Debian's own (dpkg-buildflags: hardening included).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${NORVEXA_DEB_BUILD_DIR:-$top/build/deb}"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DNORVEXA_BUILD_TESTS=OFF -DNORVEXA_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/norvexa_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/norvexa_*.deb
