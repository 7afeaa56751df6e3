# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""memlet on a real desktop: shown where its record says, dragged, closed, position stored."""

import fcntl
import os
import re
import time

import harness
from harness import Note, TWIPS_PER_PIXEL

SHOPPING = Note("買い物：牛乳、卵、パン", back_color="8454143", font_size=12,
                top=1500, left=3000, width=4500, height=1200, fore_color=0, id=1)
MEETING = Note("Meeting at 3, room B", back_color="16777088", font_name="Noto Sans CJK JP",
               font_size="10.5", top=6000, left=9000, width=3600, height=900,
               fore_color=255, id=2)
TWO_LINES = Note("一行目\r\n二行目", back_color="12632256", font_size="12",
                 top=9000, left=1500, width=3000, height=1050, fore_color=8388608, id=3)
NOTES = [SHOPPING, MEETING, TWO_LINES]
# Other notes' windows: one already registered by the master with its task id, and "01",
# which is not note 1's window because entries are matched as text.
RUNNING = (harness.running_entry("10", 4242) + harness.running_entry("01", "0")
           + harness.running_entry("12", "0"))


class MemletOnDesktop(harness.E2ETestCase):
    needs_display = True

    def open_note(self, note, notes=NOTES, iddata=RUNNING, env=None):
        """Starts the note's window in a fresh program folder; waits until it is shown and
        registered."""
        self.folder = self.program_folder(harness.mdata_bytes(notes), iddata)
        self.mdata_before = self.folder.read("MDATA.INI")
        self.iddata_before = iddata
        self.proc = self.start_memlet(self.folder, note.args(), env=env)
        entry = harness.running_entry(str(note.id))
        harness.wait_file(self.folder.file("IDDATA.INI"),
                          lambda data: data == iddata + entry)
        self.wid = self.x.wait_window(self.proc.pid)
        return self.x.wait_geometry_stable(self.wid)

    def active_window(self):
        return int(self.x.run("xdotool", "getactivewindow", check=False).strip() or 0)

    def drag_by(self, dx, dy, button=1, at=(40, 30)):
        g = self.x.outer_geometry(self.wid)
        start = (g.x + at[0], g.y + at[1])
        self.x.drag(start, (start[0] + dx, start[1] + dy), button=button)
        after = self.x.wait_geometry_stable(self.wid)
        if button == 1:
            # After the drop, moving the mouse with no button must not drag the note again
            # (the note never sees the release of a move that the window manager carried out).
            self.assertFalse(self.x.end_window_manager_move(self.wid),
                             "the note kept following the pointer after the button was released")
        return after

    def assert_moved(self, before, after, dx, dy):
        # The pointer's first pixel of movement happens before the window follows it.
        self.assertLessEqual(abs(after.x - before.x - dx), 2, (before, after))
        self.assertLessEqual(abs(after.y - before.y - dy), 2, (before, after))
        self.assertEqual((after.width, after.height), (before.width, before.height))

    def assert_closed_and_stored(self, note, notes=NOTES):
        """The process ended, IDDATA.INI is back as it was, and the note's record holds the
        window's last outer top-left in twips with every other byte unchanged."""
        last = self.last_geometry
        harness.wait_exit(self.proc)
        self.assertBytesEqual(self.folder.read("IDDATA.INI"), self.iddata_before,
                              "IDDATA.INI after close")
        moved = note.moved(top=last.y * TWIPS_PER_PIXEL, left=last.x * TWIPS_PER_PIXEL)
        expected = harness.mdata_bytes([moved if n is note else n for n in notes])
        self.assertBytesEqual(self.folder.read("MDATA.INI"), expected, "MDATA.INI after close")

    def test_shown_at_its_record_and_registered(self):
        # Another window that the user works in, away from the notes.
        other = Note("作業中", top=12000, left=12000, id=9)
        holder = self.x.wait_window(self.start_memlet(self.program_folder(other.record()),
                                                      other.args()).pid)
        for note in (MEETING, TWO_LINES):
            with self.subTest(note=note.id):
                self.x.activate(holder)
                g = self.open_note(note)
                self.assertEqual((g.x, g.y, g.width, g.height), note.pixel_geometry())
                # Nothing but the appended entry changed while the note is shown.
                self.assertBytesEqual(self.folder.read("MDATA.INI"), self.mdata_before)
                self.last_geometry = g
                # Shown without taking the keyboard; a click gives it, and then a key closes.
                self.assertEqual(self.active_window(), holder)
                self.x.mousemove(g.x + g.width // 2, g.y + g.height // 2)
                self.x.click(1)
                harness.wait_for(lambda: self.active_window() == self.wid,
                                 what="the clicked note to take the focus")
                self.x.key("a")
                self.assert_closed_and_stored(note)

    def test_drag_then_key_stores_new_position(self):
        before = self.open_note(SHOPPING)
        after = self.drag_by(137, 61)
        self.assert_moved(before, after, 137, 61)
        # A second drag of the same note works the same way.
        again = self.drag_by(-80, 45)
        self.assert_moved(after, again, -80, 45)
        after = again
        self.last_geometry = after
        self.x.activate(self.wid)
        self.x.key("x")
        self.assert_closed_and_stored(SHOPPING)

    def test_wayland_asked_for_with_an_x_display_runs_on_x11(self):
        # A Wayland session's global setting: the note still runs on X11, where it can place
        # itself, and stores where it was dragged.
        env = dict(os.environ, QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY="wayland-pinboa-none")
        before = self.open_note(SHOPPING, env=env)
        self.assertEqual(tuple(vars(before).values()), SHOPPING.pixel_geometry())
        self.last_geometry = self.drag_by(90, 40)
        self.assert_moved(before, self.last_geometry, 90, 40)
        self.x.activate(self.wid)
        self.x.key("x")
        self.assert_closed_and_stored(SHOPPING)

    def test_drag_from_the_edge_strip_moves_the_note(self):
        # The 100-twip strip along the left and top is the window's own area, not the text.
        before = self.open_note(MEETING)
        after = self.drag_by(-200, 90, at=(2, 2))
        self.assert_moved(before, after, -200, 90)
        self.last_geometry = after
        self.x.activate(self.wid)
        self.x.key("Return")
        self.assert_closed_and_stored(MEETING)

    def test_shift_alone_closes_and_stores(self):
        self.open_note(TWO_LINES)
        self.last_geometry = self.drag_by(250, -120)
        self.x.activate(self.wid)
        self.x.key("shift")
        self.assert_closed_and_stored(TWO_LINES)

    def open_menu(self):
        g = self.x.outer_geometry(self.wid)
        self.x.mousemove(g.x + 30, g.y + 20)
        self.x.click(3)
        return self.x.wait_window(self.proc.pid, exclude=(self.wid,))

    def test_menu_item_peels_off_and_stores(self):
        self.open_note(SHOPPING)
        self.last_geometry = self.drag_by(-300, 200)
        menu = self.open_menu()
        m = self.x.outer_geometry(menu)
        # The menu opens at the pointer, its left edge there.
        self.assertLessEqual(abs(m.x - self.x.pointer()[0]), 2)
        # Its first item "はがす": click it.
        self.x.mousemove(m.x + m.width // 2, m.y + 9)
        time.sleep(0.1)
        self.x.click(1)
        self.assert_closed_and_stored(SHOPPING)

    def test_menu_item_by_keyboard(self):
        self.open_note(MEETING)
        self.last_geometry = self.drag_by(50, 50)
        self.open_menu()
        self.x.key("Down", "Return")
        self.assert_closed_and_stored(MEETING)

    def test_dismissed_menu_and_middle_button_change_nothing(self):
        before = self.open_note(SHOPPING)
        menu = self.open_menu()
        # A click outside the menu closes it without choosing.
        self.x.mousemove(1200, 1000)
        self.x.click(1)
        harness.wait_for(lambda: menu not in self.x.windows_of(self.proc.pid),
                         what="the menu to close")
        # A middle press, and a drag with the middle button held, do nothing.
        g = self.x.outer_geometry(self.wid)
        self.x.mousemove(g.x + 40, g.y + 30)
        self.x.click(2)
        after = self.drag_by(160, 80, button=2)
        self.assertEqual(after, before)
        time.sleep(0.3)
        self.assertIsNone(self.proc.poll(), "memlet ended")
        self.assertBytesEqual(self.folder.read("MDATA.INI"), self.mdata_before)
        self.assertBytesEqual(self.folder.read("IDDATA.INI"),
                              RUNNING + harness.running_entry("1"))
        # Still a note: a key closes it at its old place.
        self.last_geometry = after
        self.x.activate(self.wid)
        self.x.key("space")
        self.assert_closed_and_stored(SHOPPING)

    def test_dragged_partly_off_screen_stores_negative_position(self):
        before = self.open_note(SHOPPING)
        # Grab far inside so the pointer stays on the screen while the window leaves it.
        grab = (before.width - 10, before.height - 10)
        after = self.drag_by(-before.x - 60, -before.y - 40, at=grab)
        self.assertLess(after.x, 0)
        self.assertLess(after.y, 0)
        self.last_geometry = after
        self.x.activate(self.wid)
        self.x.key("Escape")
        self.assert_closed_and_stored(SHOPPING)

    def test_sizes_the_window_system_cannot_show(self):
        # Every note is mapped at a size that can be seen and grabbed, and no larger than the
        # screen (1280 x 1024 here); the record keeps its own size, and only the place changes.
        for width, height in ((0, 900), (3000, -150), (4, 4), (500000, 900), (1e8, 1e8)):
            with self.subTest(width=width, height=height):
                note = Note("大きさ", width=width, height=height, id=5)
                self.folder = self.program_folder(harness.mdata_bytes([note]), b"")
                self.iddata_before = b""
                self.proc = self.start_memlet(self.folder, note.args())
                self.wid = self.x.wait_window(self.proc.pid)
                g = self.x.wait_geometry_stable(self.wid)
                self.assertTrue(32 <= g.width <= 1280 and 16 <= g.height <= 1024, g)
                self.last_geometry = g
                self.x.activate(self.wid)
                self.x.key("a")
                self.assert_closed_and_stored(note, [note])

    def test_busy_files_leave_the_note_open_and_responsive(self):
        self.open_note(SHOPPING)
        lock = open(self.folder.file(".pinboa.lock"), "a+")
        self.addCleanup(lock.close)
        fcntl.flock(lock, fcntl.LOCK_EX)
        self.x.activate(self.wid)
        self.x.key("a")
        time.sleep(0.3)
        # While the close waits for the files, the note still answers: its menu opens.
        menu = self.open_menu()
        self.x.key("Escape")
        harness.wait_for(lambda: menu not in self.x.windows_of(self.proc.pid),
                         what="the menu to close")
        # The wait runs out: a message, nothing written, and the note stays for the next key.
        box = self.x.wait_window(self.proc.pid, timeout=8, exclude=(self.wid,))
        self.assertIsNone(self.proc.poll(), "memlet ended with its files busy")
        self.assertBytesEqual(self.folder.read("MDATA.INI"), self.mdata_before)
        self.x.activate(box)
        self.x.key("Return")
        fcntl.flock(lock, fcntl.LOCK_UN)
        self.last_geometry = self.x.outer_geometry(self.wid)
        self.x.activate(self.wid)
        self.x.key("b")
        self.assert_closed_and_stored(SHOPPING)

    # -- the note's options: above other windows, on every workspace, back on its workspace

    def choose(self, item):
        """Chooses the menu's item by keyboard: 1 はがす, 2 編集…, 3 常に手前に表示,
        4 すべての作業領域に表示."""
        menu = self.open_menu()
        self.x.key(*["Down"] * item, "Return")
        harness.wait_for(lambda: menu not in self.x.windows_of(self.proc.pid),
                         what="the menu to close")

    def root_number(self, name):
        return int(self.x.run("xprop", "-root", name).split("=")[1])

    def set_desktop(self, number):
        self.x.xdotool("set_desktop", number)
        harness.wait_for(lambda: self.root_number("_NET_CURRENT_DESKTOP") == number,
                         what="workspace %d" % number)

    def wm_state(self, wid):
        return self.x.run("xprop", "-id", wid, "_NET_WM_STATE", check=False)

    def restart(self, note):
        """Shows the note again from the same folder; its window id, viewable or not."""
        self.proc = self.start_memlet(self.folder, note.args())
        harness.wait_file(self.folder.file("IDDATA.INI"),
                          lambda data: data.endswith(harness.running_entry(str(note.id))))
        return harness.wait_for(lambda: next(iter(
            w for w in map(int, self.x.run("xdotool", "search", "--pid", self.proc.pid,
                                           check=False).split())
            if "CARDINAL" in self.x.run("xprop", "-id", w, "_NET_WM_DESKTOP", check=False)),
            None), what="the note's window")

    def test_kept_above_a_raised_window_and_after_showing_again(self):
        self.last_geometry = self.open_note(SHOPPING)
        self.choose(3)
        harness.wait_for(lambda: "_NET_WM_STATE_ABOVE" in self.wm_state(self.wid),
                         what="the note to be kept above")
        # A normal window over the note, raised and given the focus.
        other = Note("上に重なる窓", top=1800, left=3300, id=9)
        holder = self.x.wait_window(self.start_memlet(self.program_folder(other.record()),
                                                      other.args()).pid)
        for showing in ("first", "again"):
            with self.subTest(showing=showing):
                self.x.activate(holder)
                self.x.xdotool("windowraise", holder)
                time.sleep(0.3)
                stack = [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", self.x.run(
                    "xprop", "-root", "_NET_CLIENT_LIST_STACKING"))]
                self.assertGreater(stack.index(self.wid), stack.index(holder))
            if showing == "first":
                self.x.activate(self.wid)
                self.x.key("a")
                self.assert_closed_and_stored(SHOPPING)
                self.assertIn(b"[1]\nabove=true\n", self.folder.read("pinboa-notes.ini"))
                self.wid = self.restart(SHOPPING)
                self.assertIn("_NET_WM_STATE_ABOVE", self.wm_state(self.wid))

    def test_on_every_workspace_after_switching(self):
        self.addCleanup(self.set_desktop, 0)
        self.last_geometry = self.open_note(MEETING)
        self.set_desktop(1)
        self.assertNotIn(self.wid, self.x.windows_of(self.proc.pid))
        self.set_desktop(0)
        self.choose(4)
        self.set_desktop(1)
        harness.wait_for(lambda: self.wid in self.x.windows_of(self.proc.pid),
                         what="the note on workspace 1")
        self.x.activate(self.wid)
        self.x.key("a")
        self.assert_closed_and_stored(MEETING)
        self.assertIn(b"allWorkspaces=true", self.folder.read("pinboa-notes.ini"))

    def test_left_on_a_workspace_comes_back_there(self):
        count = self.root_number("_NET_NUMBER_OF_DESKTOPS")
        if count < 3:
            self.x.xdotool("set_num_desktops", 3)
            self.addCleanup(self.x.xdotool, "set_num_desktops", count)
        self.addCleanup(self.set_desktop, 0)
        self.last_geometry = self.open_note(SHOPPING)
        self.x.xdotool("set_desktop_for_window", self.wid, 2)
        harness.wait_for(lambda: self.wid not in self.x.windows_of(self.proc.pid),
                         what="the note to leave this workspace")
        self.proc.terminate()  # a request to end closes as any other close
        self.assert_closed_and_stored(SHOPPING)
        self.assertIn(b"workspace=2", self.folder.read("pinboa-notes.ini"))
        self.wid = self.restart(SHOPPING)
        self.assertEqual(self.x.xdotool("get_desktop_for_window", self.wid).strip(), "2")
        self.assertNotIn(self.wid, self.x.windows_of(self.proc.pid))
        self.set_desktop(2)
        harness.wait_for(lambda: self.wid in self.x.windows_of(self.proc.pid),
                         what="the note on workspace 2")

    def test_dragged_position_survives_the_end_of_the_display(self):
        # The desktop session ends without a session manager: the window manager and the X
        # server simply go. The note still stores where it was dragged.
        with harness.Desktop() as desktop:
            self.x = desktop.x
            self.folder = self.program_folder(harness.mdata_bytes(NOTES), RUNNING)
            self.iddata_before = RUNNING
            self.proc = self.procs.start([self.folder.program("memlet"), SHOPPING.args()],
                                         env=desktop.env(), cwd=self.folder.path)
            self.wid = self.x.wait_window(self.proc.pid)
            self.x.wait_geometry_stable(self.wid)
            self.last_geometry = self.drag_by(170, 90)
            desktop.stop()
        self.assert_closed_and_stored(SHOPPING)


if __name__ == "__main__":
    harness.main()
