#!/usr/bin/env bash
# relaycfg(1) and relaycfg's own help describe the same program: every command, every option of
# each command and every exit code the help lists is in the manual page's source, and the page
# lists nothing the help does not. A command or option added to relaycfg fails this test until
# the page documents it.
#
# From the help: the commands are the lines under "Commands:" of `relaycfg --help` (a command
# whose line starts with a list such as "check|apply|capture" stands for those subcommands), a
# command's options the lines "  --name ..." and "  --help, -h" of `relaycfg COMMAND --help`,
# the exit codes the lines "  N  ..." under "Exit codes:".
# From the page: a command is a "## COMMAND" heading under "# COMMANDS", its options the term
# lines ("*--name* ...") below that heading; the options the overview lists (shared by the
# commands) are the terms of "# OPTIONS", the exit codes those of "# EXIT STATUS". A command's
# option may be described under the command or, when it is shared, in OPTIONS.
#
# Usage: man_page_matches_help.sh RELAYCFG PAGE.scd
set -euo pipefail
relaycfg=$1
page=$2
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Help texts.
help_commands() {
    sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\)  *\([^ ]*\).*/\1 \2/p' <<<"$1" |
        while read -r command first; do
            if [[ $first == *"|"* ]]; then
                for sub in ${first//|/ }; do echo "$command $sub"; done
            else
                echo "$command"
            fi
        done
}
help_options() {
    sed -n 's/^  \(--[a-z][a-z0-9-]*\)\(, \(-[a-z]\)\)\{0,1\}.*/\1 \3/p' <<<"$1" | tr ' ' '\n' |
        sed '/^$/d' | sort -u
}
help_exit_codes() {
    sed -n '/^Exit codes:/,/^$/s/^  \([0-9][0-9]*\)  .*/\1/p' <<<"$1" | sort -u
}

# The page's source.
page_section() {
    awk -v name="$1" '/^# / { inside = ($0 == "# " name); next } inside' "$page"
}
page_commands() {
    page_section COMMANDS | sed -n 's/^## //p'
}
page_command() {
    page_section COMMANDS | awk -v name="$1" '/^## / { inside = ($0 == "## " name); next } inside'
}
page_terms() {
    grep -E '^\*-' | grep -oE '(^|[*, ])-{1,2}[a-z][a-z0-9-]*' | sed 's/^[*, ]//' | sort -u || true
}
page_exit_codes() {
    page_section "EXIT STATUS" | sed -n 's/^\*\([0-9][0-9]*\)\*$/\1/p' | sort -u
}

# What one list has that the other lacks: not_in NAME_OF_B A B.
not_in() {
    comm -23 <(sort -u <<<"$1" | sed '/^$/d') <(sort -u <<<"$2" | sed '/^$/d') | tr '\n' ' '
}
agree() {
    local what=$1 help=$2 documented=$3 missing extra
    missing=$(not_in "$help" "$documented")
    extra=$(not_in "$documented" "$help")
    [[ -z $missing ]] || fail "$what: in the help, not in the manual page: $missing"
    [[ -z $extra ]] || fail "$what: in the manual page, not in the help: $extra"
}

overview=$("$relaycfg" --help)
commands=$(help_commands "$overview")
[[ -n $commands ]] || fail "relaycfg --help lists no commands under \"Commands:\""
agree "commands" "$commands" "$(page_commands)"

shared=$(help_options "$overview")
shared_documented=$(page_section OPTIONS | page_terms)
agree "options of relaycfg --help (OPTIONS)" "$shared" "$shared_documented"
agree "exit codes" "$(help_exit_codes "$overview")" "$(page_exit_codes)"

while read -r command; do
    # shellcheck disable=SC2086 # "plan check" is two words
    help=$("$relaycfg" $command --help)
    if [[ $(head -n 1 <<<"$help") != "Usage: relaycfg $command"* ]]; then
        fail "relaycfg $command --help does not describe \"$command\""
        continue
    fi
    options=$(help_options "$help")
    documented=$(page_command "$command" | page_terms)
    missing=$(not_in "$options" "$documented"$'\n'"$shared_documented")
    extra=$(not_in "$documented" "$options")
    [[ -z $missing ]] || fail "$command: options in its help, not in the manual page: $missing"
    [[ -z $extra ]] || fail "$command: options in the manual page, not in its help: $extra"
done <<<"$commands"

if ((failures > 0)); then
    echo "$failures disagreement(s) between relaycfg's help and $page"
    exit 1
fi
echo "relaycfg's help and $(basename "$page") agree: $(wc -l <<<"$commands") commands"
