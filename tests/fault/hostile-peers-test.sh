#!/usr/bin/env bash
# Hostile HTTP peers against the real orvanta-cli: each must end in a clear error within
# its time limit, with memory bounded and no file left behind. Prints, per peer, the time
# taken and the peak resident memory.
#   hostile-peers-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: hostile-peers-test.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cli="$build/src/cli/orvanta-cli"
work=$(mktemp -d)
server_pid=""
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "hostile peers: $*" >&2; exit 1; }

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME/Music"
"$cli" defaults downloadpath "$HOME/Music" >/dev/null
"$cli" defaults AutoReconnect false >/dev/null

/usr/bin/python3 "$here/hostile_server.py" "$work/port" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")

# path, time limit in seconds, what the error must say (extended regular expression)
cases=(
    "endless-headers 40 header|Connection Failure"
    "long-header 40 header|Connection Failure|audio"
    "redirect-loop 40 redirect|Connection Failure"
    "self-playlist 40 refers to itself"
    "gzip-bomb 40 audio|Connection Failure"
    "silent 60 time|Connection Failure|responding"
    "metadata-only 40 audio"
)
memory_limit_kib=$((200 * 1024))
for entry in "${cases[@]}"; do
    read -r path limit expected <<<"$entry"
    start=$(date +%s.%N)
    status=0
    /usr/bin/time -f "%M" -o "$work/rss" timeout -s KILL $((limit + 30)) \
        "$cli" record "http://127.0.0.1:$port/$path" --for "$((limit + 20))" \
        >"$work/out" 2>"$work/err" || status=$?
    elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
    rss=$(tail -1 "$work/rss")
    printf 'hostile peers: %-16s exit %d after %5.1f s, peak memory %6d KiB: %s\n' \
        "$path" "$status" "$elapsed" "$rss" "$(grep -v '^\s*$' "$work/err" | tail -1)"
    [ "$status" -eq 1 ] || fail "$path: exit status $status, not 1: $(cat "$work/err")"
    grep -Eqi "$expected" "$work/err" || fail "$path: the error does not say /$expected/: $(cat "$work/err")"
    awk -v e="$elapsed" -v l="$limit" 'BEGIN { exit !(e <= l) }' ||
        fail "$path: took ${elapsed}s, more than ${limit}s"
    [ "$rss" -le "$memory_limit_kib" ] || fail "$path: peak memory ${rss} KiB"
    [ -z "$(find "$HOME/Music" -type f -name '*.mp3')" ] || fail "$path: a file was recorded"
done
echo "hostile peers: passed"
