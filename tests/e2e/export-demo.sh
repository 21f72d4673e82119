#!/usr/bin/env bash
# export-demo.sh QUILLMARK_EXE OCI_LITE_BIN_DIR WORK_DIR
#
# End-to-end test: starts quillmark.exe under Wine with our OCI.DLL on Wine's search path
# and the demo database, fills the main window in as a user would (keys typed with
# xdotool into the real window: user and database in lower case, the password as stored, Tab, the
# arrow key onto "All packages", the file name, Enter), waits for the export of SCOTT's
# schema and compares the file with demo-scott-all-objects.sql. Escape then closes the
# program. Uses $DISPLAY, or starts an Xvfb of its own when none is set.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 QUILLMARK_EXE OCI_LITE_BIN_DIR WORK_DIR" >&2
  exit 2
fi
exe=$1
ocidir=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
expected=$here/demo-scott-all-objects.sql

for tool in xdotool wine sqlite3; do
  if ! command -v $tool >/dev/null 2>&1; then
    echo "e2e: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
done

xvfb_pid=
app_pid=
cleanup() {
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  n=150
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
fi

rm -rf "$work"
mkdir -p "$work"
sh "$root/scripts/make-demo-db.sh" "$work" >/dev/null
out=$work/demo_export.sql

# The program starts in the work folder, so the bare file name lands there.
cd "$work"
WINEDEBUG=-all WINEPATH="Z:$ocidir" OCI_LITE_HOME="Z:$work" wine "$exe" >"$work/wine.log" 2>&1 &
app_pid=$!

wid=
for _ in $(seq 600); do
  wid=$(xdotool search --name '^Quillmark v2\.7$' 2>/dev/null | head -1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
if [ -z "$wid" ]; then
  echo "e2e: the main window did not appear" >&2
  cat "$work/wine.log" >&2 || true
  exit 1
fi
# Focus can fail while a loaded machine is still mapping the window: ask again until it holds.
focused=
for _ in $(seq 50); do
  if xdotool windowfocus --sync "$wid" 2>/dev/null && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$wid" ]; then
    focused=1
    break
  fi
  sleep 0.2
done
if [ -z "$focused" ]; then
  echo "e2e: the main window did not take the focus" >&2
  exit 1
fi
sleep 0.3

# The focus starts in the user name field. Tab order: user, password, database,
# "Connect as SYSDBA", the mode radio buttons ("One package" is checked), then, with
# "All packages" chosen, the object name and the picker are disabled and the next stop
# is the file name.
xdotool type --delay 40 scott
xdotool key Tab
xdotool type --delay 40 TIGER
xdotool key Tab
xdotool type --delay 40 demo
xdotool key Tab Tab Down Tab
xdotool type --delay 40 demo_export.sql
sleep 0.3
xdotool key Return

ok=
for _ in $(seq 600); do
  if [ -f "$out" ] && cmp -s "$out" "$expected"; then ok=1; break; fi
  sleep 0.1
done
# Nothing may follow once the last block is there.
sleep 1
if [ -z "$ok" ] || ! cmp -s "$out" "$expected"; then
  echo "e2e: the exported file differs from $expected" >&2
  if [ -f "$out" ]; then diff "$expected" "$out" | head -40 >&2 || true; else echo "e2e: no file $out" >&2; fi
  exit 1
fi

# Idle again, so Escape ends the program.
xdotool key Escape
for _ in $(seq 100); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "e2e: Escape did not end the program (is a job still running?)" >&2
  exit 1
fi
app_pid=
echo "e2e: export of the demo schema matches $(basename "$expected") ($(wc -c <"$out") bytes)"
