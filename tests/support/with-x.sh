#!/bin/sh
# Runs a test program on a real X server of its own: Xvfb on a free display, with openbox as the
# window manager when it is installed, the program on Qt's xcb platform. Exits 77 (skipped) when
# Xvfb or xdotool is missing, since the tests send their keys through xdotool.
#   with-x.sh program [arguments]
set -u
command -v Xvfb >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1 || { echo "no Xvfb or xdotool" >&2; exit 77; }
work="$(mktemp -d /tmp/varnel-x.XXXXXX)" || exit 2
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
wm=""
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 2; }
DISPLAY=":$(head -1 "$work/display")"
export DISPLAY
if command -v openbox >/dev/null 2>&1; then
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    # Ready once it has announced itself on the root window.
    for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.05; done
    export VARNEL_TEST_WM=openbox
fi
QT_QPA_PLATFORM=xcb "$@"
status=$?
cleanup
trap - EXIT
exit "$status"
