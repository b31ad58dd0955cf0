#!/usr/bin/env bash
# Runs the Win32 window's test program (window_win32_tests.exe) under Wine on a virtual X display
# (Xvfb, no window manager), with simulated repeaters on the Linux side:
#   COM2  repeater-sim, the sample repeater (parent RFPI of ARI class A), memory RELAY_WINE_SIM2
#   COM3  repeater-sim holding a parent RFPI of another ARI class, memory RELAY_WINE_SIM3
#   COM4  repeater-sim answering with another device type than "a"
#   COM5  repeater-sim whose every reply has a bad checksum (every transfer fails at once)
#   COM6  repeater-sim that echoes write mails but does not apply them (a Save that does not take)
#   COM7  repeater-sim, the sample repeater again, memory RELAY_WINE_SIM7 (for the Save of edits)
#   COM1, COM8: no device
# Each simulator's memory file is a fresh copy of the sample, so every run starts alike.
#
# usage: run-window-suite.sh WIN_BUILD_DIR NATIVE_BUILD_DIR [gtest options...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
source "$here/wine_display.sh"
[ $# -ge 2 ] || { echo "usage: $0 WIN_BUILD_DIR NATIVE_BUILD_DIR [gtest options...]" >&2; exit 2; }
wine_env_init "$1" "$2"
shift 2

program="$WIN_BUILD/bin/window_win32_tests.exe"
wine_require "$program"
[ -x "$NATIVE_BUILD/tools/repeater-sim" ] || { wine_log "no repeater-sim in $NATIVE_BUILD (build the Linux side first)"; exit 1; }

# set_config_bytes FILE OFFSET HEX...: changes configuration bytes of a simulator memory file.
set_config_bytes() {
  local file=$1 offset=$2; shift 2
  awk -v first="$offset" -v bytes="$*" '
    BEGIN { n = split(bytes, b, " ") }
    $1 == "config" { for (i = 2; i <= NF; i++) { at = seen++ - first; if (at >= 0 && at < n) $i = b[at + 1] } }
    { print }' "$file" >"$file.new" && mv "$file.new" "$file"
}

wine_display_start
wine_prepare_windows

sim_sample_memory "$RUN_DIR/sample.mem"
for n in 2 3 4 5 6 7; do cp "$RUN_DIR/sample.mem" "$RUN_DIR/sim$n.mem"; done
# COM3: the parent RFPI 12 34 56 78 9A (ARI class bits 0x70 of its first byte: 1, not class A).
set_config_bytes "$RUN_DIR/sim3.mem" 68 12 34 56 78 9A
sim_start 2 "$RUN_DIR/sim2.mem"
sim_start 3 "$RUN_DIR/sim3.mem"
sim_start 4 "$RUN_DIR/sim4.mem" --fault wrong-device
sim_start 5 "$RUN_DIR/sim5.mem" --fault bad-checksum
sim_start 6 "$RUN_DIR/sim6.mem" --fault ignore-write
sim_start 7 "$RUN_DIR/sim7.mem"

export RELAY_WINE_SIM2 RELAY_WINE_SIM3 RELAY_WINE_SIM7
RELAY_WINE_SIM2=$(wine_path "$RUN_DIR/sim2.mem")
RELAY_WINE_SIM3=$(wine_path "$RUN_DIR/sim3.mem")
RELAY_WINE_SIM7=$(wine_path "$RUN_DIR/sim7.mem")

wine_run_gtest "$program" "$@"
