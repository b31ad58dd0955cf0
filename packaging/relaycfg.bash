# bash completion for relaycfg.
#
# The commands and every command's options are read from relaycfg's own help, so a new command
# or option completes without a change here. --port offers the COM ports that resolve to a
# device now (relaycfg ports --all) or, after a "/", device paths; the plan commands offer TOML
# files, backup and restore any file; a value written "on|off" in the help offers those words.

# The help text of relaycfg, or of one of its commands: `_relaycfg_help relaycfg plan apply`.
_relaycfg_help() {
    "$@" --help 2>/dev/null
}

# The commands of the overview ("  show    --port PORT ..." under "Commands:").
_relaycfg_commands() {
    sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$1"
}

# The subcommands of COMMAND, when its overview line starts with a list such as
# "check|apply|capture".
_relaycfg_subcommands() {
    sed -n "/^Commands:/,/^\$/s/^  $2  *\([a-z-]*|[a-z|-]*\) .*/\1/p" <<<"$1" | tr '|' ' '
}

# The options a help text lists ("  --json  ...", "  --help, -h  ...").
_relaycfg_options() {
    sed -n 's/^  \(--[a-z][a-z0-9-]*\)\(, \(-[a-z]\)\)\{0,1\}.*/\1 \3/p' <<<"$1"
}

# What an option of a help text takes: "PORT", "on|off", ...; nothing for a switch.
_relaycfg_value_of() {
    sed -n "s/^  $2 \([A-Z\"][^ ]*\|[a-z]*|[a-z|]*\).*/\1/p" <<<"$1" | head -n 1
}

_relaycfg() {
    local cur prev words cword split
    _init_completion -s || return

    local program=${words[0]}
    local overview help command="" sub="" subs="" i word
    overview=$(_relaycfg_help "$program")
    help=$overview
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if [[ $word == -* ]]; then
            [[ $word != *=* && -n $(_relaycfg_value_of "$help" "$word") ]] && ((i++))
        elif [[ -z $command ]]; then
            command=$word
            subs=$(_relaycfg_subcommands "$overview" "$command")
            [[ -z $subs ]] && help=$(_relaycfg_help "$program" "$command")
        elif [[ -n $subs && -z $sub ]]; then
            sub=$word
            help=$(_relaycfg_help "$program" "$command" "$sub")
        fi
    done

    if [[ $prev == -* ]]; then
        local value
        value=$(_relaycfg_value_of "$help" "$prev")
        case $value in
            "") ;;
            PORT)
                if [[ $cur == */* ]]; then
                    _filedir
                else
                    local ports
                    ports=$("$program" ports --all --quiet 2>/dev/null | cut -d ' ' -f 1)
                    COMPREPLY=($(compgen -W "$ports" -- "$cur"))
                fi
                return
                ;;
            *"|"*)
                COMPREPLY=($(compgen -W "${value//|/ }" -- "$cur"))
                return
                ;;
            FILE | LOG)
                _filedir
                return
                ;;
            *) return ;;
        esac
    fi
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_relaycfg_options "$help")" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$(_relaycfg_commands "$overview")" -- "$cur"))
    elif [[ -n $subs && -z $sub ]]; then
        COMPREPLY=($(compgen -W "$subs" -- "$cur"))
    elif [[ -n $sub ]]; then
        _filedir toml
    elif [[ $(sed -n 1p <<<"$help") == *" FILE"* ]]; then
        _filedir
    fi
} &&
    complete -F _relaycfg relaycfg
