#!/usr/bin/env bash
# The demo: Relaytool against a simulated repeater, no hardware needed.
#
#   tools/demo.sh [BUILD_DIR]      (make demo builds BUILD_DIR first; default build-release)
#   tools/demo.sh --check-display  (only says whether a display is there; make demo asks first)
#
# It starts repeater-sim with the sample repeater on a pseudo-terminal, published as COM1 in a
# private port directory, and runs the program with MAILLINK_DEVICE_DIR pointing there, so the
# port list offers exactly that COM1. The simulator keeps its memory in a file, so what a Save
# wrote is still there in the next demo (delete the file to start again from the sample).
# The program runs as a copy in the demo folder, with a settings file there that selects COM1:
# the settings file beside the build's own executable is left alone. Closing the window ends
# the demo and stops the simulator. The backups the window's Saves keep go to the demo folder too
# (XDG_STATE_HOME for the program), not among the user's backups of real units.
set -euo pipefail

readonly state_dir="${XDG_STATE_HOME:-$HOME/.local/state}/relaytool-demo"
readonly memory_file="$state_dir/repeater.mem"

have_display() {
    [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]
}

explain_missing_display() {
    cat >&2 <<'EOF'
demo: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), and the demo is a window.
demo: on a desktop, run it from a terminal of the desktop session. On a machine without one, give
demo: it a virtual X display (Debian package xvfb), for example:
demo:     xvfb-run -s '-screen 0 1024x768x24' make demo
demo: or
demo:     Xvfb :99 -screen 0 1024x768x24 &  DISPLAY=:99 make demo
demo: (an invisible display: drive it with xdotool, look at it with `import -window root shot.png`).
demo: The window's picture without any display: make screenshot (docs/screenshot-loaded.png).
EOF
}

if [[ "${1:-}" == "--check-display" ]]; then
    if have_display; then exit 0; fi
    explain_missing_display
    exit 1
fi

readonly build_dir="${1:-build-release}"
readonly simulator="$build_dir/tools/repeater-sim"
readonly program="$build_dir/relaytool/window/relaytool"

if ! have_display; then
    explain_missing_display
    exit 1
fi
for built in "$simulator" "$program"; do
    if [[ ! -x "$built" ]]; then
        echo "demo: $built is missing; build it first (make demo does)." >&2
        exit 1
    fi
done

mkdir -p "$state_dir"
port_dir="$(mktemp -d "${XDG_RUNTIME_DIR:-/tmp}/relaytool-demo-ports.XXXXXX")"
sim_log="$port_dir/repeater-sim.log"
sim_pid=""

stop_simulator() {
    if [[ -n "$sim_pid" ]] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true  # it saves its memory file on the way out
    fi
    rm -rf "$port_dir"
}
trap stop_simulator EXIT
trap 'exit 130' INT TERM

"$simulator" --dir "$port_dir" --com 1 --memory "$memory_file" >"$sim_log" 2>&1 &
sim_pid=$!

# The simulator says where it published the port once the link is there.
for _ in $(seq 100); do
    if grep -q '^repeater-sim: COM1 ->' "$sim_log" 2>/dev/null; then break; fi
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "demo: the simulated repeater did not start:" >&2
        cat "$sim_log" >&2
        exit 1
    fi
    sleep 0.05
done
if ! grep -q '^repeater-sim: COM1 ->' "$sim_log"; then
    echo "demo: the simulated repeater did not publish COM1 in time:" >&2
    cat "$sim_log" >&2
    exit 1
fi

# The program's settings file lives beside its executable: a copy in the demo folder gets its
# own, which selects the simulated COM1.
cp -f "$program" "$state_dir/relaytool"
printf '[Com settings]\nPort=1\n' >"$state_dir/relaytool.ini"

cat <<EOF
demo: $(head -n 1 "$sim_log")
demo: the repeater's memory is kept in $memory_file
demo: (delete it to start again from the sample repeater)
demo: each Save keeps the image it overwrites in $state_dir/relaycfg/backups
demo: in the window: COM1 is chosen; press Load, edit the fields, press Save; Quit ends the demo.
EOF

status=0
MAILLINK_DEVICE_DIR="$port_dir" XDG_STATE_HOME="$state_dir" "$state_dir/relaytool" || status=$?
echo "demo: the window closed; the simulated repeater is stopped."
exit "$status"
