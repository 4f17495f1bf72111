#!/usr/bin/env bash
# Builds the image libraries that JUCE needs for the 64-bit Windows target.
#
# Debian's JUCE leaves its bundled zlib, libjpeg and libpng out and expects the
# system's. For MinGW, zlib comes as a Debian package (libz-mingw-w64-dev);
# libjpeg-turbo and libpng have none, so they are built here as static
# libraries from Debian's own source packages.
#
# Usage: tools/build-windows-deps.sh PREFIX
# Installs into PREFIX/{include,lib}. A finished build leaves PREFIX/.complete
# behind and is not repeated.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
prefix="$(mkdir -p "${1:?usage: $0 PREFIX}" && cd "$1" && pwd)"
toolchain="$here/cmake/mingw-w64-x86_64.cmake"
stamp="$prefix/.complete"
jobs="$(nproc)"

if [ -f "$stamp" ]; then
    exit 0
fi

sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo

# apt-get source needs a deb-src entry; Debian 12 images carry only binary
# ones. Either style of sources file is handled, and a second run adds nothing.
ensure_deb_src() {
    if apt-cache showsrc libpng1.6 2>/dev/null | grep -q '^Package:'; then
        return
    fi
    local deb822=/etc/apt/sources.list.d/debian.sources
    if [ -f "$deb822" ]; then
        $sudo sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$deb822"
    fi
    local list=/etc/apt/sources.list
    if [ -f "$list" ] && ! grep -qE '^[[:space:]]*deb-src[[:space:]]' "$list"; then
        grep -E '^[[:space:]]*deb[[:space:]]' "$list" | sed -E 's/^([[:space:]]*)deb([[:space:]])/\1deb-src\2/' |
            $sudo tee -a "$list" >/dev/null
    fi
    $sudo apt-get update -qq
}

ensure_deb_src

work="$prefix/.src"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
# Run as root, apt-get cannot hand the download to its sandbox user in a
# folder that user can't write; downloading as root is what we want here.
# A mirror may list a security update's source before it serves the files; the
# release's own version is then taken.
fetch_source() {
    apt-get source -qq -o APT::Sandbox::User=root "$1" >/dev/null 2>&1 ||
        apt-get source -qq -o APT::Sandbox::User=root "$1/bookworm" >/dev/null
}
fetch_source libjpeg-turbo
fetch_source libpng1.6

jpeg_src="$(find "$work" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)"
png_src="$(find "$work" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n1)"
[ -n "$jpeg_src" ] && [ -n "$png_src" ] || { echo "source packages not unpacked" >&2; exit 1; }

cmake_cross() {
    local src="$1" build="$2"
    shift 2
    cmake -S "$src" -B "$build" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_INSTALL_LIBDIR="$prefix/lib" \
        -DCMAKE_POLICY_DEFAULT_CMP0074=NEW \
        "$@" >/dev/null
    cmake --build "$build" -j"$jobs" >/dev/null
    cmake --install "$build" >/dev/null
}

# libjpeg-turbo: the static library only; the SIMD parts would need nasm and
# add nothing to loading a few icons.
cmake_cross "$jpeg_src" "$work/build-jpeg" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF

# JUCE asks for the library's internal declarations too (as Debian's own
# libjpeg-dev ships them).
install -m 644 "$jpeg_src/jpegint.h" "$prefix/include/"

# JUCE includes jpeglib.h inside a namespace of its own and then names
# `boolean` from that namespace. The Windows jconfig.h leaves `boolean` to
# rpcndr.h when windows.h came first, as it always does in JUCE, and then
# nothing declares it in JUCE's namespace; so the typedef is made
# unconditional. It is the type the library was built with, and repeating a
# typedef of the same type is allowed in C and C++.
jconfig="$prefix/include/jconfig.h"
sed -i -E '/^#ifndef __RPCNDR_H__/{N;N;s/^#ifndef __RPCNDR_H__[^\n]*\n(typedef unsigned char boolean;)\n#endif/\1/}' "$jconfig"
grep -qx 'typedef unsigned char boolean;' "$jconfig" && ! grep -q '__RPCNDR_H__' "$jconfig" ||
    { echo "unexpected $jconfig" >&2; exit 1; }

# libpng: static only, against the MinGW zlib package.
cmake_cross "$png_src" "$work/build-png" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_ROOT=/usr/x86_64-w64-mingw32

rm -rf "$work"
touch "$stamp"
