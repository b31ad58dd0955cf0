#!/usr/bin/env bash
# Runs each libFuzzer target of a fuzz build for a bounded time.
#
#   tests/fuzz/run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]
#
# Each target starts from its seed corpus in tests/fuzz/corpus/<target> (read only) and keeps
# what it finds in BUILD_DIR/fuzz-corpus/<target>, so later runs go on from there. An input that
# breaks an invariant or trips a sanitizer is saved under BUILD_DIR/fuzz-findings/ and fails the
# run; replay it with BUILD_DIR/tests/fuzz/fuzz_<target> <file>, and once mended add it to the
# seed corpus so the ordinary test build replays it for good.
set -uo pipefail

build=${1:?build directory}
seconds=${2:?seconds per target}
shift 2
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(mail_receiver identity_codec settings_file backup_file plan_file)
here=$(cd "$(dirname "$0")" && pwd)

failed=0
passed=0
for target in "${targets[@]}"; do
    program="$build/tests/fuzz/fuzz_$target"
    if [ ! -x "$program" ]; then
        echo "fuzz: $program is missing (build the fuzz build first)"
        failed=1
        continue
    fi
    corpus="$build/fuzz-corpus/$target"
    findings="$build/fuzz-findings"
    log="$build/fuzz-$target.log"
    mkdir -p "$corpus" "$findings"
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$corpus" "$here/corpus/$target" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    found=$(sed -n 's/^stat::new_units_added: *//p' "$log")
    if [ $rc -eq 0 ]; then
        printf 'fuzz: %-15s %3ss  %9s inputs, %5s new in corpus, no finding\n' \
            "$target" "$seconds" "${runs:-?}" "${found:-?}"
        passed=$((passed + 1))
    else
        failed=1
        echo "fuzz: $target FAILED (exit $rc); the end of $log:"
        grep -E 'invariant broken|ERROR|SUMMARY|Test unit written' "$log" | head -n 20
    fi
done
echo "fuzz: $passed passed, $(( ${#targets[@]} - passed )) failed"
exit $failed
