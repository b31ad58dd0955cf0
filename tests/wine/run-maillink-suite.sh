#!/usr/bin/env bash
# Runs the library's test program (maillink_tests.exe) under Wine, with the devices its tests
# expect on the Linux side:
#   COM2  repeater-sim, the sample repeater, its memory file named by RELAY_WINE_SIM_MEMORY
#   COM3  a scripted device's line (relay), the test program's PtyPeer connects to it
#   COM4  another scripted device's line
#   COM5  no device (the path it is pinned to does not exist)
#   COM6  a link to a device that does not exist
#   COM7  no device
#   COM8  a regular file, named by RELAY_WINE_PLAIN_FILE: it opens, but is no serial line
#   COM9  repeater-sim whose mails 1 to 5 meet the faults of the sim fault cases, in order
#
# usage: run-maillink-suite.sh WIN_BUILD_DIR NATIVE_BUILD_DIR [gtest options...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
[ $# -ge 2 ] || { echo "usage: $0 WIN_BUILD_DIR NATIVE_BUILD_DIR [gtest options...]" >&2; exit 2; }
wine_env_init "$1" "$2"
shift 2

program="$WIN_BUILD/bin/maillink_tests.exe"
wine_require "$program"
[ -x "$NATIVE_BUILD/tools/repeater-sim" ] || { wine_log "no repeater-sim in $NATIVE_BUILD (build the Linux side first)"; exit 1; }

relay_start 3
relay_start 4
ln -s "$RUN_DIR/no-such-device" "$PORT_DIR/COM6"
echo "not a serial line" >"$RUN_DIR/plain-file"
ln -s "$RUN_DIR/plain-file" "$PORT_DIR/COM8"

sim_sample_memory "$RUN_DIR/sample.mem"
cp "$RUN_DIR/sample.mem" "$RUN_DIR/sim2.mem"
cp "$RUN_DIR/sample.mem" "$RUN_DIR/sim9.mem"
sim_start 2 "$RUN_DIR/sim2.mem"
sim_start 9 "$RUN_DIR/sim9.mem" --fault bad-checksum@1 --fault reply-length@2=30 \
  --fault corrupt-echo@3=5 --fault no-echo@4 --fault silence@5

export RELAY_WINE_SIM_MEMORY RELAY_WINE_PLAIN_FILE
RELAY_WINE_SIM_MEMORY=$(wine_path "$RUN_DIR/sim2.mem")
RELAY_WINE_PLAIN_FILE=$(wine_path "$RUN_DIR/plain-file")

wine_run_gtest "$program" "$@"
