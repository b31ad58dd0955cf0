#!/usr/bin/env bash
# relaycfg's bash completion, run as bash-completion runs it, against the relaycfg of the build:
# commands, subcommands and options from relaycfg's help, --port values from the ports that
# resolve to a device (a private port directory with COM3 and COM7), on|off values, plan files
# (TOML files and folders) and other files.
#
# Usage: completion_test.sh COMPLETION_SCRIPT RELAYCFG
set -uo pipefail
script=$1
relaycfg=$2
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion || exit 1
# shellcheck disable=SC1090
source "$script" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/ports" "$work/plans/old"
ln -s "$(realpath "$relaycfg")" "$work/bin/relaycfg"
ln -s /dev/null "$work/ports/COM3"
ln -s /dev/null "$work/ports/COM7"
touch "$work/plans/site.toml" "$work/plans/notes.txt"
export PATH="$work/bin:$PATH" MAILLINK_DEVICE_DIR="$work/ports"
cd "$work/plans" || exit 1

# The completions offered for the last word of LINE, sorted, on one line.
complete_line() {
    local COMP_LINE=$1 COMP_POINT=${#1} COMP_WORDS COMP_CWORD COMPREPLY=()
    read -ra COMP_WORDS <<<"$COMP_LINE"
    [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _relaycfg relaycfg "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
# LINE | exactly these completions (=) or at least these, and none of the ! ones (~)
while IFS='|' read -r line kind expected; do
    got=$(complete_line "$line")
    ok=true
    if [[ $kind == "=" ]]; then
        [[ $got == "$expected" ]] || ok=false
    else
        for word in $expected; do
            if [[ $word == !* ]]; then
                [[ " $got " != *" ${word#!} "* ]] || ok=false
            else
                [[ " $got " == *" $word "* ]] || ok=false
            fi
        done
    fi
    if ! $ok; then
        echo "FAIL: \"$line\" completes to \"$got\", expected $kind \"$expected\""
        failures=$((failures + 1))
    fi
done <<'CASES'
relaycfg |~|ports show backup restore set plan !--port
relaycfg s|=|set show
relaycfg -|~|--help --version --port --quiet
relaycfg show --|~|--port --json --quiet --help !--all
relaycfg show --port |=|COM3 COM7
relaycfg show --port=C|=|COM3 COM7
relaycfg show --port COM3 --j|=|--json
relaycfg ports --|~|--all --find --json !--port
relaycfg plan |=|apply capture check
relaycfg plan check |=|old site.toml
relaycfg plan apply site.toml --port COM3 --|~|--repeater --all --log !--dot
relaycfg plan apply site.toml --log |=|notes.txt old site.toml
relaycfg set --port COM3 --monitor-beep |=|off on
relaycfg set --port COM3 --ignore-hop o|=|off on
relaycfg set --port COM3 --base-rpn |=|
relaycfg restore --port COM7 |=|notes.txt old site.toml
CASES

if ((failures > 0)); then
    echo "$failures completion case(s) failed"
    exit 1
fi
echo "relaycfg's completion: all cases pass"
