#!/usr/bin/env bash
# The window's end-to-end test on Wayland: a headless Weston (pixman renders it, so that it
# can be photographed) and a private session bus, orvanta on Qt's wayland platform with no
# X server at all.
#   run-wayland-e2e.sh BUILD_DIR SCREENSHOT [SCRIPT]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
weston_pid=
cleanup() {
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
unset DISPLAY
socket=orvanta-e2e
# --debug lets weston-screenshooter take its picture.
weston --backend=headless-backend.so --use-pixman --socket="$socket" \
    --width=1024 --height=640 --idle-time=0 --debug >"$XDG_RUNTIME_DIR/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 300); do
    [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
    kill -0 "$weston_pid" 2>/dev/null || { cat "$XDG_RUNTIME_DIR/weston.log" >&2; exit 1; }
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$socket" ] || { echo "e2e: weston did not start" >&2; exit 1; }
export WAYLAND_DISPLAY=$socket ORVANTA_E2E_PLATFORM=wayland
status=0
dbus-run-session -- /usr/bin/python3 "$here/${3:-window_e2e.py}" "$1" "$2" || status=$?
if [ "$status" -ne 0 ]; then
    echo "e2e: weston's log:" >&2
    cat "$XDG_RUNTIME_DIR/weston.log" >&2
fi
exit "$status"
