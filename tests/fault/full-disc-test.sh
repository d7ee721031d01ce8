#!/usr/bin/env bash
# A full disc on a real small file system (a tmpfs mounted for the test; needs root): the
# home, library, preferences and recordings all on it. Recording until it is full ends with
# the fatal alert, the files written so far decode, and the library and preferences, which
# could not be saved again, are still there as they were.
#   full-disc-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: full-disc-test.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
cli="$build/src/cli/orvanta-cli"
fail() { echo "full disc: $*" >&2; exit 1; }
if [ "$(id -u)" -ne 0 ]; then
    echo "full disc: skipped (mounting needs root)"
    exit 0
fi
work=$(mktemp -d)
station_pid=""
cleanup() {
    [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
    mountpoint -q "$work/disc" && umount "$work/disc"
    rm -rf "$work"
}
trap cleanup EXIT
. "$root/tests/install/demo-station.sh"

mkdir -p "$work/disc"
mount -t tmpfs -o size=320k,mode=0755 tmpfs "$work/disc"
export HOME="$work/disc/home" XDG_CONFIG_HOME="$work/disc/home/.config"
export XDG_DATA_HOME="$work/disc/home/.local/share"
mkdir -p "$HOME/Music"
start_demo_station "$build/tools/demostation/orvanta-demo-station" "$work/station.out"
"$cli" defaults downloadpath "$HOME/Music" >/dev/null
"$cli" defaults diskspacesafety false >/dev/null
"$cli" add-stream Demo "http://127.0.0.1:$port/stream" >/dev/null
library="$XDG_DATA_HOME/Orvanta/radiostreams.data"
cp "$library" "$work/library-before"

status=0
timeout -s KILL 90 "$cli" record Demo --for 60 >"$work/out" 2>"$work/err" || status=$?
echo "full disc: record ended with status $status: $(grep -v '^\s*$' "$work/err" | tail -1)"
echo "full disc: $(df -k "$work/disc" | awk 'NR == 2 { print $3 " KiB used of " $2 }')"
[ "$status" -eq 1 ] || fail "exit status $status, not 1: $(tail -5 "$work/err")"
grep -q "Out of disk space!" "$work/err" || fail "no disc-full alert: $(cat "$work/err")"

# What was written decodes; the library and preferences read as before.
files=$(find "$HOME/Music" -type f -name '*.mp3')
[ -n "$files" ] || fail "nothing was written before the disc was full"
while IFS= read -r file; do
    mpg123 -q -t "$file" 2>"$work/mpg123.err" || fail "$file does not decode: $(cat "$work/mpg123.err")"
done <<<"$files"
echo "full disc: $(wc -l <<<"$files") files written before the disc was full decode"
"$cli" stations | grep -q "stream Demo" || fail "the library lost its station"
[ "$("$cli" defaults downloadpath)" = "$HOME/Music" ] || fail "the preferences were lost"

# With the safety check on, nothing is even started on a disc with less than 100 MiB free.
while IFS= read -r file; do rm -f "$file"; done <<<"$files"
"$cli" defaults diskspacesafety true >/dev/null
status=0
timeout -s KILL 60 "$cli" record Demo --for 10 >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "with the safety check: exit status $status"
grep -q "Out of disk space, reached safety limit" "$work/err" ||
    fail "with the safety check: $(cat "$work/err")"
[ -z "$(find "$HOME/Music" -type f -name '*.mp3' -size +0)" ] || fail "the safety check let audio through"
echo "full disc: passed"
