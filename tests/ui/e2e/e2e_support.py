"""What the end-to-end tests share: waiting, finding controls in the accessibility tree
(AT-SPI) and pressing them with the X pointer and keyboard (xdotool)."""

import socket
import subprocess
import sys
import time

import pyatspi


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


def click(acc):
    """A real pointer click in the middle of the control."""
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
