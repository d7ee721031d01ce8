"""Independent readers for the recordings of AAC and Ogg stations (ffprobe, ffmpeg, mutagen).

  audio_check.py FILE   prints what the readers make of FILE, one NAME<TAB>value per line:
    codec      the codec ffprobe finds
    errors     what ffprobe and ffmpeg report while reading and decoding it all (empty: none)
    container  seconds the container says it holds (Ogg: its granule positions; ADTS, which
               has no timing of its own: its frames' durations added up)
    decoded    seconds of audio ffmpeg decodes from it
    frame      seconds of the longest frame or page step of the codec, the tolerance
    tag        NAME<TAB>value for each tag mutagen reads (names in upper case)
Exits non-zero when ffprobe cannot open the file.
"""
import json
import subprocess
import sys

import mutagen
import mutagen.id3


def run(arguments):
    return subprocess.run(arguments, capture_output=True, text=False)


def main(path):
    probe = run(["ffprobe", "-v", "error", "-print_format", "json", "-show_format",
                 "-show_streams", "-show_packets", path])
    if probe.returncode != 0:
        sys.stderr.write(probe.stderr.decode(errors="replace"))
        return 1
    info = json.loads(probe.stdout)
    stream = info["streams"][0]
    codec = stream["codec_name"]
    rate = int(stream["sample_rate"])
    errors = probe.stderr.decode(errors="replace").strip()
    packets = info.get("packets", [])
    if info["format"]["format_name"] == "aac":
        container = sum(float(p.get("duration_time", 0)) for p in packets)
    else:
        container = float(info["format"].get("duration", 0))
    decode = run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "s16le", "-ac", "1",
                  "-ar", str(rate), "-"])
    errors = (errors + " " + decode.stderr.decode(errors="replace")).strip()
    decoded = len(decode.stdout) / 2 / rate
    frame = {"aac": 1024.0 / rate, "vorbis": 2048.0 / rate, "opus": 0.06}.get(codec, 0.05)
    print("codec\t%s" % codec)
    print("errors\t%s" % errors.replace("\n", " | "))
    print("container\t%.6f" % container)
    print("decoded\t%.6f" % decoded)
    print("frame\t%.6f" % frame)
    tags = None
    try:
        tags = mutagen.File(path).tags
    except Exception:
        tags = None
    if tags is None:
        try:
            tags = mutagen.id3.ID3(path)
        except Exception:
            tags = None
    if tags is not None:
        if isinstance(tags, mutagen.id3.ID3):
            for frame_id in ("TPE1", "TIT2", "TALB", "TCON", "TRCK"):
                if frame_id in tags:
                    print("tag\t%s\t%s" % (frame_id, "|".join(str(t) for t in tags[frame_id].text)))
        else:
            for key, value in tags.items():
                print("tag\t%s\t%s" % (key.upper(), value if isinstance(value, str) else "|".join(value)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
