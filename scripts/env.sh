# Sourced by the scripts: where the build goes, and a Wine that keeps its prefix inside
# the build folder and asks no questions (no Mono or Gecko installers).
QM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QM_BUILD=${QM_BUILD:-$QM_ROOT/build}
export WINEPREFIX=$QM_BUILD/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Builds the x86_64 tree (with tests) into $QM_BUILD.
qm_build() {
  cmake -S "$QM_ROOT" -B "$QM_BUILD" -DCMAKE_TOOLCHAIN_FILE="$QM_ROOT/cmake/toolchain-x86_64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$QM_BUILD" -j"$(nproc)"
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
# not always find the fonts it ships (Tahoma, Marlett for the caption buttons, MS Sans Serif);
# without them the dialogs get wider substitutes, so they are copied into the prefix.
qm_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  local fonts=$WINEPREFIX/drive_c/windows/Fonts f
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/*; do
    [ -e "$f" ] && { [ -e "$fonts/$(basename "$f")" ] || cp "$f" "$fonts/"; }
  done
  return 0
}
