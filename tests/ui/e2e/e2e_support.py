"""What the end-to-end tests share: waiting, finding controls in the accessibility tree
(AT-SPI) and pressing them with the X pointer and keyboard (xdotool), or on Wayland
(ORVANTA_E2E_PLATFORM=wayland, where no client may move the pointer) through the controls'
own accessible actions."""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import pyatspi

WAYLAND = os.environ.get("ORVANTA_E2E_PLATFORM") == "wayland"


def fail(message):
    print("e2e: " + message, file=sys.stderr)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    fail("timed out waiting for " + what)


def find(root, predicate, depth=0):
    """The first accessible below root that predicate accepts."""
    if root is None or depth > 30:
        return None
    try:
        if predicate(root):
            return root
        for i in range(root.childCount):
            found = find(root.getChildAtIndex(i), predicate, depth + 1)
            if found is not None:
                return found
    except Exception:  # an object that went away while we looked
        return None
    return None


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name.lower() == "orvanta":
            return app
    return None


def control(app, name, roles):
    def showing(acc):
        try:
            return acc.getState().contains(pyatspi.STATE_SHOWING)
        except Exception:
            return False
    return find(app, lambda acc: acc.name == name and acc.getRoleName() in roles and showing(acc))


def screenshot_window(app, path):
    """The main window alone (there is no window manager on X, so it sits at the top left);
    on Wayland the whole output, where the shell put the window."""
    if WAYLAND:
        folder = tempfile.mkdtemp(prefix="orvanta-shot-")
        subprocess.run(["weston-screenshooter"], cwd=folder, check=True, timeout=20)
        shot = [name for name in os.listdir(folder) if name.endswith(".png")]
        if not shot:
            fail("weston-screenshooter wrote no picture")
        shutil.move(os.path.join(folder, shot[0]), path)
        shutil.rmtree(folder, ignore_errors=True)
        return
    frame = control(app, "Orvanta", ("frame",))
    box = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS) if frame else None
    crop = ["-crop", "%dx%d+%d+%d" % (box.width, box.height, box.x, box.y)] if box else []
    subprocess.run(["import", "-window", "root", *crop, "+repage", path], check=True)


def press(acc):
    """The control's own action, as an assistive technology presses it: a button's press, a
    menu's opening, a row's selection."""
    try:
        action = acc.queryAction()
        names = [action.getName(i).lower() for i in range(action.nActions)]
    except NotImplementedError:
        names = []
    for wanted in ("press", "click", "showmenu", "toggle", "activate"):
        if wanted in names:
            action.doAction(names.index(wanted))
            time.sleep(0.3)
            return
    parent = acc.parent
    try:
        parent.querySelection().selectChild(acc.getIndexInParent())
    except NotImplementedError:
        fail("no way to press %s (%s): actions %s" % (acc.name, acc.getRoleName(), names))
    time.sleep(0.3)


def click(acc):
    """A real pointer click in the middle of the control (its own action on Wayland)."""
    if WAYLAND:
        press(acc)
        return
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = box.x + box.width // 2, box.y + box.height // 2
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)
    time.sleep(0.3)


def keys(*names):
    """Keys pressed as a user presses them, to the focused control."""
    subprocess.run(["xdotool", "key", "--delay", "60", *names], check=True)
    time.sleep(0.3)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "80", text], check=True)
    time.sleep(0.3)


class Session:
    """The programs of a build, a home of their own and the demo station on a free port."""

    def __init__(self, build, station_seconds, song_seconds=3, **extra_env):
        self.cli = os.path.join(build, "src/cli/orvanta-cli")
        self.app_path = os.path.join(build, "src/app/orvanta")
        self.home = tempfile.mkdtemp(prefix="orvanta-e2e-")
        self.music = os.path.join(self.home, "Music")
        os.makedirs(self.music)
        self.env = dict(os.environ, HOME=self.home,
                        XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local/share"),
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                        QT_QPA_PLATFORM="wayland" if WAYLAND else "xcb", **extra_env)
        self.env.pop("XDG_MUSIC_DIR", None)
        self.port = free_port()
        self.station = subprocess.Popen(
            [os.path.join(build, "tools/demostation/orvanta-demo-station"), "--port",
             str(self.port), "--song-seconds", str(song_seconds), "--songs", "3", "--for",
             str(station_seconds)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.app = None
        time.sleep(1.0)

    def url(self, path):
        return "http://127.0.0.1:%d/%s" % (self.port, path)

    def run_cli(self, *args):
        return subprocess.run([self.cli, *args], env=self.env, check=True, capture_output=True,
                              text=True).stdout

    def start_app(self):
        self.app = subprocess.Popen([self.app_path], env=self.env, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, text=True)
        return wait_for(lambda: application() or (self.app.poll() is not None and fail(
            "orvanta ended at start:\n" + self.app.communicate()[0])), 40,
            "the window on the accessibility bus")

    def quit_app(self, confirm=None):
        """File > Quit, answering the question with the button named confirm."""
        accessible = application()
        click(wait_for(lambda: control(accessible, "File", ("menu", "menu item")), 10,
                       "the File menu"))
        click(wait_for(lambda: control(accessible, "Quit", ("menu item",)), 10, "File > Quit"))
        if confirm:
            click(wait_for(lambda: control(accessible, confirm, ("push button",)), 10,
                           "the question before quitting"))
        try:
            output, _ = self.app.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            fail("orvanta did not quit through File > Quit")
        if self.app.returncode != 0:
            fail("orvanta ended with status %d:\n%s" % (self.app.returncode, output))

    def close(self):
        if self.app is not None and self.app.poll() is None:
            self.app.kill()
        self.station.terminate()
        self.station.wait()
        shutil.rmtree(self.home, ignore_errors=True)
