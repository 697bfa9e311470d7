"""The program as a user meets it, the Windows program under Wine; what the widget
tests see in-process is checked here along one rename only. One scenario:
python3 -m unittest test_scenarios.Native.test_startup, with VR_PROGRAM the program
file, VR_SCREENSHOTS the pictures' folder, VR_WINEPREFIX the Wine prefix."""

import os
import re
import shutil
import unittest

import harness
from harness import TITLE, wait_for, write

ABOUT = "About " + TITLE
VIEWER = "Renames done in this program. "
LEVELS = os.path.join("drive_c", "Program Files", "Quenmark", "Vantorel", "levels")
TO_VIEWER = ("alt", "Down", "Right", "Down", "Return")  # File > Renames > Program
TO_ABOUT = ("alt", "Right", "Down", "Down", "Return")  # Help > About


class Scenarios:
    """What both programs do alike."""

    def open(self, keys, title):
        self.program.key(*keys)
        return self.program.window(title)

    def test_startup(self):
        """A rename, then About and the viewer, from the program's start."""
        for folder in (self.levels, self.start_folder):
            for ext in ("DAT", "HDR", "VER", "INF"):
                write(os.path.join(folder, "levl2131." + ext), ext.encode())
        # A log as the game writes it: CR LF line ends, Windows-1252 text.
        write(os.path.join(self.levels, "Renames.txt"),
              "café 2131 -> 2001\r\nsecond – “quoted”\r\n".encode("cp1252"))
        p = self.start()
        p.screenshot(p.main, "main")
        self.started(p)
        # Six Tabs on from the source number box, where the focus starts: Rename.
        p.key(*["Tab"] * 6, "space")
        for ext in ("DAT", "HDR", "VER"):
            box, text = p.message()
            self.assertEqual(text, f"Rename levl2131.{ext} to levl2001.{ext} OK")
            p.screenshot(box, "message")
            p.key("Return", window=box)
            p.wait_closed(box)
        # In the game's levels folder, not in the folder the program started in.
        self.assertEqual(sorted(os.listdir(self.levels)), [
            "Renames.txt", "levl2001.DAT", "levl2001.HDR", "levl2001.VER", "levl2131.INF"])
        self.assertEqual(len(os.listdir(self.start_folder)), 4)
        about = self.open(TO_ABOUT, ABOUT)
        p.screenshot(about, "about")
        p.key("Return", window=about)
        p.wait_closed(about)
        viewer = self.open(TO_VIEWER, VIEWER)
        p.screenshot(viewer, "viewer")
        p.key("space", window=viewer)  # the focus starts on "Refreash"
        harness.xdotool("mousemove", "--window", viewer, "100", "120", "click", "1")
        p.key("ctrl+a", window=viewer)
        self.assertEqual(p.copy(viewer), "café 2131 -> 2001\nsecond – “quoted”\n")
        p.screenshot(viewer, "log")

    def test_exit(self):
        """Exit, the button (seven Tabs on) and the menu item (the last of
        File), ends the program with status 0 while every window is open."""
        for keys in ((*["Tab"] * 7, "space"), ("alt", "Down", "Up", "Return")):
            p = self.start()
            for to, title in ((TO_VIEWER, VIEWER), (TO_ABOUT, ABOUT)):
                self.open(to, title)
                # The main window to the front, as a user clicks its banner.
                harness.xdotool("windowraise", p.main, "mousemove", "--window", p.main, "180", "60",
                                "click", "1")
            p.key(*keys)
            self.assertEqual(p.process.wait(10), 0)


