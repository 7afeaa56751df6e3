# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""The commands that a key bound on the desktop runs (pinboa --toggle-notes, --hide-notes), the
edit of a written note (pinboa --edit-note, as the note's 編集 sends it) and an option pinboa
does not know, with the real programs on a real desktop."""

import os
import signal
import time

import harness
from harness import Note, TWIPS_PER_PIXEL

NOTES = [
    Note("買い物：牛乳、卵、パン", back_color="8454143", top=1500, left=3000, width=4500,
         height=1200, id=1),
    # One line at 18 points fits; two do not.
    Note("一行目", font_size=18, top=6000, left=1500, width=3600, height=750, fore_color=255,
         id=2),
    Note("Meeting at 3, room B", back_color="16777088", top=6000, left=9000, width=3600,
         height=900, id=3),
]


class CommandsOnDesktop(harness.E2ETestCase):
    needs_display = True

    def setUp(self):
        super().setUp()
        self.folder = self.program_folder(harness.mdata_bytes(NOTES), b"")
        self.addCleanup(self.end_note_windows)

    def end_note_windows(self):
        self.procs.cleanup()  # the master first: it may be starting a window
        for pid in self.note_windows():
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass

    def note_windows(self):
        """pid -> argument string of every note window of the folder."""
        found = {}
        memlet = str(self.folder.path / "memlet").encode()
        for name in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % name, "rb") as f:
                    argv = f.read().split(b"\0")
            except OSError:
                continue
            if argv[0] == memlet:
                found[int(name)] = argv[1].decode()
        return found

    def pinboa(self, *args):
        """Runs pinboa with `args` to its end; its exit status and what it printed."""
        proc = self.start(self.folder, "pinboa", *args)
        return harness.wait_exit(proc), self.procs.output(proc)

    def wait_shown(self, notes):
        """Waits until every note has a window, registered, at its record's place; returns
        {id: (pid, window)}."""
        def ready():
            entries = harness.read_fields(self.folder.read("IDDATA.INI") or b"", 2)
            pids = {e[0][1]: int(e[1][1]) for e in entries if not e[1][0]}
            live = sorted(pids) == sorted(str(n.id) for n in notes)
            return live and set(pids.values()) <= set(self.note_windows()) and pids
        pids = harness.wait_for(ready, 20, what="every note shown and recorded")
        shown = {}
        for note in notes:
            wid = self.x.wait_window(pids[str(note.id)])
            g = self.x.wait_geometry_stable(wid)
            self.assertEqual((g.x, g.y, g.width, g.height), note.pixel_geometry(),
                             "note %s" % note.id)
            shown[note.id] = (pids[str(note.id)], wid)
        return shown

    def test_toggle_twice_hides_then_shows_every_note_in_its_place(self):
        master = self.start(self.folder, "pinboa", "--show-notes")
        shown = self.wait_shown(NOTES)
        # A note the user moved comes back where it was left.
        wid = shown[1][1]
        g = self.x.wait_geometry_stable(wid)
        self.x.drag((g.x + 30, g.y + 20), (g.x + 130, g.y + 90))
        g = self.x.wait_geometry_stable(wid)
        self.x.end_window_manager_move(wid)
        notes = [NOTES[0].moved(g.y * TWIPS_PER_PIXEL, g.x * TWIPS_PER_PIXEL)] + NOTES[1:]

        self.assertEqual(self.pinboa("--toggle-notes")[0], 0)
        harness.wait_for(lambda: not self.note_windows(), what="every note hidden")
        self.assertBytesEqual(self.folder.read("MDATA.INI"), harness.mdata_bytes(notes))
        self.assertEqual(self.pinboa("--toggle-notes")[0], 0)
        self.wait_shown(notes)
        self.assertIsNone(master.poll())
        self.assertEqual(len(self.x.tray_icons_of(master.pid)), 1)

        # Without a master, --hide-notes closes them itself, shows nothing and ends.
        self.procs.stop(master)
        self.assertEqual(self.pinboa("--hide-notes")[0], 0)
        harness.wait_for(lambda: not self.note_windows(), what="every note closed")
        self.assertBytesEqual(self.folder.read("IDDATA.INI"), b"")
        self.assertBytesEqual(self.folder.read("MDATA.INI"), harness.mdata_bytes(notes))

    def test_edit_writes_the_record_in_place_and_shows_the_note_again(self):
        master = self.start(self.folder, "pinboa", "--show-notes")
        pid, wid = self.wait_shown(NOTES)[2]
        g = self.x.outer_geometry(wid)
        request = "2 %d %d %d %d" % tuple(v * TWIPS_PER_PIXEL
                                          for v in (g.y, g.x, g.width, g.height))
        before = tuple(self.x.windows_of(master.pid))
        self.assertEqual(self.pinboa("--edit-note", request)[0], 0)

        # The editor stands where the note does, 500 twips higher, with the note's text.
        editor = self.x.wait_window(master.pid, exclude=before)
        e = self.x.wait_geometry_stable(editor)
        self.assertEqual((e.x, e.y, e.width), (g.x, g.y, g.width))
        self.assertEqual(e.height, round((g.height * TWIPS_PER_PIXEL + 500) / TWIPS_PER_PIXEL))
        self.x.activate(editor)
        self.x.key("ctrl+End", "Return")
        self.x.type("second line")
        self.x.key("alt+f")

        data = harness.wait_file(self.folder.file("MDATA.INI"),
                                 lambda d: d != harness.mdata_bytes(NOTES))
        lines = [NOTES[0].record(), None, NOTES[2].record()]
        self.assertTrue(data.startswith(lines[0]) and data.endswith(lines[2]), data)
        fields = harness.read_fields(data[len(lines[0]):-len(lines[2])], 10)
        self.assertEqual(len(fields), 1)
        height = float(fields[0][7][1])
        # Two lines at 18 points do not fit the note's 750 twips: it grew to show both.
        edited = Note("一行目\r\nsecond line", font_size=18, top=6000, left=1500, width=3600,
                      height=height, fore_color=255, id=2)
        self.assertBytesEqual(data, lines[0] + edited.record() + lines[2])
        self.assertGreater(height, 750)

        # Its window closed and started again, with the new text at its old place, tall
        # enough for two lines of a 24-pixel font below the 100 twips above the text.
        windows = harness.wait_for(
            lambda: [p for p, a in self.note_windows().items() if a == edited.args()],
            what="the edited note's window")
        harness.wait_for(lambda: pid not in self.note_windows(), what="the old window to end")
        shown = self.x.wait_geometry_stable(self.x.wait_window(windows[0]))
        self.assertEqual((shown.x, shown.y, shown.width, shown.height), edited.pixel_geometry())
        self.assertGreaterEqual(shown.height, round(100 / TWIPS_PER_PIXEL) + 2 * 24)
        harness.wait_for(lambda: editor not in self.x.windows_of(master.pid),
                         what="the editor to close")
        harness.wait_for(lambda: len(self.note_windows()) == 3, what="three note windows")

    def test_an_option_pinboa_does_not_know_starts_nothing(self):
        files = sorted(p.name for p in self.folder.path.iterdir())
        status, output = self.pinboa("--no-such-option")
        self.assertEqual(status, 2)
        self.assertIn("no-such-option", output)
        time.sleep(0.3)
        self.assertEqual(sorted(p.name for p in self.folder.path.iterdir()), files)
        self.assertEqual(self.note_windows(), {})


if __name__ == "__main__":
    harness.main()
