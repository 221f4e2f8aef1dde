#!/usr/bin/env bash
# Screenshots of the tray tool on a virtual X display with a real tray host:
# the settings window with its banner, the refusal of a second start, the
# icon's tooltip, the open tray menu and the Quit question, written to
# docs/screenshots/. On the way it checks that a second start ends and leaves
# the first alone, that closing the window leaves exactly one icon in the tray,
# also after a restore by double click, and that Quit answered Yes ends the
# tool and empties the tray.
#
#   scripts/screenshots.sh [BUILD-DIR]      (default build; `make screenshots`)
#
# Needs Xvfb, trayer, xdotool, xwininfo and ImageMagick (import, convert).
# Starts two simulated controllers with kavsim when it is built, so
# the tool detects controllers as it would on a server.
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build}
tool=$build/bin/KavSnmpConf
sender=$build/bin/kavwinmsg
out=docs/screenshots
title="Kavor SNMP Configuration Tool V1.0"

for program in Xvfb trayer xdotool xwininfo import convert; do
  command -v "$program" >/dev/null || { echo "screenshots: $program is missing" >&2; exit 1; }
done
for program in "$tool" "$sender"; do
  [ -x "$program" ] || { echo "screenshots: $program not built (make build)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/kavshots-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "screenshots: $*" >&2; exit 1; }

# Polls a command for up to $1 tenths of a second.
wait_for() {
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

# A free display number.
display_number=90
while [ -e "/tmp/.X11-unix/X$display_number" ] || [ -e "/tmp/.X$display_number-lock" ]; do
  display_number=$((display_number + 1))
done
export DISPLAY=:$display_number
Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 50 xdotool getdisplaygeometry || fail "Xvfb did not start"

trayer --edge bottom --align right --widthtype pixel --width 160 --heighttype pixel --height 32 \
  --SetDockType true --transparent false >"$work/trayer.log" 2>&1 &
pids+=($!)
wait_for 50 xdotool search --name '^panel$' || fail "trayer did not start"
panel=$(xdotool search --name '^panel$' | head -1)

# The tool's machine: settings file, controllers, mutexes and window endpoints.
mkdir -p "$work/programs/KVADM/SNMP" "$work/devices" "$work/ipc" "$work/windows"
printf '[HTTPPROXY]\nPort=81\n[SNMP]\nNoLevel=2\nCommunity=public\n' \
  >"$work/programs/KVADM/SNMP/KavSnmp.ini"
export KAV_PROGRAM_FILES=$work/programs KAV_DEVICE_DIR=$work/devices
export KAV_IPC_DIR=$work/ipc KAV_WINDOW_DIR=$work/windows
if [ -x "$build/bin/kavsim" ]; then
  "$build/bin/kavsim" --device-dir "$work/devices" --scenario sim/scenarios/two-controllers.json \
    >"$work/kavsim.log" 2>&1 &
  pids+=($!)
  wait_for 50 test -S "$work/devices/scsi9" || fail "kavsim did not start"
fi

QT_QPA_PLATFORM=xcb "$tool" >"$work/tool.log" 2>&1 &
tool_pid=$!
pids+=($tool_pid)
wait_for 100 xdotool search --onlyvisible --name "^$title\$" || fail "the settings window did not appear"
window=$(xdotool search --onlyvisible --name "^$title\$" | head -1)
sleep 0.5
mkdir -p "$out"
import -window "$window" "$out/settings-dialog.png"

tray_icons() { xwininfo -tree -id "$panel" | grep -c '"KavSnmpConf": ("KavSnmpConf"' || true; }
icons_are() { [ "$(tray_icons)" = "$1" ]; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
hidden() { ! viewable "$window"; }
tool_ended() { ! kill -0 "$tool_pid" 2>/dev/null; }
# A shown top-level window of the tool other than the settings window: the
# pop-up menu or a message box.
other_window() {
  local id
  for id in $(xwininfo -root -children | awk '/\("KavSnmpConf" "KavSnmpConf"\)/ {print $1}'); do
    [ "$((id))" = "$window" ] && continue
    viewable "$id" && { echo "$id"; return 0; }
  done
  return 1
}
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width/ {w=$2} /Height/ {h=$2} END {print x, y, w, h}'
}

# A second start while the tool runs is refused with a message; the first
# instance stays as it was.
QT_QPA_PLATFORM=xcb "$tool" >"$work/second.log" 2>&1 &
second_pid=$!
pids+=($second_pid)
wait_for 100 other_window || fail "a second start showed no message"
sleep 0.5
refusal=$(other_window)
import -window "$refusal" "$out/second-instance.png"
xdotool windowfocus "$refusal" 2>/dev/null || true
xdotool key Return
second_ended() { ! kill -0 "$second_pid" 2>/dev/null; }
wait_for 100 second_ended || fail "the second instance did not end"
viewable "$window" || fail "the first instance's window went away"
# The close box: the system command Close, as the window manager would send it.
close_window() { "$sender" "$title" 274 61536 >/dev/null; }

[ "$(tray_icons)" = 0 ] || fail "an icon before the first close"
close_window
wait_for 50 icons_are 1 || fail "closing did not put one icon in the tray"
wait_for 20 hidden || fail "closing did not hide the window"
icon=$(xwininfo -tree -id "$panel" | awk '/"KavSnmpConf": \("KavSnmpConf"/ {print $1; exit}')
read -r icon_x icon_y icon_w icon_h < <(geometry "$icon")
icon_x=$((icon_x + icon_w / 2)); icon_y=$((icon_y + icon_h / 2))

# Double click restores; closing again keeps the one icon.
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 --delay 80 1
wait_for 50 viewable "$window" || fail "a double click did not restore the window"
close_window
wait_for 50 hidden || fail "the second close did not hide"
[ "$(tray_icons)" = 1 ] || fail "closing twice left $(tray_icons) icons"

# The tooltip, then the menu of the right button.
xdotool mousemove "$icon_x" $((icon_y - 6))
xdotool mousemove "$icon_x" "$icon_y"
sleep 2
import -window root "$work/root.png"
convert "$work/root.png" -crop 280x110+520+490 +repage -scale 200% "$out/tray-tooltip.png"
xdotool click 3
sleep 1
import -window root "$work/root.png"
convert "$work/root.png" -crop 280x110+520+490 +repage -scale 200% "$out/tray-menu.png"

# "Quit": the question, then Yes ends the tool and takes the icon away.
menu=$(other_window) || fail "no menu after the right button"
read -r menu_x menu_y menu_w menu_h < <(geometry "$menu")
# "Quit" is the lower of the two items.
xdotool mousemove $((menu_x + menu_w / 3)) $((menu_y + menu_h * 3 / 4)) click 1
wait_for 50 other_window || fail "Quit asked nothing"
sleep 0.5
question=$(other_window)
import -window "$question" "$out/quit-question.png"
read -r box_x box_y box_w box_h < <(geometry "$question")
# Yes is the left of the two buttons along the bottom.
xdotool mousemove $((box_x + box_w / 3)) $((box_y + box_h - 24)) click 1
wait_for 100 tool_ended || fail "Quit answered Yes did not end the tool"
[ "$(tray_icons)" = 0 ] || fail "the icon stayed after Quit"

echo "screenshots: written to $out/ (settings-dialog, second-instance, tray-tooltip, tray-menu, quit-question)"
