#!/usr/bin/env bash
# The bash completion of varnel-cli, run against the demo player with the built program.
#   completion-test.sh COMPLETION_SCRIPT VARNEL_CLI MAKE_DEMO_PLAYER
set -euo pipefail
completion=$1 program=$2 makeDemo=$3
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$makeDemo" "$work/player" >/dev/null
mkdir -p "$work/bin"
ln -s "$program" "$work/bin/varnel-cli"
PATH="$work/bin:$PATH"

# shellcheck source=/dev/null
source "$completion"
# shellcheck disable=SC2317 # called by the completion, which needs no real one here
compopt() { :; }

# The completions of a line, the cursor at its end, as "[word] [word] ...".
completions()
{
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _varnel_cli
    ((${#COMPREPLY[@]} == 0)) || printf '[%s] ' "${COMPREPLY[@]}"
}

p="$work/player"
failed=0
while IFS='|' read -r line expected; do
    actual="$(completions "${line//PLAYER/$p}")"
    if [[ "$actual" != "${expected//PLAYER/$p}" ]]; then
        echo "FAILED: '$line' gave '$actual', not '$expected'"
        failed=1
    fi
done <<'CASES'
varnel-cli |[tracks] [playlists] [extract] [export] [photos] [extract-photos] 
varnel-cli ex|[extract] [export] [extract-photos] 
varnel-cli playlists PLAYER --|[--format] [--from-files] [--help] 
varnel-cli photos PLAYER --|[--format] [--help] 
varnel-cli photos PLAYER --format |[table] [json] 
varnel-cli extract-photos PLAYER out --d|[--dry-run] 
varnel-cli extract-photos PLAYER out --overwrite a|[always] [ask] 
varnel-cli extract PLAYER out --d|[--dry-run] 
varnel-cli extract PLAYER out --w|[--write-tags] 
varnel-cli tracks PLAYER --format |[table] [csv] [json] 
varnel-cli extract --limit 3 PLAYER out --overwrite n|[never] 
varnel-cli tracks PLAYER --playlist |[Demo\ iPod] [Favourites\ ★] [Классика] [Road\ Trip] [Videos] 
varnel-cli export PLAYER x.csv --playlist "Ro|["Road Trip"] 
varnel-cli extract PLAYER out --playlist 'F|['Favourites ★'] 
varnel-cli tracks --playlist |
CASES
exit $failed
