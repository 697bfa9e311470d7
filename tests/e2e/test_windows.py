"""The Windows program as a player on Linux meets it: the program file from the
deployed folder, started under Wine on a real X server in a prefix holding the
game's levels folder, driven by key presses and clicks.

Run one scenario:  python3 -m unittest test_windows.Scenarios.test_startup
VR_PROGRAM names the program file, VR_WINEPREFIX the Wine prefix (made on
first use), VR_SCREENSHOTS the folder for pictures."""

import os
import shutil
import subprocess
import time
import unittest

import harness
from harness import CONTENTS, TITLE, VIEWER, logs, names, read, screenshots, write

session = None
GAME = os.path.join("drive_c", "Program Files", "Quenmark")


def setUpModule():
    global session
    session = harness.Session(logs(), buses=False)
    prefix = os.environ["VR_WINEPREFIX"]
    if not os.path.exists(os.path.join(prefix, "system.reg")):
        os.makedirs(prefix, exist_ok=True)
        env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        with open(os.path.join(logs(), "wineboot.log"), "wb") as log:
            subprocess.run([harness.wine(), "wineboot", "-i"], env=env, stdout=log,
                           stderr=subprocess.STDOUT, timeout=240, check=True)


def tearDownModule():
    harness.end_wine(os.environ["VR_WINEPREFIX"])
    if session is not None:
        session.close()


class Scenarios(harness.Case):
    seconds = 150
    name_prefix = "windows_"

    def setUp(self):
        super().setUp()
        self.prefix_folder = os.environ["VR_WINEPREFIX"]
        shutil.rmtree(os.path.join(self.prefix_folder, GAME), ignore_errors=True)
        self.levels = os.path.join(self.prefix_folder, harness.LEVELS)
        os.makedirs(self.levels)

    def start(self):
        began = time.monotonic()
        self.program = harness.WindowsProgram(
            os.environ["VR_PROGRAM"], self.prefix_folder, self.start_folder,
            os.path.join(logs(), f"{self.name}.log"), screenshots(), self.name)
        print(f"\nmain window after {time.monotonic() - began:.1f} s under Wine")
        return self.program.main

    def dismiss(self, expected):
        """Reads the message box, checks it and closes it with Enter."""
        box, title, text = self.program.wait_message()
        self.assertEqual((title, text), (TITLE, expected))
        self.program.screenshot(box, "message")
        self.program.key("Return", window=box)
        self.program.wait_closed(box)

    def rename(self, *expected, tabs=6):
        """Presses Rename (six Tabs on from the source number box, where the
        program starts) and reads each message."""
        self.program.key(*["Tab"] * tabs, "space")
        for message in expected:
            self.dismiss(message)
        self.program.no_message()

    # Scenarios

    def test_startup(self):
        self.level_files(self.levels)
        self.level_files(self.start_folder)
        main = self.start()
        self.program.screenshot(main, "main")
        self.rename(*(f"Rename levl2131.{e} to levl2001.{e} OK" for e in ("DAT", "HDR", "VER")))
        self.assertEqual(names(self.levels), ["levl2001.DAT", "levl2001.HDR", "levl2001.VER",
                                              "levl2131.INF"])
        self.assertEqual(names(self.start_folder), sorted(f"levl2131.{e}" for e in CONTENTS))

    def test_typical_request(self):
        self.level_files(self.levels)
        self.start()
        self.rename(*(f"Rename levl2131.{e} to levl2001.{e} OK" for e in ("DAT", "HDR", "VER")))
        for ext in ("DAT", "HDR", "VER"):
            self.assertEqual(read(os.path.join(self.levels, f"levl2001.{ext}")), CONTENTS[ext])

        # Again: the target is taken and two sources are gone; every row runs.
        other = b"another level 2131\r\n"
        write(os.path.join(self.levels, "levl2131.DAT"), other)
        self.rename("Rename levl2131.DAT to levl2001.DAT Failed - To file already exists",
                    *(f"Rename levl2131.{e} to levl2001.{e} Failed - From file not found"
                      for e in ("HDR", "VER")), tabs=0)
        self.assertEqual(read(os.path.join(self.levels, "levl2131.DAT")), other)
        self.assertEqual(read(os.path.join(self.levels, "levl2001.DAT")), CONTENTS["DAT"])

    def test_viewer(self):
        # A log as the game writes it: CR LF line ends, Windows-1252 text.
        write(os.path.join(self.levels, "Renames.txt"),
              "café 2131 → 2001\r\nsecond – “quoted”\r\n".replace("→", "->").encode("cp1252"))
        self.start()
        p = self.program
        p.menu("Down", "Right", "Down", "Return")  # File > Renames > Program
        viewer = p.window(VIEWER)
        p.screenshot(viewer, "viewer")
        p.key("space", window=viewer)  # the focus starts on "Refreash"
        time.sleep(0.5)
        p.screenshot(viewer, "log")
        p.click(viewer, 100, 120)  # into the log
        p.key("ctrl+a", window=viewer)
        self.assertEqual(p.copy(viewer), "café 2131 -> 2001\nsecond – “quoted”\n")

    def test_about(self):
        self.start()
        p = self.program
        p.menu("Right", "Down", "Down", "Return")  # Help > About
        about = p.window("About " + TITLE)
        p.screenshot(about, "about")
        p.key("Return", window=about)
        p.no_window("About " + TITLE)

    def test_exit_button(self):
        self.start()
        self.program.key(*["Tab"] * 7, "space")
        self.assertEqual(self.program.wait_end(10), 0)

    def test_exit_menu(self):
        self.start()
        self.program.menu("Down", "Up", "Return")  # File > Exit, the last item
        self.assertEqual(self.program.wait_end(10), 0)


if __name__ == "__main__":
    unittest.main()
