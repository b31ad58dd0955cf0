#!/usr/bin/env bash
# relaycfg.exe under Wine running `plan apply --all` at two stations (COM1, COM2), each a Linux
# repeater-sim that starts with no unit and takes units on its control FIFO, as the technician
# plays them; the workers are relaycfg.exe started by itself (CreateProcessW, pipes).
#   all:     units on both, taken away once written, the next one swapped in on COM1: every
#            entry written with the plan's RPN and parent RFPI, one log line each with its port,
#            exit 0 without q
#   once:    SIGINT (Wine's Ctrl-C) while both write: both finish, exit 130, logged as written
#   twice:   a second SIGINT: the workers are ended at once, exit 130, the backups and restore
#            commands named, logged as stopped
#
# usage: stations-relaycfg.sh WIN_BUILD_DIR NATIVE_BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
[ $# -eq 2 ] || { echo "usage: $0 WIN_BUILD_DIR NATIVE_BUILD_DIR" >&2; exit 2; }
wine_env_init "$1" "$2"

win_program="$WIN_BUILD/bin/relaycfg.exe"
wine_require "$win_program" "$NATIVE_BUILD/tools/repeater-sim"
wait_for() {  # wait_for FILE TEXT N: until FILE has N lines holding TEXT (60 s at most)
  local i
  for i in $(seq 1 1200); do [ "$(count "$1" "$2")" -ge "$3" ] && return 0; sleep 0.05; done
  wine_log "no $3 lines \"$2\" in $(basename "$1")"; return 1
}
# The repeater RPN (byte 2) and parent RFPI (bytes 68 to 72) in a memory file.
programmed() { awk '$1 == "config" { n++; if (n == 1) r = $4; if (n == 5) p = $6" "$7" "$8" "$9" "$10 }
                    END { print r " / " p }' "$1"; }

cat >"$RUN_DIR/site.toml" <<'PLAN'
[base]
name = "Base"
rfpi = "02 5A 3C 81 43"

[[repeater]]
name = "Hall A"
parent = "Base"
rpn = 1

[[repeater]]
name = "Hall B"
parent = "Hall A"
rpn = 2

[[repeater]]
name = "Yard"
parent = "Base"
rpn = 4
PLAN
backups="$WINEPREFIX/drive_c/users/*/AppData/Local/relaycfg/backups"

# start_run NAME: the two simulators without a unit, then relaycfg.exe reading a FIFO that this
# script holds open (its q, and no end of input meanwhile).
start_run() {
  local base="$RUN_DIR/$1" n
  rm -rf $backups
  for n in 1 2; do
    sim_start "$n" "$base.first$n.mem" --unplugged --control "$base.ctl$n"
    wait_for_path "$base.ctl$n"
  done
  mkfifo "$base.in"
  wine "$win_program" plan apply "$(wine_path "$RUN_DIR/site.toml")" --all --port COM1 --port COM2 \
    --log "$(wine_path "$base.csv")" <"$base.in" >"$base.out" 2>"$base.err" 9>&- &
  WINE_PID=$!
  exec 8<>"$base.in"  # read and write: never blocks, whatever Wine has opened yet
}
# end_run NAME: its exit code in NAME.rc, the simulators stopped (their memory files saved).
end_run() {
  local base="$RUN_DIR/$1" rc=0
  wine_wait 120 || rc=$?
  exec 8>&-
  echo "$rc" >"$base.rc"
  sim_stop_all
}
control() { timeout 10 bash -c 'echo "$1" >"$2"' control "$2" "$RUN_DIR/$1"; }  # control FIFO LINE
plug() { control "$1" "plug $RUN_DIR/$2"; }

echo "relaycfg.exe at two stations under Wine:"
start_run all
plug all.ctl1 u1.mem
plug all.ctl2 u2.mem
wait_for "$RUN_DIR/all.out" "written and verified; label it and disconnect it" 2
control all.ctl2 unplug
plug all.ctl1 u3.mem  # swapped faster than the station asks its line
end_run all
check "all: exit code" 0 "$(cat "$RUN_DIR/all.rc")"
check "all: Hall A, Hall B on COM1 and COM2, then Yard on COM1" "Hall A Hall B Yard" \
  "$(tr -d '\r' <"$RUN_DIR/all.out" | sed -n 's/^COM[12]: "\(.*\)" written and verified.*/\1/p' | sort | xargs)"
check "all: Yard on COM1" 1 "$(count "$RUN_DIR/all.out" 'COM1: "Yard" written and verified; label it and disconnect it')"
for unit in u1 u2 u3; do
  name=$(tr -d '\r' <"$RUN_DIR/all.csv" | awk -F, -v port="$([ $unit = u2 ] && echo COM2 || echo COM1)" \
    -v nth="$([ $unit = u3 ] && echo 2 || echo 1)" '$3 == port && $4 == "written" { if (++n == nth) print $2 }')
  case $name in
    "Hall A") expected="01 / 02 5A 3C 81 43" ;;
    "Hall B") expected="02 / 02 5A 3C 81 41" ;;
    *) expected="04 / 02 5A 3C 81 43" ;;
  esac
  check "all: $unit holds $name" "$expected" "$(programmed "$RUN_DIR/$unit.mem")"
done
check "all: one log line per unit, with its port" 4 "$(count "$RUN_DIR/all.csv" ',')"
check "all: the summary" 1 "$(count "$RUN_DIR/all.err" 'Written 3, failed 0, already held 0 of 3 repeaters; 2 stations, ')"

for run in once twice; do
  start_run $run
  plug $run.ctl1 $run-u1.mem
  plug $run.ctl2 $run-u2.mem
  # Both backups saved: both writes have begun.
  for i in $(seq 1 1200); do [ "$(ls $backups 2>/dev/null | wc -l)" -ge 2 ] && break; sleep 0.05; done
  sleep 0.3
  kill -INT "$WINE_PID"
  if [ $run = twice ]; then
    wait_for "$RUN_DIR/$run.err" "Stopping: finishing the write of COM" 2
    kill -INT "$WINE_PID"
  fi
  end_run $run
  check "$run: exit code" 130 "$(cat "$RUN_DIR/$run.rc")"
  check "$run: both stations told to finish" 2 "$(count "$RUN_DIR/$run.err" 'Stopping: finishing the write of COM')"
  check "$run: both restore commands named" 2 "$(count "$RUN_DIR/$run.err" 'Put it back with: relaycfg restore --port COM')"
done
check "once: both written" 2 "$(count "$RUN_DIR/once.csv" ',written,')"
check "once: both units hold their entries' RPNs" "01 02" \
  "$(for u in u1 u2; do programmed "$RUN_DIR/once-$u.mem" | cut -d' ' -f1; done | sort | xargs)"
check "twice: both stopped at once" 2 "$(count "$RUN_DIR/twice.err" ': the repeater may hold part of the new image.')"
check "twice: both logged as stopped" 2 "$(count "$RUN_DIR/twice.csv" ',failed: stopped during the write,')"

wine_checks_done "$RUN_DIR"/*.err "$RUN_DIR"/*.out
