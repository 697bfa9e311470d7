"""Drives the built program from outside: its own X server, session bus and
accessibility bus when there is no display, real input through XTest
(xdotool), and everything read back through AT-SPI.

Every wait has a deadline, and every process started here is ended by its
process group when the run ends, whatever happened."""

import atexit
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

SCREEN = (1024, 768)
# AT-SPI roles of a top-level window of the program.
WINDOW_ROLES = ("frame", "dialog", "alert", "window")
# Roles whose children are rows, cells or days, never a named control.
LEAF_ROLES = ("tree", "tree table", "table", "list", "calendar", "menu bar")


class Timeout(AssertionError):
    pass


class Ended(AssertionError):
    """The program is gone: no wait for it can succeed any more."""


def wait_for(what, probe, timeout=5.0, interval=0.05):
    """Polls probe until it returns something true and returns that."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except Ended:
            raise
        except Exception as error:  # the bus may lag behind the widgets
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise Timeout(f"gave up after {timeout} s waiting for {what}{detail}")
        time.sleep(interval)


_started = []


def _start(args, **kwargs):
    process = subprocess.Popen(args, start_new_session=True, **kwargs)
    _started.append(process)
    return process


def end_process(process, grace=1.0):
    """Ends a process this harness started, with its whole group."""
    if process.poll() is None:
        for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, 5.0)):
            try:
                os.killpg(process.pid, sig)
            except ProcessLookupError:
                break
            try:
                process.wait(wait)
                break
            except subprocess.TimeoutExpired:
                continue
    else:
        # The leader is gone; helpers it started may still hold the group.
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
    if process in _started:
        _started.remove(process)


def guard(seconds):
    """Fails the running scenario once seconds have passed, and turns a
    termination from outside (a test runner's own timeout) into a normal exit,
    so that the processes started here are ended either way."""
    def expired(signum, frame):
        raise Timeout(f"the scenario ran longer than {seconds} s")

    def terminated(signum, frame):
        raise SystemExit(f"terminated by signal {signum}")
    signal.signal(signal.SIGALRM, expired)
    signal.signal(signal.SIGTERM, terminated)
    signal.alarm(seconds)


@atexit.register
def _end_all():
    for process in reversed(list(_started)):
        end_process(process, grace=0.5)


def _read_line(fd, timeout, what):
    """One line that a starting helper writes to fd, once it is ready."""
    deadline = time.monotonic() + timeout
    line = b""
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        ready, _, _ = select.select([fd], [], [], max(left, 0))
        if not ready:
            raise Timeout(f"gave up after {timeout} s waiting for {what}")
        chunk = os.read(fd, 4096)
        if not chunk:
            raise RuntimeError(f"{what}: the helper ended before it was ready")
        line += chunk
    return line.decode().strip()


class Session:
    """The display and buses the program runs on."""

    def __init__(self, log_folder, buses=True):
        self.log_folder = log_folder
        self.own_display = not os.environ.get("DISPLAY")
        if self.own_display:
            self._start_xvfb()
        if buses and (self.own_display or not os.environ.get("DBUS_SESSION_BUS_ADDRESS")):
            self._start_buses()

    def _log(self, name):
        return open(os.path.join(self.log_folder, name), "wb")

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = _start(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{SCREEN[0]}x{SCREEN[1]}x24", "-dpi", "96", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=self._log("xvfb.log"))
        os.close(write_end)
        # Open until the end: the server must never find its pipe closed.
        self.display_pipe = read_end
        number = _read_line(read_end, 10, "Xvfb to start")
        if not number.isdigit():
            raise RuntimeError(f"Xvfb did not start: {number!r}")
        os.environ["DISPLAY"] = f":{number}"

    def _start_buses(self):
        self.dbus = _start(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=self._log("dbus.log"))
        address = _read_line(self.dbus.stdout.fileno(), 10, "the session bus")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
        self.a11y = _start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           stdout=subprocess.DEVNULL, stderr=self._log("at-spi.log"))
        # Asked without activation, so that the bus never starts a second
        # launcher of its own.
        wait_for("the accessibility bus", lambda: "boolean true" in subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
             "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"],
            capture_output=True, text=True, timeout=5).stdout, timeout=10)

    def close(self):
        for name in ("a11y", "dbus", "xvfb"):
            if hasattr(self, name):
                end_process(getattr(self, name))
        if hasattr(self, "display_pipe"):
            os.close(self.display_pipe)


def atspi():
    """pyatspi, imported once the buses of the session are known."""
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    import pyatspi
    # A hung program must fail a wait, not block the run.
    Atspi.set_timeout(2000, 5000)
    return pyatspi


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=10)


def states(accessible):
    pyatspi = atspi()
    return {pyatspi.stateToString(s) for s in accessible.getState().getStates()}


def extents(accessible):
    pyatspi = atspi()
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def text_of(accessible):
    text = accessible.queryText()
    return text.getText(0, -1)


def children(accessible):
    return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]


def descendants(accessible):
    """Every control below accessible, without the rows and cells of lists."""
    for child in children(accessible):
        if child is None:
            continue
        yield child
        if child.getRoleName() not in LEAF_ROLES:
            yield from descendants(child)


def describe(accessible):
    try:
        return f"{accessible.getRoleName()} {accessible.name!r}"
    except Exception:
        return "an object that left the bus"


class Program:
    """The program file started as a user would, in a scratch home."""

    def __init__(self, path, home, cwd, log_path, screenshots, prefix, env=None):
        self.home = home
        self.screenshots = screenshots
        self.prefix = prefix
        self.shots = 0
        runtime = os.path.join(home, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env_overrides = env
        env = {k: v for k, v in os.environ.items() if not k.startswith("QT_")}
        env.update(HOME=home, WINEPREFIX=os.path.join(home, "wine"), XDG_RUNTIME_DIR=runtime,
                   QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ENABLE_HIGHDPI_SCALING="0",
                   QT_SCALE_FACTOR="1")
        env.update(env_overrides or {})
        # None takes a variable away: the program then looks for itself.
        env = {k: v for k, v in env.items() if v is not None}
        # Positions and sizes on the bus are in the program's scaled pixels.
        self.scale = float(env["QT_SCALE_FACTOR"])
        self.log = open(log_path, "wb")
        self.process = _start([path], cwd=cwd, env=env, stdout=self.log,
                              stderr=subprocess.STDOUT)
        self.app = wait_for("the program on the accessibility bus", self._find_app, timeout=15)

    def _find_app(self):
        pyatspi = atspi()
        if self.process.poll() is not None:
            raise Ended(f"the program ended early with status {self.process.returncode}")
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    # Reading

    def windows(self):
        """The program's top-level windows that are on the screen."""
        return [w for w in children(self.app)
                if w is not None and w.getRoleName() in WINDOW_ROLES and "showing" in states(w)]

    def titles(self):
        return sorted(w.name for w in self.windows())

    def window(self, title, timeout=5.0):
        return wait_for(f"a window titled {title!r}", lambda: next(
            (w for w in self.windows() if w.name == title), None), timeout)

    def find(self, root, role, name, timeout=5.0):
        """The showing control of that role and accessible name."""
        def probe():
            for control in descendants(root):
                if control.getRoleName() == role and control.name == name and \
                        "showing" in states(control):
                    return control
            return None
        return wait_for(f"{role} {name!r} in {describe(root)}", probe, timeout)

    def focused(self):
        for window in self.windows():
            for control in descendants(window):
                if "focused" in states(control):
                    return control
        return None

    def wait_focus(self, role, name, timeout=5.0):
        def probe():
            control = self.focused()
            return control if control is not None and control.getRoleName() == role and \
                control.name == name else None
        try:
            return wait_for(f"the focus on {role} {name!r}", probe, timeout)
        except Timeout as error:
            now = self.focused()
            raise Timeout(f"{error}; it is on {describe(now) if now else 'nothing'}") from None

    def message_boxes(self):
        """The open message boxes: (window, text) of each."""
        boxes = []
        for window in self.windows():
            if window.getRoleName() not in ("dialog", "alert"):
                continue
            # The icon's place is an empty label.
            labels = [c.name for c in descendants(window) if c.getRoleName() == "label" and c.name]
            buttons = [c.name for c in descendants(window) if c.getRoleName() == "push button"]
            if buttons == ["OK"] and labels:
                boxes.append((window, "\n".join(labels)))
        return boxes

    def wait_closed(self, window, timeout=5.0):
        def closed():
            try:
                now = states(window)
            except Exception:  # destroyed: its object left the bus
                return True
            return "showing" not in now or "defunct" in now
        wait_for(f"{describe(window)} to close", closed, timeout)

    def wait_message(self, timeout=5.0):
        """The one message box on the screen, once it is there."""
        boxes = wait_for("a message box", self.message_boxes, timeout)
        if len(boxes) != 1:
            raise AssertionError(f"{len(boxes)} message boxes at once: {[t for _, t in boxes]}")
        return boxes[0]

    # Input

    def click(self, control):
        x, y, width, height = extents(control)
        if width <= 0 or height <= 0:
            raise AssertionError(f"{describe(control)} has no area to click")
        # Without --sync, which waits for ever when the pointer is already there.
        xdotool("mousemove", str(x + width // 2), str(y + height // 2), "click", "1")

    def key(self, *keys):
        for key in keys:
            xdotool("key", "--clearmodifiers", key)

    def type(self, text):
        xdotool("type", "--delay", "2", text)

    def menu(self, window, *path):
        """Chooses a menu item with the mouse, from the menu bar down."""
        bar = next(c for c in children(window) if c.getRoleName() == "menu bar")
        item = wait_for(f"menu {path[0]!r}", lambda: next(
            (c for c in children(bar) if c.name == path[0]), None))
        self.click(item)
        for name in path[1:]:
            parent = item

            def probe():
                for popup in children(parent):
                    for entry in children(popup):
                        if entry.name == name and "showing" in states(entry) and \
                                extents(entry)[2] > 0:
                            return entry
                return None
            item = wait_for(f"menu item {name!r}", probe)
            self.click(item)

    def xid(self, window):
        """The X window behind an accessible window: same title, same place."""
        # A window manager maps the window a moment after the program shows it.
        found = wait_for(f"the X window of {describe(window)}", lambda: subprocess.run(
            ["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.process.pid), "--name",
             f"^{window.name}$"], capture_output=True, text=True, timeout=10).stdout.split())
        box = extents(window)
        # A window manager's frame moves the window inside it: the title alone tells.
        matching = found if len(found) == 1 else [xid for xid in found if _geometry(xid) == box]
        if len(matching) != 1:
            raise AssertionError(f"{len(matching)} X windows for {describe(window)} at {box}")
        return matching[0]

    def move(self, window, x, y):
        """Drags a window to x, y, as a user moves a window out of the way."""
        xdotool("windowmove", self.xid(window), str(x), str(y))
        wait_for(f"{describe(window)} at {x}, {y}", lambda: extents(window)[:2] == (x, y))

    # Ending and pictures

    def wait_end(self, timeout):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Timeout(f"the program still runs {timeout} s later") from None

    def screenshot(self, window, what):
        """Saves what the user sees of that window now."""
        self.shots += 1
        x, y, width, height = (round(v * self.scale) for v in extents(window))
        name = f"{self.prefix}-{self.shots:02d}-{what}.png"
        subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}",
                        "+repage", os.path.join(self.screenshots, name)],
                       check=True, timeout=10, stdout=subprocess.DEVNULL)

    def close(self):
        end_process(self.process)
        self.log.close()


