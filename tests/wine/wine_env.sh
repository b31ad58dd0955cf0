# Shared by the scripts that run Windows programs under Wine with the devices on the Linux side.
# Source it, then call wine_env_init WIN_BUILD_DIR NATIVE_BUILD_DIR.
#
# - The Wine prefix is made once per build folder (WIN_BUILD_DIR/wineprefix) and reused.
# - COM1 to COM9 are pinned once in HKLM\Software\Wine\Ports to stable paths
#   WIN_BUILD_DIR/wine-ports/COMn; each run points those paths (symlinks) at its own devices:
#   a relay (socat between a fresh pseudo-terminal and a local TCP port) for a scripted device,
#   a repeater-sim program, a regular file, or nothing.
# - One run at a time per build folder (a lock), a wineserver of its own for the run, and on exit
#   (also on failure or interruption) every relay, simulator and Wine process of the run is ended
#   by its id and the port links are removed.
# - WINE_KEEP_LOGS=1 keeps a run's files (they are kept after a failure anyway) in
#   WIN_BUILD_DIR/wine-logs.
# - Wine's output goes to files, never through pipes (a pipe held open by background Wine
#   processes can stall a reader for seconds).

WINE_RUN_TIMEOUT=${WINE_RUN_TIMEOUT:-200}
RELAY_PIDS=()
SIM_PIDS=()
WINE_PID=

wine_log() { echo "wine-driver: $*" >&2; }

# The Windows form of a Linux path, on Wine's drive Z: (the Linux root).
wine_path() { local p=$1; echo "Z:${p//\//\\}"; }

wine_env_init() {
  WIN_BUILD=$(realpath "$1")
  NATIVE_BUILD=$(realpath "$2")
  for tool in wine wineserver wineboot socat timeout flock; do
    command -v "$tool" >/dev/null || { wine_log "$tool is missing (make deps installs it)"; exit 1; }
  done
  export WINEPREFIX="$WIN_BUILD/wineprefix" WINEDEBUG=-all WINEARCH=win64
  # No Mono or Gecko installers, no window driver: console programs only.
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winex11.drv=;winewayland.drv="
  unset DISPLAY WAYLAND_DISPLAY
  PORT_DIR="$WIN_BUILD/wine-ports"
  mkdir -p "$PORT_DIR"

  exec 9>"$WIN_BUILD/wine.lock"
  flock -w 900 9 || { wine_log "another Wine run holds $WIN_BUILD/wine.lock"; exit 1; }
  RUN_DIR=$(mktemp -d "$WIN_BUILD/wine-run.XXXXXX")
  trap wine_env_cleanup EXIT
  trap 'exit 130' INT TERM HUP

  wine_prepare_prefix
  rm -f "$PORT_DIR"/COM*
  # A wineserver still running here was left by a run killed before its cleanup (at a test's
  # time-out): this run holds the lock, so no other run uses it, and it would refuse the new one.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  # (Long-lived processes do not inherit the lock's descriptor: it ends with this script.)
  wineserver -p >"$RUN_DIR/wineserver.log" 2>&1 9>&-
  # Below the ephemeral port range (32768 on), where outgoing connections take their ports.
  RELAY_PORT_BASE=$((20000 + (RANDOM % 1200) * 10))
  export RELAY_WINE_RELAY_PORT_BASE=$RELAY_PORT_BASE
}

wine_prepare_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine_log "creating the Wine prefix $WINEPREFIX (once per build folder)"
    wineboot -i >"$RUN_DIR/wineboot.log" 2>&1 || { cat "$RUN_DIR/wineboot.log" >&2; exit 1; }
    wineserver -w
  fi
  local marker="$WINEPREFIX/relay-ports-pinned"
  if [ "$(cat "$marker" 2>/dev/null)" != "$PORT_DIR" ]; then
    wine_log "pinning COM1 to COM9 to $PORT_DIR/COMn"
    local n
    for n in 1 2 3 4 5 6 7 8 9; do
      wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$PORT_DIR/COM$n" /f \
        >>"$RUN_DIR/reg.log" 2>&1 || { cat "$RUN_DIR/reg.log" >&2; exit 1; }
    done
    # The ports are read when Wine starts: restart it.
    wineserver -k; wineserver -w
    echo "$PORT_DIR" >"$marker"
  fi
}

# A scripted device's line for COMn: socat makes a fresh pseudo-terminal, links PORT_DIR/COMn to
# it and then accepts one connection on 127.0.0.1:(RELAY_PORT_BASE + n); when that connection
# closes, socat ends (the library sees its line hang up) and the loop starts a fresh relay.
relay_start() {
  local n=$1
  setsid bash -c 'while :; do socat -t 0.02 PTY,raw,echo=0,link="$1" \
      TCP-LISTEN:"$2",bind=127.0.0.1,reuseaddr 2>>"$3" || sleep 0.05; done' \
    relay "$PORT_DIR/COM$n" $((RELAY_PORT_BASE + n)) "$RUN_DIR/relay$n.log" </dev/null >/dev/null 2>&1 9>&- &
  RELAY_PIDS+=($!)
}

