"""The program as a user meets it, and the Windows program under Wine: real keys
and clicks (xdotool) on an X server of the run's own, windows found by title.
Every wait has a deadline; every process started here ends with the run. One
scenario: VR_PROGRAM=<program file> python3 test_scenarios.py Native.test_startup."""

import atexit
import contextlib
import fcntl
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

TITLE = "Vantorel Renamer"
ABOUT = "About " + TITLE
VIEWER = "Renames done in this program. "
LEVELS = os.path.join("drive_c", "Program Files", "Quenmark", "Vantorel", "levels")
TO_VIEWER = ("alt", "Down", "Right", "Down", "Return")  # File > Renames > Program
TO_ABOUT = ("alt", "Right", "Down", "Down", "Return")  # Help > About
SHOTS = os.environ.get("VR_SCREENSHOTS", os.path.abspath("e2e-screenshots"))
LOGS = os.path.join(os.path.dirname(SHOTS), "e2e-logs")
IMAGES = os.path.join(os.path.dirname(__file__), "..", "..", "resources", "images")
LEFTOVERS = os.path.join(os.path.dirname(__file__), "..", "leftovers.sh")
_started = []
_scratch = None  # the run's scratch folder
_own_display = not os.environ.get("DISPLAY")


def wait_for(what, probe, timeout=5.0):
    """Polls probe until it returns something true and returns that."""
    deadline, error = time.monotonic() + timeout, None
    while time.monotonic() < deadline:
        try:
            if value := probe():
                return value
        except (OSError, subprocess.SubprocessError) as caught:
            error = caught  # the X server may lag behind the program
        time.sleep(0.05)
    raise AssertionError(f"gave up after {timeout} s waiting for {what} (last error: {error})")


