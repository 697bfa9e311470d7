"""The program as a user meets it, the Windows program under Wine; what the widget
tests see in-process is checked here along one rename only. One scenario:
python3 test_scenarios.py Native.test_startup, with VR_PROGRAM the program file,
VR_SCREENSHOTS the pictures' folder (the logs and the Wine prefix beside it)."""

import os
import re
import shutil
import unittest

import harness
from harness import TITLE, wait_for, write, xdotool

ABOUT = "About " + TITLE
VIEWER = "Renames done in this program. "
LEVELS = os.path.join("drive_c", "Program Files", "Quenmark", "Vantorel", "levels")
TO_VIEWER = ("alt", "Down", "Right", "Down", "Return")  # File > Renames > Program
TO_ABOUT = ("alt", "Right", "Down", "Down", "Return")  # Help > About


class Scenarios:
    """What both programs do alike."""

    def test_startup(self):
        """A rename in the game's levels folder (not in the folder the program
        started in), then About and the viewer of a log as the game writes it."""
        for ext in ("DAT", "HDR", "VER", "INF"):
            write(os.path.join(self.levels, "levl2131." + ext), ext.encode())
        write(os.path.join(self.levels, "Renames.txt"),
              "café 2131 -> 2001\r\nsecond – “quoted”\r\n".encode("cp1252"))
        self.start()
        self.screenshot(self.main, "main")
        self.key(*["Tab"] * 6, "space")  # from the source number box to Rename
        for ext in ("DAT", "HDR", "VER"):
            box, text = self.message()
            self.assertEqual(text, f"Rename levl2131.{ext} to levl2001.{ext} OK")
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
        xdotool("mousemove", "--window", viewer, "100", "120", "click", "1")
        self.key("ctrl+a", window=viewer)
        self.assertEqual(self.copy(viewer), "café 2131 -> 2001\nsecond – “quoted”\n")
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


class Native(Scenarios, harness.Case):
    env = {"WINEPREFIX": None, "QT_QPA_PLATFORM": "xcb", "QT_ACCESSIBILITY": "1",
           "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ENABLE_HIGHDPI_SCALING": "0"}

    @classmethod
    def setUpClass(cls):
        harness.start_session(buses=True)

    def setUp(self):
        super().setUp()
        # Without WINEPREFIX the program finds the game through the home.
        self.env = {**self.env, "HOME": self.home, "XDG_RUNTIME_DIR": self.home}
        self.levels = os.path.join(self.home, ".local", "share", "Steam", "steamapps",
                                   "compatdata", "20", "pfx", LEVELS)

    def test_window_manager(self):
        """The main window has a fixed size (the form's 365 x 290 pixels and the
        menu bar) and no maximize button, as a window manager reads it; "Program"
        and "About" bring back a window that the user minimized or that sits on
        another workspace, restored and in front."""
        harness.start(["openbox", "--sm-disable"], "openbox.log")
        wait_for("the window manager", lambda: "window id" in harness.run(
            "xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 10)
        self.start()
        hints = harness.run("xprop", "-id", self.main)
        self.assertEqual(re.findall(r"program specified m..imum size: (.*)", hints),
                         ["365 by 308"] * 2)
        motif = [int(f, 16) for f in re.search(r"_MOTIF_WM_HINTS.* = (.*)", hints)[1].split(",")]
        self.assertTrue(motif[0] & 0x2 and not motif[2] & 0x40, "a maximize button")
        for keys, title, away, state in (
                (TO_ABOUT, ABOUT, ("set_desktop_for_window", "1"), "_NET_WM_DESKTOP.* = 1"),
                (TO_VIEWER, VIEWER, ("windowminimize",), "Iconic")):
            window = self.open(keys, title)
            xdotool(away[0], window, *away[1:])
            wait_for(f"{title!r} away", lambda: re.search(state, harness.run(
                "xprop", "-id", window)))
            self.assertEqual(self.open(keys, title), window)
            wait_for(f"{title!r} in front", lambda: xdotool("getactivewindow") == window + "\n")
        self.screenshot(window, "restored")

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
                self.start({"QT_SCALE_FACTOR": scale, "XDG_CONFIG_HOME": config,
                            "XDG_CURRENT_DESKTOP": "KDE", "KDE_SESSION_VERSION": "5"},
                           f"looks_{look}-x{scale}")
                self.screenshot(self.main, "main")
                for keys, title in ((TO_VIEWER, VIEWER), (TO_ABOUT, ABOUT)):
                    self.screenshot(self.open(keys, title), title.split()[0].lower())
                harness.end(self.process)


class Windows(Scenarios, harness.Case):
    """The deployed program file under Wine, as a player on Linux starts it."""
    env = {"WINEPREFIX": os.path.join(os.path.dirname(harness.SHOTS), "e2e-prefix"),
           "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=", "LC_ALL": "C.UTF-8"}
    wine = shutil.which("wine") or "/usr/lib/wine/wine"  # the program is a 32-bit one

    @classmethod
    def setUpClass(cls):
        harness.start_session(buses=False)
        env, prefix = {**os.environ, **cls.env}, cls.env["WINEPREFIX"]
        # A prefix made before Wine could run 32-bit programs cannot run them.
        if not os.path.exists(prefix + "/drive_c/windows/syswow64/kernel32.dll"):
            shutil.rmtree(prefix, ignore_errors=True)
            os.makedirs(prefix)
            harness.start([cls.wine, "wineboot", "-i"], "wineboot.log", env=env).wait(240)
        cls.addClassCleanup(harness.run, shutil.which("wineserver") or "/usr/lib/wine/wineserver",
                            "-k", env=env)

    def setUp(self):
        super().setUp()
        self.levels = os.path.join(self.env["WINEPREFIX"], LEVELS)
        shutil.rmtree(os.path.dirname(os.path.dirname(self.levels)), ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
