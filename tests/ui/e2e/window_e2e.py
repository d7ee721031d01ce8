#!/usr/bin/python3
"""The real orvanta on a real X server, driven through its real controls.

Runs inside xvfb-run and a private session bus (see run-window-e2e.sh). The controls are
found through the accessibility tree (AT-SPI) and pressed with the X pointer (xdotool), as a
user presses them: the station row, the toolbar's Record and Stop buttons, File > Quit.

    window_e2e.py BUILD_DIR SCREENSHOT
"""

import os
import subprocess
import sys
import time


sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (WAYLAND, Session, click, control, fail, screenshot_window,  # noqa: E402
                         wait_for)

build, screenshot = sys.argv[1], sys.argv[2]
session = Session(build, station_seconds=120)
music, run_cli = session.music, session.run_cli
try:
    run_cli("defaults", "downloadpath", music)
    run_cli("defaults", "AutoReconnect", "false")
    run_cli("add-stream", "E2E Radio", session.url("stream"))
    # Neighbours, so the list looks like a user's.
    run_cli("add-group", "Jazz")
    run_cli("add-stream", "Late Night Jazz", session.url("jazz"), "--in", "Jazz")
    run_cli("add-stream", "Morning Classics", session.url("classics"))

    accessible = session.start_app()
    row = wait_for(lambda: control(accessible, "E2E Radio", ("table cell", "tree item")), 20,
                   "the station's row")
    click(row)
    record = wait_for(lambda: control(accessible, "Record", ("push button",)), 10,
                      "the Record button")
    click(record)
    wait_for(lambda: control(accessible, "Stop", ("push button",)), 10,
             "the Record button to become Stop")

    def titled_file():
        for folder, _, names in os.walk(music):
            if "incomplete" in folder:
                continue
            for name in names:
                if "Orvanta Demo - Song" in name and name.endswith(".mp3"):
                    return os.path.join(folder, name)
        return None

    recorded = wait_for(titled_file, 40, "a titled file")
    time.sleep(1.0)
    screenshot_window(accessible, screenshot)

    click(wait_for(lambda: control(accessible, "Stop", ("push button",)), 10, "Stop"))
    wait_for(lambda: control(accessible, "Record", ("push button",)), 10,
             "Stop to become Record again")

    # A stop by the user is no failure: the status column stays free of the warning
    # triangle of a failed recording (its yellow, #f6d32d, is nowhere else in that column).
    # On Wayland the shell chooses where the window sits, so the column is found on X only.
    time.sleep(1.0)
    stopped = os.path.join(os.path.dirname(screenshot),
                           "wayland-stopped.png" if WAYLAND else "window-stopped.png")
    screenshot_window(accessible, stopped)
    if not WAYLAND:
        yellow = subprocess.run(
            ["convert", stopped, "-crop", "24x10000+0+0", "+repage", "-fuzz", "12%", "-fill",
             "black", "+opaque", "#f6d32d", "-fill", "white", "-opaque", "#f6d32d", "-format",
             "%[fx:round(mean*w*h)]", "info:"], check=True, capture_output=True,
            text=True).stdout
        if int(yellow.strip() or "0") > 3:
            fail("a warning shows beside the station after a normal stop; see " + stopped)

    session.quit_app()

    # What the user keeps: the files, the history, the saved library.
    if not os.path.getsize(recorded):
        fail("the titled file is empty: " + recorded)
    history = run_cli("history", "E2E Radio")
    if "Orvanta Demo - Song" not in history:
        fail("the saved history names no titled file:\n" + history)
    for line in history.splitlines():
        path = line.split("\t")[-1]
        if line.startswith("recorded") and not os.path.isfile(path):
            fail("the history names a file that is not there: " + path)
    library = os.path.join(session.home, ".local/share/Orvanta/radiostreams.data")
    if not os.path.isfile(library):
        fail("no library was saved")
    stations = run_cli("stations")
    if "E2E Radio" not in stations or "idle" not in stations:
        fail("the saved library does not hold the idle station:\n" + stations)
    print("window e2e: passed (%s; %d history lines)" % (os.path.basename(recorded),
                                                        len(history.splitlines())))
finally:
    session.close()
