#!/usr/bin/env bash
# Records the same MP3 station with two builds of orvanta-cli and compares what they wrote,
# byte for byte: a change that is not about MP3 must leave MP3 recordings as they were.
#
#   bench/mp3-identity.sh OLD_CLI NEW_CLI
#
# The station is a finite ICY stream (three songs with titles and silences between them,
# served once with a Content-Length), so both recordings end by themselves on the same bytes.
set -euo pipefail
old=${1:?usage: mp3-identity.sh OLD_CLI NEW_CLI}
new=${2:?usage: mp3-identity.sh OLD_CLI NEW_CLI}
work=$(mktemp -d)
trap 'kill $server 2>/dev/null || true; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT

# Three tones of 6 s with 1 s of silence between them, 128 kbit/s.
ffmpeg -nostdin -v error -f lavfi -i "sine=f=440:d=6,apad=pad_dur=1" -f lavfi \
    -i "sine=f=660:d=6,apad=pad_dur=1" -f lavfi -i "sine=f=880:d=6" \
    -filter_complex "[0][1][2]concat=n=3:v=0:a=1" -c:a libmp3lame -b:a 128k -write_xing 0 \
    -id3v2_version 0 "$work/songs.mp3"

cat >"$work/station.py" <<'PY'
import http.server, sys
audio = open(sys.argv[1], "rb").read()
metaint = 16000
titles = {0: "Artist A - Song One", 7 * 16000: "Artist B - Song Two", 14 * 16000: "Artist C - Song Three"}
body = bytearray()
for start in range(0, len(audio), metaint):
    body += audio[start:start + metaint]
    if start + metaint > len(audio):
        break
    due = [t for at, t in titles.items() if start <= at < start + metaint]
    block = ("StreamTitle='%s';" % due[0]).encode() if due else b""
    block += b"\0" * (-len(block) % 16)
    body += bytes([len(block) // 16]) + block

class Station(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "audio/mpeg")
        self.send_header("icy-metaint", str(metaint))
        self.send_header("icy-name", "Identity Station")
        self.send_header("icy-br", "128")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass

server = http.server.HTTPServer(("127.0.0.1", 0), Station)
print(server.server_port, flush=True)
server.serve_forever()
PY
/usr/bin/python3 "$work/station.py" "$work/songs.mp3" >"$work/port" &
server=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(cat "$work/port")/"

record() {
    local cli=$1 home=$2
    mkdir -p "$home/Music"
    HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
        "$cli" record "$url" --for 60 >"$home/output.txt" 2>&1
    (cd "$home/Music" && find . -type f | sort)
}
old_files=$(record "$old" "$work/old")
new_files=$(record "$new" "$work/new")
echo "old build wrote:"; echo "$old_files" | sed 's/^/   /'
echo "new build wrote:"; echo "$new_files" | sed 's/^/   /'
if [ "$old_files" != "$new_files" ] || [ -z "$old_files" ]; then
    echo "FAIL: the builds wrote different files"
    exit 1
fi
status=0
while read -r file; do
    # Playlists name the files by their full paths, which differ by the home folder only;
    # files finished within the same moment may be listed in either order.
    if [[ $file == *.m3u ]] &&
        cmp -s <(sed "s#$work/old#HOME#" "$work/old/Music/$file" | sort) \
            <(sed "s#$work/new#HOME#" "$work/new/Music/$file" | sort); then
        echo "the same entries but for the home folder: $file"
    elif cmp -s "$work/old/Music/$file" "$work/new/Music/$file"; then
        echo "identical: $file ($(stat -c %s "$work/new/Music/$file") bytes)"
    else
        echo "DIFFERENT: $file"; status=1
    fi
done <<<"$new_files"
exit $status
