#!/usr/bin/env bash
# Records the same MP3 station with two builds of orvanta-cli and compares what they wrote,
# byte for byte: a change that is not about MP3 must leave MP3 recordings as they were.
#
#   bench/mp3-identity.sh OLD_CLI NEW_CLI [SEARCH_SECONDS]
#
# The station is a finite ICY stream (three songs with titles and silences between them,
# served once with a Content-Length), so both recordings end by themselves on the same bytes.
# SEARCH_SECONDS (default: the preset's own) sets the new build's split search; 0 searches
# only around the title change, as builds before the wide search did. A build that gives the
# audio before the first title a file of its own ("Unknown Artist - Unknown Track ...") is
# compared with one that puts it into the first song's file: that file must be the two
# joined (or the song alone, when the opening was too short to hold a frame run).
set -euo pipefail
old=${1:?usage: mp3-identity.sh OLD_CLI NEW_CLI}
new=${2:?usage: mp3-identity.sh OLD_CLI NEW_CLI}
search=${3:-}
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
    export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
    if [ -n "$search" ] && [ "$home" = "$work/new" ]; then
        "$cli" preset-add Identity >/dev/null
        "$cli" preset Identity NP_SPLIT_SEARCH_SECONDS "$search" >/dev/null
        "$cli" add-stream Identity "$url" --preset Identity >/dev/null
        "$cli" record Identity --for 60 >"$home/output.txt" 2>&1
    else
        "$cli" record "$url" --for 60 >"$home/output.txt" 2>&1
    fi
    (cd "$home/Music" && find . -type f | sort)
}
old_files=$(record "$old" "$work/old")
new_files=$(record "$new" "$work/new")
echo "old build wrote:"; echo "$old_files" | sed 's/^/   /'
echo "new build wrote:"; echo "$new_files" | sed 's/^/   /'
# Files are paired by their names without the track number in front: a build that gives the
# audio before the first title a file (or a number) of its own counts one more.
/usr/bin/python3 - "$work/old/Music" "$work/new/Music" <<'PY'
import os, re, sys
from mutagen.id3 import ID3
old_root, new_root = sys.argv[1:]
def files(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            found[re.sub(r"(^|/)\d{3} - ", r"\1", os.path.relpath(path, root))] = path
    return found
def audio(path):
    data = open(path, "rb").read()
    if data[:3] == b"ID3":
        data = data[10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]):]
    return data
def tags(path):
    return {k: str(v) for k, v in ID3(path).items() if k != "TRCK"}
old, new = files(old_root), files(new_root)
opening = [k for k in old if "Unknown Artist - Unknown Track" in k and not k.endswith(".m3u")]
status = 0
for key in opening:
    print("the audio before the first title had a file of its own: %s" % key)
songs = sorted(k for k in new if not k.endswith(".m3u"))
if sorted(set(old) - set(opening)) != sorted(new):
    print("FAIL: the builds wrote different files:\n  old %s\n  new %s" % (sorted(old), sorted(new)))
    sys.exit(1)
first = min(songs, key=lambda k: os.path.basename(new[k])) if songs else None
for key in sorted(new):
    a, b = old[key], new[key]
    if key.endswith(".m3u"):
        norm = lambda p, root: sorted(re.sub(r"\d{3} - ", "", l.replace(root, "HOME"))
                                      for l in open(p) if "Unknown Artist - Unknown Track" not in l)
        same = norm(a, old_root) == norm(b, new_root)
        print("%s: %s" % ("the same entries but for the home folder and numbers" if same else "DIFFERENT", key))
        status |= not same
        continue
    if tags(a) != tags(b):
        print("DIFFERENT tags: %s" % key); status = 1; continue
    x, y = audio(a), audio(b)
    if x == y:
        print("identical audio, tags the same but for the track number: %s (%d bytes)" % (key, len(y)))
    elif key == first and y.endswith(x) and len(y) - len(x) <= 16000:
        print("the first song, with the %d bytes before its title: %s" % (len(y) - len(x), key))
    else:
        print("DIFFERENT audio: %s" % key); status = 1
sys.exit(status)
PY
