#!/usr/bin/env bash
# Starts a private X server and session bus (with its accessibility bus) for the window's
# end-to-end tests, then runs one (window_e2e.py unless another is named).
#   run-window-e2e.sh BUILD_DIR SCREENSHOT [SCRIPT]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export XDG_RUNTIME_DIR=$(mktemp -d)
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
exec xvfb-run -a -s "-screen 0 1024x640x24" \
    dbus-run-session -- /usr/bin/python3 "$here/${3:-window_e2e.py}" "$1" "$2"
