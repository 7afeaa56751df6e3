# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""The erase dialog on a real desktop: three notes shown, the second erased with Yes, then put
back from the tray menu."""

import fcntl
import time

import harness
from harness import Note

FIRST = Note("買い物：牛乳、卵", back_color="8454143", top=1500, left=3000, width=4500,
             height=1200, id=1)
SECOND = Note("会議 15時", back_color="16777088", font_size="10.5", top=4500, left=9000,
              width=3600, height=900, fore_color=255, id=2)
THIRD = Note("電話する\r\n田中さん", top=9000, left=1500, width=3000, height=1050, id=3)
NOTES = [FIRST, SECOND, THIRD]


class EraseDialogOnDesktop(harness.E2ETestCase):
    needs_display = True

    def running(self):
        """IDDATA.INI as (id text, task id text) pairs."""
        data = self.folder.read("IDDATA.INI") or b""
        return [(e[0][1], e[1][1]) for e in harness.read_fields(data, 2)]

    def wait_notes_shown(self, ids):
        """Waits until IDDATA.INI lists exactly `ids`, each with its task id and a window."""
        def shown():
            entries = self.running()
            if sorted(i for i, _ in entries) != sorted(str(i) for i in ids):
                return None
            if any(t == "0" for _, t in entries):
                return None
            wins = {}
            for id_text, task in entries:
                found = self.x.windows_of(int(task))
                if not found:
                    return None
                wins[id_text] = (int(task), found[0])
            return wins
        return harness.wait_for(shown, 20, what="notes %s to be shown" % (ids,))

    def test_erasing_the_second_of_three_closes_its_window_and_keeps_the_others(self):
        self.folder = self.program_folder(harness.mdata_bytes(NOTES))
        pinboa = self.start(self.folder, "pinboa")
        main = self.x.wait_window_named(pinboa.pid, "Pinboa")
        self.x.wait_geometry_stable(main)

        # "表示・再表示" is the first control of the main window.
        self.x.activate(main)
        self.x.key("space")
        before = self.wait_notes_shown([1, 2, 3])
        erased_pid, erased_win = before["2"]

        # The erase dialog from the menu, at the main window's place.
        main_at = self.x.outer_geometry(main)
        self.x.activate(main)
        self.x.key("alt+d")
        dialog = self.x.wait_window_named(pinboa.pid, "消去")
        at = self.x.wait_geometry_stable(dialog)
        self.assertEqual((at.x, at.y), (main_at.x, main_at.y))
        self.assertNotIn(main, self.x.windows_of(pinboa.pid))  # hidden
        self.x.activate(dialog)
        # The list has the focus: choose its second line, then "消去(&S)".
        self.x.key("Home", "Down", "space")
        time.sleep(0.2)
        self.x.key("alt+s")
        confirm = self.x.wait_window_named(pinboa.pid, "消去確認")
        self.x.activate(confirm)
        self.x.key("Return")  # Yes is the default

        harness.wait_for(lambda: not self.x.windows_of(erased_pid), 15,
                         what="the erased note's window to go")
        after = self.wait_notes_shown([1, 3])
        # The other two are shown again, by new windows, where their records say.
        for note in (FIRST, THIRD):
            pid, wid = after[str(note.id)]
            self.assertNotEqual(pid, before[str(note.id)][0])
            g = self.x.wait_geometry_stable(wid)
            self.assertEqual((g.x, g.y, g.width, g.height), note.pixel_geometry())
        self.assertBytesEqual(self.folder.read("MDATA.INI"), harness.mdata_bytes([FIRST, THIRD]))
        self.assertBytesEqual(self.folder.read("ERASED.INI"), harness.mdata_bytes([SECOND]))
        # The dialog stays open.
        self.assertIn(dialog, self.x.windows_of(pinboa.pid))

        # "消した付箋を戻す…", the fifth item of the tray menu, lists it; 戻す puts it back as it
        # was, its number free, and shows it.
        icon = self.x.client_geometry(self.x.wait_tray_icon(pinboa.pid))
        self.x.mousemove(icon.x + icon.width // 2, icon.y + icon.height // 2)
        time.sleep(0.1)
        self.x.click(3)
        time.sleep(0.5)
        self.x.key("Down", "Down", "Down", "Down", "Down", "Return")
        put_back = self.x.wait_window_named(pinboa.pid, "消した付箋を戻す")
        self.x.wait_geometry_stable(put_back)
        self.x.activate(put_back)
        self.x.key("Home", "space")
        time.sleep(0.2)
        self.x.key("alt+r")
        self.wait_notes_shown([1, 2, 3])
        self.assertBytesEqual(self.folder.read("MDATA.INI"),
                              harness.mdata_bytes([FIRST, THIRD, SECOND]))
        self.assertBytesEqual(self.folder.read("ERASED.INI"), b"")

    def test_closing_the_dialog_while_the_files_are_held_erases_nothing(self):
        self.folder = self.program_folder(harness.mdata_bytes(NOTES))
        pinboa = self.start(self.folder, "pinboa")
        main = self.x.wait_window_named(pinboa.pid, "Pinboa")
        self.x.wait_geometry_stable(main)
        self.x.activate(main)
        self.x.key("alt+d")
        dialog = self.x.wait_window_named(pinboa.pid, "消去")
        self.x.wait_geometry_stable(dialog)
        self.x.activate(dialog)
        self.x.key("Home", "Down", "space")
        time.sleep(0.2)
        self.x.key("alt+s")
        confirm = self.x.wait_window_named(pinboa.pid, "消去確認")
        # Another program holds the files when Yes is pressed; the dialog is cancelled
        # meanwhile.
        with open(self.folder.file(".pinboa.lock"), "a+") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            self.x.activate(confirm)
            self.x.key("Return")
            time.sleep(0.3)
            self.x.activate(dialog)
            self.x.key("alt+c")
            harness.wait_for(lambda: dialog not in self.x.windows_of(pinboa.pid),
                             what="the dialog to close")
        time.sleep(1.0)
        self.assertIsNone(pinboa.poll(), "the master ended")
        self.assertBytesEqual(self.folder.read("MDATA.INI"), harness.mdata_bytes(NOTES))
        self.assertIsNone(self.folder.read("ERASED.INI"))
        # The master still answers: the main window is back.
        harness.wait_for(lambda: main in self.x.windows_of(pinboa.pid), what="the main window")


if __name__ == "__main__":
    harness.main()
