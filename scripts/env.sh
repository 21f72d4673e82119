# Sourced by the scripts: where the builds go, and a Wine that keeps its prefix inside
# the build folder and asks no questions (no Mono or Gecko installers). Each tree has a
# build folder of its own: the Windows trees x86_64 in $QM_BUILD and i686 in
# $QM_BUILD_I686, each with its own Wine prefix (wineprefix/ inside it; the i686 one is a
# 32-bit prefix), and the native tree linux in $QM_BUILD_LINUX (g++, run without Wine).
QM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QM_BUILD=${QM_BUILD:-$QM_ROOT/build}
QM_BUILD_I686=${QM_BUILD_I686:-$QM_BUILD-i686}
QM_BUILD_LINUX=${QM_BUILD_LINUX:-$QM_BUILD-linux}
export WINEPREFIX=$QM_BUILD/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# The build folder of a tree: qm_tree_dir x86_64|i686|linux.
qm_tree_dir() {
  case "$1" in
    x86_64) echo "$QM_BUILD" ;;
    i686) echo "$QM_BUILD_I686" ;;
    linux) echo "$QM_BUILD_LINUX" ;;
    *) echo "qm_tree_dir: no tree '$1' (x86_64, i686 or linux)" >&2; return 1 ;;
  esac
}

# Configures a tree's build folder: qm_configure x86_64|i686|linux DIR [cmake options...].
# A Windows bitness is cross-compiled with its MinGW-w64 toolchain; the native tree is built
# with the system's own gcc and g++.
qm_configure() {
  local arch=$1 dir=$2 compilers
  shift 2
  case "$arch" in
    linux) compilers=(-DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++) ;;
    x86_64 | i686) compilers=(-DCMAKE_TOOLCHAIN_FILE="$QM_ROOT/cmake/toolchain-$arch.cmake") ;;
    *) echo "qm_configure: no tree '$arch' (x86_64, i686 or linux)" >&2; return 1 ;;
  esac
  cmake -S "$QM_ROOT" -B "$dir" "${compilers[@]}" "$@" >/dev/null
}

# Builds one tree with every test: qm_build [x86_64|i686|linux] (x86_64 when not given).
qm_build() {
  local arch=${1:-x86_64} dir
  dir=$(qm_tree_dir "$arch") || return 1
  # ccache, where installed, shares objects between work trees (paths below the root relative).
  local launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=$QM_ROOT
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  qm_configure "$arch" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARK_TESTS=ON "${launcher[@]}" &&
    cmake --build "$dir" -j"$(nproc)"
}

# Points Wine at the prefix of one tree: qm_use_tree x86_64|i686. The i686 prefix is
# made for 32-bit programs only (WINEARCH=win32, which needs wine32 before it is created).
# The native tree runs without Wine: qm_use_tree linux changes nothing.
qm_use_tree() {
  local dir
  dir=$(qm_tree_dir "$1") || return 1
  [ "$1" != linux ] || return 0
  export WINEPREFIX=$dir/wineprefix
  if [ "$1" = i686 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
}

# Starts Xvfb on a free display unless one is set; stops it when the script exits.
qm_start_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${QM_FORCE_XVFB:-}" ]; then
    return
  fi
  local n=90
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  QM_XVFB_PID=$!
  export DISPLAY=:$n
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
}

qm_stop_display() {
  if [ -n "${QM_XVFB_PID:-}" ]; then kill "$QM_XVFB_PID" 2>/dev/null || true; wait "$QM_XVFB_PID" 2>/dev/null || true; fi
}

# Creates the Wine prefix once, before the first program runs under it. Debian's Wine does
# not look for the fonts it ships (Tahoma, Marlett for the caption buttons, MS Sans Serif)
# in /usr/share/wine/fonts; without them the dialogs get wider substitutes, so they are
# copied into the prefix (wine_fonts_tests fails when one is missing).
# A prefix of the other bitness than WINEARCH asks for (left by an older run) is made anew.
qm_wine_prefix() {
  if [ -n "${WINEARCH:-}" ] && [ -f "$WINEPREFIX/system.reg" ] &&
    ! grep -qx "#arch=$WINEARCH" "$WINEPREFIX/system.reg"; then
    echo "$WINEPREFIX is not a $WINEARCH prefix; making it anew"
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    if [ "${WINEARCH:-}" = win32 ] && [ ! -x /usr/lib/wine/wine ]; then
      echo "qm_wine_prefix: a 32-bit prefix needs wine32:i386 (scripts/install-deps.sh installs it)" >&2
      return 1
    fi
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "qm_wine_prefix: wineboot made no prefix in $WINEPREFIX" >&2
      return 1
    fi
  fi
  local fonts=$WINEPREFIX/drive_c/windows/Fonts f
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/*; do
    [ -e "$f" ] && { [ -e "$fonts/$(basename "$f")" ] || cp "$f" "$fonts/"; }
  done
  return 0
}
