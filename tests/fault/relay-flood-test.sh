#!/usr/bin/env bash
# The relay flooded by 1,000 local connections that never send a request: the recording
# goes on unharmed and a real player (mpg123) still connects and plays.
#   relay-flood-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: relay-flood-test.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cli="$build/src/cli/orvanta-cli"
fail() { echo "relay flood: $*" >&2; exit 1; }
work=$(mktemp -d)
station_pid="" recorder="" flood=""
cleanup() {
    for pid in "$flood" "$recorder" "$station_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
. "$root/tests/install/demo-station.sh"
ulimit -n 4096 2>/dev/null || true

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME/Music"
start_demo_station "$build/tools/demostation/orvanta-demo-station" "$work/station.out"
relay_port=$((port + 1))
"$cli" defaults downloadpath "$HOME/Music" >/dev/null
"$cli" defaults relayport "$relay_port" >/dev/null
"$cli" add-stream Demo "http://127.0.0.1:$port/stream" >/dev/null

# Long enough for a slow (sanitizer) build; stopped with Ctrl-C once the player has played.
"$cli" record Demo --for 300 --listen >"$work/out" 2>"$work/err" &
recorder=$!
for _ in $(seq 100); do grep -q "^Listen at" "$work/out" && break; sleep 0.1; done
grep -q "^Listen at" "$work/out" || fail "the relay was not offered: $(cat "$work/err")"

/usr/bin/python3 "$here/relay_flood.py" "$relay_port" 1000 "$work/flood" &
flood=$!
for _ in $(seq 600); do [ -s "$work/flood" ] && break; sleep 0.1; done
[ -s "$work/flood" ] || fail "the flood did not get going: $(tail -3 "$work/err")"
read -r held refused <"$work/flood"
echo "relay flood: $held idle connections held, $refused not taken at once"

# A real player, given the address with its token, still gets the audio.
listen_url=$(sed -n 's/^Listen at //p' "$work/out" | head -1)
status=0
timeout 20 mpg123 -q -n 100 -w "$work/heard.wav" "$listen_url" 2>"$work/player.err" ||
    status=$?
[ "$status" -eq 0 ] || fail "the player could not play (status $status): $(tail -3 "$work/player.err"); the recorder said: $(grep -v Elapsed "$work/err" | tail -5)"
heard=$(stat -c %s "$work/heard.wav")
echo "relay flood: the player decoded $heard bytes of audio through the relay"
[ "$heard" -gt 100000 ] || fail "the player heard too little: $heard bytes"

kill "$flood"; flood=""
sleep 6 # two more songs
kill -INT "$recorder"
wait "$recorder" || fail "the recording failed: $(tail -3 "$work/err")"
recorder=""
files=$(grep -c '^/' "$work/out" || true)
echo "relay flood: the recording went on: $files files"
[ "$files" -ge 3 ] || fail "the recording was harmed: only $files files"
grep -q "Out of\|Connection\|alert" "$work/err" && fail "the recording reported: $(grep -v Elapsed "$work/err" | tail -3)"
echo "relay flood: passed"
