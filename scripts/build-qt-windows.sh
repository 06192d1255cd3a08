#!/usr/bin/env bash
# Makes Qt 6 for Windows (x86_64-w64-mingw32, static) for the Windows build, in a
# cache directory outside the repository, and prints that directory.
#
#   scripts/build-qt-windows.sh [--from-source]
#
# The cache is $NORVEXA_QT_WINDOWS_CACHE (default ~/.cache/norvexa/qt-windows).
# Without --from-source a prebuilt copy is unpacked when one is at hand
# ($NORVEXA_QT_WINDOWS_PREBUILT, default ../shared/windows beside the checkout) and
# the versions recorded beside it match this machine's (host Qt, mingw-w64 GCC);
# otherwise Qt is built from Debian's qt6-base source package (about 20 minutes
# on 2 cores; the result is the same tree).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cache=${NORVEXA_QT_WINDOWS_CACHE:-$HOME/.cache/norvexa/qt-windows}
prebuilt=${NORVEXA_QT_WINDOWS_PREBUILT:-$top/../shared/windows}
toolchain=$top/cmake/mingw-w64-x86_64.cmake
qt=$cache/qt6-win64
from_source=0
[[ ${1:-} == --from-source ]] && from_source=1

log() { echo "build-qt-windows: $*" >&2; }

pkgver() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || true; }
host_qt=$(pkgver qt6-base-dev)
mingw=$(pkgver g++-mingw-w64-x86-64-posix)
stamp="host-qt=$host_qt mingw=$mingw"

if [[ -x $qt/bin/qt-cmake && -f $cache/stamp && $(cat "$cache/stamp") == "$stamp" ]]; then
    echo "$qt"
    exit 0
fi
if [[ -z $host_qt || -z $mingw ]]; then
    log "needs qt6-base-dev and g++-mingw-w64-x86-64-posix (scripts/install-deps.sh --windows)"
    exit 1
fi
mkdir -p "$cache"
rm -rf "$qt"

if [[ $from_source == 0 && -f $prebuilt/qt6-win64.tar.zst && -f $prebuilt/VERSIONS ]] &&
   grep -q "qt6-base-dev $host_qt" "$prebuilt/VERSIONS" &&
   grep -q "g++-mingw-w64-x86-64-posix $mingw" "$prebuilt/VERSIONS"; then
    log "unpacking the prebuilt copy from $prebuilt"
    tar --zstd -xf "$prebuilt/qt6-win64.tar.zst" -C "$cache"
else
    log "building Qt $host_qt for Windows from Debian's source package"
    src=$cache/src
    rm -rf "$src" && mkdir -p "$src"
    # deb-src in a sources file of its own, beside Debian's.
    list=/etc/apt/sources.list.d/norvexa-deb-src.sources
    if [[ ! -f $list ]]; then
        codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "$codename" "$codename" > "$list"
        apt-get update -qq
    fi
    (cd "$src" && apt-get source -qq "qt6-base=$host_qt")
    srcdir=$(find "$src" -maxdepth 1 -mindepth 1 -type d -name 'qt6-base-*' | head -1)
    mkdir -p "$src/build"
    (cd "$src/build" &&
     "$srcdir/configure" -prefix "$qt" -static -static-runtime -release \
        -xplatform win32-g++ -qt-host-path /usr -nomake examples -nomake tests \
        -no-opengl -no-dbus -no-icu -no-openssl -no-pkg-config \
        -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
        -no-feature-sql -no-feature-network -no-feature-concurrent -no-feature-xml \
        -no-feature-tabletevent -no-feature-androiddeployqt -no-feature-zstd -no-feature-vulkan \
        -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
           -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake &&
     cmake --build . --parallel "$(nproc)" &&
     cmake --install .)
    rm -rf "$src"
fi
echo "$stamp" > "$cache/stamp"
echo "$qt"