def start_window_manager(log_folder):
    """A small window manager on the display, for what only one does:
    minimizing, shading, workspaces. It ends with the run."""
    _start(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
           stderr=open(os.path.join(log_folder, "openbox.log"), "wb"))
    wait_for("the window manager", lambda: "window id" in subprocess.run(
        ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True, text=True,
        timeout=5).stdout, timeout=10)


def wm_state(xid):
    """"Normal" or "Iconic" (minimized), as the window manager has it."""
    out = subprocess.run(["xprop", "-id", xid, "WM_STATE"], capture_output=True, text=True,
                         timeout=5).stdout
    for line in out.splitlines():
        if "window state:" in line:
            return line.split(":", 1)[1].strip()
    return None


def active_window():
    return subprocess.run(["xdotool", "getactivewindow"], capture_output=True, text=True,
                          timeout=5).stdout.strip()


def desktop_of(xid=None):
    """The workspace a window is on, or the current one."""
    args = ["get_desktop_for_window", xid] if xid else ["get_desktop"]
    return subprocess.run(["xdotool", *args], capture_output=True, text=True,
                          timeout=5).stdout.strip()


class WindowsProgram:
    """The Windows program file started under Wine, as a player starts it on
    Linux. Windows programs are not on the accessibility bus: their windows are
    found by title through X, and a message box gives its text through the
    clipboard (Ctrl+C), which Wine shares with X."""

    def __init__(self, path, wineprefix, cwd, log_path, screenshots, prefix):
        self.screenshots = screenshots
        self.prefix = prefix
        self.shots = 0
        env = {k: v for k, v in os.environ.items() if not k.startswith("QT_")}
        env.update(WINEPREFIX=wineprefix, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="C.UTF-8")
        self.log = open(log_path, "wb")
        self.process = _start([wine(), path], cwd=cwd, env=env, stdout=self.log,
                              stderr=subprocess.STDOUT)
        self.main = self.window(TITLE, timeout=60)

    def _alive(self):
        if self.process.poll() is not None:
            raise Ended(f"the program ended early with status {self.process.returncode}")

    def windows(self, title):
        """The X windows on the screen with that title, oldest first."""
        self._alive()
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                               capture_output=True, text=True, timeout=10).stdout.split()
        return sorted(found, key=int)

    def window(self, title, timeout=10.0):
        return wait_for(f"a window titled {title!r}", lambda: next(
            iter(self.windows(title)), None), timeout)

    def no_window(self, title, timeout=5.0):
        wait_for(f"no window titled {title!r}", lambda: not self.windows(title), timeout)

    def focus(self, xid):
        """Gives a window the keyboard, as a click on it would: without a
        window manager, X leaves the focus where the pointer is."""
        xdotool("windowfocus", "--sync", xid)

    def copy(self, xid):
        """What Ctrl+C in that window puts on the clipboard."""
        subprocess.run(["xclip", "-selection", "clipboard", "-i", "/dev/null"], timeout=10)
        self.key("ctrl+c", window=xid)
        return wait_for("text on the clipboard", lambda: subprocess.run(
            ["xclip", "-selection", "clipboard", "-o"], capture_output=True, timeout=10
        ).stdout.decode("utf-8", errors="replace"))

    def message_boxes(self):
        return [w for w in self.windows(TITLE) if w != self.main]

    def wait_message(self, timeout=10.0):
        """The one message box on the screen: (window, title, text)."""
        boxes = wait_for("a message box", self.message_boxes, timeout)
        if len(boxes) != 1:
            raise AssertionError(f"{len(boxes)} message boxes at once")
        # ----, title, ----, text, ----, buttons, ----
        parts = [p.strip("\n") for p in self.copy(boxes[0]).split("-" * 27)]
        if len(parts) < 4:
            raise AssertionError(f"not a message box's text: {parts!r}")
        return boxes[0], parts[1], parts[2]

    def no_message(self, settle=1.0):
        """No message box comes up within settle seconds."""
        time.sleep(settle)
        if self.message_boxes():
            raise AssertionError("a message box is open")

    def wait_closed(self, xid, timeout=5.0):
        wait_for(f"window {xid} to close", lambda: xid not in subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", "."], capture_output=True,
            text=True, timeout=10).stdout.split(), timeout)

    def key(self, *keys, window=None):
        """Presses keys in a window (by default the main one)."""
        self.focus(window or self.main)
        for key in keys:
            xdotool("key", "--clearmodifiers", key)
            time.sleep(0.05)

    def click(self, xid, x, y):
        """Clicks at x, y inside a window."""
        xdotool("mousemove", "--window", xid, str(x), str(y), "click", "1")

    def menu(self, *moves):
        """Walks the main window's menus with the keyboard from Alt."""
        self.key("alt", *moves)

    def screenshot(self, xid, what):
        """Saves the window once Wine has drawn it (more than one colour)."""
        self.shots += 1
        path = os.path.join(self.screenshots, f"{self.prefix}-{self.shots:02d}-{what}.png")

        def drawn():
            subprocess.run(["import", "-window", xid, path], check=True, timeout=10,
                           stdout=subprocess.DEVNULL)
            return int(subprocess.run(["identify", "-format", "%k", path], capture_output=True,
                                      text=True, timeout=10).stdout or 0) > 1
        wait_for(f"window {xid} drawn", drawn)

    wait_end = Program.wait_end
    close = Program.close