class Native(Scenarios, harness.Case):
    env = {"WINEPREFIX": None, "QT_QPA_PLATFORM": "xcb", "QT_ACCESSIBILITY": "1",
           "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ENABLE_HIGHDPI_SCALING": "0"}

    @classmethod
    def setUpClass(cls):
        harness.start_session(buses=True)

    def setUp(self):
        super().setUp()
        # Without WINEPREFIX the program finds the game through the home.
        self.levels = os.path.join(self.home, ".local", "share", "Steam", "steamapps",
                                   "compatdata", "20", "pfx", LEVELS)

    def start(self, env=None, name=None):
        env = {**self.env, "HOME": self.home, "XDG_RUNTIME_DIR": self.home, **(env or {})}
        self.program = harness.Program(os.environ["VR_PROGRAM"], self.start_folder,
                                       name or self.name, env)
        return self.program

    def started(self, p):
        # A screen reader learns where the focus is.
        wait_for("the focus on the bus", lambda: ("frame", "text", "Rename Levl", True) in
                 harness.on_bus(p.process.pid))
        # A fixed size, without a maximize button, as a window manager reads it:
        # the form's 365 x 290 pixels and the menu bar.
        hints = harness.run("xprop", "-id", p.main)
        self.assertEqual(re.findall(r"program specified m..imum size: (.*)", hints),
                         ["365 by 308"] * 2)
        motif = [int(f, 16) for f in re.search(r"_MOTIF_WM_HINTS.* = (.*)", hints)[1].split(",")]
        self.assertTrue(motif[0] & 0x2 and not motif[2] & 0x40, "a maximize button")

    def test_window_manager(self):
        """"Program" and "About" bring back a window that the user minimized
        or that sits on another workspace, restored and in front."""
        harness.start(["openbox", "--sm-disable"], "openbox.log")
        wait_for("the window manager", lambda: "window id" in harness.run(
            "xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 10)
        p = self.start()
        about = self.open(TO_ABOUT, ABOUT)
        harness.xdotool("set_desktop_for_window", about, "1")
        wait_for("About away", lambda: harness.xdotool("get_desktop_for_window", about) == "1\n")
        self.open(TO_ABOUT, ABOUT)
        wait_for("About in front", lambda: harness.xdotool("getactivewindow") == about + "\n")
        viewer = self.open(TO_VIEWER, VIEWER)
        harness.xdotool("windowminimize", viewer)
        wait_for("the viewer minimized", lambda: "Iconic" in harness.run("xprop", "-id", viewer))
        self.open(TO_VIEWER, VIEWER)
        wait_for("the viewer in front", lambda: harness.xdotool("getactivewindow") == viewer + "\n")
        p.screenshot(viewer, "restored")

    def test_looks(self):
        """Every window at scale 1 and 2 in three desktop looks, with the font
        and palette a KDE session gives: its default, a 14-point font, dark."""
        config = os.path.join(self.home, ".config")
        dark = "".join(f"[Colors:{group}]\nBackgroundNormal={back}\nForegroundNormal=239,240,241\n"
                       for group, back in (("Window", "42,46,50"), ("View", "27,30,32")))
        large = "[General]\nfont=DejaVu Sans,14,-1,5,50,0,0,0,0,0\n"
        for look, kdeglobals in (("default", ""), ("large_font", large), ("dark", dark)):
            write(os.path.join(config, "kdeglobals"), kdeglobals.encode())
            for scale in ("1", "2"):
                p = self.start({"QT_SCALE_FACTOR": scale, "XDG_CONFIG_HOME": config,
                                "XDG_CURRENT_DESKTOP": "KDE", "KDE_SESSION_VERSION": "5"},
                               f"looks_{look}-x{scale}")
                p.screenshot(p.main, "main")
                windows = [p.main]
                for keys, title in ((TO_VIEWER, VIEWER), (TO_ABOUT, ABOUT)):
                    windows.append(self.open(keys, title))
                    p.screenshot(windows[-1], title.split()[0].lower())
                shown = "".join(harness.xdotool("getwindowgeometry", xid) for xid in windows)
                self.assertNotRegex(shown, r"Position: -|Position: \d+,-", "off the screen")
                harness.end(p.process)


class Windows(Scenarios, harness.Case):
    """The deployed program file under Wine, as a player on Linux starts it."""
    env = {"WINEPREFIX": os.environ.get("VR_WINEPREFIX"), "WINEDEBUG": "-all",
           "WINEDLLOVERRIDES": "mscoree,mshtml=", "LC_ALL": "C.UTF-8"}

    @classmethod
    def setUpClass(cls):
        harness.start_session(buses=False)
        cls.wine = harness.wine()
        # A prefix made before Wine could run 32-bit programs cannot run them.
        prefix = cls.env["WINEPREFIX"]
        if not os.path.exists(prefix + "/drive_c/windows/syswow64/kernel32.dll"):
            shutil.rmtree(prefix, ignore_errors=True)
            os.makedirs(prefix)
            harness.start([cls.wine, "wineboot", "-i"], "wineboot.log",
                          env={**os.environ, **cls.env}).wait(240)

    @classmethod
    def tearDownClass(cls):
        harness.run(shutil.which("wineserver") or "/usr/lib/wine/wineserver", "-k",
                    env={**os.environ, **cls.env})

    def setUp(self):
        super().setUp()
        shutil.rmtree(os.path.join(self.env["WINEPREFIX"], "drive_c", "Program Files",
                                   "Quenmark"), ignore_errors=True)
        self.levels = os.path.join(self.env["WINEPREFIX"], LEVELS)

    def start(self):
        self.program = harness.Program(os.environ["VR_PROGRAM"], self.start_folder, self.name,
                                       self.env, self.wine)
        return self.program

    def started(self, p):
        pass


if __name__ == "__main__":
    unittest.main()
