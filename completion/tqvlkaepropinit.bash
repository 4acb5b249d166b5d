# SPDX-License-Identifier: MIT
# bash completion for tqvlkaepropinit(8)
_tqvlkaepropinit() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=($(compgen -W '--restore --help' -- "$cur"))
}
complete -F _tqvlkaepropinit tqvlkaepropinit
