#!/bin/bash
# Orvanta's main job from the command line: record a station for a while and list the files.
#
#   scripts/run.sh                 records the local demo station for about 20 seconds, in a
#                                  home of its own under build-run/demo-home (your library,
#                                  settings and music folder stay untouched)
#   URL=http://... scripts/run.sh  records that station with your own settings
#   FOR=SECONDS                    how long to record (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build-run}
cli="$build/src/cli/orvanta-cli"
seconds=${FOR:-20}

if [ -n "${URL:-}" ]; then
    exec "$cli" record "$URL" --for "$seconds"
fi

port=${DEMO_PORT:-8765}
demo_home="$PWD/$build/demo-home"
rm -rf "$demo_home"
mkdir -p "$demo_home/Music"
export HOME="$demo_home" XDG_CONFIG_HOME="$demo_home/config" XDG_DATA_HOME="$demo_home/data"

"$build/tools/demostation/orvanta-demo-station" --port "$port" --for $((seconds + 30)) &
station=$!
trap 'kill $station 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

"$cli" defaults downloadpath "$demo_home/Music" >/dev/null
"$cli" add-stream "Orvanta Demo" "http://127.0.0.1:$port/stream" >/dev/null
echo "Recording the demo station for $seconds seconds..."
"$cli" record "Orvanta Demo" --for "$seconds"
echo
echo "History of the demo station:"
"$cli" history "Orvanta Demo"
