# Bash completion for parafold-cli: its options, the values of --columns,
# --jobs and --output, and the *.txt files it is meant for (with folders, to
# reach them). Installed as share/bash-completion/completions/parafold-cli,
# which bash-completion loads the first time parafold-cli is completed; or
# source this file from ~/.bashrc. Needs nothing of bash-completion itself.

_parafold_cli() {
    # The options as --help lists them (tests/install/options_test.sh
    # compares the two).
    local options='-c --columns -a --autodetect -2 --two-lines -i --indent
        -o --output -j --jobs -s --smart --dehyphenate --explain
        -v --verbose -h --help --version'
    # Columns worth offering: the default, the estimate, and the widths
    # hard-wrapped texts are most often wrapped at.
    local columns='56 -1 60 64 70 72 76 78 80'
    local cur=${COMP_WORDS[COMP_CWORD]} prev='' i
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    # Bash splits "--jobs=2" into "--jobs", "=" and "2".
    if [[ $cur == = ]]; then
        cur=''
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()

    # After "--" every word is a file.
    for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && prev='' && options=''
    done

    case $prev in
        # The value's option may end a bundle of short ones ("-2c").
        -c | --columns | -[!-]*c)
            mapfile -t COMPREPLY < <(compgen -W "$columns" -- "$cur")
            return
            ;;
        -j | --jobs | -[!-]*j)
            # 0 for one per processor, then 1 up to the processors there are.
            local processors
            processors=$(nproc 2>/dev/null || getconf _NPROCESSORS_ONLN 2>/dev/null || echo 1)
            mapfile -t COMPREPLY < <(compgen -W "0 $(seq 1 "$processors")" -- "$cur")
            return
            ;;
        -o | --output | -[!-]*o)
            # Any file, or "-" for standard output.
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -W '-' -- "$cur"; compgen -f -- "$cur")
            return
            ;;
    esac
    if [[ -n $options && $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -X '!*.[Tt][Xx][Tt]' -- "$cur"
        compgen -d -X '*.[Tt][Xx][Tt]' -- "$cur")
}

complete -F _parafold_cli parafold-cli
