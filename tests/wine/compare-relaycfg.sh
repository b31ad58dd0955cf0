#!/usr/bin/env bash
# Runs relaycfg.exe under Wine and the Linux relaycfg against the same simulated repeater (the
# Linux repeater-sim program on COM1, a fresh copy of one memory for each program) and compares
# what they print, what they write and what the repeater holds afterwards.
#
# usage: compare-relaycfg.sh WIN_BUILD_DIR NATIVE_BUILD_DIR show|backup|restore|plan
#   show     `show`, `show --json` and `ports --find --quiet`: the same text, the same exit code
#   backup   `backup FILE`: the same file (but for its "saved:" time), the same message
#   restore  `restore FILE` of another repeater's backup: the same message, the same memory in
#            the repeater afterwards; a damaged file refused alike, the repeater untouched;
#            `diff FILE COM1` before the restore (they differ) and after it (alike)
#   plan     `plan check` of a sound plan (tree and --dot) and of a broken one (every rule
#            reported with its line): the same text, the same exit code; no repeater needed
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
[ $# -eq 3 ] || { echo "usage: $0 WIN_BUILD_DIR NATIVE_BUILD_DIR show|backup|restore|plan" >&2; exit 2; }
wine_env_init "$1" "$2"
what=$3

win_program="$WIN_BUILD/bin/relaycfg.exe"
linux_program="$NATIVE_BUILD/relaytool/cli/relaycfg"
wine_require "$win_program" "$linux_program" "$NATIVE_BUILD/tools/repeater-sim"

# check's EXPECTED is Linux's where the two programs are compared.
check_files() {  # check_files NAME LINUX_FILE WINDOWS_FILE
  if cmp -s "$2" "$3"; then
    echo "as expected: $1"
  else
    echo "DIFFERENT:   $1"; diff -u "$2" "$3" | sed 's/^/  /' || true
    failures=$((failures + 1))
  fi
}
# Windows writes its console text with CR LF line ends; paths differ between the platforms.
normalize() { sed -e 's/\r$//' -e "s|$RUN_DIR/|RUN/|g" -e 's|Z:\\.*\\wine-run\.[^\\]*\\|RUN/|g' "$1"; }

# The automatic backups taken before a write: Linux in XDG_STATE_HOME, Windows in the Wine
# user's %LOCALAPPDATA% (Wine sets that variable itself).
export MAILLINK_DEVICE_DIR="$PORT_DIR" XDG_STATE_HOME="$RUN_DIR/state-linux"
mkdir -p "$RUN_DIR/state-linux"
windows_backups() { echo "$WINEPREFIX"/drive_c/users/*/AppData/Local/relaycfg/backups; }
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/relaycfg

# run PLATFORM NAME ARGS...: one program run with its output in NAME.PLATFORM.{out,err,rc}.
run() {
  local platform=$1 name=$2; shift 2
  local base="$RUN_DIR/$name.$platform" rc=0
  if [ "$platform" = linux ]; then
    timeout 120 "$linux_program" "$@" >"$base.out" 2>"$base.err" </dev/null || rc=$?
  else
    wine_run "$base.out" "$base.err" "$win_program" "$@" || rc=$?
  fi
  echo "$rc" >"$base.rc"
}

if [ "$what" = plan ]; then
  # A sound plan of two branches and three levels, and one that breaks several rules at once.
  cat >"$RUN_DIR/site.toml" <<'PLAN'
[site]
name = "Warehouse 3"

[base]
name = "Base"
rfpi = "02 5A 3C 81 43"

[[repeater]]
name = "Hall A"
parent = "Base"
rpn = 5

[[repeater]]
name = "Hall B"
parent = "Hall A"
rpn = 6

[[repeater]]
name = "Yard"
parent = "Base"
rpn = 2
PLAN
  cat >"$RUN_DIR/broken.toml" <<'PLAN'
[base]
name = "Base"
rfpi = "02 5A 3C 81 4"

[[repeater]]
name = "Hall A"
parent = "Hall B"
rpn = 9
colour = "red"

[[repeater]]
name = "Hall B"
parent = "Hall A"
rpn = 9
PLAN
  printf '[base\n' >"$RUN_DIR/not-toml.toml"
  for platform in linux windows; do
    if [ "$platform" = linux ]; then file_arg() { echo "$RUN_DIR/$1"; }; else file_arg() { wine_path "$RUN_DIR/$1"; }; fi
    run "$platform" tree plan check "$(file_arg site.toml)"
    run "$platform" dot plan check "$(file_arg site.toml)" --dot
    run "$platform" broken plan check "$(file_arg broken.toml)"
    run "$platform" not-toml plan check "$(file_arg not-toml.toml)"
  done
  echo "relaycfg plan check under Wine against Linux:"
  check "tree: exit code is 0" 0 "$(cat "$RUN_DIR/tree.linux.rc")"
  check "broken: exit code is 7" 7 "$(cat "$RUN_DIR/broken.linux.rc")"
  check "not TOML: exit code is 6" 6 "$(cat "$RUN_DIR/not-toml.linux.rc")"
  for name in tree dot broken not-toml; do
    check "$name: exit code" "$(cat "$RUN_DIR/$name.linux.rc")" "$(cat "$RUN_DIR/$name.windows.rc")"
    for stream in out err; do
      normalize "$RUN_DIR/$name.linux.$stream" >"$RUN_DIR/$name.linux.$stream.txt"
      normalize "$RUN_DIR/$name.windows.$stream" >"$RUN_DIR/$name.windows.$stream.txt"
      check_files "$name: standard $stream" "$RUN_DIR/$name.linux.$stream.txt" "$RUN_DIR/$name.windows.$stream.txt"
    done
  done
  wine_checks_done
  exit 0
fi

# A repeater to start from: the sample, and (for restore) a second one whose backup is restored.
sim_sample_memory "$RUN_DIR/sample.mem"
if [ "$what" = restore ]; then
  cp "$RUN_DIR/sample.mem" "$RUN_DIR/other.mem"
  sim_start 1 "$RUN_DIR/other.mem"
  XDG_STATE_HOME="$RUN_DIR/state-prepare" run linux prepare-set set --port COM1 --quiet --repeater-rpn 7 --monitor-beep off --ignore-hop on
  run linux prepare-backup backup --port COM1 --quiet "$RUN_DIR/other-backup.txt"
  sim_stop_all
  for step in prepare-set prepare-backup; do
    [ "$(cat "$RUN_DIR/$step.linux.rc")" = 0 ] || { cat "$RUN_DIR/$step.linux.err" >&2; exit 1; }
  done
  # A damaged copy: one image byte changed, the checksum line kept.
  awk '/^image 08:/ && !done { $3 = ($3 == "00" ? "01" : "00"); done = 1 } { print }' \
    "$RUN_DIR/other-backup.txt" >"$RUN_DIR/damaged-backup.txt"
fi

for platform in linux windows; do
  cp "$RUN_DIR/sample.mem" "$RUN_DIR/repeater.$platform.mem"
  sim_start 1 "$RUN_DIR/repeater.$platform.mem"
  if [ "$platform" = linux ]; then file_arg() { echo "$RUN_DIR/$1"; }; else file_arg() { wine_path "$RUN_DIR/$1"; }; fi
  case $what in
    show)
      run "$platform" show show --port COM1 --quiet
      run "$platform" json show --port COM1 --quiet --json
      run "$platform" find ports --find --quiet
      ;;
    backup)
      run "$platform" backup backup --port COM1 --quiet "$(file_arg "backup.$platform.txt")"
      ;;
    restore)
      run "$platform" damaged restore --port COM1 --quiet "$(file_arg damaged-backup.txt)"
      run "$platform" differs diff "$(file_arg other-backup.txt)" COM1 --quiet
      run "$platform" restore restore --port COM1 --quiet "$(file_arg other-backup.txt)"
      run "$platform" after show --port COM1 --quiet
      run "$platform" alike diff "$(file_arg other-backup.txt)" COM1 --quiet
      ;;
  esac
  sim_stop_all
done

echo "relaycfg $what under Wine against Linux:"
case $what in
  show)
    for name in show json find; do
      check "$name: exit code" "$(cat "$RUN_DIR/$name.linux.rc")" "$(cat "$RUN_DIR/$name.windows.rc")"
      normalize "$RUN_DIR/$name.linux.out" >"$RUN_DIR/$name.linux.txt"
      normalize "$RUN_DIR/$name.windows.out" >"$RUN_DIR/$name.windows.txt"
      check_files "$name: output" "$RUN_DIR/$name.linux.txt" "$RUN_DIR/$name.windows.txt"
    done
    check "show: exit code is 0" 0 "$(cat "$RUN_DIR/show.linux.rc")"
    check "ports --find --quiet names the repeater's port" COM1 "$(normalize "$RUN_DIR/find.windows.out")"
    ;;
  backup)
    check "exit code" "$(cat "$RUN_DIR/backup.linux.rc")" "$(cat "$RUN_DIR/backup.windows.rc")"
    check "exit code is 0" 0 "$(cat "$RUN_DIR/backup.linux.rc")"
    check "message" "$(normalize "$RUN_DIR/backup.linux.out" | sed 's/backup\.linux\.txt/FILE/')" \
                    "$(normalize "$RUN_DIR/backup.windows.out" | sed 's/backup\.windows\.txt/FILE/')"
    for platform in linux windows; do
      grep -v '^saved: ' "$RUN_DIR/backup.$platform.txt" >"$RUN_DIR/backup.$platform.content" || true
    done
    check_files "backup file (but its saved: line)" "$RUN_DIR/backup.linux.content" "$RUN_DIR/backup.windows.content"
    check "the backup file is not empty" yes "$([ -s "$RUN_DIR/backup.linux.content" ] && echo yes || echo no)"
    ;;
  restore)
    for name in damaged differs restore after alike; do
      check "$name: exit code" "$(cat "$RUN_DIR/$name.linux.rc")" "$(cat "$RUN_DIR/$name.windows.rc")"
    done
    check "damaged: refused as a file error" 6 "$(cat "$RUN_DIR/damaged.windows.rc")"
    check "diff before the restore: the images differ" 5 "$(cat "$RUN_DIR/differs.windows.rc")"
    check "diff after the restore: alike" 0 "$(cat "$RUN_DIR/alike.windows.rc")"
    for name in differs alike; do
      normalize "$RUN_DIR/$name.linux.out" >"$RUN_DIR/$name.linux.txt"
      normalize "$RUN_DIR/$name.windows.out" >"$RUN_DIR/$name.windows.txt"
      check_files "$name: output" "$RUN_DIR/$name.linux.txt" "$RUN_DIR/$name.windows.txt"
    done
    check "restore: exit code is 0" 0 "$(cat "$RUN_DIR/restore.linux.rc")"
    check "restore: message" "$(normalize "$RUN_DIR/restore.linux.out")" "$(normalize "$RUN_DIR/restore.windows.out")"
    check_files "restore: the repeater's memory afterwards" "$RUN_DIR/repeater.linux.mem" "$RUN_DIR/repeater.windows.mem"
    normalize "$RUN_DIR/after.linux.out" >"$RUN_DIR/after.linux.txt"
    normalize "$RUN_DIR/after.windows.out" >"$RUN_DIR/after.windows.txt"
    check_files "show after the restore" "$RUN_DIR/after.linux.txt" "$RUN_DIR/after.windows.txt"
    check "the restore changed the repeater" different \
      "$(cmp -s "$RUN_DIR/sample.mem" "$RUN_DIR/repeater.windows.mem" && echo same || echo different)"
    # One automatic backup each, taken before the write, of the same memory.
    linux_backups=("$RUN_DIR"/state-linux/relaycfg/backups/*.txt)
    win_backups=($(windows_backups)/*.txt)
    check "restore: automatic backups taken" "1 COM1" "${#win_backups[@]} $(basename "${win_backups[0]}" | cut -d- -f1)"
    check "restore: automatic backups taken (Linux)" "1" "${#linux_backups[@]}"
    grep -v '^saved: ' "${linux_backups[0]}" >"$RUN_DIR/auto.linux.content" || true
    grep -v '^saved: ' "${win_backups[0]}" >"$RUN_DIR/auto.windows.content" || true
    check_files "restore: the automatic backup (but its saved: line)" "$RUN_DIR/auto.linux.content" "$RUN_DIR/auto.windows.content"
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/relaycfg
    ;;
  *) wine_log "unknown comparison $what"; exit 2 ;;
esac
wine_checks_done "$RUN_DIR"/*.err
