"""Drives the built program from outside, as a user does: real key presses and
clicks (xdotool) on an X server of the run's own, windows found by title. Every
wait has a deadline; every process started here ends with the run, and its group."""

import atexit
import contextlib
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

TITLE = "Vantorel Renamer"
SHOTS = os.environ.get("VR_SCREENSHOTS", os.path.abspath("e2e-screenshots"))
LOGS = os.path.join(os.path.dirname(SHOTS), "e2e-logs")
_started = []


def wait_for(what, probe, timeout=5.0):
    """Polls probe until it returns something true and returns that."""
    deadline, error = time.monotonic() + timeout, None
    while time.monotonic() < deadline:
        try:
            if value := probe():
                return value
        except (OSError, subprocess.SubprocessError, RuntimeError) as caught:
            error = caught  # the bus or the server may lag behind the program
        time.sleep(0.05)
    raise AssertionError(f"gave up after {timeout} s waiting for {what} (last error: {error})")


def start(args, log, **kwargs):
    log = open(os.path.join(LOGS, log), "wb") if isinstance(log, str) else log
    _started.append(subprocess.Popen(args, start_new_session=True, stdout=log,
                                     stderr=subprocess.STDOUT, **kwargs))
    return _started[-1]


@atexit.register
def end(*processes):
    """Ends processes started here (by default all) with their groups."""
    for process in processes or list(reversed(_started)):
        for sig in (signal.SIGTERM, signal.SIGKILL):  # the second for helpers left behind
            with contextlib.suppress(OSError, subprocess.TimeoutExpired):
                os.killpg(process.pid, sig)
                process.wait(1.0)
        _started.remove(process)


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=30, **kwargs).stdout


def xdotool(*args):
    return run("xdotool", *args)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(data)


def start_session(buses):
    """An X server (and the buses) of the run's own, unless there is a display.
    A test runner's own timeout ends the run normally, and all it started."""
    signal.signal(signal.SIGTERM, lambda signum, frame: exit(f"signal {signum}"))
    for folder in (SHOTS, LOGS):
        os.makedirs(folder, exist_ok=True)
    if not os.environ.get("DISPLAY"):
        read_end, write_end = os.pipe()  # the read end stays open: Xvfb must never find it closed
        start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-dpi",
               "96", "-nolisten", "tcp", "-noreset"], "xvfb.log", pass_fds=(write_end,))
        os.close(write_end)
        os.environ["DISPLAY"] = ":" + os.read(read_end, 64).decode().strip()
    if buses:
        bus = start(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                    subprocess.PIPE)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], "at-spi.log")
        # Asked without activation, so that the bus starts no launcher of its own.
        wait_for("the accessibility bus", lambda: "true" in run(
            "dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
            "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"), 10)


def on_bus(pid):
    """What a screen reader learns of the program: (window role, role, name) of
    each showing control."""
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    Atspi.set_timeout(2000, 5000)  # a hung program fails a wait, not the run

    def shown(node):
        return [c for c in map(node.get_child_at_index, range(node.get_child_count()))
                if c and c.get_state_set().contains(Atspi.StateType.SHOWING)]

    def walk(node):
        for child in shown(node):
            yield child
            yield from walk(child)
    apps = [a for a in shown(Atspi.get_desktop(0)) if a.get_process_id() == pid]
    return [(w.get_role_name(), c.get_role_name(), c.get_name())
            for a in apps for w in shown(a) for c in walk(w)]


class Case(unittest.TestCase):
    """A scenario in a scratch home: starts the program file as a user does, or
    under Wine, and ends whatever it started."""
    wine = None

    def setUp(self):
        self.name = self.id().rsplit(".", 1)[-1].removeprefix("test_")
        self.home = tempfile.mkdtemp(prefix="vr-e2e-")  # the program starts there too
        self.session = len(_started)

    def tearDown(self):
        end(*_started[self.session:])
        shutil.rmtree(self.home, ignore_errors=True)

    def start(self, env=None, name=None):
        self.shots, self.shot_name, ours = 0, name or self.name, {**self.env, **(env or {})}
        env = {k: v for k, v in {**os.environ, **ours}.items()
               if v is not None and not (k.startswith("QT_") and k not in ours)}
        program = ([self.wine] if self.wine else []) + [os.environ["VR_PROGRAM"]]
        self.process = start(program, self.shot_name + ".log", cwd=self.home, env=env)
        self.main = self.window(TITLE, timeout=60 if self.wine else 10)

    def windows(self, title):
        if self.process.poll() is not None:
            raise AssertionError(f"the program ended with status {self.process.returncode}")
        return sorted(xdotool("search", "--onlyvisible", "--name", f"^{title}$").split(), key=int)

    def window(self, title, timeout=10.0):
        return wait_for(f"a window titled {title!r}", lambda: self.windows(title), timeout)[0]

    def open(self, keys, title):
        self.key(*keys)
        return self.window(title)

    def close(self, xid):
        self.key("Return", window=xid)
        wait_for(f"window {xid} to close", lambda: xid not in xdotool(
            "search", "--onlyvisible", "--name", "."))

    def key(self, *keys, window=None):
        # Focused as a click would: without a window manager X leaves focus alone.
        xdotool("windowfocus", "--sync", window or self.main)
        xdotool("key", "--clearmodifiers", "--delay", "50" if self.wine else "20", *keys)

    def copy(self, xid):
        """What Ctrl+C in that window puts on the clipboard."""
        subprocess.run(["xclip", "-selection", "clipboard", "-i", "/dev/null"], timeout=10)
        self.key("ctrl+c", window=xid)
        return wait_for("text on the clipboard", lambda: run(
            "xclip", "-selection", "clipboard", "-o", errors="replace"))

    def message(self):
        """The one message box and its text, copied under Wine, else from the bus."""
        box, = wait_for("a message box", lambda: [  # one, never two at once
            xid for xid in self.windows(TITLE) if xid != self.main], 10)
        if self.wine:  # ----, title, ----, text, ----, buttons, ----
            return box, self.copy(box).split("-" * 27)[2].strip("\n")
        return box, wait_for("its text on the bus", lambda: "\n".join(
            name for window, role, name in on_bus(self.process.pid)
            if window in ("alert", "dialog") and role == "label" and name))

    def screenshot(self, xid, what):
        """Saves the window once it is drawn (shows more than one colour)."""
        self.shots += 1
        path = os.path.join(SHOTS, f"{self.shot_name}-{self.shots:02d}-{what}.png")
        wait_for(f"window {xid} drawn", lambda: int(run(
            "convert", "x:" + xid, "-write", path, "-format", "%k", "info:") or 0) > 1)
