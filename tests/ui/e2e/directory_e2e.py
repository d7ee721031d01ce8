#!/usr/bin/python3
"""Find Stations in the real orvanta on a real X server: a search in the window finds the
demo station in the directory stand-in, Add to Library adds it, and Record records it.

    directory_e2e.py BUILD_DIR SCREENSHOT
"""

import json
import os
import subprocess
import sys
import time
import urllib.request

import pyatspi

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
from e2e_support import Session, click, control, fail, find, keys, type_text, wait_for  # noqa: E402

TEST_JAZZ = "a1000000-0000-4000-8000-000000000001"
support = os.path.join(here, "..", "..", "support")

build, screenshot = sys.argv[1], sys.argv[2]
session = Session(build, station_seconds=120)
music, run_cli = session.music, session.run_cli
standin = subprocess.Popen(
    ["/usr/bin/python3", os.path.join(support, "directory_standin.py"),
     os.path.join(support, "directory-stations.json"), "--station-url", session.url("stream")],
    stdout=subprocess.PIPE, text=True)
try:
    directory = "http://127.0.0.1:%d" % int(standin.stdout.readline().split()[1])
    run_cli("defaults", "downloadpath", music)
    run_cli("defaults", "AutoReconnect", "false")
    run_cli("defaults", "stationdirectory", directory)
    run_cli("add-group", "Found")

    accessible = session.start_app()
    click(wait_for(lambda: control(accessible, "File", ("menu", "menu item")), 10, "File"))
    click(wait_for(lambda: control(accessible, "Find Stations...", ("menu item",)), 10,
                   "File > Find Stations..."))
    field = wait_for(lambda: control(accessible, "Station name", ("text", "entry")), 10,
                     "the station name field")
    click(field)
    type_text("Orvanta Test")
    keys("Return")
    cell = wait_for(lambda: control(accessible, "Orvanta Test Jazz", ("table cell",)), 20,
                    "the found station in the results")
    click(cell)
    click(wait_for(lambda: control(accessible, "Add to Library", ("push button",)), 10,
                   "Add to Library"))

    time.sleep(1.0)
    frame = control(accessible, "Find Stations", ("frame", "window"))
    box = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS) if frame else None
    crop = ["-crop", "%dx%d+%d+%d" % (box.width, box.height, box.x, box.y)] if box else []
    subprocess.run(["import", "-window", "root", *crop, "+repage", screenshot], check=True)
    wait_for(lambda: find(accessible, lambda acc: acc.name.startswith("1 station added to")),
             10, "the window saying the station was added")
    row = wait_for(lambda: find(accessible, lambda acc: acc.name == "Orvanta Test Jazz" and
                                acc.getRoleName() in ("table cell", "tree item") and
                                acc is not cell and acc.parent.name != "Stations found"), 10,
                   "the added station in the station list")

    keys("Escape")  # Find Stations closes; the main window is in front again
    wait_for(lambda: not control(accessible, "Add to Library", ("push button",)), 10,
             "Find Stations to close")
    click(row)
    click(wait_for(lambda: control(accessible, "Record", ("push button",)), 10, "Record"))
    wait_for(lambda: control(accessible, "Stop", ("push button",)), 10, "Record to become Stop")

    def titled_file():
        for folder, _, names in os.walk(music):
            for name in names:
                if "Orvanta Demo - Song" in name and name.endswith(".mp3"):
                    return os.path.join(folder, name)
        return None

    recorded = wait_for(titled_file, 40, "a titled file of the added station")
    click(wait_for(lambda: control(accessible, "Stop", ("push button",)), 10, "Stop"))
    wait_for(lambda: control(accessible, "Record", ("push button",)), 10, "Stop to become Record")
    session.quit_app()

    stations = run_cli("stations")
    if "Orvanta Test Jazz" not in stations or session.url("stream") not in stations:
        fail("the saved library does not hold the added station:\n" + stations)
    with urllib.request.urlopen(directory + "/standin/requests") as answer:
        requests = json.load(answer)
    clicks = [r for r in requests if r["path"] == "/json/url/" + TEST_JAZZ]
    if len(clicks) != 1:
        fail("expected one click count for the recording, got %d: %s" % (len(clicks), requests))
    print("directory e2e: passed (%s)" % os.path.basename(recorded))
finally:
    standin.terminate()
    standin.wait()
    session.close()
