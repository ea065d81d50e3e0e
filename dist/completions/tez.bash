# bash completion for tez: commands, their options, device ids and files by extension.

_tez() {
    local cur prev words cword
    _init_completion || return

    local commands="convert check import play dump render roll devices lsp"
    local range="--from --to --loop --tempo --transpose --mute --solo"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ " $commands " == *" ${words[i]} "* ]]; then
            command=${words[i]}
            break
        fi
    done

    case $prev in
        -d | --device)
            COMPREPLY=($(compgen -W "$("${words[0]}" devices 2>/dev/null | cut -d' ' -f1)" -- "$cur"))
            return ;;
        --format)
            if [[ $command == check || $command == import || $command == devices ]]; then
                COMPREPLY=($(compgen -W "text json" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "wav flac ogg au raw" -- "$cur"))
            fi
            return ;;
        --soundfont)
            _filedir '@(sf2|sf3)'
            return ;;
        -o | --output)
            if [[ $command == render ]]; then
                _filedir '@(wav|flac|ogg|oga|au|raw)'
            elif [[ $command == roll ]]; then
                _filedir svg
            elif [[ $command == import ]]; then
                _filedir tez
            else
                _filedir '@(smf|mid|midi)'
            fi
            return ;;
        --trace)
            _filedir
            return ;;
        --rate)
            COMPREPLY=($(compgen -W "22050 44100 48000 88200 96000" -- "$cur"))
            return ;;
        --from | --to | --loop | --tempo | --transpose | --mute | --solo | --width)
            return ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    local options
    case $command in
        convert) options="-o --output" ;;
        check) options="--format" ;;
        import) options="-o --output --beats --format" ;;
        play) options="-d --device --trace --watch $range" ;;
        dump) options="--lines $range" ;;
        render) options="-o --output --format --rate --soundfont $range" ;;
        roll) options="-o --output --from --to --width" ;;
        devices) options="--format" ;;
        lsp) options="-d --device" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
        return
    fi
    case $command in
        convert | check) _filedir tez ;;
        import) _filedir '@(mid|midi|smf)' ;;
        play | dump | render | roll) _filedir '@(tez|mid|midi|smf)' ;;
    esac
} &&
    complete -F _tez tez
