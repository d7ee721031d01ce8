#!/usr/bin/env bash
# A second start of orvanta hands its address and playlist to the running one and ends;
# the running one adds them to its library.
#   single-instance-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
orvanta=$build/src/app/orvanta
cli=$build/src/cli/orvanta-cli
work=$(mktemp -d)
first=
cleanup() {
    [ -n "$first" ] && kill -9 "$first" 2>/dev/null || true
    [ -n "${KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/elsewhere"
chmod 700 "$XDG_RUNTIME_DIR"
# Nothing listens there: the stations are added, never recorded.
printf '#EXTM3U\n#EXTINF:-1,Night Jazz\nhttp://127.0.0.1:9/jazz\n' >"$work/elsewhere/Night Jazz.m3u"

"$orvanta" >"$work/first.log" 2>&1 &
first=$!
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/orvanta-instance" ] && break
    kill -0 "$first" 2>/dev/null || fail "the first start ended: $(cat "$work/first.log")"
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/orvanta-instance" ] || fail "the first start made no instance socket"

# Started from another folder, with a relative path, as a file manager would not but a shell does.
(cd "$work/elsewhere" && timeout 20 "$orvanta" "http://127.0.0.1:9/talk" "Night Jazz.m3u") \
    >"$work/second.log" 2>&1 || fail "the second start did not end by itself: $(cat "$work/second.log")"
kill -0 "$first" 2>/dev/null || fail "the first start ended"

# The first one quits in order on SIGTERM and keeps its library.
kill -TERM "$first"
for _ in $(seq 200); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
kill -0 "$first" 2>/dev/null && fail "the first start did not quit on SIGTERM"
wait "$first" || fail "the first start quit with $?: $(cat "$work/first.log")"
first=

stations=$("$cli" stations)
echo "$stations"
grep -q "Night Jazz" <<<"$stations" || fail "the playlist's station is missing"
grep -q "127.0.0.1:9/jazz" <<<"$stations" || fail "the playlist's address is missing"
grep -q "127.0.0.1:9/talk" <<<"$stations" || fail "the handed address is missing"

# With the socket left by a program that was killed, a new start takes it over.
"$orvanta" >"$work/third.log" 2>&1 &
first=$!
# Killed once it has made its socket: a slow start (a sanitizer build under load) may take
# longer than any fixed wait.
for _ in $(seq 200); do
    [ -S "$XDG_RUNTIME_DIR/orvanta-instance" ] && break
    kill -0 "$first" 2>/dev/null || fail "the third start ended: $(cat "$work/third.log")"
    sleep 0.1
done
kill -9 "$first"; wait "$first" 2>/dev/null || true
first=
[ -S "$XDG_RUNTIME_DIR/orvanta-instance" ] || fail "expected the killed program's socket to remain"
"$orvanta" >"$work/fourth.log" 2>&1 &
first=$!
# Wait until it answers on the socket: a hand-over tried earlier would take the stale
# socket over itself.
answers() {
    /usr/bin/python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.connect(sys.argv[1])' "$1" 2>/dev/null
}
for _ in $(seq 100); do
    answers "$XDG_RUNTIME_DIR/orvanta-instance" && break
    kill -0 "$first" 2>/dev/null || fail "the start after a crash ended: $(cat "$work/fourth.log")"
    sleep 0.1
done
timeout 20 "$orvanta" >"$work/fifth.log" 2>&1 || fail "the start after a crash took no hand-over"
kill -0 "$first" 2>/dev/null || fail "the start after a crash ended: $(cat "$work/fourth.log")"
kill -TERM "$first"; wait "$first" || fail "the start after a crash quit with $?"
first=
echo "single instance: ok"
