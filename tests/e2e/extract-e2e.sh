#!/usr/bin/env bash
# End-to-end check of extraction under Xvfb: a fake player, the window with every row selected,
# Extract through the real folder chooser, the overwrite prompt answered, the copies compared
# byte for byte with the player's files. Screenshots go to $SHOTS (default: the work folder).
#   tests/e2e/extract-e2e.sh [build dir]      needs xvfb-run, xdotool and imagemagick
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
work="$(mktemp -d /tmp/varnel-e2e.XXXXXX)"
shots="${SHOTS:-$work}"
mkdir -p "$shots" "$work/runtime"
chmod 700 "$work/runtime"
trap 'rm -rf "$work/player" "$work/out"' EXIT

# Sixteen large files keep the run going long enough to see its progress bar.
"$build/tests/e2e/ExtractSession" --make-player "$work/player" 16 128 > "$work/manifest"
mkdir -p "$work/out" "$work/config/Mardle Works"
first="$(head -1 "$work/manifest" | cut -f2)"
printf 'an older copy' > "$work/out/$first"
cat > "$work/config/Mardle Works/Varnel.conf" <<CONF
[General]
FirstRun=0
OverwriteFiles=2
ExtractPath=$work/out
CONF

cat > "$work/drive.sh" <<'DRIVE'
set -euo pipefail
work="$1"; build="$2"; shots="$3"
XDG_CONFIG_HOME="$work/config" "$build/tests/e2e/ExtractSession" "$work/player" &
app=$!
# Without a window manager nothing gives the keyboard focus: each key goes to a window found by title.
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; }
wait_for() { for _ in $(seq 100); do [ -n "$(visible "$1")" ] && return 0; sleep 0.1; done; echo "no window $1" >&2; return 1; }
keys() { local w; w="$(visible "$1" | tail -1)"; shift; xdotool windowfocus --sync "$w"; xdotool key "$@"; }
wait_for '^Varnel$'
sleep 1
import -window root "$shots/e2e-1-window.png"
keys '^Varnel$' ctrl+s
wait_for 'Extract Tracks To Directory'
sleep 1
import -window root "$shots/e2e-2-folder.png"
keys 'Extract Tracks To Directory' Return   # the chooser opens on the last folder: take it
for _ in $(seq 100); do [ "$(visible '^Varnel$' | wc -l)" -ge 2 ] && break; sleep 0.1; done
sleep 0.5
import -window root "$shots/e2e-3-overwrite-prompt.png"
keys '^Varnel$' space                       # Yes: the first button has the focus
for i in 1 2 3 4 5; do sleep 0.3; import -window root "$shots/e2e-4-progress-$i.png"; done
for _ in $(seq 600); do
  [ "$(ls -A "$work/out" | wc -l)" -ge "$(wc -l < "$work/manifest")" ] && ! ls -A "$work/out" | grep -q '^\.vrn' && break
  sleep 0.2
done
sleep 1
import -window root "$shots/e2e-5-done.png"
keys '^Varnel$' ctrl+e                      # Export Track List, a name typed without extension
wait_for 'Export Track List'
sleep 0.5
xdotool type --delay 20 tracklist
sleep 0.3
import -window root "$shots/e2e-6-export.png"
keys 'Export Track List' Return
for _ in $(seq 50); do [ -s "$work/out/tracklist.csv" ] && break; sleep 0.1; done
keys '^Varnel$' alt+f
sleep 0.3
keys '^Varnel$' x                           # File > Exit
wait "$app"
DRIVE
XDG_RUNTIME_DIR="$work/runtime" xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/drive.sh" "$work" "$build" "$shots"

status=0
if [ "$(head -c 4 "$work/out/tracklist.csv" | od -An -tx1 | tr -d ' ')" != "fffe2200" ]; then
  echo "FAIL: no tracklist.csv starting with FF FE 22 00"; status=1
fi
rm -f "$work/out/tracklist.csv"
while IFS=$'\t' read -r source name; do
  if ! cmp -s "$source" "$work/out/$name"; then
    echo "FAIL: $work/out/$name differs from $source"; status=1
  fi
done < "$work/manifest"
extra="$(ls -A "$work/out" | wc -l)"
[ "$extra" -eq "$(wc -l < "$work/manifest")" ] || { echo "FAIL: $extra files in the folder"; status=1; }
[ "$status" -eq 0 ] && echo "OK: $(wc -l < "$work/manifest") copies with the expected names and bytes; screenshots in $shots"
exit "$status"
