#!/usr/bin/python3
"""A schedule made in the real window's editor records the station at its time.

Runs inside xvfb-run and a private session bus (see run-window-e2e.sh): the station row is
clicked, the Scheduler opens the editor, a daily entry from this minute to two minutes on
is made with the frequency pop-up, the time fields and Add, and ticked active. The
scheduler then starts the recording and stops it at the stop time; the file, its history
entry and the saved schedule are checked.

    schedule_e2e.py BUILD_DIR SCREENSHOT
"""

import datetime
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (Session, click, control, fail, keys, type_text,  # noqa: E402
                         wait_for)

build, screenshot = sys.argv[1], sys.argv[2]
# The C locale writes times on a 24-hour clock, which the keys below type.
session = Session(build, station_seconds=400, LANG="C.UTF-8", LC_ALL="C.UTF-8")
music, run_cli = session.music, session.run_cli


def set_time(accessible, name, when):
    field = wait_for(lambda: control(accessible, name, ("spin button", "text")), 10, name)
    click(field)
    # The hours selected and typed over, then the minutes the same way.
    keys("Home", "shift+Right", "shift+Right")
    type_text(when.strftime("%H"))
    keys("End", "shift+Left", "shift+Left")
    type_text(when.strftime("%M"))
    keys("Tab")


try:
    run_cli("defaults", "downloadpath", music)
    run_cli("defaults", "AutoReconnect", "false")
    run_cli("add-stream", "Scheduled Radio", session.url("stream"))

    # Late in a minute, wait for the next: the window must still be open when it is made.
    if datetime.datetime.now().second > 45:
        time.sleep(61 - datetime.datetime.now().second)
    start = datetime.datetime.now().replace(second=0, microsecond=0)
    stop = start + datetime.timedelta(minutes=2)
    if stop.date() != start.date():
        print("schedule e2e: skipped (too close to midnight)")
        sys.exit(0)

    accessible = session.start_app()
    click(wait_for(lambda: control(accessible, "Scheduled Radio", ("table cell", "tree item")),
                   20, "the station's row"))
    click(wait_for(lambda: control(accessible, "Scheduler", ("push button", "toggle button")),
                   10, "the Scheduler button"))

    # Daily is the item below "Once" in the frequency pop-up (a pop-up is named by its item).
    click(wait_for(lambda: control(accessible, "Once, on the next", ("combo box",)), 10,
                   "the frequency pop-up"))
    keys("Down", "Return")
    set_time(accessible, "Start time", start)
    set_time(accessible, "Stop time", stop)
    click(wait_for(lambda: control(accessible, "Add", ("push button",)), 10, "Add"))
    # The new row's "active" box, ticked with the space bar as a keyboard user does.
    click(wait_for(lambda: control(accessible, "Active", ("table cell", "check box")), 10,
                   "the new entry's active box"))
    keys("space")

    entries = run_cli("schedule", "Scheduled Radio", "list")
    subprocess.run(["import", "-window", "root", screenshot], check=False)

    # The shown station records: its Record button has become Stop.
    wait_for(lambda: control(accessible, "Stop", ("push button",)), 30,
             "the scheduled recording to start")
    subprocess.run(["import", "-window", "root", screenshot], check=True)

    # At the stop time the scheduler ends it: Stop is Record again.
    wait_for(lambda: datetime.datetime.now() >= stop and
             control(accessible, "Record", ("push button",)), 200,
             "the scheduled recording to stop at its stop time")
    if datetime.datetime.now() > stop + datetime.timedelta(seconds=20):
        fail("the recording stopped late")

    # The daily entry comes again within a day: quitting asks first.
    session.quit_app(confirm="OK")

    history = run_cli("history", "Scheduled Radio")
    recorded = [line.split("\t")[-1] for line in history.splitlines()
                if line.startswith("recorded")]
    if not recorded or not all(os.path.isfile(path) and os.path.getsize(path) for path in recorded):
        fail("the history names no recorded file on disc:\n" + history)
    entries = run_cli("schedule", "Scheduled Radio", "list")
    wanted = "%s-%s" % (start.strftime("%H:%M"), stop.strftime("%H:%M"))
    if "active" not in entries or "Daily" not in entries:
        fail("the saved library lacks the active daily entry (%s):\n%s" % (wanted, entries))
    print("schedule e2e: passed (%d files; %s)" % (len(recorded), entries.strip()))
finally:
    session.close()