def start(args, log, **kwargs):
    with open(os.path.join(LOGS, log), "wb") as out:
        _started.append(subprocess.Popen(args, start_new_session=True, stdout=out,
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


def run(*args, text=True, **kwargs):
    return subprocess.run(args, capture_output=True, text=text, timeout=30, **kwargs).stdout


def xdotool(*args):
    return run("xdotool", *args)


def shows(shot, picture):
    """Whether a screenshot holds an opaque picture pixel for pixel."""
    def rows(image):
        header, _, pixels = run("convert", image, "-depth", "8", "-alpha", "on", "pam:-",
                                text=False).partition(b"ENDHDR\n")
        width = 4 * int(re.search(rb"WIDTH (\d+)", header)[1])
        return [pixels[at:at + width] for at in range(0, len(pixels), width)]
    shown, wanted = rows(shot), rows(picture)
    return any(all(shown[y + r][x:x + len(line)] == line for r, line in enumerate(wanted))
               for y in range(len(shown) - len(wanted) + 1)
               for x in range(0, len(shown[y]) - len(wanted[0]) + 1, 4)
               if shown[y][x:x + len(wanted[0])] == wanted[0])


def setUpModule(test="e2e"):
    """A runner's timeout (SIGTERM) ends the run normally, and all it started.
    The run's scratch folder, vr-TEST-..., holds the scratch homes and is the
    TMPDIR of all the run starts; it is locked while the run lives, and what a
    run killed before its cleanup left in its own goes first (leftovers.sh)."""
    signal.signal(signal.SIGTERM, lambda signum, frame: exit(f"signal {signum}"))
    for folder in (SHOTS, LOGS):
        os.makedirs(folder, exist_ok=True)
    global _scratch
    prefix = os.path.join(tempfile.gettempdir(), f"vr-{test}-")
    subprocess.run([LEFTOVERS, prefix], check=False)
    # Made under a name leftovers.sh passes over, and named once locked.
    made = tempfile.mkdtemp(prefix=f".vr-{test}-")
    fcntl.flock(os.open(made, os.O_RDONLY), fcntl.LOCK_EX)  # not inherited
    _scratch = prefix + made[-8:]
    os.rename(made, _scratch)
    os.environ["TMPDIR"] = tempfile.tempdir = _scratch


def tearDownModule():
    shutil.rmtree(_scratch, ignore_errors=True)


class Scenarios:
    """What both programs do alike, each scenario in a scratch home."""
    wine = banner = None  # the banner file the main window shows pixel for pixel
    screen, look = "1024x768", ""  # the X server's screen; a name for a desktop's looks

    @classmethod
    def setUpClass(cls):
        """An X server of the class's own, unless there is a display."""
        if _own_display:
            read_end, write_end = os.pipe()  # the read end stays open: Xvfb must never find it closed
            cls.addClassCleanup(end, start(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", cls.screen + "x24", "-dpi",
                 "96", "-nolisten", "tcp", "-noreset"], f"xvfb{cls.look}.log", pass_fds=(write_end,)))
            os.close(write_end)
            os.environ["DISPLAY"] = ":" + os.read(read_end, 64).decode().strip()

    def setUp(self):
        self.name = self.look + self.id().rsplit(".", 1)[-1].removeprefix("test_")
        self.shots = 0
        self.home = tempfile.mkdtemp(prefix="vr-e2e-")  # the program starts there too
        self.addCleanup(shutil.rmtree, self.home, ignore_errors=True)

    def start(self):
        env = {k: v for k, v in {**os.environ, **self.env}.items()
               if v is not None and not (k.startswith("QT_") and k not in self.env)}
        program = ([self.wine] if self.wine else []) + [os.environ["VR_PROGRAM"]]
        self.process = start(program, self.name + ".log", cwd=self.home, env=env)
        self.addCleanup(end, self.process)
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

    def screenshot(self, xid, what):
        """Saves the window once it is drawn (shows more than one colour), and
        checks that it lies wholly on the screen."""
        self.shots += 1
        path = os.path.join(SHOTS, f"{self.name}-{self.shots:02d}-{what}.png")
        wait_for(f"window {xid} drawn", lambda: int(run(
            "convert", "x:" + xid, "-write", path, "-format", "%k", "info:") or 0) > 1)
        place = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", xid).split())
        x, y, width, height = (int(place[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        right, bottom = map(int, xdotool("getdisplaygeometry").split())
        self.assertTrue(0 <= x <= right - width and 0 <= y <= bottom - height, f"{what}: {place}")
        return path

    def test_startup(self):
        """A rename in the game's levels folder (not where the program started):
        three message boxes, one at a time, closed with the keyboard. Then About,
        and the viewer of a log as the game writes it."""
        self.levels.mkdir(parents=True)
        for ext in ("DAT", "HDR", "VER", "INF"):
            (self.levels / f"levl2131.{ext}").write_bytes(ext.encode())
        log = "café 2131 -> 2001\r\nsecond – “quoted”\r\n"  # as the game writes it
        (self.levels / "Renames.txt").write_bytes(log.encode("cp1252"))
        self.start()
        main = self.screenshot(self.main, "main")
        if self.banner:
            self.assertTrue(shows(main, os.path.join(IMAGES, self.banner)), self.banner)
        self.key(*["Tab"] * 6, "space")  # from the source number box to Rename
        for _ in range(3):
            box, = wait_for("a message box", lambda: [  # one, never two at once
                xid for xid in self.windows(TITLE) if xid != self.main], 10)
            self.screenshot(box, "message")
            self.close(box)
        self.assertEqual(sorted(os.listdir(self.levels)), [
            "Renames.txt", "levl2001.DAT", "levl2001.HDR", "levl2001.VER", "levl2131.INF"])
        about = self.open(TO_ABOUT, ABOUT)
        self.screenshot(about, "about")
        self.close(about)
        viewer = self.open(TO_VIEWER, VIEWER)
        self.screenshot(viewer, "viewer")
        self.key("space", window=viewer)  # the focus starts on "Refreash"
        self.screenshot(viewer, "log")

    def test_exit(self):
        """Exit, the button (seven Tabs on) and the menu item (the last of
        File), ends the program with status 0 while every window is open."""
        for keys in ((*["Tab"] * 7, "space"), ("alt", "Down", "Up", "Return")):
            self.start()
            for to, title in ((TO_VIEWER, VIEWER), (TO_ABOUT, ABOUT)):
                self.open(to, title)
                # The main window to the front, as a user clicks its banner.
                xdotool("windowraise", self.main, "mousemove", "--window", self.main, "180", "60",
                        "click", "1")
            self.key(*keys)
            self.assertEqual(self.process.wait(10), 0)


class Native(Scenarios, unittest.TestCase):
    env = {"WINEPREFIX": None, "QT_QPA_PLATFORM": "xcb", "QT_ENABLE_HIGHDPI_SCALING": "0",
           "DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent"}  # none, and no search for one

    def setUp(self):
        super().setUp()
        # Without WINEPREFIX the program finds the game through the home.
        self.env = {**self.env, "HOME": self.home, "XDG_RUNTIME_DIR": self.home}
        self.levels = pathlib.Path(self.home, ".local", "share", "Steam", "steamapps",
                                   "compatdata", "20", "pfx", LEVELS)

    def test_window_manager(self):
        """A fixed size (the form's 365 x 290 and the menu bar), no maximize button;
        "Program" and "About" bring a window to the front: minimized, elsewhere, behind."""
        self.addCleanup(end, start(["openbox", "--sm-disable"], "openbox.log"))
        wait_for("the window manager", lambda: "window id" in run(
            "xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 10)
        self.start()
        hints = run("xprop", "-id", self.main)
        self.assertEqual(re.findall(r"program specified m..imum size: (.*)", hints),
                         ["365 by 308"] * 2)
        motif = [int(f, 16) for f in re.search(r"_MOTIF_WM_HINTS.* = (.*)", hints)[1].split(",")]
        self.assertTrue(motif[0] & 0x2 and not motif[2] & 0x40, "a maximize button")
        for keys, title, away in (
                (TO_ABOUT, ABOUT, "set_desktop_for_window {} 1"),
                (TO_VIEWER, VIEWER, "windowminimize {}"),
                (TO_VIEWER, VIEWER, "windowactivate " + self.main)):
            window = self.open(keys, title)
            wait_for(f"{title!r} in front", lambda: xdotool("getactivewindow") == window + "\n")
            xdotool(*away.format(window).split())
            wait_for(f"{title!r} away", lambda: xdotool("getactivewindow") != window + "\n")
            self.assertEqual(self.open(keys, title), window)
            wait_for(f"{title!r} back", lambda: xdotool("getactivewindow") == window + "\n")


    def test_silent_library(self):
        """A Steam library on a drive that never answers (every request held by
        the tests' own FUSE server): the window shows, and Exit ends the program
        at once, its search left to the drive."""
        if not os.environ.get("VR_SLOWFS"):
            self.skipTest("the tests' silent drive needs libfuse 3 when the tests are built")
        library = os.path.join(self.home, "library")
        os.makedirs(os.path.join(library + ".src", "steamapps"))
        os.makedirs(library)
        server = start([os.environ["VR_SLOWFS"], library + ".src", library, "never"],
                       self.name + "-slowfs.log")
        self.addCleanup(run, "umount", "-l", library)  # after the server, which may leave it
        self.addCleanup(end, server)
        try:
            wait_for("the silent drive", lambda: f" {library} " in pathlib.Path(
                "/proc/self/mountinfo").read_text())
        except AssertionError:
            self.skipTest("a FUSE mount of the tests' own needs /dev/fuse and the right to mount")
        steamapps = pathlib.Path(self.home, ".local", "share", "Steam", "steamapps")
        steamapps.mkdir(parents=True)
        (steamapps / "libraryfolders.vdf").write_text(f'"libraryfolders" {{ "1" {{ "path" "{library}" }} }}')
        self.start()
        wait_for("the search held by the drive", lambda: "held" in pathlib.Path(
            LOGS, self.name + "-slowfs.log").read_text())
        self.key(*["Tab"] * 7, "space")  # Exit
        self.assertEqual(self.process.wait(10), 0)


class Laptop(Native):
    """A laptop's screen, KDE's settings for a 14-point Nimbus Sans: the viewer cut down."""
    screen, look = "1366x768", "laptop-"
    env = {**Native.env, "XDG_CURRENT_DESKTOP": "KDE", "KDE_SESSION_VERSION": "5",
           "XDG_CONFIG_HOME": os.path.join(os.path.dirname(__file__), "kde-nimbus-sans-14")}


class Doubled(Native):
    """A dense screen: all drawn twice as large, pictures from their @2x files."""
    screen, look, banner = "1280x1024", "doubled-", "banner@2x.png"
    env = {**Native.env, "QT_SCALE_FACTOR": "2"}


class Windows(Scenarios, unittest.TestCase):
    """The deployed program file under Wine, as a player on Linux starts it."""
    env = {"WINEPREFIX": os.path.join(os.path.dirname(SHOTS), "e2e-prefix"),
           "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=", "LC_ALL": "C.UTF-8"}
    wine = os.environ.get("VR_WINE", "/usr/lib/wine/wine")  # the loader of the program's bitness

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        env, prefix = {**os.environ, **cls.env}, cls.env["WINEPREFIX"]
        try:
            run(cls.wine, "--version")
        except OSError as error:  # an i386 loader where the kernel runs no 32-bit code
            raise unittest.SkipTest(f"{cls.wine} cannot run here: {error.strerror}")
        cls.addClassCleanup(run, "/usr/lib/wine/wineserver", "-k", env=env)
        # A prefix made before Wine could run 32-bit programs cannot run them.
        kernel32 = prefix + "/drive_c/windows/syswow64/kernel32.dll"
        if not os.path.exists(kernel32):
            shutil.rmtree(prefix, ignore_errors=True)
            start([cls.wine, "wineboot", "-i"], "wineboot.log", env=env).wait(240)
            if not os.path.exists(kernel32):
                raise AssertionError(f"Wine made no prefix: see {LOGS}/wineboot.log")

    def setUp(self):
        super().setUp()
        # As a 32-bit game installs on 64-bit Windows; no copy left where a 64-bit one would be.
        shutil.rmtree(pathlib.Path(self.env["WINEPREFIX"], LEVELS).parents[1], ignore_errors=True)
        self.levels = pathlib.Path(self.env["WINEPREFIX"], LEVELS.replace("Files", "Files (x86)"))
        shutil.rmtree(self.levels.parents[1], ignore_errors=True)


if __name__ == "__main__":
    result = unittest.main(exit=False).result
    # A run whose every test was skipped tells its runner so (77).
    skipped = result.skipped and result.testsRun <= len(result.skipped)
    sys.exit(1 if not result.wasSuccessful() else 77 if skipped else 0)
