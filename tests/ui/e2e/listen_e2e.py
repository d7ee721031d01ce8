#!/usr/bin/python3
"""Record from the song's start in the real orvanta on a real X server: Listen on a station
that is not recording (the built-in player plays it through a sound server with a null
output), Record pressed well into a song, Stop after that song has ended. The song's file
holds the whole song, not only what came after the press.

    run-window-e2e.sh BUILD_DIR SCREENSHOT listen_e2e.py
"""

import os
import subprocess
import sys
import tempfile
import time

from mutagen.mp3 import MP3

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (Session, click, control, fail, free_port,  # noqa: E402
                         screenshot_window, wait_for)

SONG_SECONDS = 12

build, screenshot = sys.argv[1], sys.argv[2]
# A sound server of its own with a null output, so that the player really plays.
pulse = tempfile.mkdtemp(prefix="orvanta-pulse-")
pulse_socket = os.path.join(pulse, "native")
with open(os.path.join(pulse, "null.pa"), "w") as script:
    script.write("load-module module-null-sink sink_name=orvanta_null\n"
                 "set-default-sink orvanta_null\n"
                 "load-module module-native-protocol-unix auth-anonymous=1 socket=%s\n" % pulse_socket)
sound = subprocess.Popen(["pulseaudio", "-n", "-F", os.path.join(pulse, "null.pa"),
                          "--daemonize=no", "--exit-idle-time=-1", "--log-target=stderr",
                          "--log-level=error"], env=dict(os.environ, PULSE_RUNTIME_PATH=pulse))
session = Session(build, station_seconds=180, song_seconds=SONG_SECONDS,
                  PULSE_SERVER="unix:" + pulse_socket)
music, run_cli = session.music, session.run_cli
try:
    wait_for(lambda: os.path.exists(pulse_socket), 10, "the sound server")
    run_cli("defaults", "downloadpath", music)
    run_cli("defaults", "AutoReconnect", "false")
    run_cli("defaults", "relayport", str(free_port()))
    run_cli("add-stream", "E2E Radio", session.url("stream"))

    accessible = session.start_app()
    click(wait_for(lambda: control(accessible, "E2E Radio", ("table cell", "tree item")), 20,
                   "the station's row"))
    click(wait_for(lambda: control(accessible, "Listen", ("push button",)), 10,
                   "the Listen button"))
    # The station sends each connection its programme from the start, in real time: half a
    # second of silence, then songs of SONG_SECONDS with a second's gap after each.
    clicked = time.monotonic()
    # Heard through the relay, a player stream shows up at the sound server.
    wait_for(lambda: subprocess.run(["pactl", "list", "short", "sink-inputs"], env=session.env,
                                    capture_output=True, text=True).stdout.strip(), 20,
             "the built-in player to play")
    # Record about 7 s into the second song: a recording from the press would miss more than
    # half of it.
    press_at = 0.5 + SONG_SECONDS + 1.0 + 7.0
    time.sleep(max(0.0, clicked + press_at - time.monotonic()))
    if any(name.endswith(".mp3") for _, _, names in os.walk(music) for name in names):
        fail("listening wrote a file")
    click(wait_for(lambda: control(accessible, "Record", ("push button",)), 10, "Record"))
    wait_for(lambda: control(accessible, "Stop", ("push button",)), 10,
             "the Record button to become Stop")

    def whole_songs():
        return [os.path.join(folder, name) for folder, _, names in os.walk(music)
                if "incomplete" not in folder for name in names
                if "Orvanta Demo - Song" in name and name.endswith(".mp3")]

    first = wait_for(whole_songs, SONG_SECONDS * 2, "the song playing at Record, finished")[0]
    time.sleep(1.0)
    screenshot_window(accessible, screenshot)
    click(wait_for(lambda: control(accessible, "Stop", ("push button",)), 10, "Stop"))
    wait_for(lambda: control(accessible, "Record", ("push button",)), 10,
             "Stop to become Record again")
    session.quit_app()

    seconds = MP3(first).info.length
    if seconds < SONG_SECONDS - 1.5:
        fail("the song's file holds %.1f s of a %d s song: it began at the press, not at the "
             "song's start (%s)" % (seconds, SONG_SECONDS, first))
    if seconds > SONG_SECONDS + 1.5:
        fail("the song's file holds %.1f s: more than the song (%s)" % (seconds, first))
    print("listen e2e: passed (%s, %.1f s, Record pressed %.1f s after Listen)"
          % (os.path.basename(first), seconds, press_at))
finally:
    session.close()
    sound.terminate()
    sound.wait()
