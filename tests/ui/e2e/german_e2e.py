#!/usr/bin/python3
"""The real orvanta for a German user (LANGUAGE=de, a German locale): its menus, toolbar
and status speak German, its numbers take the decimal comma, and a recording made through
the German controls records.

    german_e2e.py BUILD_DIR SCREENSHOT
"""

import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import Session, click, control, fail, find, screenshot_window, wait_for  # noqa: E402

build, screenshot = sys.argv[1], sys.argv[2]
session = Session(build, station_seconds=60, LANGUAGE="de", LC_ALL="de_DE.UTF-8")
try:
    session.run_cli("defaults", "downloadpath", session.music)
    session.run_cli("defaults", "AutoReconnect", "false")
    session.run_cli("add-stream", "E2E Radio", session.url("stream"))

    accessible = session.start_app()
    for menu in ("Datei", "Bearbeiten", "Steuerung"):
        wait_for(lambda: control(accessible, menu, ("menu", "menu item")), 10,
                 "the German menu " + menu)
    click(wait_for(lambda: control(accessible, "E2E Radio", ("table cell", "tree item")), 20,
                   "the station's row"))
    click(wait_for(lambda: control(accessible, "Aufnehmen", ("push button",)), 10,
                   "the Record button, in German"))
    wait_for(lambda: control(accessible, "Stopp", ("push button",)), 10,
             "the Record button to become Stopp")
    status = re.compile(r"Verstrichene Zeit: \d+:\d\d  \[\d+,\d Kb/s\]")
    label = wait_for(lambda: control(accessible, "Status", ("label",)), 10, "the status line")
    text = ""
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline and not status.fullmatch(text):
        time.sleep(0.3)
        text = label.description or ""
    if not status.fullmatch(text):
        fail("the status line is not German with a decimal comma: %r" % text)

    def titled_file():
        for folder, _, names in os.walk(session.music):
            if "incomplete" not in folder and any("Orvanta Demo - Song" in n for n in names):
                return folder
        return None

    wait_for(titled_file, 40, "a titled file")
    time.sleep(1.0)
    screenshot_window(accessible, screenshot)
    click(wait_for(lambda: control(accessible, "Stopp", ("push button",)), 10, "Stopp"))
    wait_for(lambda: control(accessible, "Aufnehmen", ("push button",)), 10,
             "Stopp to become Aufnehmen again")
    click(wait_for(lambda: control(accessible, "Datei", ("menu", "menu item")), 10, "Datei"))
    click(wait_for(lambda: control(accessible, "Beenden", ("menu item",)), 10, "Datei > Beenden"))
    try:
        output, _ = session.app.communicate(timeout=20)
    except Exception:
        fail("orvanta did not quit through Datei > Beenden")
    if session.app.returncode != 0:
        fail("orvanta ended with status %d:\n%s" % (session.app.returncode, output))
    print("german e2e: passed")
finally:
    session.close()
