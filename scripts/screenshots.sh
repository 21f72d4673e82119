#!/usr/bin/env bash
# screenshots.sh
#
# Makes the pictures in docs/ from the real program: quillmark.exe under Wine inside a
# virtual desktop (wine explorer /desktop=qm,800x600, which draws the window frames) on an
# Xvfb display of its own, against the demo database of oci-lite, with every simulated
# server round trip slowed down (OCI_LITE_RTT_US), as over a slow link.
#   docs/message-box.png  Start pressed with empty fields: the program's message box
#   docs/picker-listing.png the object picker while its listing waits for the slow link
#   docs/picker.png       the object picker with the demo schema listed
#   docs/main-idle.png    the main window filled in, idle
#   docs/main-export.png  the main window after an all-objects export (the log and both bars)
# Builds the tree first when quillmark.exe is missing. The Wine prefix is a separate one
# (build/wineprefix-docs), so that its desktop settings stay apart from the tests'.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/install-deps.sh"
source "$here/env.sh"
export WINEPREFIX=$QM_BUILD/wineprefix-docs
docs=$QM_ROOT/docs
work=$QM_BUILD/docs-work

[ -f "$QM_BUILD/bin/quillmark.exe" ] && [ -f "$QM_BUILD/oci-lite-bin/OCI.DLL" ] || qm_build

QM_FORCE_XVFB=1 qm_start_display
app_pid=
finish() {
  if [ -n "${app_pid:-}" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
  qm_stop_display
}
trap finish EXIT
qm_wine_prefix

rm -rf "$work"
mkdir -p "$work" "$docs"
"$here/make-demo-db.sh" "$work" >/dev/null

cd "$work"
app_pid=
desk=

# Starts the program in a fresh virtual desktop and waits for it.
start_program() {
  OCI_LITE_RTT_US=250000 WINEPATH="Z:$QM_BUILD/oci-lite-bin" OCI_LITE_HOME="Z:$work" \
    wine explorer /desktop=qm,800x600 "$QM_BUILD/bin/quillmark.exe" >>"$work/wine.log" 2>&1 &
  app_pid=$!
  desk=
  for _ in $(seq 600); do
    desk=$(xdotool search --name '^qm - Wine desktop$' 2>/dev/null | head -1 || true)
    [ -n "$desk" ] && break
    sleep 0.1
  done
  [ -n "$desk" ] || { echo "screenshots: the Wine desktop did not appear" >&2; exit 1; }
  sleep 4
  # A click on the caption activates the window; the focus is in the user name field.
  xdotool mousemove --window "$desk" 150 10 click 1
  sleep 0.5
}

# Takes the desktop and cuts away the empty desktop around the windows.
shot() {
  local raw=$work/raw.png
  import -window "$desk" "$raw"
  local background
  background=$(convert "$raw" -format '%[pixel:p{799,599}]' info:)
  convert "$raw" -bordercolor "$background" -border 1 -fuzz 2% -trim +repage "$docs/$1"
  echo "screenshots: docs/$1"
}

# Ends the program and its virtual desktop (the prefix is this script's own).
end_program() {
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid" 2>/dev/null || true; fi
  app_pid=
  wineserver -k 2>/dev/null || true
  sleep 1
}

# Everything goes by keyboard from a fresh start, where the focus is in the user name
# field; the tab order is user name, password, database, "Connect as SYSDBA", the radio
# buttons, object name, picker, file name, browse, log list, Start, Cancel.
start_program
xdotool key Return           # Start with empty fields
sleep 1.5
shot message-box.png
end_program

start_program
xdotool type --delay 40 scott
xdotool key Tab
xdotool type --delay 40 TIGER
xdotool key Tab
xdotool type --delay 40 demo
# Backwards from the database field to the picker button, which space presses.
xdotool key --delay 60 shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab
xdotool key space
sleep 0.4
shot picker-listing.png
sleep 4
xdotool key --delay 60 Tab Tab Tab   # list, OK, Cancel, then the find box
xdotool type --delay 80 hr
sleep 0.5
shot picker.png
xdotool key Return           # OK: HR_UTIL goes into the main window
sleep 1
shot main-idle.png
end_program

start_program
xdotool type --delay 40 scott
xdotool key Tab
xdotool type --delay 40 TIGER
xdotool key Tab
xdotool type --delay 40 demo
xdotool key --delay 60 Tab Tab Down Tab   # to the radio buttons, "All packages", on to the file name
xdotool type --delay 40 demo_export.sql
xdotool key Return
sleep 3
shot main-export.png
end_program
