"""The program as a user meets it: started from its file, on a real X server,
driven by key presses and clicks, read back through the accessibility bus.

Run one scenario:  python3 -m unittest test_scenarios.Scenarios.test_startup
VR_PROGRAM names the program file, VR_SCREENSHOTS the folder for pictures."""

import os
import subprocess
import unittest

import harness
from harness import (CONTENTS, TITLE, VIEWER, extents, logs, names, read, screenshots, states,
                     text_of, wait_for, write)

session = None


def setUpModule():
    global session
    session = harness.Session(logs())


def tearDownModule():
    if session is not None:
        session.close()


class Scenarios(harness.Case):
    def setUp(self):
        super().setUp()
        self.levels = os.path.join(self.home, "wine", harness.LEVELS)

    def start(self, env=None, prefix=None):
        self.program = harness.Program(
            os.environ["VR_PROGRAM"], self.home, self.start_folder,
            os.path.join(logs(), f"{prefix or self.name}.log"), screenshots(),
            prefix or self.name, env)
        main = self.program.window(TITLE, timeout=10)
        self.program.wait_focus("text", "Rename Levl")
        return main

    def dismiss(self, expected):
        """Reads the one message box, checks it and closes it with Enter."""
        box, text = self.program.wait_message()
        self.assertEqual(box.name, TITLE)
        self.assertEqual(text, expected)
        self.program.screenshot(box, "message")
        self.program.key("Return")
        self.program.wait_closed(box)

    def no_message(self, settle=0.5):
        """No message box comes up within settle seconds."""
        with self.assertRaises(harness.Timeout):
            self.program.wait_message(timeout=settle)

    # Scenarios

    def test_startup(self):
        self.level_files(self.levels)
        self.level_files(self.start_folder)
        main = self.start()
        p = self.program
        p.screenshot(main, "main")
        self.assertEqual(p.titles(), [TITLE])

        client = next(c for c in harness.children(main) if c.getRoleName() == "filler")
        self.assertEqual(extents(client)[2:], (365, 290))
        self.assertNotIn("resizable", states(main))
        hints = subprocess.run(["xprop", "-id", p.xid(main)], capture_output=True, text=True,
                               timeout=10).stdout
        self.assertIn("program specified minimum size: 365 by", hints)
        self.assertEqual(size_hint(hints, "minimum"), size_hint(hints, "maximum"))
        self.assertFalse(motif_decorations(hints) & MOTIF_MAXIMIZE, "has a maximize button")

        # Real Tab presses reach Rename, Space presses it; the levels folder
        # is where the renames act, not the folder the program was started in.
        p.key(*["Tab"] * 6)
        p.wait_focus("push button", "Rename")
        p.key("space")
        for ext in ("DAT", "HDR", "VER"):
            self.dismiss(f"Rename levl2131.{ext} to levl2001.{ext} OK")
        self.assertIn("levl2001.DAT", names(self.levels))
        self.assertEqual(names(self.start_folder), sorted(f"levl2131.{e}" for e in CONTENTS))

    def test_proton_library(self):
        """No WINEPREFIX: the game is in a Proton prefix of a second Steam
        library, in "Program Files (x86)", its folders and files in other
        letter cases than the built-in names."""
        steam = os.path.join(self.home, ".local", "share", "Steam")
        library = os.path.join(self.home, "SteamLibrary")
        os.makedirs(os.path.join(steam, "steamapps", "compatdata", "10", "pfx", "drive_c"))
        write(os.path.join(steam, "steamapps", "libraryfolders.vdf"),
              f'"libraryfolders"\n{{\n\t"0"\n\t{{\n\t\t"path"\t\t"{steam}"\n\t}}\n'
              f'\t"1"\n\t{{\n\t\t"path"\t\t"{library}"\n\t}}\n}}\n'.encode())
        levels = os.path.join(library, "steamapps", "compatdata", "20", "pfx", "drive_c",
                              "Program Files (x86)", "QUENMARK", "Vantorel", "Levels")
        for ext, data in CONTENTS.items():
            write(os.path.join(levels, f"levl2131.{ext.lower()}"), data)
        write(os.path.join(levels, "LEVL2001.hdr"), b"kept")
        self.level_files(self.start_folder)

        main = self.start({"WINEPREFIX": None})
        p = self.program
        p.click(p.find(main, "push button", "Rename"))
        self.dismiss("Rename levl2131.DAT to levl2001.DAT OK")
        self.dismiss("Rename levl2131.HDR to levl2001.HDR Failed - To file already exists")
        self.dismiss("Rename levl2131.VER to levl2001.VER OK")
        self.no_message()
        self.assertEqual(names(levels), ["LEVL2001.hdr", "levl2001.DAT", "levl2001.VER",
                                         "levl2131.hdr", "levl2131.inf"])
        self.assertEqual(read(os.path.join(levels, "levl2001.DAT")), CONTENTS["DAT"])
        self.assertEqual(read(os.path.join(levels, "LEVL2001.hdr")), b"kept")
        self.assertEqual(names(self.start_folder), sorted(f"levl2131.{e}" for e in CONTENTS))

        viewer = self.open_viewer(main)
        self.assertEqual(text_of(p.find(viewer, "text", "Log file path")),
                         os.path.join(levels, "Renames.txt"))

    def open_viewer(self, main):
        self.program.menu(main, "File", "Renames", "Program")
        viewer = self.program.window(VIEWER)
        self.program.wait_focus("push button", "Refreash")
        return viewer

    def move_apart(self, main, viewer):
        """The viewer opens over the main window; the user moves both apart."""
        self.program.move(main, 0, 0)
        self.program.move(viewer, harness.SCREEN[0] - extents(viewer)[2], 0)

    def test_viewer(self):
        write(os.path.join(self.levels, "Renames.txt"), b"first\r\nsecond\rthird\r\n\r\nlast")
        main = self.start()
        p = self.program
        viewer = self.open_viewer(main)
        log = p.find(viewer, "text", "Renames log")
        p.screenshot(viewer, "viewer")
        p.key("space")
        wait_for("the log in the viewer", lambda: text_of(log) == "first\nsecond\nthird\n\nlast\n")
        p.screenshot(viewer, "log")

        p.click(p.find(viewer, "text", "Log file path"))
        p.key("ctrl+a")
        p.type(os.path.join(self.home, "missing.txt"))
        p.click(p.find(viewer, "push button", "Refreash"))
        self.dismiss("Error reading file.")
        self.no_message()
        p.click(p.find(viewer, "push button", "Back"))
        p.wait_closed(viewer)
        self.assertEqual(p.titles(), [TITLE])

    def open_about(self, main):
        self.program.menu(main, "Help", "About")
        about = self.program.window("About Vantorel Renamer")
        self.program.wait_focus("push button", "OK")
        return about

    def test_about(self):
        main = self.start()
        p = self.program
        for key in ("Return", "Escape"):
            about = self.open_about(main)
            p.screenshot(about, f"about-{key}")
            p.key(key)
            p.wait_closed(about)
            self.assertEqual(p.titles(), [TITLE])

    def test_window_manager(self):
        """"Program" and "About" bring back a window that the user minimized
        or that sits on another workspace, restored and in front."""
        harness.start_window_manager(logs())
        main = self.start()
        p = self.program
        about = self.open_about(main)
        about_xid = p.xid(about)
        harness.xdotool("set_desktop_for_window", about_xid, "1")
        wait_for("the About window away", lambda: harness.desktop_of(about_xid) == "1")
        p.menu(main, "Help", "About")
        wait_for("the About window in front", lambda: harness.active_window() == about_xid)
        self.assertEqual(harness.desktop_of(about_xid), harness.desktop_of())

        viewer = self.open_viewer(main)
        viewer_xid = p.xid(viewer)
        harness.xdotool("windowminimize", viewer_xid)
        wait_for("the viewer minimized", lambda: harness.wm_state(viewer_xid) == "Iconic")
        p.menu(main, "File", "Renames", "Program")
        wait_for("the viewer restored", lambda: harness.wm_state(viewer_xid) == "Normal")
        wait_for("the viewer in front", lambda: harness.active_window() == viewer_xid)
        p.wait_focus("push button", "Refreash")
        p.screenshot(viewer, "restored")
        self.assertEqual(p.titles(), ["About Vantorel Renamer", VIEWER, TITLE])

    def looks(self, kdeglobals):
        """Every window at scale 1 and 2 in a desktop's look: its font and
        palette come from the desktop's settings, as a KDE session gives them."""
        config = os.path.join(self.home, ".config")
        if kdeglobals:
            write(os.path.join(config, "kdeglobals"), kdeglobals.encode())
        for scale in ("1", "2"):
            env = {"QT_SCALE_FACTOR": scale, "XDG_CONFIG_HOME": config}
            if kdeglobals:
                env.update(XDG_CURRENT_DESKTOP="KDE", KDE_SESSION_VERSION="5")
            main = self.start(env, prefix=f"{self.name}-x{scale}")
            p = self.program
            p.screenshot(main, "main")
            # The menus from the keyboard, which needs no coordinates: Alt
            # selects "File", Down opens it, Right opens "Renames".
            p.key("alt")
            p.screenshot(main, "menu-selected")
            p.key("Down", "Right", "Down", "Return")
            viewer = p.window(VIEWER)
            p.wait_focus("push button", "Refreash")
            about = None
            for window, what in ((main, None), (viewer, "viewer"), (about, "about")):
                if what == "about":
                    # Back, from the keyboard: at scale 2 the button may be off the screen.
                    p.key("Tab", "space")
                    p.wait_closed(viewer)
                    p.key("alt", "Right", "Down", "Down", "Return")
                    window = p.window("About Vantorel Renamer")
                if what:
                    p.screenshot(window, what)
                x, y, _, _ = extents(window)
                self.assertGreaterEqual(min(x, y), 0, f"{window.name} off the screen at {x}, {y}")
            p.close()
            self.program = None

    def test_looks_default(self):
        self.looks(None)

    def test_looks_large_font(self):
        self.looks("[General]\nfont=DejaVu Sans,14,-1,5,50,0,0,0,0,0\n")

    def test_looks_dark(self):
        groups = {"Window": ("42,46,50", "239,240,241"), "View": ("27,30,32", "239,240,241"),
                  "Button": ("49,54,59", "239,240,241"), "Selection": ("61,174,233", "255,255,255")}
        self.looks("".join(f"[Colors:{group}]\nBackgroundNormal={back}\n"
                                   f"ForegroundNormal={fore}\n"
                                   for group, (back, fore) in groups.items()))

    def exit_with_everything_open(self, how):
        main = self.start()
        p = self.program
        viewer = self.open_viewer(main)
        self.move_apart(main, viewer)
        about = self.open_about(main)
        self.assertEqual(p.titles(), ["About Vantorel Renamer", VIEWER, TITLE])
        for window, what in ((main, "main"), (viewer, "viewer"), (about, "about")):
            p.screenshot(window, what)
        how(main)
        self.assertEqual(p.wait_end(1.0), 0)

    def test_exit_button(self):
        self.exit_with_everything_open(
            lambda main: self.program.click(self.program.find(main, "push button", "Exit")))

    def test_exit_menu(self):
        self.exit_with_everything_open(lambda main: self.program.menu(main, "File", "Exit"))

MOTIF_MAXIMIZE = 0x40


def size_hint(hints, which):
    for line in hints.splitlines():
        if f"program specified {which} size:" in line:
            return line.split(":", 1)[1].strip()
    raise AssertionError(f"no {which} size in the window's hints")


def motif_decorations(hints):
    for line in hints.splitlines():
        if line.startswith("_MOTIF_WM_HINTS"):
            fields = [int(f, 16) for f in line.split("=", 1)[1].split(",")]
            # Without the decorations flag the window manager's defaults,
            # which include maximize, apply.
            return fields[2] if fields[0] & 0x2 else 0xFFFF
    return 0xFFFF


if __name__ == "__main__":
    unittest.main()
