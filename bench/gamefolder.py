"""Which copy of the game the program acts on when its disks answer slowly or
never: the window's Rename pressed as soon as the window shows (real keys on an
X server of its own), --rename and --where, several starts each, on scratch
homes whose Steam library answers each request late (the tests' slowfs), or
lies on an ext4 image read with its caches dropped before every start. Every
home also holds an older copy of the game in a Lutris prefix (~/Games/old),
which the launchers' order puts after Steam's. Then a library that never
answers: the time to the window, from Exit to the end, from Ctrl+C to the end.

usage (as root, for mounts and dropping caches):
    python3 bench/gamefolder.py SLOWFS PROGRAM [PROGRAM ...] [--runs N]
Each PROGRAM is measured in turn (an older build beside the current one)."""

import argparse
import contextlib
import os
import pathlib
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

LEVELS = pathlib.PurePath("drive_c", "Program Files", "Quenmark", "Vantorel", "levels")
FILES = ("levl2131.DAT", "levl2131.HDR", "levl2131.VER")
TITLE = "Vantorel Renamer"


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=120, **kwargs)


def xdotool(*args):
    return run("xdotool", *args).stdout.split()


def drop_caches():
    os.sync()
    pathlib.Path("/proc/sys/vm/drop_caches").write_text("3\n")


def make_prefix(prefix, game=None):
    for top in ("Program Files", "Program Files (x86)"):
        for folder in ("Common Files", "Internet Explorer", "Windows NT"):
            (prefix / "drive_c" / top / folder).mkdir(parents=True, exist_ok=True)
    (prefix / "drive_c" / "windows" / "system32").mkdir(parents=True, exist_ok=True)
    if game:
        (prefix / LEVELS).mkdir(parents=True)
        for name in FILES:
            (prefix / LEVELS / name).write_text(game)


class Home:
    """A scratch home: Steam's library of `prefixes` Proton prefixes, the game in
    the last by name, an older copy in ~/Games/old; the library on a slow mount
    (`delay` ms per request, listed in libraryfolders.vdf) or the whole home on
    an ext4 image read cold."""

    def __init__(self, root, name, prefixes, delay=None, image=False, slowfs=None):
        self.name, self.cold, self.mounts, self.servers = name, image, [], []
        self.root = pathlib.Path(root, name.replace(" ", "-"))
        self.root.mkdir()
        if image:
            img = self.root / "home.img"
            run("truncate", "-s", "2G", str(img))
            run("mkfs.ext4", "-q", str(img))
            mount = self.root / "disk"
            mount.mkdir()
            run("mount", "-o", "loop", str(img), str(mount))
            self.mounts.append(mount)
            self.home = mount / "home"
        else:
            self.home = self.root / "home"
        steam = self.home / ".local" / "share" / "Steam" / "steamapps"
        steam.mkdir(parents=True)
        library = self.home / "library" if delay is not None else steam.parent
        compat = library / "steamapps" / "compatdata"
        for i in range(prefixes - 1):
            make_prefix(compat / str(100000 + i) / "pfx")
        make_prefix(compat / "999999" / "pfx", "game")
        self.game = compat / "999999" / "pfx" / LEVELS
        make_prefix(self.home / "Games" / "old", "older")
        self.older = self.home / "Games" / "old" / LEVELS
        if delay is not None:
            (steam / "libraryfolders.vdf").write_text(
                f'"libraryfolders" {{ "1" {{ "path" "{library}" }} }}')
            source = library.with_name("library.src")
            library.rename(source)
            library.mkdir()
            self.servers.append(subprocess.Popen(
                [slowfs, str(source), str(library), str(delay)], stdout=subprocess.DEVNULL))
            deadline = time.monotonic() + 10
            while f" {library} " not in pathlib.Path("/proc/self/mountinfo").read_text():
                if time.monotonic() > deadline:
                    sys.exit("could not mount the slow library (root and /dev/fuse needed)")
                time.sleep(0.01)
            self.mounts.insert(0, library)
        self.env = {**os.environ, "HOME": str(self.home)}
        self.env.pop("WINEPREFIX", None)

    def acted_in(self):
        """Which copy was renamed: "game", "older", or "none"."""
        for copy, folder in (("game", self.game), ("older", self.older)):
            if (folder / "levl2001.DAT").exists():
                return copy
        return "none"

    def reset(self):
        for folder in (self.game, self.older):
            for name in FILES:
                with contextlib.suppress(OSError):
                    os.rename(folder / name.replace("2131", "2001"), folder / name)
        if self.cold:  # every start reads the disk afresh
            drop_caches()

    def close(self):
        for server in self.servers:
            server.terminate()
            with contextlib.suppress(subprocess.TimeoutExpired):
                server.wait(10)
        for mount in self.mounts:
            run("umount", "-l", str(mount))


def window_run(program, home):
    """Start to shown main window, Rename pressed at once (Tab six times, space),
    the copy renamed once the first message box shows."""
    t0 = time.monotonic()
    log = open(home.root / "program.log", "wb")
    process = subprocess.Popen([program], env=home.env, cwd=home.home, start_new_session=True,
                               stdout=log, stderr=log)
    try:
        main = None
        while not main and time.monotonic() - t0 < 60 and process.poll() is None:
            main = xdotool("search", "--onlyvisible", "--name", f"^{TITLE}$")
            time.sleep(0.005)
        shown = time.monotonic() - t0
        if not main:
            print(f"no window ({process.poll()}):", (home.root / "program.log").read_text()[-500:])
            return float("inf"), "no window"
        run("xdotool", "windowfocus", "--sync", main[0])
        run("xdotool", "key", "--clearmodifiers", "--delay", "20", *["Tab"] * 6, "space")
        while time.monotonic() - t0 < 60:
            if len(xdotool("search", "--onlyvisible", "--name", f"^{TITLE}$")) > 1:
                break
            time.sleep(0.01)
        return shown, home.acted_in()
    finally:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()


