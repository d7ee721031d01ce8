#!/usr/bin/env bash
# Starts a private X server and session bus (with its accessibility bus) for the window's
# end-to-end tests, then runs one (window_e2e.py unless another is named).
#   run-window-e2e.sh BUILD_DIR SCREENSHOT [SCRIPT]
# SCRIPT is a Python script beside this one, or a test program to run as it is.
# Xvfb chooses a free display itself and reports it (-displayfd): xvfb-run -a guesses one
# from lock files, and two of these tests started together could both guess the same one.
# -noreset: by default the server resets itself when its last client goes, and a client that
# connects during that moment is dropped at once (orvanta then cannot open its display).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export XDG_RUNTIME_DIR=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
display_file="$XDG_RUNTIME_DIR/display"
Xvfb -displayfd 3 -screen 0 1024x640x24 -nolisten tcp -noreset 3>"$display_file" 2>"$XDG_RUNTIME_DIR/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$XDG_RUNTIME_DIR/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
[ -s "$display_file" ] || { echo "e2e: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"
# Ready means a client gets through, not only that Xvfb said its number.
# A loaded machine can take many seconds for that; a display that never answers is said.
ready=
for _ in $(seq 300); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && { ready=1; break; }
    sleep 0.1
done
[ -n "$ready" ] || { echo "e2e: the X server on $DISPLAY does not answer" >&2; cat "$XDG_RUNTIME_DIR/xvfb.log" >&2; exit 1; }
status=0
script=${3:-window_e2e.py}
if [[ "$script" == *.py ]]; then
    dbus-run-session -- /usr/bin/python3 "$here/$script" "$1" "$2" || status=$?
else # a test program of its own, which needs the display and the bus alone
    dbus-run-session -- "$script" || status=$?
fi
if [ "$status" -ne 0 ]; then
    echo "e2e: X server on $DISPLAY $(kill -0 "$xvfb_pid" 2>/dev/null && echo running || echo gone); its log:" >&2
    cat "$XDG_RUNTIME_DIR/xvfb.log" >&2
fi
exit "$status"
