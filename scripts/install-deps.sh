#!/usr/bin/env bash
# Installs what building, running and testing Quillmark needs on Debian 12, and only
# when something is missing: the MinGW-w64 cross compilers (posix threads), CMake,
# Wine, Xvfb, Debian's GoogleTest sources, sqlite3 (demo database), npm (fetches the
# pinned SQLite amalgamation), xdotool and imagemagick (end-to-end test, screenshots).
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-x86-64)
command -v wine >/dev/null || need+=(wine wine64)
[ -e /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || need+=(wine64)
command -v Xvfb >/dev/null || need+=(xvfb)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v sqlite3 >/dev/null || need+=(sqlite3)
command -v npm >/dev/null || need+=(npm)
command -v xdotool >/dev/null || need+=(xdotool)
command -v import >/dev/null || need+=(imagemagick)
command -v python3 >/dev/null || need+=(python3)

if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${need[@]}"
fi
