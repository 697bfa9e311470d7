"""The portable .tar.gz (VR_TARBALL) unpacked in a scratch home, as a player
unpacks it, and run in a bare Debian 13 system without Qt (baresystem.sh) on the
tests' own X server: the end-to-end start-up scenario (the main window, a rename
in a scratch Proton prefix, About, the viewer) with the main window's texts read
back from its screenshot; --version and --where; and the program that the menu
entry menu-entry adds starts. The bare system is made once per machine; where it
cannot be, every test is skipped at once with the reason."""

import os
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "e2e"))
import test_scenarios as e2e  # noqa: E402  (its X server, scenarios and screenshots)

BARE = str(HERE / "baresystem.sh")
tempfile.tempdir = "/tmp"  # the scratch homes: the bare system sees the host's /tmp
# Words of the main window a reader finds only where they are drawn as letters.
WORDS = ("File", "Help", "Rename", "Exit")


def setUpModule():
    e2e.setUpModule("portable_bare_system")
    made = subprocess.run([BARE, "root"], capture_output=True, text=True)
    if made.returncode == 77:
        raise unittest.SkipTest(made.stderr.strip().removeprefix("SKIPPED: "))
    if made.returncode:
        raise AssertionError(f"no bare system: {made.stderr}")
    os.environ["VR_BARE_ROOT"] = made.stdout.strip()


tearDownModule = e2e.tearDownModule


def read(picture):
    """The words OCR reads in a picture, enlarged for it as it reads print."""
    large = picture.removesuffix(".png") + "-large.png"
    e2e.run("convert", picture, "-resize", "300%", "-colorspace", "gray", large)
    try:
        return set(re.findall(r"\w+", e2e.run("tesseract", large, "-")))
    except FileNotFoundError:
        raise AssertionError("tesseract is missing (scripts/portable installs it)") from None
    finally:
        os.remove(large)


class BareSystem(e2e.Native):
    """The scenarios of the program built on this machine, here the folder's
    program in the bare system (baresystem.sh runs it there, as Wine runs the
    Windows program)."""
    look, wine = "bare-", BARE

    def setUp(self):
        super().setUp()
        # Unpacked in the home, under a name with a blank, as a player might.
        games = pathlib.Path(self.home, "My Games")
        games.mkdir()
        e2e.run("tar", "xzf", os.environ["VR_TARBALL"], "-C", str(games))
        self.folder, = games.iterdir()
        os.environ["VR_PROGRAM"] = str(self.folder / "vantorel-renamer")

    def inside(self, *args):
        """Runs a command in the bare system in the scenario's environment."""
        env = {k: v for k, v in {**os.environ, **self.env}.items() if v is not None}
        return subprocess.run([BARE, *args], capture_output=True, text=True, env=env,
                              cwd=self.home, timeout=60)

    def test_startup(self):
        super().test_startup()
        words = read(os.path.join(e2e.SHOTS, f"{self.name}-01-main.png"))
        self.assertTrue(set(WORDS) <= words, f"the main window's texts read as {sorted(words)}")

    def test_command_line(self):
        """--version and --where answer; the menu entry names this folder's program."""
        version = f"Vantorel Renamer {os.environ['VR_VERSION']}\n"
        self.assertEqual(self.inside(os.environ["VR_PROGRAM"], "--version").stdout, version)
        # The game in a prefix only a Lutris game file names: read with the
        # folder's own libyaml, which the bare system lacks.
        levels = pathlib.Path(self.home, "wine", "named by lutris", e2e.LEVELS)
        levels.mkdir(parents=True)
        games = pathlib.Path(self.home, ".config", "lutris", "games")
        games.mkdir(parents=True)
        (games / "vantorel.yml").write_text(f'game:\n  prefix: "{levels.parents[4]}"\n')
        where = self.inside(os.environ["VR_PROGRAM"], "--where")
        self.assertEqual((where.returncode, where.stdout.splitlines()[0]), (0, str(levels)))

        added = self.inside(str(self.folder / "menu-entry"), "add")
        self.assertEqual(added.returncode, 0, added.stderr)
        entry = pathlib.Path(self.home, ".local/share/applications/vantorel-renamer.desktop")
        # The folder's path has no character the entry escapes (the menu_entry
        # test has those): Exec is the program's path in quotes.
        program = re.search(r'^Exec="([^"\\]*)"$', entry.read_text(), re.M)[1]
        self.assertEqual(self.inside(program, "--version").stdout, version)
        icon = re.search(r"^Icon=(.*)$", entry.read_text(), re.M)[1]
        self.assertTrue(icon.startswith(str(self.folder)) and os.path.isfile(icon), icon)


if __name__ == "__main__":
    result = unittest.main(exit=False).result
    skipped = result.skipped and result.testsRun <= len(result.skipped)
    sys.exit(1 if not result.wasSuccessful() else 77 if skipped else 0)