# Fills the memory file with the simulator's sample repeater (it saves its memory when it ends).
sim_sample_memory() {
  local file=$1
  "$NATIVE_BUILD/tools/repeater-sim" --dir "$RUN_DIR" --com 9 --memory "$file" >/dev/null 2>&1 9>&- &
  local pid=$!
  wait_for_path "$RUN_DIR/COM9"
  kill -TERM "$pid"; wait "$pid" || true
  [ -s "$file" ] || { wine_log "repeater-sim saved no memory to $file"; exit 1; }
}

# repeater-sim as COMn with the memory file and any further options (faults).
sim_start() {
  local n=$1 memory=$2; shift 2
  "$NATIVE_BUILD/tools/repeater-sim" --dir "$PORT_DIR" --com "$n" --memory "$memory" "$@" \
    >"$RUN_DIR/sim$n.log" 2>&1 </dev/null 9>&- &
  SIM_PIDS+=($!)
  wait_for_path "$PORT_DIR/COM$n"
}

sim_stop_all() {
  local pid
  for pid in "${SIM_PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${SIM_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  SIM_PIDS=()
}

wait_for_path() {
  local i
  for i in $(seq 1 500); do [ -e "$1" ] && return 0; sleep 0.01; done
  wine_log "$1 did not appear"; exit 1
}

# wine_require FILE...: the programs a script runs; one that is not built ends the script.
wine_require() {
  local p
  for p in "$@"; do
    [ -f "$p" ] || { wine_log "$p is not built"; exit 1; }
  done
}

# The checks of the scripts that compare what the programs did with what they should have done
# (for relaycfg.exe often what the Linux relaycfg did): one line each, failures counts those that
# failed, wine_checks_done ends the script on a failure.
failures=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    echo "as expected: $1"
  else
    echo "DIFFERENT:   $1"; echo "  expected: $2"; echo "  actual:   $3"
    failures=$((failures + 1))
  fi
}
contains() {  # contains NAME FILE TEXT: a line of FILE holds TEXT (CR LF read as LF)
  if tr -d '\r' <"$2" | grep -qF -- "$3"; then echo "as expected: $1"; else
    echo "MISSING:     $1: \"$3\" in $(basename "$2")"; failures=$((failures + 1)); fi
}
count() { tr -d '\r' <"$1" | grep -cF -- "$2" || true; }  # count FILE TEXT: lines holding TEXT
wine_checks_done() {  # wine_checks_done FILE...: on a failure, the files that are not empty, and exit 1
  [ "$failures" -eq 0 ] && return 0
  local f
  for f in "$@"; do [ -s "$f" ] && { echo "--- $(basename "$f")"; cat "$f"; }; done
  exit 1
}

# wine_run OUT ERR PROGRAM ARGS...: runs a Windows program with its output in files; its exit code.
wine_run() {
  local out=$1 err=$2; shift 2
  local rc=0
  # In the background and waited for, so that a signal to this script is handled at once.
  timeout --kill-after=10 "$WINE_RUN_TIMEOUT" wine "$@" >"$out" 2>"$err" </dev/null 9>&- &
  WINE_PID=$!
  wait "$WINE_PID" || rc=$?
  WINE_PID=
  [ "$rc" -eq 124 ] && wine_log "$(basename "$1") did not end within $WINE_RUN_TIMEOUT s"
  return "$rc"
}

# wine_wait SECONDS: waits for the Windows program started in the background as WINE_PID, and
# kills it when it has not ended by then; its exit code (137 when killed).
wine_wait() {
  local rc=0
  if ! timeout "$1" tail --pid="$WINE_PID" -f /dev/null; then
    wine_log "the Windows program did not end within $1 s"
    kill -KILL "$WINE_PID" 2>/dev/null || true
  fi
  wait "$WINE_PID" || rc=$?
  WINE_PID=
  return "$rc"
}

# wine_run_gtest PROGRAM ARGS...: runs a GoogleTest program, prints its output and Wine's own
# errors (but its complaints about missing display drivers and the like); the program's exit code.
wine_run_gtest() {
  local rc=0
  wine_run "$RUN_DIR/out.txt" "$RUN_DIR/err.txt" "$@" --gtest_color=no || rc=$?
  cat "$RUN_DIR/out.txt"
  grep -v -e ':err:winediag:' -e ':fixme:' -e 'wine32 is missing' "$RUN_DIR/err.txt" >&2 || true
  return "$rc"
}

wine_env_cleanup() {
  local rc=$? pid
  trap - EXIT INT TERM HUP
  [ -n "$WINE_PID" ] && { kill -TERM "$WINE_PID" 2>/dev/null || true; }
  for pid in "${RELAY_PIDS[@]}"; do kill -TERM -- "-$pid" 2>/dev/null || true; done
  for pid in "${RELAY_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  sim_stop_all
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -f "$PORT_DIR"/COM*
  if [ "$rc" -ne 0 ] || [ -n "${WINE_KEEP_LOGS:-}" ]; then
    rm -rf "$WIN_BUILD/wine-logs"; mv "$RUN_DIR" "$WIN_BUILD/wine-logs"
    wine_log "logs of the run kept in $WIN_BUILD/wine-logs"
  else
    rm -rf "$RUN_DIR"
  fi
  exit "$rc"
}
