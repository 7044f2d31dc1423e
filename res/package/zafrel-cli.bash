# SPDX-License-Identifier: GPL-3.0-or-later
# Bash completion for zafrel-cli: the command first, then the options and paths; after an option that takes a
# value, what it takes (a file, an environment variable's name). Decrypting offers folders and *.enc files. After
# -- only paths; an option already given is not offered again.

_zafrel_cli() {
    local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD - 1]} word command= ended= given=
    # "--key-file=FILE" arrives as three words, '=' the middle one.
    if [[ $current == = ]]; then
        current=
    elif [[ $previous == = && $COMP_CWORD -ge 2 ]]; then
        previous=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()
    case $previous in
    --key-file | -o | --output)
        compopt -o filenames
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
        return
        ;;
    --key-env)
        mapfile -t COMPREPLY < <(compgen -e -- "$current")
        return
        ;;
    --key-fd | -j | --jobs)
        return
        ;;
    esac

    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        if [[ -z $command && ($word == encrypt || $word == decrypt) ]]; then
            command=$word
        elif [[ -z $ended && $word == -- ]]; then
            ended=1
        elif [[ -z $ended && $word == -* ]]; then
            given+=" $word "
        fi
    done
    if [[ $current == -* && -z $ended ]]; then
        local options='-r --recursive -n --no-clobber -f --force -j --jobs -q --quiet -v --verbose -o --output'
        options+=' --key-file --key-env --key-fd'
        [[ $command == decrypt ]] || options+=' --auto-key'
        [[ -n $command ]] || options+=' -h --help --version'
        local option offered=
        for option in $options; do
            [[ $given == *" $option "* ]] || offered+=" $option"
        done
        mapfile -t COMPREPLY < <(compgen -W "$offered" -- "$current")
    elif [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W 'encrypt decrypt' -- "$current")
    elif [[ $command == decrypt ]]; then
        compopt -o filenames
        mapfile -t COMPREPLY < <(compgen -d -- "$current"; compgen -f -X '!*.enc' -- "$current")
    else
        compopt -o filenames
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
    fi
}
complete -F _zafrel_cli zafrel-cli
