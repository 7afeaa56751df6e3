"""The Debian package: what `cpack -G DEB` puts where, and a note run from the package's
program folder, read-only, with its files in the user's data folder; a program folder the user
can write keeps them beside the programs."""

import configparser
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

import harness
from harness import Note, TWIPS_PER_PIXEL

BUILD_DIR = harness.program_dir().parent
NOTE = Note("荷物を受け取る", back_color="8454143", top=3000, left=6000, width=4500,
            height=1200, id=3)


def running_entries(path):
    data = path.read_bytes() if path.exists() else b""
    return [(f[0][1], f[1][1] if f[1][0] else int(f[1][1])) for f in harness.read_fields(data, 2)]


class Package(harness.E2ETestCase):
    needs_display = True

    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="pinboa-deb-"))
        subprocess.run(["cpack", "-G", "DEB", "--config", str(BUILD_DIR / "CPackConfig.cmake"),
                        "-B", str(cls.work)], check=True, capture_output=True)
        cls.deb = next(cls.work.glob("pinboa_*.deb"))
        cls.root = cls.work / "root"
        subprocess.run(["dpkg", "-x", str(cls.deb), str(cls.root)], check=True)
        cls.program = cls.root / "opt" / "pinboa"

    @classmethod
    def tearDownClass(cls):
        os.chmod(cls.program, 0o755)
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        super().setUp()
        self.data_home = Path(tempfile.mkdtemp(prefix="pinboa-xdg-"))
        self.addCleanup(shutil.rmtree, self.data_home, True)
        self.env = dict(os.environ, XDG_DATA_HOME=str(self.data_home))
        self.addCleanup(self.end_note_windows)

    def end_note_windows(self):
        memlet = os.path.realpath(self.program / "memlet")
        for name in os.listdir("/proc"):
            try:
                if name.isdigit() and os.readlink("/proc/%s/exe" % name) == memlet:
                    os.kill(int(name), signal.SIGKILL)
            except OSError:
                pass

    def read_only(self, argv):
        """`argv` with the program folder read-only. Permissions do not stop root, so root runs
        it in a mount namespace of its own where the folder is bound read-only."""
        if os.geteuid() != 0:
            os.chmod(self.program, 0o555)
            self.addCleanup(os.chmod, self.program, 0o755)
            return argv
        return ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" "$0" && exec "$@"',
                str(self.program)] + [str(a) for a in argv]

    def wait_window_of(self, iddata, exclude=()):
        """The pid of the note's window once its entry carries it, and the window."""
        def ready():
            entries = running_entries(iddata)
            pids = [t for i, t in entries if i == str(NOTE.id) and isinstance(t, int)]
            return pids[0] if len(entries) == 1 and pids and pids[0] not in exclude else None
        pid = harness.wait_for(ready, 20, what="the note shown and recorded")
        self.assertEqual(os.readlink("/proc/%d/exe" % pid),
                         os.path.realpath(self.program / "memlet"))
        return pid, self.x.wait_window(pid)

    def test_contents(self):
        fields = subprocess.run(["dpkg-deb", "-f", str(self.deb), "Depends"], check=True,
                                capture_output=True, text=True).stdout
        for package in ("libqt6widgets6", "libqt6network6", "qt6-qpa-plugins", "libc6"):
            self.assertIn(package, fields)
        self.assertEqual(sorted(p.name for p in self.root.iterdir()), ["opt", "usr"])
        self.assertEqual(sorted(p.name for p in self.program.iterdir()),
                         ["memlet", "pinboa", "pinboa-autostart.desktop", "pinboa.svg"])
        share = self.root / "usr" / "share"
        self.assertTrue((share / "icons/hicolor/scalable/apps/pinboa.svg").is_file())
        self.assertTrue((share / "icons/hicolor/32x32/apps/pinboa.png").is_file())
        for path, exec_line in ((share / "applications/pinboa.desktop", "/opt/pinboa/pinboa"),
                                (self.program / "pinboa-autostart.desktop",
                                 "/opt/pinboa/pinboa --show-notes")):
            entry = configparser.ConfigParser(interpolation=None)
            entry.read(path, encoding="utf-8")
            self.assertEqual(entry["Desktop Entry"]["Exec"], exec_line)
        # The option is documented, and the help needs no desktop.
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        help_text = subprocess.run([str(self.program / "pinboa"), "--help"], env=env,
                                   check=True, capture_output=True, text=True).stdout
        self.assertIn("--show-notes", help_text)

    def test_note_from_read_only_program_folder(self):
        data = self.data_home / "pinboa"
        data.mkdir()
        (data / "MDATA.INI").write_bytes(NOTE.record())
        programs = sorted(p.name for p in self.program.iterdir())
        self.procs.start(self.read_only([self.program / "pinboa", "--show-notes"]),
                         env=self.env, cwd=self.work)
        pid, wid = self.wait_window_of(data / "IDDATA.INI")
        before = self.x.wait_geometry_stable(wid)
        self.assertEqual(tuple(vars(before).values()), NOTE.pixel_geometry())

        # Moved, then shown again by a second start: the running master closes the note (its
        # place is written back in the data folder) and shows it anew.
        self.x.drag((before.x + 30, before.y + 20), (before.x + 130, before.y + 70))
        after = self.x.wait_geometry_stable(wid)
        self.x.end_window_manager_move(wid)
        second = self.procs.start(self.read_only([self.program / "pinboa", "--show-notes"]),
                                  env=self.env, cwd=self.work)
        self.assertEqual(harness.wait_exit(second), 0)
        self.wait_window_of(data / "IDDATA.INI", exclude=(pid,))
        moved = NOTE.moved(after.y * TWIPS_PER_PIXEL, after.x * TWIPS_PER_PIXEL)
        self.assertEqual((data / "MDATA.INI").read_bytes(), moved.record())
        self.assertEqual(sorted(p.name for p in self.program.iterdir()), programs)

    def test_writable_program_folder_keeps_notes_beside_programs(self):
        (self.program / "MDATA.INI").write_bytes(NOTE.record())
        self.addCleanup((self.program / "MDATA.INI").unlink)
        self.addCleanup(lambda: (self.program / "IDDATA.INI").unlink(missing_ok=True))
        self.addCleanup(lambda: (self.program / ".pinboa.lock").unlink(missing_ok=True))
        self.procs.start([self.program / "memlet", NOTE.args()], env=self.env, cwd=self.work)
        harness.wait_for(lambda: running_entries(self.program / "IDDATA.INI") == [("3", "0")],
                         what="the note's entry beside the programs")
        self.assertEqual(list(self.data_home.iterdir()), [])


if __name__ == "__main__":
    harness.main()
