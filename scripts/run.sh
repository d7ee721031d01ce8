#!/bin/bash
# Orvanta's main job: the demo station recorded in a home of its own.
#
#   scripts/run.sh                 with a display (DISPLAY or WAYLAND_DISPLAY): opens the
#                                  window on a private demo home whose library holds the demo
#                                  station, and starts recording it (quit to end); without a
#                                  display: records the demo station for about 20 seconds
#                                  with orvanta-cli and lists the files
#   URL=http://... scripts/run.sh  records that station with your own settings (headless)
#   FOR=SECONDS                    how long the headless recording lasts (default 20)
#
# Your own library, settings and music folder stay untouched: the demo home is
# build-run/demo-home.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build-run}
cli="$build/src/cli/orvanta-cli"
seconds=${FOR:-20}

if [ -n "${URL:-}" ]; then
    exec "$cli" record "$URL" --for "$seconds"
fi

window=""
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/src/app/orvanta" ]; then
    window=yes
fi

port=${DEMO_PORT:-8765}
demo_home="$PWD/$build/demo-home"
rm -rf "$demo_home"
mkdir -p "$demo_home/Music"
export HOME="$demo_home" XDG_CONFIG_HOME="$demo_home/config" XDG_DATA_HOME="$demo_home/data"

station_time=$((seconds + 30))
[ -n "$window" ] && station_time=0 # until the window closes
"$build/tools/demostation/orvanta-demo-station" --port "$port" --for "$station_time" &
station=$!
trap 'kill $station 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

"$cli" defaults downloadpath "$demo_home/Music" >/dev/null
"$cli" add-stream "Orvanta Demo" "http://127.0.0.1:$port/stream" >/dev/null

if [ -n "$window" ]; then
    echo "Opening Orvanta on the demo station (recordings go to $demo_home/Music; quit to end)..."
    "$build/src/app/orvanta" --record "Orvanta Demo"
    echo
    echo "History of the demo station:"
    "$cli" history "Orvanta Demo"
    exit 0
fi

echo "No display: recording the demo station for $seconds seconds from the command line..."
"$cli" record "Orvanta Demo" --for "$seconds"
echo
echo "History of the demo station:"
"$cli" history "Orvanta Demo"
