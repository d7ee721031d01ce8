#!/usr/bin/python3
"""The real orvanta on a real X server, driven through its real controls.

Runs inside xvfb-run and a private session bus (see run-window-e2e.sh). The controls are
found through the accessibility tree (AT-SPI) and pressed with the X pointer (xdotool), as a
user presses them: the station row, the toolbar's Record and Stop buttons, File > Quit.

    window_e2e.py BUILD_DIR SCREENSHOT
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import application, click, control, fail, free_port, wait_for  # noqa: E402

build, screenshot = sys.argv[1], sys.argv[2]
cli = os.path.join(build, "src/cli/orvanta-cli")
app_path = os.path.join(build, "src/app/orvanta")
station_path = os.path.join(build, "tools/demostation/orvanta-demo-station")


home = tempfile.mkdtemp(prefix="orvanta-e2e-")
music = os.path.join(home, "Music")
os.makedirs(music)
env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
           XDG_DATA_HOME=os.path.join(home, ".local/share"),
           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
env.pop("XDG_MUSIC_DIR", None)
port = free_port()
station = subprocess.Popen([station_path, "--port", str(port), "--song-seconds", "3",
                            "--songs", "3", "--for", "120"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
app = None
try:
    time.sleep(1.0)

    def run_cli(*args):
        return subprocess.run([cli, *args], env=env, check=True, capture_output=True,
                              text=True).stdout

    run_cli("defaults", "downloadpath", music)
    run_cli("defaults", "AutoReconnect", "false")
    run_cli("add-stream", "E2E Radio", "http://127.0.0.1:%d/stream" % port)
    # Neighbours, so the list looks like a user's.
    run_cli("add-group", "Jazz")
    run_cli("add-stream", "Late Night Jazz", "http://127.0.0.1:%d/jazz" % port, "--in", "Jazz")
    run_cli("add-stream", "Morning Classics", "http://127.0.0.1:%d/classics" % port)

    app = subprocess.Popen([app_path], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True)
    accessible = wait_for(application, 20, "the window on the accessibility bus")
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
    # The window alone (there is no window manager, so it sits at the top left).
    frame = control(accessible, "Orvanta", ("frame",))
    box = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS) if frame else None
    crop = ["-crop", "%dx%d+%d+%d" % (box.width, box.height, box.x, box.y)] if box else []
    subprocess.run(["import", "-window", "root", *crop, "+repage", screenshot], check=True)

    click(control(accessible, "Stop", ("push button",)))
    wait_for(lambda: control(accessible, "Record", ("push button",)), 10,
             "Stop to become Record again")

    # Quit through the menu.
    click(wait_for(lambda: control(accessible, "File", ("menu", "menu item")), 10, "the File menu"))
    click(wait_for(lambda: control(accessible, "Quit", ("menu item",)), 10, "File > Quit"))
    try:
        output, _ = app.communicate(timeout=20)
    except subprocess.TimeoutExpired:
        fail("orvanta did not quit through File > Quit")
    if app.returncode != 0:
        fail("orvanta ended with status %d:\n%s" % (app.returncode, output))

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
    library = os.path.join(home, ".local/share/Orvanta/radiostreams.data")
    if not os.path.isfile(library):
        fail("no library was saved")
    stations = run_cli("stations")
    if "E2E Radio" not in stations or "idle" not in stations:
        fail("the saved library does not hold the idle station:\n" + stations)
    print("window e2e: passed (%s; %d history lines)" % (os.path.basename(recorded),
                                                        len(history.splitlines())))
finally:
    if app is not None and app.poll() is None:
        app.kill()
    station.terminate()
    station.wait()
    shutil.rmtree(home, ignore_errors=True)