TITLE = "Vantorel Renamer"


def wine():
    """Wine's loader for 32-bit programs, which the Windows program is."""
    found = shutil.which("wine")
    if not found and os.path.exists("/usr/lib/wine/wine"):
        found = "/usr/lib/wine/wine"
    return found


def end_wine(prefix):
    """Ends whatever still runs in a Wine prefix (its server, its services)."""
    server = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
    if os.path.exists(server):
        subprocess.run([server, "-k"], env=dict(os.environ, WINEPREFIX=prefix), timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def _geometry(xid):
    shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", xid],
                           capture_output=True, text=True, timeout=10).stdout
    values = dict(line.split("=", 1) for line in shell.split())
    return tuple(int(values.get(k, -1)) for k in ("X", "Y", "WIDTH", "HEIGHT"))


LEVELS = os.path.join("drive_c", "Program Files", "Quenmark", "Vantorel", "levels")
VIEWER = "Renames done in this program. "
CONTENTS = {ext: f"{ext} bytes of level 2131\r\n\x00\xff".encode("latin-1")
            for ext in ("DAT", "HDR", "VER", "INF")}


def screenshots():
    return os.environ.get("VR_SCREENSHOTS", os.path.abspath("e2e-screenshots"))


def logs():
    folder = os.path.join(os.path.dirname(screenshots()), "e2e-logs")
    os.makedirs(folder, exist_ok=True)
    return folder


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(data)


def read(path):
    with open(path, "rb") as file:
        return file.read()


def names(folder):
    return sorted(os.listdir(folder))


class Case(unittest.TestCase):
    """A scenario in a scratch home with a folder to start the program in;
    whatever it started is ended when it ends."""
    seconds = 60
    name_prefix = ""

    def setUp(self):
        guard(self.seconds)
        self.name = self.name_prefix + self.id().rsplit(".", 1)[-1].removeprefix("test_")
        os.makedirs(screenshots(), exist_ok=True)
        for old in os.listdir(screenshots()):
            if old.startswith(self.name + "-"):
                os.remove(os.path.join(screenshots(), old))
        self.home = tempfile.mkdtemp(prefix="vr-e2e-")
        self.start_folder = os.path.join(self.home, "start")
        os.makedirs(self.start_folder)
        self.program = None

    def tearDown(self):
        if self.program is not None:
            self.program.close()
        shutil.rmtree(self.home, ignore_errors=True)
        signal.alarm(0)

    def level_files(self, folder):
        for ext, data in CONTENTS.items():
            write(os.path.join(folder, f"levl2131.{ext}"), data)
