"""Independent reader for the ID3 tests (Python's mutagen).

  id3_readback.py v2 FILE   prints the ID3v2 tag at the start of FILE and the audio after it
  id3_readback.py v1 FILE   prints the ID3v1 tag at the end of FILE (a file with no ID3v2 tag)

One field per line, NAME<TAB>value, frames in the order mutagen read them. Text lists are
joined with "|". Exits non-zero when mutagen cannot read the tag.
"""
import sys

import mutagen.id3
import mutagen.mp3


def frame_value(frame):
    name = frame.FrameID
    if name == "COMM":
        return "%d|%s|%s|%s" % (frame.encoding, frame.lang, frame.desc, "|".join(frame.text))
    if name == "POPM":
        return "%s|%d|%d" % (frame.email, frame.rating, getattr(frame, "count", 0))
    if name == "APIC":
        return "%d|%s|%d|%s|%s" % (frame.encoding, frame.mime, frame.type, frame.desc,
                                   frame.data.hex(" ").upper())
    return "%d|%s" % (frame.encoding, "|".join(str(t) for t in frame.text))


def print_frames(tags):
    print("frames\t" + ",".join(frame.FrameID for frame in tags.values()))
    for frame in tags.values():
        print("%s\t%s" % (frame.FrameID, frame_value(frame)))


def main():
    sys.stdout.reconfigure(encoding="utf-8")
    mode, path = sys.argv[1], sys.argv[2]
    if mode == "v2":
        # Keep the version 2.3 frames as written instead of upgrading them to 2.4.
        tags = mutagen.id3.ID3(path, translate=False, load_v1=False)
        print("version\t" + ".".join(str(part) for part in tags.version))
        print("size\t%d" % tags.size)
        print("padding\t%d" % tags._padding)
        print("unknown\t%d" % len(tags.unknown_frames))
        print_frames(tags)
        info = mutagen.mp3.MP3(path).info
        print("audio\t%d|%d|%d|%.3f" % (info.layer, info.bitrate, info.sample_rate, info.length))
        return 0
    if mode == "v1":
        tags = mutagen.id3.ID3(path, translate=False, v2_version=3)
        print("version\t" + ".".join(str(part) for part in tags.version))
        print_frames(tags)
        return 0
    print("unknown mode " + mode, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
