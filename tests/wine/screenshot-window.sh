#!/usr/bin/env bash
# A picture of relaytool.exe under Wine on a virtual display after a Load from the simulated
# sample repeater: the program starts with COM2 remembered, the first input it gets is a mouse
# click on Load, and the client area is cut from the screen into a PNG. It fails when the RFPI
# field is still blank in the picture: the first click must find the port list filled and load.
#
# usage: screenshot-window.sh WIN_BUILD_DIR NATIVE_BUILD_DIR OUTPUT.png
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
source "$here/wine_display.sh"
[ $# -eq 3 ] || { echo "usage: $0 WIN_BUILD_DIR NATIVE_BUILD_DIR OUTPUT.png" >&2; exit 2; }
output=$(realpath -m "$3")
wine_env_init "$1" "$2"
for tool in xdotool import convert; do
  command -v "$tool" >/dev/null || { wine_log "$tool is missing (make deps installs xdotool and imagemagick)"; exit 1; }
done

wine_display_start
wine_prepare_windows
sim_sample_memory "$RUN_DIR/sample.mem"
sim_start 2 "$RUN_DIR/sample.mem"

# The program in a folder of its own, so that its settings file is the run's.
app="$RUN_DIR/app"
mkdir -p "$app"
cp "$WIN_BUILD/bin/relaytool.exe" "$WIN_BUILD/bin/maillink.dll" "$app/"
printf '[Com settings]\r\nPort=2\r\n' >"$app/relaytool.ini"
timeout --kill-after=5 60 wine "$app/relaytool.exe" >"$RUN_DIR/out.txt" 2>"$RUN_DIR/err.txt" </dev/null 9>&- &
WINE_PID=$!

window=
for _ in $(seq 1 200); do
  window=$(xdotool search --name '^Korvex Repeater config$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
  sleep 0.05
done
[ -n "$window" ] || { wine_log "the window did not appear"; exit 1; }
sleep 0.5
# Wine draws the frame itself: the client area is the window less its border and caption.
eval "$(xdotool getwindowgeometry --shell "$window")"
border=$(( (WIDTH - 295) / 2 ))
left=$(( X + border )); top=$(( Y + HEIGHT - 532 - border ))

# Load (its middle at 92, 425 in the client area), then the mouse away from every hint.
xdotool mousemove $((left + 92)) $((top + 425)) click 1
xdotool mousemove 1000 750
sleep 2
import -window root "$RUN_DIR/screen.png"
mkdir -p "$(dirname "$output")"
convert "$RUN_DIR/screen.png" -crop "295x532+$left+$top" +repage "$output"
# The RFPI field (62, 105, 99 x 24 in the client area) shows dark text once loaded.
darkest=$(convert "$output" -crop 95x20+64+107 +repage -colorspace Gray -format '%[fx:int(255*minima)]' info:)
if [ "$darkest" -gt 128 ]; then
  wine_log "the RFPI field is blank in $output: the first click on Load did not load"
  exit 1
fi
echo "screenshot: wrote $output (relaytool.exe under Wine after a Load from the sample repeater)"
