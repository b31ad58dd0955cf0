#!/bin/bash
# The real program on a virtual display without a window manager (so the window is never
# activated by one), against the simulated repeater as COM1: Load as the very first input loads,
# Save then writes without a message, and Quit stores COM1 in the settings file.
# usage: first_click_test.sh RELAYTOOL REPEATER_SIM
set -euo pipefail
relaytool=$1
sim=$2

work=$(mktemp -d /tmp/relaytool-first-click-XXXXXX)
cleanup() {
    [[ -n ${sim_pid:-} ]] && kill "$sim_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/ports" "$work/bin"
# The settings file lies beside the executable: a copy of its own keeps it out of the build tree.
cp "$relaytool" "$work/bin/relaytool"
export MAILLINK_DEVICE_DIR=$work/ports
"$sim" --dir "$work/ports" --com 1 >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [[ -e $work/ports/COM1 ]] && break; sleep 0.05; done
[[ -e $work/ports/COM1 ]] || { echo "the simulator did not publish COM1"; cat "$work/sim.log"; exit 1; }

export ASAN_OPTIONS=detect_leaks=0
export WORK=$work
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    "$WORK/bin/relaytool" 2>"$WORK/relaytool.log" &
    program=$!
    wid=$(timeout 20 xdotool search --sync --name "^Korvex Repeater config$" | head -1)
    boxes() { xdotool search --name "^Repeater configuration$" 2>/dev/null | wc -l; }
    click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }
    # Load (46,410 92x31), then Save (146,410), then Quit (120,472 49x33): client coordinates.
    click 92 425
    sleep 2
    [[ $(boxes) -eq 0 ]] || { echo "the first click on Load showed a message"; exit 1; }
    click 192 425
    sleep 2
    [[ $(boxes) -eq 0 ]] || { echo "Save after the first Load showed a message (First load data!?)"; exit 1; }
    # Quit is disabled while a transfer runs on a slow machine: press it until the program ends.
    for _ in $(seq 40); do
        kill -0 $program 2>/dev/null || break
        click 144 488 2>/dev/null || true
        sleep 0.5
    done
    if kill -0 $program 2>/dev/null; then kill $program; echo "Quit did not end the program"; exit 1; fi
    wait $program
'
settings=$(cat "$work/bin/relaytool.ini" 2>/dev/null || true)
[[ $settings == *"Port=1"* ]] || { echo "settings file: '$settings'"; exit 1; }
echo "first click loads: ok"
