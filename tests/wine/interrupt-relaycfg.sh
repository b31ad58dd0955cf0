#!/usr/bin/env bash
# relaycfg.exe under Wine stopped during the write of `plan apply`, against the Linux repeater-sim
# on COM1. SIGINT to the Wine process is the console's Ctrl-C: Wine hands it to the handlers that
# SetConsoleCtrlHandler installed, on a thread of their own, as Windows does.
#   once:   the write and its check finish; exit 130 after the report, the backup and the restore
#           command named; the repeater holds what the Linux relaycfg writes without a stop; the
#           log says written
#   twice:  exit 130 at once with the backup and the restore command; the log says stopped; the
#           named backup restores the repeater as it was
# and a FILE that names a device (COM2, NUL, CON) is refused instead of hanging in the read.
#
# usage: interrupt-relaycfg.sh WIN_BUILD_DIR NATIVE_BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
[ $# -eq 2 ] || { echo "usage: $0 WIN_BUILD_DIR NATIVE_BUILD_DIR" >&2; exit 2; }
wine_env_init "$1" "$2"

win_program="$WIN_BUILD/bin/relaycfg.exe"
linux_program="$NATIVE_BUILD/relaytool/cli/relaycfg"
wine_require "$win_program" "$linux_program" "$NATIVE_BUILD/tools/repeater-sim"

cat >"$RUN_DIR/site.toml" <<'PLAN'
[base]
name = "Base"
rfpi = "02 5A 3C 81 43"

[[repeater]]
name = "Hall A"
parent = "Base"
rpn = 6
monitor_beep = false
PLAN
sim_sample_memory "$RUN_DIR/sample.mem"
export MAILLINK_DEVICE_DIR="$PORT_DIR" XDG_STATE_HOME="$RUN_DIR/state-linux"

# What the unit holds after an apply that nobody stops.
cp "$RUN_DIR/sample.mem" "$RUN_DIR/expected.mem"
sim_start 1 "$RUN_DIR/expected.mem"
timeout 120 "$linux_program" plan apply "$RUN_DIR/site.toml" --port COM1 --repeater "Hall A" --quiet \
  --log "$RUN_DIR/linux.csv" >"$RUN_DIR/linux.out" 2>"$RUN_DIR/linux.err" </dev/null \
  || { cat "$RUN_DIR/linux.err" >&2; exit 1; }
sim_stop_all

# stopped_run NAME SIGNALS: the apply under Wine, SIGINT sent SIGNALS times once the write has
# begun (the second identification read has ended: the Save's, which the write follows at once);
# its exit code in NAME.rc.
stopped_run() {
  local name=$1 signals=$2 base="$RUN_DIR/$1" i rc=0 reads
  cp "$RUN_DIR/sample.mem" "$base.mem"
  sim_start 1 "$base.mem"
  wine "$win_program" plan apply "$(wine_path "$RUN_DIR/site.toml")" --port COM1 --repeater "Hall A" \
    --log "$(wine_path "$base.csv")" >"$base.out" 2>"$base.err" </dev/null 9>&- &
  WINE_PID=$!
  for i in $(seq 1 600); do
    reads=$(grep -c 'Reading identification block: 4/4 mails' "$base.err" 2>/dev/null || true)
    [ "${reads:-0}" -ge 2 ] && break
    sleep 0.05
  done
  sleep 0.3
  kill -INT "$WINE_PID"
  if [ "$signals" -ge 2 ]; then
    for i in $(seq 1 100); do grep -q 'Stopping: ' "$base.err" && break; sleep 0.02; done
    kill -INT "$WINE_PID"
  fi
  wine_wait 60 || rc=$?
  echo "$rc" >"$base.rc"
  sim_stop_all
}

stopped_run once 1
stopped_run twice 2
echo "relaycfg.exe stopped during a write under Wine:"
check "once: exit code" 130 "$(cat "$RUN_DIR/once.rc")"
contains "once: said at once" "$RUN_DIR/once.err" "Stopping: finishing the write of COM1, about "
contains "once: finished" "$RUN_DIR/once.err" "Stopped as asked, after the write of COM1 was finished and verified."
contains "once: the restore command" "$RUN_DIR/once.err" "Put it back with: relaycfg restore --port COM1 "
check "once: the repeater holds the whole new image" same \
  "$(cmp -s "$RUN_DIR/expected.mem" "$RUN_DIR/once.mem" && echo same || echo different)"
contains "once: logged as written" "$RUN_DIR/once.csv" ",Hall A,COM1,written,"
check "twice: exit code" 130 "$(cat "$RUN_DIR/twice.rc")"
contains "twice: stopped at once" "$RUN_DIR/twice.err" "Stopped during the write of COM1: the repeater may hold part of the new image."
contains "twice: the restore command" "$RUN_DIR/twice.err" "Put it back with: relaycfg restore --port COM1 "
contains "twice: logged as stopped" "$RUN_DIR/twice.csv" ",Hall A,COM1,failed: stopped during the write,"
check "twice: the repeater holds part of the new image" different \
  "$(cmp -s "$RUN_DIR/expected.mem" "$RUN_DIR/twice.mem" && echo same || echo different)"

# The backup the second run named puts the repeater back as it was.
backup=$(tr -d '\r' <"$RUN_DIR/twice.err" | sed -n 's/^Put it back with: relaycfg restore --port COM1 //p')
sim_start 1 "$RUN_DIR/twice.mem"
rc=0
wine_run "$RUN_DIR/restore.out" "$RUN_DIR/restore.err" "$win_program" restore --port COM1 --quiet "$backup" || rc=$?
sim_stop_all
check "twice: the named restore command: exit code" 0 "$rc"
check "twice: restored as it was" same "$(cmp -s "$RUN_DIR/sample.mem" "$RUN_DIR/twice.mem" && echo same || echo different)"

# Device names as FILE: refused at once (a read of COM2 or CON would never end). Opened, COM2 and
# NUL are no disk files; CON does not open at all without a console, as here.
WINE_RUN_TIMEOUT=60
for device in COM2 NUL CON; do
  rc=0
  wine_run "$RUN_DIR/$device.out" "$RUN_DIR/$device.err" "$win_program" plan check "$device" || rc=$?
  check "plan check $device: exit code" 6 "$rc"
  refusal="Cannot read the plan: $device: not a regular file"
  [ "$device" = CON ] && refusal="Cannot read the plan: CON: "
  contains "plan check $device: refused" "$RUN_DIR/$device.err" "$refusal"
done
rc=0
wine_run "$RUN_DIR/nul-restore.out" "$RUN_DIR/nul-restore.err" "$win_program" restore --port COM1 NUL || rc=$?
check "restore NUL: exit code" 6 "$rc"

wine_checks_done "$RUN_DIR"/*.err
