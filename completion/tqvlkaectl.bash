# bash completion for tqvlkaectl(8): its commands, their options, and
# settings files for check and diff.
_tqvlkaectl() {
    local cur command word
    cur=${COMP_WORDS[COMP_CWORD]}
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in
            check|show|diff) command=$word; break ;;
        esac
    done
    case $command in
        '')
            COMPREPLY=($(compgen -W 'check show diff --help --json' -- "$cur")) ;;
        check)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--live --json --help' -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        diff)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--json --help' -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        show)
            COMPREPLY=($(compgen -W '--json --help' -- "$cur")) ;;
    esac
}
complete -o filenames -F _tqvlkaectl tqvlkaectl
