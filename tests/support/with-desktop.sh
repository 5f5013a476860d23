#!/bin/sh
# Runs a command on a desktop of its own, as a user's windows run: a virtual
# X server (Xvfb, on the first free display) with a small window manager
# (openbox), so focus, activation and modal dialogs behave as on a real
# desktop. Both end when the command ends. Usage: with-desktop.sh COMMAND [ARG...]
set -eu
scratch=$(mktemp -d "${TMPDIR:-/tmp}/pagewick-desktop.XXXXXX")
xpid="" wmpid=""
cleanup() {
    [ -z "$wmpid" ] || kill "$wmpid" 2>/dev/null || true
    [ -z "$xpid" ] || kill "$xpid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# await TEST FILE PID NAME LOG STATUS: waits up to ten seconds for `test TEST
# FILE` to hold while the process PID lives; else shows its log and exits with STATUS.
await() {
    i=0
    until [ "$1" "$2" ]; do
        i=$((i + 1))
        if [ "$i" -gt 200 ] || ! kill -0 "$3" 2>/dev/null; then
            echo "with-desktop.sh: $4 did not start" >&2
            cat "$5" >&2
            exit "$6"
        fi
        sleep 0.05
    done
}
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -auth /dev/null 3>"$scratch/display" \
    >"$scratch/xvfb.log" 2>&1 &
xpid=$!
await -s "$scratch/display" "$xpid" Xvfb "$scratch/xvfb.log" 91
DISPLAY=":$(cat "$scratch/display")"
export DISPLAY
# openbox runs its start-up command once it manages the screen.
HOME="$scratch" openbox --sm-disable --startup "touch $scratch/wm-ready" \
    >"$scratch/openbox.log" 2>&1 &
wmpid=$!
await -e "$scratch/wm-ready" "$wmpid" openbox "$scratch/openbox.log" 92
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
status=0
"$@" || status=$?
exit "$status"
