# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""The end-to-end harness itself: the data it builds and the desktops it starts, for the tests
and, through scripts/desktop.sh, for the scripts."""

import os
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

import harness
from harness import Note


class DataFiles(harness.E2ETestCase):
    def test_record_bytes_keep_each_value_kind(self):
        bare = Note("買い物、牛乳", font_size=12, top=-15, left=14.25, id=7)
        quoted = Note("a,b", font_size="10.5", id=8)
        self.assertEqual(
            bare.record(),
            '"買い物、牛乳","12632256","ＭＳ Ｐゴシック",12,-15,14.25,5430,900,0,7\r\n'
            .encode("cp932"))
        self.assertIn(b',"10.5",', quoted.record())
        # The reader gives back every field with its kind, commas inside quotes included.
        rows = harness.read_fields(bare.record() + quoted.record(), 10)
        self.assertEqual(len(rows), 2)
        self.assertEqual(rows[0][0], (True, "買い物、牛乳"))
        self.assertEqual(rows[0][3], (False, "12"))
        self.assertEqual(rows[1][0], (True, "a,b"))
        self.assertEqual(rows[1][3], (True, "10.5"))

    def test_reader_keeps_line_breaks_and_refuses_cut_records(self):
        data = Note("一行目\r\n二行目", id=3).record() + harness.running_entry("3")
        with self.assertRaises(ValueError):
            harness.read_fields(data, 10)
        rows = harness.read_fields(Note("一行目\r\n二行目", id=3).record(), 10)
        self.assertEqual(rows[0][0], (True, "一行目\r\n二行目"))
        self.assertEqual(harness.read_fields(harness.running_entry("05", 4242), 2),
                         [[(True, "05"), (False, "4242")]])

    def test_argument_string_joins_the_fields_and_places_the_window(self):
        note = Note("a", back_color="12632256", font_size=12, top=100, left=100, width=5430,
                    height=250, fore_color=0, id=7)
        self.assertEqual(note.args(),
                         "a/\\/12632256/\\/ＭＳ Ｐゴシック/\\/12/\\/100/\\/100/\\/5430/\\/250"
                         "/\\/0/\\/7")
        self.assertEqual(Note("", font_size="10.5").args().split("/\\/")[:4],
                         ["", "12632256", "ＭＳ Ｐゴシック", "10.5"])
        self.assertEqual(Note("x", top=1500, left=3000, width=4500, height=1200)
                         .pixel_geometry(), (200, 100, 300, 80))

    def test_program_folder_is_a_copy_with_its_own_files(self):
        folder = self.program_folder(b"M", b"I")
        self.assertNotEqual(folder.path, harness.program_dir())
        self.assertEqual(folder.read("MDATA.INI"), b"M")
        self.assertEqual(folder.read("IDDATA.INI"), b"I")
        self.assertIsNone(folder.read("NONE.INI"))
        for name in harness.PROGRAM_FILES:
            if (harness.program_dir() / name).exists():
                self.assertTrue(os.access(folder.path / name, os.X_OK))

    def test_processes_are_cleaned_up(self):
        procs = harness.Processes()
        proc = procs.start(["sleep", "60"])
        self.assertIsNone(proc.poll())
        procs.cleanup()
        self.assertIsNotNone(proc.poll())
        with self.assertRaises(TimeoutError):
            harness.wait_exit(self.procs.start(["sleep", "5"]), timeout=0.2)


class OwnDesktop(harness.E2ETestCase):
    def test_desktop_with_and_without_notification_area(self):
        for tray in (True, False):
            with self.subTest(tray=tray), harness.Desktop(tray=tray) as desk:
                x = desk.x
                self.assertIn("window id",
                              x.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))
                # The screen is 96 DPI: 1280 pixels are 338 or 339 mm wide.
                info = x.run("xdpyinfo")
                self.assertIn("96x96 dots per inch", info)
                trays = x.run("xdotool", "search", "--name", "^trayer$", check=False)
                self.assertEqual(bool(trays.strip()), tray)
                # A window started on it is found and measured, frame included.
                proc = self.procs.start(["xmessage", "-geometry", "+200+150", "hello"],
                                        env=desk.env())
                wid = harness.wait_for(lambda: x.windows_named("^xmessage$"),
                                       what="xmessage")[0]
                g = x.outer_geometry(wid)
                self.assertEqual((g.x, g.y), (200, 150))
                client = x.client_geometry(wid)
                self.assertGreater(client.y, g.y, "openbox's title bar is outside the client")
                self.procs.stop(proc)
                server = desk.procs[0]
            self.assertIsNotNone(server.poll(), "Xvfb still runs after the desktop ended")

    def test_scripts_desktop_keeps_its_dpi_and_ends_when_asked(self):
        # As bench/run.sh asks for it: no window manager, no notification area; with Xft.dpi.
        work = Path(tempfile.mkdtemp(prefix="pinboa-desktop-"))
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", str(work)]))
        ready = work / "display"
        program = Path(__file__).with_name("desktops.py")
        desktop = self.procs.start([sys.executable, program, "--ready-file", ready,
                                    "--size", "800x600", "--no-window-manager", "--no-tray",
                                    "--xft-dpi", "120", "--log-dir", work])
        harness.wait_for(lambda: ready.exists() or desktop.poll() is not None, 30,
                         what="the desktop to start")
        self.assertIsNone(desktop.poll(), self.procs.output(desktop))
        x = harness.X(ready.read_text().strip())
        self.assertIn("800x600 pixels", x.run("xdpyinfo"))
        self.assertNotIn("window id",
                         x.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False))
        # Still set, though every client since has left the server.
        self.assertIn("Xft.dpi:\t120", x.run("xrdb", "-query"))
        os.kill(desktop.pid, signal.SIGTERM)
        self.assertEqual(harness.wait_exit(desktop), 0)
        self.assertNotEqual(subprocess.run(["xdpyinfo"], env=x.env, capture_output=True)
                            .returncode, 0, "the X server outlived its desktop")


if __name__ == "__main__":
    harness.main()
