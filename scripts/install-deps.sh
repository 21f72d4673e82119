#!/usr/bin/env bash
# Installs what building, running and testing Quillmark needs on Debian 12, and only
# what is missing. Each package is judged by the file the build or the tests really use,
# not by a command name another package could also provide: the MinGW-w64 cross
# compilers (posix threads) and resource compiler, CMake, Wine for 64-bit and 32-bit
# programs (wine32 comes from the i386 architecture), the fonts Wine lays dialogs out
# with (fonts-wine: Tahoma, MS Sans Serif, Marlett), Xvfb, Debian's GoogleTest sources,
# sqlite3 (demo database), npm (fetches the pinned SQLite amalgamation), xdotool and
# imagemagick (end-to-end test, screenshots), zip (the release zips of scripts/package);
# for the native tree gcc and g++ (with the C++ runtime's static archives the release's
# qmexport links in) and binutils' readelf (scripts/check-package reads the tarball's
# program with it).
set -euo pipefail

need=()
# want PACKAGE FILE: PACKAGE is needed unless FILE exists.
want() { [ -e "$2" ] || need+=("$1"); }

want cmake              /usr/bin/cmake
want make               /usr/bin/make
want gcc                /usr/bin/gcc
want g++                /usr/bin/g++
want libstdc++-12-dev   /usr/lib/gcc/x86_64-linux-gnu/12/libstdc++.a
want binutils           /usr/bin/readelf
want g++-mingw-w64-x86-64-posix /usr/bin/x86_64-w64-mingw32-g++-posix
want g++-mingw-w64-i686-posix   /usr/bin/i686-w64-mingw32-g++-posix
want binutils-mingw-w64-x86-64  /usr/bin/x86_64-w64-mingw32-windres
want binutils-mingw-w64-i686    /usr/bin/i686-w64-mingw32-windres
want wine               /usr/bin/wine
want wine64             /usr/lib/wine/wine64
want wine32:i386        /usr/lib/wine/wine
want fonts-wine         /usr/share/wine/fonts/tahoma.ttf
want xvfb               /usr/bin/Xvfb
want googletest         /usr/src/googletest/CMakeLists.txt
want sqlite3            /usr/bin/sqlite3
want npm                /usr/bin/npm
want xdotool            /usr/bin/xdotool
want imagemagick        /usr/bin/import
want python3            /usr/bin/python3
want clang-format       /usr/bin/clang-format
want zip                /usr/bin/zip

if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # wine32 is an i386 package: the architecture must be known before the index is read.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${need[@]}"
fi
