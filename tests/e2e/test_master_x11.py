# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""pinboa on a real desktop: tray icon, main window, showing and closing all notes, single
instance, the desktop without a notification area, restart recovery and exit."""

import fcntl
import os
import re
import signal
import subprocess
import time

import harness
from harness import Note, TWIPS_PER_PIXEL

NOTES = [
    Note("買い物：牛乳、卵、パン", back_color="8454143", top=1500, left=3000, width=4500,
         height=1200, id=1),
    Note("Meeting at 3, room B", back_color="16777088", font_name="Noto Sans CJK JP",
         font_size="10.5", top=6000, left=9000, width=3600, height=900, fore_color=255, id=2),
    Note("一行目\r\n二行目", top=9000, left=1500, width=3000, height=1050, id=12),
]
CLIENT_WIDTH = 4755 // TWIPS_PER_PIXEL   # 317 pixels at 96 DPI
CLIENT_HEIGHT = 1080 // TWIPS_PER_PIXEL  # 72
# Left and width of the four buttons, twips.
BUTTONS = {"Command1": (30, 1185), "Command2": (1230, 1125), "Command3": (2370, 1155),
           "Command4": (3540, 1185)}


def running_entries(folder):
    """(id text, task id as int or the quoted text) of every entry of IDDATA.INI."""
    data = folder.read("IDDATA.INI") or b""
    return [(fields[0][1], fields[1][1] if fields[1][0] else int(fields[1][1]))
            for fields in harness.read_fields(data, 2)]


def is_memlet(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().split(b"\0")[0].endswith(b"/memlet")
    except OSError:
        return False


class MasterOnDesktop(harness.E2ETestCase):
    needs_display = True

    # -- the master and its windows

    def start_master(self, folder, env=None, x=None):
        proc = self.start(folder, "pinboa", env=env)
        main = self.main_window(proc, x or self.x)
        return proc, main

    def main_window(self, proc, x=None, timeout=harness.DEFAULT_TIMEOUT):
        """The master's main window: its one viewable window of the main window's width."""
        x = x or self.x

        def found():
            for wid in x.windows_of(proc.pid):
                if x.client_geometry(wid).width == CLIENT_WIDTH:
                    return wid
            return None
        return harness.wait_for(found, timeout, what="the main window of pinboa")

    def click_button(self, wid, name, x=None, tpp=TWIPS_PER_PIXEL):
        """Clicks a button of the main window where its design puts it, below the menu bar."""
        x = x or self.x
        g = x.client_geometry(wid)
        left, width = BUTTONS[name]
        px = g.x + round(left / tpp) + round(width / tpp) // 2
        py = g.y + g.height - round(1080 / tpp) // 2
        x.mousemove(px, py)
        time.sleep(0.1)
        x.click()

    def tray_icons(self, pid):
        """The windows of `pid` embedded in the notification area."""
        return self.x.tray_icons_of(pid)

    def wait_notes_shown(self, folder, notes, exclude_pids=()):
        """Waits until IDDATA.INI holds one entry per note, each with a live note window's pid
        as a bare number (none of `exclude_pids`), and every window stands at its record's
        place. Returns {id text: pid}."""
        ids = sorted(str(n.id) for n in notes)

        def ready():
            entries = running_entries(folder)
            if sorted(i for i, _ in entries) != ids:
                return None
            if not all(isinstance(t, int) and is_memlet(t) and t not in exclude_pids
                       for _, t in entries):
                return None
            return dict(entries)
        pids = harness.wait_for(ready, 20, what="every note shown and recorded")
        for note in notes:
            wid = self.x.wait_window(pids[str(note.id)])
            self.assertEqual(tuple(vars(self.x.wait_geometry_stable(wid)).values()),
                             note.pixel_geometry(), "note %s" % note.id)
        return pids

    def tearDown(self):
        # Note windows were started by the master, not by the test: end those of this
        # test's folders.
        for folder in self.folders:
            for pid, args in self.note_windows(folder):
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass
        super().tearDown()

    @staticmethod
    def note_windows(folder):
        found = []
        memlet = str(folder.path / "memlet").encode()
        for name in os.listdir("/proc"):
            if not name.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % name, "rb") as f:
                    argv = f.read().split(b"\0")
            except OSError:
                continue
            if argv and argv[0] == memlet:
                found.append((int(name), argv[1] if len(argv) > 1 else b""))
        return found

    # -- the tests

    def test_starts_with_tray_icon_and_main_window_and_touches_no_file(self):
        folder = self.program_folder(b"")
        proc, main = self.start_master(folder)
        self.assertIn("Pinboa", self.x.run("xprop", "-id", main, "WM_NAME"))
        g = self.x.client_geometry(main)
        self.assertEqual(g.width, CLIENT_WIDTH)
        self.assertGreater(g.height, CLIENT_HEIGHT)  # the menu bar sits above the client area
        self.assertFalse(self.x.offers_minimise_or_maximise(main))
        harness.wait_for(lambda: len(self.tray_icons(proc.pid)) == 1,
                         what="the tray icon in the notification area")
        # Qt's own dialogs and menus speak Japanese: the master holds Qt's Japanese translation.
        with open("/proc/%d/maps" % proc.pid) as maps:
            self.assertIn("/qtbase_ja.qm", maps.read())
        # The master never shows notes by itself, and touches no file at start-up.
        time.sleep(0.5)
        self.assertEqual(self.note_windows(folder), [])
        self.assertEqual(folder.read("IDDATA.INI"), None)
        self.assertEqual(folder.read("MDATA.INI"), b"")

    def test_tray_menu_only_in_tray_mode(self):
        folder = self.program_folder(b"")
        proc, main = self.start_master(folder)
        icon = self.x.wait_tray_icon(proc.pid)
        # Away from where the window manager would place it anew.
        self.x.run("xdotool", "windowmove", "--sync", main, 469, 364)
        placed = self.x.wait_geometry_stable(main)
        ig = self.x.client_geometry(icon)

        def popups():
            return [w for w in self.x.windows_of(proc.pid) if w not in (main, icon)]

        def right_click():
            self.x.mousemove(ig.x + ig.width // 2, ig.y + ig.height // 2)
            time.sleep(0.1)
            self.x.click(3)
            time.sleep(0.5)

        right_click()
        self.assertEqual(popups(), [], "the tray menu opened while the main window is shown")
        self.click_button(main, "Command4")
        harness.wait_for(lambda: main not in self.x.windows_of(proc.pid),
                         what="the main window to go into the tray")
        self.x.click(1)  # left click on the icon
        time.sleep(0.5)
        self.assertEqual(popups(), [])
        right_click()
        menu = harness.wait_for(popups, what="the tray menu")[0]
        mg = self.x.client_geometry(menu)
        # At the pointer.
        self.assertLessEqual(abs(mg.x - (ig.x + ig.width // 2)), mg.width)
        # "Pinboa起動" is the first item: the main window comes back at its own last place.
        self.x.key("Down", "Return")
        harness.wait_for(lambda: main in self.x.windows_of(proc.pid),
                         what="the main window to come back")
        self.assertEqual(self.x.wait_geometry_stable(main), placed)

        # Minimised by the window manager, the main window is reached through the tray menu.
        self.x.run("xdotool", "windowminimize", "--sync", main)
        right_click()
        harness.wait_for(popups, what="the tray menu of a minimised master")
        self.x.key("Down", "Return")
        harness.wait_for(lambda: "Normal" in self.x.run("xprop", "-id", main, "WM_STATE"),
                         what="the main window shown again")
        self.assertEqual(self.x.wait_geometry_stable(main), placed)

    def test_show_three_notes_then_refresh_after_drag(self):
        folder = self.program_folder(harness.mdata_bytes(NOTES), b"")
        proc, main = self.start_master(folder)
        self.click_button(main, "Command1")
        pids = self.wait_notes_shown(folder, NOTES)
        # The master records a bare task id in every entry of each window it started.
        self.assertEqual(len(running_entries(folder)), 3)

        # Move note 2 and refresh: it is closed, writes its place back, and comes back there.
        wid = self.x.wait_window(pids["2"])
        before = self.x.wait_geometry_stable(wid)
        self.x.drag((before.x + 30, before.y + 20), (before.x + 130, before.y + 70))
        after = self.x.wait_geometry_stable(wid)
        self.assertNotEqual((after.x, after.y), (before.x, before.y))
        self.x.end_window_manager_move(wid)
        main_g = self.x.client_geometry(main)
        self.x.activate(main)
        self.click_button(main, "Command1")
        moved = NOTES[1].moved(after.y * TWIPS_PER_PIXEL, after.x * TWIPS_PER_PIXEL)
        shown = [NOTES[0], moved, NOTES[2]]
        new_pids = self.wait_notes_shown(folder, shown, exclude_pids=set(pids.values()))
        # The notes came up without taking the keyboard from the main window.
        time.sleep(0.3)
        self.assertEqual(int(self.x.run("xdotool", "getactivewindow").strip()), main)
        self.assertFalse(any(is_memlet(p) for p in pids.values()))
        self.assertEqual(len(new_pids), 3)
        self.assertEqual(folder.read("MDATA.INI"), harness.mdata_bytes(shown))
        self.assertEqual(self.x.client_geometry(main), main_g)

    def test_show_all_keeps_the_master_responding(self):
        # While a refresh of fifty notes waits (here for the files, which another program holds
        # for a moment), the master answers: a second refresh starts no second round, and
        # "トレイに格納" hides the main window before any note is up.
        notes = [Note("付箋 %d" % i, top=300 + (i // 10) * 900, left=300 + (i % 10) * 1500,
                      width=1400, height=800, id=i) for i in range(1, 51)]
        folder = self.program_folder(harness.mdata_bytes(notes), b"")
        proc, main = self.start_master(folder)
        with open(folder.file(".pinboa.lock"), "a+") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            self.click_button(main, "Command1")
            self.click_button(main, "Command1")
            self.click_button(main, "Command4")
            harness.wait_for(lambda: main not in self.x.windows_of(proc.pid), 3,
                             what="the main window to go into the tray")
            self.assertEqual(self.note_windows(folder), [])
        harness.wait_for(lambda: len(running_entries(folder)) == 50 and all(
            isinstance(t, int) for _, t in running_entries(folder)), 60,
            what="every note recorded")
        self.assertEqual(len(self.note_windows(folder)), 50)

    def test_show_notes_option_starts_in_the_tray(self):
        folder = self.program_folder(harness.mdata_bytes(NOTES), b"")
        proc = self.start(folder, "pinboa", "--show-notes")
        self.wait_notes_shown(folder, NOTES)
        harness.wait_for(lambda: len(self.tray_icons(proc.pid)) == 1, what="the tray icon")
        # Tray mode: no window of the master but its icon.
        self.assertEqual(self.x.windows_of(proc.pid), self.tray_icons(proc.pid))

    def test_show_notes_option_without_notification_area(self):
        with harness.Desktop(tray=False) as desktop:
            folder = self.program_folder(harness.mdata_bytes(NOTES[:1]), b"")
            proc = self.procs.start([folder.program("pinboa"), "--show-notes"],
                                    env=desktop.env(), cwd=folder.path)
            harness.wait_for(lambda: [i for i, t in running_entries(folder)
                                      if isinstance(t, int) and is_memlet(t)] == ["1"],
                             what="the note shown")
            # Main mode, once the notification area had its moment to appear.
            self.main_window(proc, desktop.x, timeout=20)

    def test_entries_of_windows_that_are_gone_do_not_hide_their_notes(self):
        # Entries left behind by windows that are gone: a machine restart, a killed process.
        dead = subprocess.Popen(["true"])
        dead.wait()
        iddata = (harness.running_entry("1", dead.pid) + harness.running_entry("2", "0")
                  + harness.running_entry("12", 4194304))
        folder = self.program_folder(harness.mdata_bytes(NOTES), iddata)
        proc, main = self.start_master(folder)
        self.click_button(main, "Command1")
        self.wait_notes_shown(folder, NOTES)

    def test_second_instance_warns_and_ends(self):
        folder = self.program_folder(harness.mdata_bytes(NOTES), b"")
        first, main = self.start_master(folder)
        harness.wait_for(lambda: self.tray_icons(first.pid), what="the first tray icon")
        files = sorted(p.name for p in folder.path.iterdir())
        # Another runtime folder in the environment is still the same folder's master.
        env = dict(os.environ)
        env.pop("XDG_RUNTIME_DIR", None)
        second = self.start(folder, "pinboa", env=env)
        box = self.x.wait_window(second.pid)
        self.assertIn("警告", self.x.run("xprop", "-id", box, "_NET_WM_NAME"))
        self.assertEqual(self.tray_icons(second.pid), [])
        self.x.activate(box)
        self.x.key("Return")
        self.assertEqual(harness.wait_exit(second), 0)
        self.assertEqual(len(self.tray_icons(first.pid)), 1)
        self.assertEqual(sorted(p.name for p in folder.path.iterdir()), files)
        self.assertEqual(folder.read("IDDATA.INI"), b"")
        self.assertEqual(folder.read("MDATA.INI"), harness.mdata_bytes(NOTES))
        self.assertIsNone(first.poll())
        # A master of another folder is another instance.
        other = self.program_folder(b"")
        third, _ = self.start_master(other)
        self.assertIsNone(third.poll())

    def test_without_notification_area_the_main_window_is_minimised_not_hidden(self):
        with harness.Desktop(tray=False) as desktop:
            x = desktop.x
            folder = self.program_folder(b"")
            env = desktop.env()
            proc = self.procs.start([folder.program("pinboa")], env=env, cwd=folder.path)
            main = self.main_window(proc, x)
            self.click_button(main, "Command4", x)

            def state():
                return x.run("xprop", "-id", main, "WM_STATE", check=False)
            # Minimised, not hidden: the task bar or the window list still reaches it.
            harness.wait_for(lambda: "Iconic" in state(), what="the main window minimised")
            second = self.procs.start([folder.program("pinboa")], env=env, cwd=folder.path)
            box = x.wait_window(second.pid)
            self.assertIn("警告", x.run("xprop", "-id", box, "_NET_WM_NAME"))
            x.activate(box)
            x.key("Return")
            self.assertEqual(harness.wait_exit(second), 0)
            harness.wait_for(lambda: "Normal" in state(), what="the main window shown again")
            self.assertIsNone(proc.poll())

    def test_tray_menu_where_a_pixel_is_not_a_whole_number_of_twips(self):
        # 168 DPI without Qt's scaling: 8.57 twips per pixel.
        with harness.Desktop(tray=True, xft_dpi=168) as desktop:
            x = desktop.x
            folder = self.program_folder(b"")
            env = dict(desktop.env(), QT_ENABLE_HIGHDPI_SCALING="0")
            proc = self.procs.start([folder.program("pinboa")], env=env, cwd=folder.path)
            main = harness.wait_for(lambda: x.windows_named("^Pinboa$"), what="the main window")[0]
            icon = x.wait_tray_icon(proc.pid)
            self.click_button(main, "Command4", x, tpp=1440 / 168)
            harness.wait_for(lambda: main not in x.windows_of(proc.pid),
                             what="the main window to go into the tray")
            ig = x.client_geometry(icon)
            x.mousemove(ig.x + ig.width // 2, ig.y + ig.height // 2)
            time.sleep(0.1)
            x.click(3)
            harness.wait_for(lambda: [w for w in x.windows_of(proc.pid) if w != icon],
                             what="the tray menu")

    def exit_leaves_notes_open(self, keys):
        folder = self.program_folder(harness.mdata_bytes(NOTES), b"")
        proc, main = self.start_master(folder)
        harness.wait_for(lambda: self.tray_icons(proc.pid), what="the tray icon")
        self.click_button(main, "Command1")
        pids = self.wait_notes_shown(folder, NOTES)
        iddata = folder.read("IDDATA.INI")
        self.x.activate(main)
        self.x.key(keys)
        self.assertEqual(harness.wait_exit(proc), 0)
        self.assertEqual(self.tray_icons(proc.pid), [])
        time.sleep(0.3)
        self.assertTrue(all(is_memlet(p) for p in pids.values()))
        self.assertEqual(folder.read("IDDATA.INI"), iddata)

    def test_exit_from_menu_leaves_notes_open(self):
        self.exit_leaves_notes_open("alt+x")

    def test_close_box_exits_and_leaves_notes_open(self):
        # openbox closes the active window on Alt+F4, as its close box does.
        self.exit_leaves_notes_open("alt+F4")


if __name__ == "__main__":
    harness.main()
