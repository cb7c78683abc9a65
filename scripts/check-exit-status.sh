#!/usr/bin/env bash
# Checks that varnel-cli --help, the --help of each of its commands, its manual page and the
# README give the same exit statuses, each with the same words.
#   scripts/check-exit-status.sh VARNEL_CLI
set -euo pipefail
cd "$(dirname "$0")/.."
program="$1"

# "STATUS<tab>meaning", one a line, from each document.
from_help() {
  "$program" "$@" --help | awk '/^Exit status:/ { on = 1; next } on && /^$/ { exit }
    on { sub(/^ +/, ""); status = $1; sub(/^[0-9]+ +/, ""); print status "\t" $0 }'
}
from_man() {
  awk '/^\.SH EXIT STATUS/ { on = 1; next } on && /^\.(SH|PP)/ { exit }
    on && /^\.B [0-9]+$/ { status = $2; getline; print status "\t" $0 }' packaging/varnel-cli.1
}
from_readme() {
  awk '/^## On the command line/ { on = 1 } on && /^## / && !/command line/ { exit }
    on && /^ *\| [0-9]+ \| .* \|$/ { sub(/^ *\| /, ""); sub(/ \|$/, ""); split($0, cell, / \| /);
      print cell[1] "\t" cell[2] }' README.md
}

help="$(from_help)"
man="$(from_man)"
readme="$(from_readme)"
if [[ -z "$help" ]]; then
  echo "error: varnel-cli --help lists no exit status" >&2
  exit 1
fi
status=0
for command in tracks playlists extract export photos extract-photos; do
  if [[ "$(from_help "$command")" != "$help" ]]; then
    echo "error: the exit statuses of varnel-cli $command --help and of varnel-cli --help differ" >&2
    status=1
  fi
done
for other in man readme; do
  if [[ "${!other}" != "$help" ]]; then
    echo "error: the exit statuses of --help and of the $other differ:" >&2
    diff <(echo "$help") <(echo "${!other}") >&2 || true
    status=1
  fi
done
[[ $status -eq 0 ]] && echo "exit statuses agree: $(cut -f1 <<<"$help" | tr '\n' ' ')"
exit $status
