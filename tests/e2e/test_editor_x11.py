# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""The note editor on a real desktop: opened from the main window, typed into, sized, dragged;
create complete registers the note and shows it where the editor stood."""

import fcntl
import os
import re
import signal
import time

import harness
from harness import Note, TWIPS_PER_PIXEL

# One registered note, whose record spans two lines: the new identifier starts above the count.
EXISTING = Note("一行目\r\n二行目", top=9000, left=1500, width=3000, height=1050, id=1)


class EditorOnDesktop(harness.E2ETestCase):
    needs_display = True

    def setUp(self):
        super().setUp()
        self.folder = self.program_folder(EXISTING.record())
        self.master = self.start(self.folder, "pinboa")
        # Note windows are the master's detached children: end them with the test.
        self.addCleanup(self.end_note_windows)
        self.main = harness.wait_for(
            lambda: next((w for w in self.x.windows_of(self.master.pid)
                          if self.x.run("xprop", "-id", w, "WM_NAME", check=False)
                          .find('"Pinboa"') >= 0), None),
            what="the main window")
        # A known place well inside the screen, clear of the notification area's strip.
        self.x.run("xdotool", "windowmove", "--sync", self.main, 300, 200)
        self.main_at = self.x.wait_geometry_stable(self.main)

    def open_editor(self):
        """Opens the editor with the menu's access key; returns its window id and geometry."""
        before = self.known_windows()
        self.x.activate(self.main)
        self.x.key("alt+n")
        editor = self.x.wait_window(self.master.pid, exclude=before)
        g = self.x.wait_geometry_stable(editor)
        harness.wait_for(lambda: self.main not in self.x.windows_of(self.master.pid),
                         what="the main window to hide")
        return editor, g

    def end_note_windows(self):
        program = str(self.folder.path / "memlet")
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                exe = os.readlink("/proc/%s/exe" % entry)
            except OSError:
                continue
            if exe.removesuffix(" (deleted)") == program:
                try:
                    os.kill(int(entry), signal.SIGKILL)
                except OSError:
                    pass

    def known_windows(self):
        # The master's windows on the screen now (the tray icon's among them).
        return tuple(self.x.windows_of(self.master.pid))

    def note_windows(self):
        """pid -> argument string of every note window running from the folder."""
        found = {}
        for m in re.finditer(rb'"(\d+)",(\d+)\r\n', self.folder.read("IDDATA.INI") or b""):
            pid = int(m.group(2))
            try:
                with open("/proc/%d/cmdline" % pid, "rb") as f:
                    found[pid] = f.read().split(b"\0")[1].decode()
            except OSError:
                pass
        return found

    def test_create_complete_shows_the_note_where_the_editor_stood(self):
        editor, g = self.open_editor()
        # Opened at the main window's outer top-left, without a title bar.
        self.assertEqual((g.x, g.y), (self.main_at.x, self.main_at.y))
        self.assertEqual(self.x.frame_extents(editor), (0, 0, 0, 0))

        # Sized by the user (400 by 100 pixels: 6000 by 1500 twips) and dragged by its text box.
        self.x.run("xdotool", "windowsize", "--sync", editor, 400, 100)
        g = self.x.wait_geometry(editor, lambda g: (g.width, g.height) == (400, 100))
        self.x.drag((g.x + 60, g.y + 20), (g.x + 60 + 90, g.y + 20 + 70))
        g = self.x.wait_geometry_stable(editor)
        self.assertFalse(self.x.end_window_manager_move(editor))
        self.assertLessEqual(abs(g.x - self.main_at.x - 90), 2, g)
        self.assertLessEqual(abs(g.y - self.main_at.y - 70), 2, g)

        # A click in the text places the caret; the message replaces the design text.
        self.x.mousemove(g.x + 60, g.y + 20)
        self.x.click(1)
        self.x.key("ctrl+a", "BackSpace")
        self.x.type("Buy milk")
        self.x.key("Return")
        self.x.type("and eggs")
        self.x.key("alt+f")

        note = Note("Buy milk\r\nand eggs", top=g.y * TWIPS_PER_PIXEL, left=g.x * TWIPS_PER_PIXEL,
                    width=6000, height=1500 - 500, id=3)
        data = harness.wait_file(self.folder.file("MDATA.INI"),
                                 lambda d: d != EXISTING.record())
        self.assertBytesEqual(data, EXISTING.record() + note.record())

        # The note's window runs with the note on its command line, registered with its pid,
        # and shows at the editor's place, as wide and 500 twips less high.
        windows = harness.wait_for(self.note_windows, what="the note window's entry")
        self.assertEqual(list(windows.values()), [note.args()])
        pid = next(iter(windows))
        self.assertBytesEqual(self.folder.read("IDDATA.INI"), harness.running_entry("3", pid))
        shown = self.x.wait_geometry_stable(self.x.wait_window(pid))
        self.assertEqual((shown.x, shown.y, shown.width, shown.height), note.pixel_geometry())

        # The main window is back where it stood when the editor opened.
        harness.wait_for(lambda: self.main in self.x.windows_of(self.master.pid),
                         what="the main window")
        back = self.x.wait_geometry_stable(self.main)
        self.assertEqual((back.x, back.y), (self.main_at.x, self.main_at.y))
        self.assertNotIn(editor, self.x.windows_of(self.master.pid))

    def test_cancel_returns_to_the_editors_place_and_writes_nothing(self):
        editor, g = self.open_editor()
        # By its surface, in the strip above the text box.
        self.x.drag((g.x + 200, g.y + 8), (g.x + 200 + 120, g.y + 8 + 80))
        moved = self.x.wait_geometry_stable(editor)
        self.assertFalse(self.x.end_window_manager_move(editor))
        self.assertLessEqual(abs(moved.x - g.x - 120), 2, moved)
        self.assertLessEqual(abs(moved.y - g.y - 80), 2, moved)
        self.assertEqual((moved.width, moved.height), (g.width, g.height))
        g = moved
        # Sized by its border: the lower right corner.
        self.x.drag((g.x + g.width - 2, g.y + g.height - 2),
                    (g.x + g.width - 2 + 60, g.y + g.height - 2 + 30))
        sized = self.x.wait_geometry_stable(editor)
        self.assertEqual((sized.x, sized.y), (g.x, g.y))
        self.assertLessEqual(abs(sized.width - g.width - 60), 2, sized)
        self.assertLessEqual(abs(sized.height - g.height - 30), 2, sized)
        g = sized
        self.x.activate(editor)
        self.x.key("alt+c")
        harness.wait_for(lambda: self.main in self.x.windows_of(self.master.pid),
                         what="the main window")
        back = self.x.wait_geometry_stable(self.main)
        self.assertEqual((back.x, back.y), (g.x, g.y))
        time.sleep(0.3)
        self.assertBytesEqual(self.folder.read("MDATA.INI"), EXISTING.record())
        self.assertIsNone(self.folder.read("IDDATA.INI"))

    def test_settings_open_at_the_editor_and_ok_hands_over_the_size_text(self):
        editor, g = self.open_editor()
        before = self.known_windows()
        self.x.activate(editor)
        self.x.key("alt+t")
        dialog = self.x.wait_window(self.master.pid, exclude=before)
        self.assertIn('"設定"', self.x.run("xprop", "-id", dialog, "_NET_WM_NAME"))
        d = self.x.wait_geometry_stable(dialog)
        # At the editor's place, and the editor stays on the screen beneath it.
        self.assertEqual((d.x, d.y), (g.x, g.y))
        self.assertIn(editor, self.x.windows_of(self.master.pid))
        # Moved by its title bar, then "O K(&F)": the editor follows to the dialog's place.
        self.x.run("xdotool", "windowmove", "--sync", dialog, 520, 400)
        d = self.x.wait_geometry_stable(dialog)
        self.x.activate(dialog)
        self.x.key("alt+f")
        harness.wait_for(lambda: dialog not in self.x.windows_of(self.master.pid),
                         what="the settings dialog to close")
        g = self.x.wait_geometry(editor, lambda e: (e.x, e.y) == (d.x, d.y))

        self.x.activate(editor)
        self.x.key("alt+f")
        text = "ここに表示メッセージを入力してください。"
        note = Note(text, font_size="14.25", top=g.y * TWIPS_PER_PIXEL,
                    left=g.x * TWIPS_PER_PIXEL, width=g.width * TWIPS_PER_PIXEL,
                    height=g.height * TWIPS_PER_PIXEL - 500, id=3)
        data = harness.wait_file(self.folder.file("MDATA.INI"),
                                 lambda d: d != EXISTING.record())
        self.assertBytesEqual(data, EXISTING.record() + note.record())

    def into_tray(self):
        """Presses "トレイに格納" (Command4, at 3540 twips, 1185 wide, in the 1080-twip button
        row); returns the tray icon once the main window is gone."""
        c = self.x.client_geometry(self.main)
        self.x.mousemove(c.x + round((3540 + 1185 / 2) / TWIPS_PER_PIXEL),
                         c.y + c.height - round(1080 / 2 / TWIPS_PER_PIXEL))
        time.sleep(0.1)
        self.x.click(1)
        harness.wait_for(lambda: self.main not in self.x.windows_of(self.master.pid),
                         what="the main window to go into the tray")
        return self.x.wait_tray_icon(self.master.pid)

    def test_tray_mode_create_and_cancel_leave_the_main_window_hidden(self):
        icon = self.into_tray()

        def tray_menu_item(downs):
            before = self.known_windows()
            ig = self.x.client_geometry(icon)
            self.x.mousemove(ig.x + ig.width // 2, ig.y + ig.height // 2)
            time.sleep(0.1)
            self.x.click(3)
            menu = self.x.wait_window(self.master.pid, exclude=before)
            self.x.key(*(["Down"] * downs), "Return")
            harness.wait_for(lambda: menu not in self.x.windows_of(self.master.pid),
                             what="the tray menu to close")
            return before

        # "付箋作成", after "Pinboa起動" and "付箋表示・再表示".
        before = tray_menu_item(3)
        editor = self.x.wait_window(self.master.pid, exclude=before)
        g = self.x.wait_geometry_stable(editor)
        self.assertEqual((g.x, g.y), (self.main_at.x, self.main_at.y))
        self.x.mousemove(g.x + 60, g.y + 20)
        self.x.click(1)
        self.x.key("ctrl+a", "BackSpace")
        self.x.type("tray note")
        self.x.key("alt+f")
        note = Note("tray note", top=g.y * TWIPS_PER_PIXEL, left=g.x * TWIPS_PER_PIXEL,
                    width=g.width * TWIPS_PER_PIXEL, height=g.height * TWIPS_PER_PIXEL - 500,
                    id=3)
        data = harness.wait_file(self.folder.file("MDATA.INI"),
                                 lambda d: d != EXISTING.record())
        self.assertBytesEqual(data, EXISTING.record() + note.record())
        harness.wait_for(lambda: editor not in self.x.windows_of(self.master.pid),
                         what="the editor to close")
        pid = next(iter(harness.wait_for(self.note_windows, what="the note window")))
        self.x.wait_window(pid)
        time.sleep(0.3)
        self.assertNotIn(self.main, self.x.windows_of(self.master.pid))

        # A fresh editor from the tray, cancelled: still nothing of the main window.
        before = tray_menu_item(3)
        editor = self.x.wait_window(self.master.pid, exclude=before)
        self.x.activate(editor)
        self.x.key("alt+c")
        harness.wait_for(lambda: editor not in self.x.windows_of(self.master.pid),
                         what="the editor to close")
        time.sleep(0.3)
        self.assertNotIn(self.main, self.x.windows_of(self.master.pid))
        self.assertBytesEqual(self.folder.read("MDATA.INI"), EXISTING.record() + note.record())

    def test_twenty_notes_in_a_row_from_the_tray_menu_keep_the_editors_size(self):
        # An editor loaded hidden for the tray menu and then shown once had its frame taken for
        # the window manager's 1 x 1 placeholder; create complete at once stored that size.
        icon = self.into_tray()
        ig = self.x.client_geometry(icon)
        records = [EXISTING.record()]
        for i in range(20):
            before = self.known_windows()
            self.x.mousemove(ig.x + ig.width // 2, ig.y + ig.height // 2)
            self.x.click(3)
            menu = self.x.wait_window(self.master.pid, exclude=before)
            self.x.key("Down", "Down", "Down", "Return")
            editor = self.x.wait_window(self.master.pid, exclude=before + (menu,))
            g = self.x.outer_geometry(editor)
            self.x.key("alt+f")  # at once, while the window manager may still be framing it
            data = harness.wait_file(self.folder.file("MDATA.INI"),
                                     lambda d: len(d) > len(b"".join(records)))
            note = Note("ここに表示メッセージを入力してください。", top=g.y * TWIPS_PER_PIXEL,
                        left=g.x * TWIPS_PER_PIXEL, width=g.width * TWIPS_PER_PIXEL,
                        height=g.height * TWIPS_PER_PIXEL - 500, id=3 + i)
            records.append(note.record())
            self.assertBytesEqual(data, b"".join(records), "note %d" % (i + 1))
            harness.wait_for(lambda: editor not in self.x.windows_of(self.master.pid),
                             what="the editor to close")

    def test_create_complete_while_the_files_are_held(self):
        # Another program holds the files: a second 作成完了 during the wait adds nothing, and
        # キャンセル during the wait closes the editor without writing; the master lives on.
        for second_key, written in (("alt+f", True), ("alt+c", False)):
            with self.subTest(second_key=second_key):
                editor, g = self.open_editor()
                lock = open(self.folder.file(".pinboa.lock"), "a+")
                self.addCleanup(lock.close)
                fcntl.flock(lock, fcntl.LOCK_EX)
                self.x.activate(editor)
                self.x.key("alt+f")
                time.sleep(0.3)
                self.x.activate(editor)
                self.x.key(second_key)
                time.sleep(0.5)
                self.assertBytesEqual(self.folder.read("MDATA.INI"), EXISTING.record())
                fcntl.flock(lock, fcntl.LOCK_UN)
                harness.wait_for(lambda: editor not in self.x.windows_of(self.master.pid),
                                 what="the editor to close")
                harness.wait_for(lambda: self.main in self.x.windows_of(self.master.pid),
                                 what="the main window")
                time.sleep(0.5)
                self.assertIsNone(self.master.poll(), "the master ended")
                expected = EXISTING.record()
                if written:
                    note = Note("ここに表示メッセージを入力してください。",
                                top=g.y * TWIPS_PER_PIXEL, left=g.x * TWIPS_PER_PIXEL,
                                width=g.width * TWIPS_PER_PIXEL,
                                height=g.height * TWIPS_PER_PIXEL - 500, id=3)
                    expected += note.record()
                    self.assertEqual(len(harness.wait_for(self.note_windows,
                                                          what="the note window")), 1)
                self.assertBytesEqual(self.folder.read("MDATA.INI"), expected)
                self.folder.write("MDATA.INI", EXISTING.record())

    def test_refused_text_keeps_the_editor_open(self):
        editor, g = self.open_editor()
        self.x.mousemove(g.x + 60, g.y + 20)
        self.x.click(1)
        self.x.key("ctrl+a", "BackSpace")
        self.x.type('say "hi"')
        before = self.known_windows()
        self.x.key("alt+f")
        # A message box names the character; nothing is written or started.
        box = self.x.wait_window(self.master.pid, exclude=before)
        self.assertIn(editor, self.x.windows_of(self.master.pid))
        self.assertBytesEqual(self.folder.read("MDATA.INI"), EXISTING.record())
        self.assertIsNone(self.folder.read("IDDATA.INI"))
        self.x.activate(box)
        self.x.key("Return")
        harness.wait_for(lambda: box not in self.x.windows_of(self.master.pid),
                         what="the message to close")
        self.assertIn(editor, self.x.windows_of(self.master.pid))


if __name__ == "__main__":
    harness.main()
