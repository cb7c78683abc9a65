# Bash completion of varnel-cli: its commands, their options, the values of --format and
# --overwrite, and the playlist and album names of the player named on the line so far.

# The playlist names of the player or database at $1, one a line, as `varnel-cli playlists`
# prints them in CSV: a header line, then "Name",items,master with quotes in names doubled.
_varnel_cli_playlists()
{
    local line name
    while IFS= read -r line; do
        [[ $line =~ ^\".*\",[0-9]+,[01]$ ]] || continue
        name=${line%,*,*}
        name=${name#\"}
        name=${name%\"}
        printf '%s\n' "${name//\"\"/\"}"
    done < <(varnel-cli playlists "$1" --format csv 2>/dev/null)
}

# The album names of the player at $1, one a line: the last column of `varnel-cli photos`, whose
# columns before it hold ASCII only.
_varnel_cli_albums()
{
    local line at=-1
    while IFS= read -r line; do
        if ((at < 0)); then
            local head=${line%%Album*}
            at=${#head}
            continue
        fi
        printf '%s\n' "${line:at}"
    done < <(varnel-cli photos "$1" 2>/dev/null)
}

# Adds $2 to the completions, quoted as the word $1 typed so far is quoted.
_varnel_cli_quote()
{
    local name=$2
    case $1 in
        \"*) name=${name//\\/\\\\}; name=${name//\"/\\\"}; name=${name//\$/\\\$}
             name=${name//\`/\\\`}; COMPREPLY+=("\"$name\"") ;;
        \'*) COMPREPLY+=("'${name//\'/\'\\\'\'}'") ;;
        *) COMPREPLY+=("$(printf '%q' "$name")") ;;
    esac
}

# $1 without the shell quoting a user may have typed: surrounding quotes, escaped spaces, ~/.
_varnel_cli_dequote()
{
    local text=$1
    case $text in
        \"*) text=${text#\"}; text=${text%\"} ;;
        \'*) text=${text#\'}; text=${text%\'} ;;
        *) text=${text//\\/} ;;
    esac
    # shellcheck disable=SC2088 # a literal ~/ typed on the line, made the home folder here
    [[ $text == "~/"* ]] && text=$HOME/${text#"~/"}
    printf '%s' "$text"
}

_varnel_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local cword=$COMP_CWORD
    # --option=value: bash splits it at "=".
    if [[ $cur == "=" ]]; then
        cur=""
    elif [[ $prev == "=" && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi

    local valued=" --playlist --limit --format --template --overwrite --artist --album --search "
    local command="" path="" positional=0 i word
    for ((i = 1; i < cword; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $command ]]; then
            [[ $word != -* ]] && command=$word
            continue
        fi
        if [[ $valued == *" $word "* ]]; then
            ((i++))
            [[ ${COMP_WORDS[i]} == "=" ]] && ((i++))
            continue
        fi
        [[ $word == -* ]] && continue
        ((positional++))
        ((positional == 1)) && path=$(_varnel_cli_dequote "$word")
    done

    COMPREPLY=()
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--help --version" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "tracks playlists extract export photos extract-photos" -- "$cur")
        fi
        return
    fi

    case $prev in
        --format)
            if [[ $command == photos ]]; then
                mapfile -t COMPREPLY < <(compgen -W "table json" -- "$cur")
            else
                mapfile -t COMPREPLY < <(compgen -W "table csv json" -- "$cur")
            fi
            return ;;
        --overwrite)
            mapfile -t COMPREPLY < <(compgen -W "always never ask" -- "$cur")
            return ;;
        --playlist)
            [[ -n $path ]] || return
            local name typed
            typed=$(_varnel_cli_dequote "$cur")
            while IFS= read -r name; do
                [[ $name == "$typed"* ]] && _varnel_cli_quote "$cur" "$name"
            done < <(_varnel_cli_playlists "$path")
            return ;;
        --album)
            [[ $command == extract-photos ]] || return
            [[ -n $path ]] || return
            local name typed
            typed=$(_varnel_cli_dequote "$cur")
            while IFS= read -r name; do
                [[ $name == "$typed"* ]] && _varnel_cli_quote "$cur" "$name"
            done < <(_varnel_cli_albums "$path")
            return ;;
        --limit | --template | --artist | --search)
            return ;;
    esac

    local picking="--playlist --limit --artist --album --search --from-files --help"
    if [[ $cur == -* ]]; then
        local options
        case $command in
            tracks) options="$picking --format" ;;
            playlists) options="--format --from-files --help" ;;
            extract) options="$picking --template --overwrite --playlists --write-tags --dry-run --quiet -q" ;;
            export) options=$picking ;;
            photos) options="--format --help" ;;
            extract-photos) options="--album --overwrite --dry-run --quiet -q --help" ;;
        esac
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi

    # PATH: a folder or a database file; DEST a folder; FILE a file.
    compopt -o filenames 2>/dev/null
    if [[ $positional -ge 1 && ($command == extract || $command == extract-photos) ]]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

complete -F _varnel_cli varnel-cli
