# SPDX-License-Identifier: MIT
# bash completion for tqvlkaectl(8): its commands, their options, and
# settings files for check, diff, store, apply, metrics and set.
_tqvlkaectl() {
    local cur prev command word
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in
            check|show|diff|store|apply|metrics|set) command=$word; break ;;
        esac
    done
    case $command in
        '')
            COMPREPLY=($(compgen -W 'check show diff store apply metrics set --help --json --version' -- "$cur")) ;;
        check)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--live --json --help' -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        diff)
            if [[ $prev == --serial ]]; then
                COMPREPLY=()
            elif [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--json --serial --help' -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        store)
            if [[ $prev == --serial ]]; then
                COMPREPLY=()
            elif [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--dry-run --existing-only --json --serial --help' -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        apply)
            if [[ $prev == --serial || $prev == --verify-timeout ]]; then
                COMPREPLY=()
            elif [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--check --json --serial --verify-timeout --no-wait --help' -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        metrics)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--output --help' -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        set)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--dry-run --from --json --help' -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        show)
            if [[ $prev == --serial ]]; then
                COMPREPLY=()
            else
                COMPREPLY=($(compgen -W '--json --serial --help' -- "$cur"))
            fi ;;
    esac
}
complete -o filenames -F _tqvlkaectl tqvlkaectl
