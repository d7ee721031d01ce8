#!/usr/bin/python3
"""A cut moved in the real orvanta on a real X server: a recording made by orvanta-cli, its
history window, "Adjust Cut…" on the second song, the cut dragged with the pointer and
applied. Both songs are written anew from the session journal: no audio lost or doubled.

    run-window-e2e.sh BUILD_DIR SCREENSHOT cut_e2e.py
"""

import os
import subprocess
import sys
import time

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import Session, application, click, control, fail, keys, wait_for  # noqa: E402

build, screenshot = sys.argv[1], sys.argv[2]
session = Session(build, station_seconds=120)
session.env["XDG_CACHE_HOME"] = os.path.join(session.home, ".cache")
music, run_cli = session.music, session.run_cli


def audio_bytes(path):
    """The file without its ID3v2 tag."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:3] == b"ID3":
        size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
        data = data[10 + size:]
    return data


try:
    run_cli("defaults", "downloadpath", music)
    run_cli("add-stream", "E2E Radio", session.url("stream"))
    run_cli("record", "E2E Radio", "--for", "16")
    # Songs that came round again are duplicates, files all the same.
    history = [line.split("\t")[-1] for line in run_cli("history", "E2E Radio").splitlines()
               if line.startswith(("recorded", "duplicate\t"))]
    if len(history) < 3:
        fail("the recording made fewer than three songs:\n" + "\n".join(history))
    # The recording began inside a song: the second and third are whole.
    first, second = history[1], history[2]
    before = audio_bytes(first) + audio_bytes(second)
    first_length = len(audio_bytes(first))

    accessible = session.start_app()
    click(wait_for(lambda: control(accessible, "E2E Radio", ("table cell", "tree item")), 20,
                   "the station's row"))
    click(wait_for(lambda: control(accessible, "History", ("push button",)), 10,
                   "the History button"))
    name = os.path.basename(second)
    cell = wait_for(lambda: control(accessible, second, ("table cell",)) or
                    control(accessible, name, ("table cell",)), 10, "the later song's row")
    box = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                    str(box.y + box.height // 2), "click", "3"], check=True)
    time.sleep(0.5)
    # The row's menu (Play, Show in Folder, Copy Location, Adjust Cut…), by its keys: a
    # context menu shows in no accessibility tree.
    keys("Down", "Down", "Down", "Down", "Return")
    wave = wait_for(lambda: control(application(), "The audio around the cut", ("filler", "panel",
                                                                             "unknown")), 10,
                    "the cut editor's waveform")
    area = wave.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    # The two whole songs fill the view, the cut in the middle: dragged to a quarter of the
    # width, it moves about half the first song earlier.
    y = area.y + area.height // 2
    start = area.x + area.width * 3 // 5
    end = area.x + area.width // 4
    subprocess.run(["xdotool", "mousemove", str(start), str(y), "mousedown", "1"], check=True)
    for step in range(1, 11):
        subprocess.run(["xdotool", "mousemove", str(start + (end - start) * step // 10), str(y)],
                       check=True)
        time.sleep(0.05)
    subprocess.run(["xdotool", "mouseup", "1"], check=True)
    time.sleep(0.5)
    editor = control(application(), "Adjust Cut", ("dialog", "frame"))
    shot = editor.queryComponent().getExtents(pyatspi.DESKTOP_COORDS) if editor else None
    crop = ["-crop", "%dx%d+%d+%d" % (shot.width, shot.height, shot.x, shot.y)] if shot else []
    subprocess.run(["import", "-window", "root", *crop, "+repage", screenshot], check=True)
    click(wait_for(lambda: control(application(), "Apply", ("push button",)), 10, "Apply"))
    wait_for(lambda: not control(application(), "Apply", ("push button",)), 10,
             "the editor to close")

    after_first, after_second = audio_bytes(first), audio_bytes(second)
    if after_first + after_second != before:
        fail("the two songs do not hold the same audio after the move: lost or doubled frames")
    if len(after_first) >= first_length:
        fail("the cut did not move earlier: the first song kept %d of %d bytes" %
             (len(after_first), first_length))
    # The history window covers the menu bar (there is no window manager): SIGTERM quits in
    # order and saves the library, as File > Quit does.
    session.app.terminate()
    try:
        session.app.communicate(timeout=20)
    except subprocess.TimeoutExpired:
        fail("orvanta did not quit on SIGTERM")
    stations = run_cli("stations")
    if "cut timing" not in stations:
        fail("the station did not learn from the correction:\n" + stations)
    print("cut e2e: passed (%s and %s written anew)" % (os.path.basename(first), name))
finally:
    session.close()