def command_run(program, home, *args):
    t0 = time.monotonic()
    done = run(program, *args, env=home.env, cwd=home.home)
    return time.monotonic() - t0, done.stdout


def measure(program, home, runs):
    window, rename, where, shown, where_s = [], [], [], [], []
    for _ in range(runs):
        home.reset()
        seconds, copy = window_run(program, home)
        shown.append(seconds)
        window.append(copy)
        home.reset()
        command_run(program, home, "--rename", "2131", "2001")
        rename.append(home.acted_in())
        home.reset()
        seconds, out = command_run(program, home, "--where")
        where_s.append(seconds)
        where.append("game" if out.startswith(str(home.game) + "\n") or out.startswith(
            os.path.realpath(home.game) + "\n") else "other")
    home.reset()
    right = lambda copies: f"{copies.count('game')}/{runs}" + (
        f" ({copies.count('older')} older)" if "older" in copies else "")
    return (f"{home.name:34} window {right(window):16} --rename {right(rename):16} "
            f"--where {right(where):6} shown {statistics.median(shown):6.3f} s  "
            f"--where {statistics.median(where_s):6.3f} s")


def silent(program, slowfs, root, runs):
    """A Steam library that never answers: shown, Exit, Ctrl+C on --where."""
    home = pathlib.Path(root, "silent", "home")
    library = home / "library"
    (library.with_name("library.src") / "steamapps").mkdir(parents=True)
    library.mkdir()
    steam = home / ".local" / "share" / "Steam" / "steamapps"
    steam.mkdir(parents=True)
    (steam / "libraryfolders.vdf").write_text(f'"libraryfolders" {{ "1" {{ "path" "{library}" }} }}')
    server = subprocess.Popen([slowfs, str(library.with_name("library.src")), str(library),
                               "never"], stdout=subprocess.DEVNULL)
    time.sleep(0.5)
    env = {**os.environ, "HOME": str(home)}
    shown, exits, interrupts = [], [], []
    try:
        for _ in range(runs):
            t0 = time.monotonic()
            log = open(pathlib.Path(root, "silent", "program.log"), "wb")
            process = subprocess.Popen([program], env=env, start_new_session=True,
                                       stdout=log, stderr=log)
            main = None
            while not main and time.monotonic() - t0 < 30:
                main = xdotool("search", "--onlyvisible", "--name", f"^{TITLE}$")
                time.sleep(0.005)
            shown.append(time.monotonic() - t0 if main else float("inf"))
            if not main:
                print(pathlib.Path(root, "silent", "program.log").read_text()[-2000:])
            time.sleep(0.3)
            if main:
                run("xdotool", "windowfocus", "--sync", main[0])
                run("xdotool", "key", "--clearmodifiers", "--delay", "20", *["Tab"] * 7)
                t1 = time.monotonic()
                run("xdotool", "key", "space")
            else:
                t1 = time.monotonic()
            try:
                process.wait(10)
                exits.append(time.monotonic() - t1)
            except subprocess.TimeoutExpired:
                exits.append(float("inf"))
                os.killpg(process.pid, signal.SIGKILL)
            where = subprocess.Popen([program, "--where"], env=env, stdout=subprocess.DEVNULL)
            time.sleep(0.5)
            t2 = time.monotonic()
            where.send_signal(signal.SIGINT)
            try:
                where.wait(10)
                interrupts.append(time.monotonic() - t2)
            except subprocess.TimeoutExpired:
                interrupts.append(float("inf"))
    finally:
        server.terminate()
        server.wait(10)
        run("umount", "-l", str(library))
    fmt = lambda xs: f"{statistics.median(xs):6.3f} s (max {max(xs):.3f})"
    return (f"{'library that never answers':34} shown {fmt(shown)}  Exit to end {fmt(exits)}  "
            f"Ctrl+C on --where to end {fmt(interrupts)}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("slowfs")
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    args.slowfs = os.path.abspath(args.slowfs)
    args.programs = [os.path.abspath(program) for program in args.programs]
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    os.environ["DISPLAY"] = ":" + os.read(read_end, 64).decode().strip()
    os.environ["QT_QPA_PLATFORM"] = "xcb"
    root = tempfile.mkdtemp(prefix="vr-gamefolder-")
    try:
        for program in args.programs:
            print(f"== {program}", flush=True)
            for name, prefixes, delay, image in (
                    ("library of 20, no delay", 20, 0, False),
                    ("library of 20, 2 ms per request", 20, 2, False),
                    ("library of 20, 10 ms per request", 20, 10, False),
                    ("library of 20, 50 ms per request", 20, 50, False),
                    ("library of 1, 10 ms per request", 1, 10, False),
                    ("ext4 cold, 30 prefixes", 30, None, True),
                    ("ext4 cold, 300 prefixes", 300, None, True),
                    ("ext4 cold, 5000 prefixes", 5000, None, True),
                    ("ext4 cold, 300, 10 ms per request", 300, 10, True)):
                home = Home(root, name, prefixes, delay, image, args.slowfs)
                try:
                    print(measure(program, home, args.runs), flush=True)
                finally:
                    home.close()
                    shutil.rmtree(home.root, ignore_errors=True)
            print(silent(program, args.slowfs, root, min(args.runs, 3)), flush=True)
            shutil.rmtree(os.path.join(root, "silent"), ignore_errors=True)
    finally:
        xvfb.terminate()
        for mount in pathlib.Path("/proc/self/mountinfo").read_text().split("\n"):
            if root in mount:
                run("umount", "-l", mount.split()[4])
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
