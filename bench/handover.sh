#!/usr/bin/env bash
# The playlist hand-over at scale: N stations of the demo station recorded by one
# orvanta-cli for SECONDS, first without a hand-over, then with every finished file handed
# to a playlist by the built-in hand-over, then by the script template installed as the
# user's own script.
# Prints the CPU seconds per stream-hour of the whole process tree (recorder and scripts).
#
#   bench/handover.sh [STATIONS] [SECONDS]      (after `make bench`)
set -euo pipefail
cd "$(dirname "$0")/.."
stations=${1:-100}
seconds=${2:-60}
build=${BUILD_DIR:-build-bench}
cli="$PWD/$build/src/cli/orvanta-cli"
station="$PWD/$build/tools/demostation/orvanta-demo-station"
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
port=$((30000 + RANDOM % 20000))
# Songs of 5 s: a finished file every 6 s per station.
"$station" --port "$port" --song-seconds 5 --songs 4 --for $((2 * seconds + 120)) \
    >/dev/null 2>&1 &
pid=$!
sleep 2

run() {
    local label=$1 home="$work/$1"
    mkdir -p "$home/Music"
    export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
    "$cli" defaults downloadpath "$home/Music" >/dev/null
    "$cli" preset-add "Playlist" >/dev/null
    "$cli" preset "Playlist" NP_ADD_TO_PLAYLIST "$([ "$label" = none ] && echo false || echo true)" \
        >/dev/null
    local names=()
    for i in $(seq 1 "$stations"); do
        "$cli" add-stream "S$i" "http://127.0.0.1:$port/stream" --preset "Playlist" >/dev/null
        names+=("S$i")
    done
    if [ "$label" = script ]; then
        mkdir -p "$XDG_DATA_HOME/Orvanta/Scripts"
        cp resources/ScriptTemplates/addToUserPlaylist "$XDG_DATA_HOME/Orvanta/Scripts/"
    fi
    # Children (the scripts) are counted too: %U and %S of GNU time include waited-for
    # children, and the runner waits for every script.
    /usr/bin/time -f "%U %S %M" -o "$work/time" "$cli" record "${names[@]}" --for "$seconds" \
        >"$work/out" 2>/dev/null || true
    read -r user system maxrss <"$work/time"
    local listed
    listed=$(cat "$home/Music/Playlists/"*.m3u 2>/dev/null | grep -c '^/' || true)
    awk -v label="$label" -v u="$user" -v s="$system" -v n="$stations" -v t="$seconds" \
        -v files="$listed" -v rss="$maxrss" 'BEGIN {
        printf "%-8s %d stations %d s: %.2f CPU-s per stream-hour, %d files listed, %.0f MB peak\n",
               label, n, t, (u + s) / (n * t / 3600), files, rss / 1024 }'
}
run none
run built-in
run script
