# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""The Debian package: what `cpack -G DEB` puts where, and a note run from its program folder,
read-only, with the notes in a temporary XDG_DATA_HOME."""

import contextlib
import gzip
import os
import shutil
import signal
import subprocess
import tempfile
from pathlib import Path

import harness
from harness import Note, TWIPS_PER_PIXEL

BUILD_DIR = harness.program_dir().parent
NOTE = Note("荷物を受け取る", back_color="8454143", top=3000, left=6000, width=4500, height=1200,
            id=3)


class Package(harness.E2ETestCase):
    needs_display = True

    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="pinboa-deb-"))
        subprocess.run(["cpack", "-G", "DEB", "--config", BUILD_DIR / "CPackConfig.cmake",
                        "-B", cls.work], check=True, capture_output=True)
        cls.deb = next(cls.work.glob("pinboa_*.deb"))
        cls.root = cls.work / "root"
        subprocess.run(["dpkg", "-x", cls.deb, cls.root], check=True)
        cls.program = cls.root / "opt" / "pinboa"

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_package_holds_programs_desktop_entries_and_icons(self):
        depends = subprocess.run(["dpkg-deb", "-f", self.deb, "Depends"], check=True,
                                 capture_output=True, text=True).stdout
        # Qt's own Japanese texts (message box buttons, the choosers) come from a package too.
        for package in ("libqt6widgets6", "qt6-qpa-plugins", "qt6-translations-l10n", "libc6"):
            self.assertIn(package, depends)
        # The programs talk over a local socket of their own, without QtNetwork.
        self.assertNotIn("libqt6network6", depends)
        files = sorted(str(p.relative_to(self.root)) for p in self.root.rglob("*") if p.is_file())
        self.assertEqual(files, ["opt/pinboa/memlet", "opt/pinboa/pinboa",
                                 "opt/pinboa/pinboa-autostart.desktop", "opt/pinboa/pinboa.svg",
                                 "usr/share/applications/pinboa.desktop",
                                 "usr/share/doc/pinboa/changelog.gz",
                                 "usr/share/doc/pinboa/copyright",
                                 "usr/share/icons/hicolor/32x32/apps/pinboa.png",
                                 "usr/share/icons/hicolor/scalable/apps/pinboa.svg"])
        for name, exec_line in (("usr/share/applications/pinboa.desktop", "/opt/pinboa/pinboa"),
                                ("opt/pinboa/pinboa-autostart.desktop",
                                 "/opt/pinboa/pinboa --show-notes")):
            self.assertIn("\nExec=%s\n" % exec_line, (self.root / name).read_text())
        # The help needs no desktop.
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        self.assertIn("--show-notes", subprocess.run([self.program / "pinboa", "--help"],
                                                     env=env, check=True, capture_output=True,
                                                     text=True).stdout)

    def test_lintian_finds_nothing_but_the_programs_in_opt(self):
        version = subprocess.run(["dpkg-deb", "-f", self.deb, "Version"], check=True,
                                 capture_output=True, text=True).stdout.strip()
        doc = self.root / "usr" / "share" / "doc" / "pinboa"
        changelog = gzip.decompress((doc / "changelog.gz").read_bytes()).decode()
        self.assertTrue(changelog.startswith("pinboa (%s) " % version), changelog)
        self.assertIn("\nLicense: MIT\n", (doc / "copyright").read_text())
        # The programs live in /opt/pinboa by choice; anything else lintian reports is a fault.
        report = subprocess.run(["lintian", "--tag-display-limit", "0", self.deb],
                                capture_output=True, text=True)
        self.assertIn("E: pinboa: dir-or-file-in-opt [opt/pinboa/pinboa]", report.stdout,
                      report.stderr)  # lintian ran through
        tags = [line for line in report.stdout.splitlines()
                if " dir-or-file-in-opt " not in line]
        self.assertEqual(tags, [], report.stdout + report.stderr)

    def start_read_only(self, *argv):
        """Starts `argv` with the program folder read-only. Permissions do not stop root, so
        root gets a mount namespace of its own where the folder is bound read-only."""
        if os.geteuid() == 0:
            argv = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                    'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" "$0" && exec "$@"',
                    self.program, *argv]
        else:
            os.chmod(self.program, 0o555)
            self.addCleanup(os.chmod, self.program, 0o755)
        return self.procs.start(argv, env=self.env, cwd=self.work)

    def shown_note(self, exclude=()):
        """The pid and window of the note once its entry in the data folder carries the pid of
        a note window of the package."""
        def ready():
            path = self.data / "IDDATA.INI"
            data = path.read_bytes() if path.exists() else b""
            tasks = [f[1][1] for f in harness.read_fields(data, 2) if not f[1][0]]
            return int(tasks[0]) if tasks and int(tasks[0]) not in exclude else None
        pid = harness.wait_for(ready, 20, what="the note shown and recorded")
        self.assertEqual(os.readlink("/proc/%d/exe" % pid),
                         os.path.realpath(self.program / "memlet"))
        self.addCleanup(self.kill, pid)
        return pid, self.x.wait_window(pid)

    @staticmethod
    def kill(pid):
        with contextlib.suppress(OSError):
            os.kill(pid, signal.SIGKILL)

    def test_note_from_read_only_program_folder(self):
        home = Path(tempfile.mkdtemp(prefix="pinboa-xdg-"))
        self.addCleanup(shutil.rmtree, home, True)
        self.env = dict(os.environ, XDG_DATA_HOME=str(home))
        self.data = home / "pinboa"
        self.data.mkdir()
        (self.data / "MDATA.INI").write_bytes(NOTE.record())
        self.start_read_only(self.program / "pinboa", "--show-notes")
        pid, wid = self.shown_note()
        before = self.x.wait_geometry_stable(wid)
        self.assertEqual(tuple(vars(before).values()), NOTE.pixel_geometry())

        # Moved, then a second start: the running master closes the note (its place is written
        # back in the data folder) and shows it anew. No file lands beside the programs.
        self.x.drag((before.x + 30, before.y + 20), (before.x + 130, before.y + 70))
        after = self.x.wait_geometry_stable(wid)
        self.x.end_window_manager_move(wid)
        self.assertEqual(harness.wait_exit(self.start_read_only(self.program / "pinboa",
                                                                "--show-notes")), 0)
        self.shown_note(exclude=(pid,))
        moved = NOTE.moved(after.y * TWIPS_PER_PIXEL, after.x * TWIPS_PER_PIXEL)
        self.assertEqual((self.data / "MDATA.INI").read_bytes(), moved.record())
        self.assertEqual(sorted(p.name for p in self.program.iterdir()),
                         ["memlet", "pinboa", "pinboa-autostart.desktop", "pinboa.svg"])


if __name__ == "__main__":
    harness.main()
