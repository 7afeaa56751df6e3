# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""Two computers on one machine, with a real Syncthing: two instances share one folder between
two data folders; two masters run from two copies of the program folder, each with its own
configuration and state folders, each choosing its data folder with --data-folder. A is on the
shared desktop, B on a desktop of its own."""

import os
import re
import shutil
import signal
import tempfile
import threading
import time
from pathlib import Path

import harness
import syncthing
from harness import Desktop, Note, X

BASE = [Note("base one", top=1500, left=1500, id=1),
        Note("base two", top=1500, left=9000, id=2)]
# What this computer's running state is made of: never in the synced folder.
STATE_NAMES = re.compile(r"^(IDDATA\.INI.*|\.pinboa.*|conflicts|.*\.bad)$", re.IGNORECASE)
# Each case ends by itself within this time, its set-up included.
CASE_SECONDS = 120


class Computer:
    """One computer: a program folder, a data folder, configuration and state folders, a
    desktop, and its master."""

    def __init__(self, test, name, data, display, env):
        self.test = test
        self.name = name
        self.data = data
        self.program = test.program_folder()
        self.state = test.root / ("%s-state" % name)
        self.config = test.root / ("%s-config" % name)
        self.env = dict(env, XDG_CONFIG_HOME=str(self.config), XDG_STATE_HOME=str(self.state))
        self.x = X(display)
        self.master = None

    def pinboa(self, *args):
        """Runs pinboa with `args` to its end; its exit status."""
        return harness.wait_exit(self.test.start(self.program, "pinboa", *args, env=self.env))

    def start(self):
        """The master, which chooses its data folder as it starts, then shows the notes."""
        self.master = self.test.start(self.program, "pinboa", "--data-folder", self.data,
                                      env=self.env)
        conf = self.config / "pinboa" / "pinboa.conf"
        harness.wait_for(lambda: conf.exists() and str(self.data) in conf.read_text(),
                         what="%s's data folder to be chosen" % self.name)
        self.test.assertEqual(self.pinboa("--show-notes"), 0)

    def note_windows(self):
        """pid -> argument string of every note window of this computer."""
        found = {}
        memlet = str(self.program.path / "memlet").encode()
        for entry in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    argv = f.read().split(b"\0")
            except OSError:
                continue
            if argv[0] == memlet and len(argv) > 1:
                found[int(entry)] = argv[1].decode(errors="replace")
        return found

    def window_of(self, text):
        """The pid of the note window that shows `text`, or None."""
        return next((pid for pid, args in self.note_windows().items()
                     if args.startswith(text + "/\\/")), None)

    def wait_shown(self, texts, timeout=20):
        return harness.wait_for(lambda: all(self.window_of(t) for t in texts), timeout,
                                interval=0.1, what="%s to show %s" % (self.name, texts))

    def texts(self):
        data = (self.data / "MDATA.INI").read_bytes()
        return sorted(r[0][1] for r in harness.read_fields(data, 10))

    def create_note(self, text):
        """Writes a note with the master's editor (pinboa --new-note); returns once its record
        is in MDATA.INI, with the time it got there."""
        before = tuple(self.x.windows_of(self.master.pid))
        self.test.assertEqual(self.pinboa("--new-note"), 0)
        editor = self.x.wait_window(self.master.pid, exclude=before)
        self.x.wait_geometry_stable(editor)
        self.x.activate(editor)
        self.x.key("ctrl+a", "BackSpace")
        self.x.type(text)
        self.x.key("alt+f")
        harness.wait_for(lambda: text in self.texts(), what="%s's note in MDATA.INI" % self.name)
        return time.monotonic()

    def move_and_close(self, text):
        """Drags the note's window 80 pixels right and closes it with a key: its place is
        written back."""
        pid = self.window_of(text)
        wid = self.x.wait_window(pid)
        g = self.x.wait_geometry_stable(wid)
        self.x.drag((g.x + 20, g.y + 10), (g.x + 100, g.y + 10))
        self.x.wait_geometry_stable(wid)
        self.x.end_window_manager_move(wid)
        self.x.activate(wid)
        self.x.key("space")
        harness.wait_for(lambda: not self.window_of(text), what="the moved note to close")


class TwoComputers(harness.E2ETestCase):
    needs_display = True

    def setUp(self):
        super().setUp()
        signal.signal(signal.SIGALRM, self.too_long)
        signal.alarm(CASE_SECONDS)
        self.addCleanup(signal.alarm, 0)
        self.root = Path(tempfile.mkdtemp(prefix="pinboa-sync-"))
        self.addCleanup(shutil.rmtree, self.root, True)
        self.desktop_b = Desktop(tray=True)
        self.desktop_b.start()
        self.addCleanup(self.desktop_b.stop)
        # Cleanups run last first: the masters and the instances (by their process ids), then
        # the note windows they left.
        self.addCleanup(self.end_note_windows)
        self.addCleanup(self.procs.cleanup)
        (self.root / "a-notes").mkdir()
        (self.root / "a-notes" / "MDATA.INI").write_bytes(harness.mdata_bytes(BASE))
        self.sync_a, self.sync_b = syncthing.pair(self.root, self.procs)
        self.a = Computer(self, "A", self.sync_a.folder, self.x.display,
                          dict(os.environ, DISPLAY=self.x.display))
        self.b = Computer(self, "B", self.sync_b.folder, self.desktop_b.display,
                          self.desktop_b.env())
        self.seen_state = set()
        self.watching = True
        watcher = threading.Thread(target=self.watch_synced_folders, daemon=True)
        watcher.start()
        self.addCleanup(watcher.join)
        self.addCleanup(setattr, self, "watching", False)
        harness.wait_for(lambda: (self.b.data / "MDATA.INI").exists(),
                         what="the notes to reach B")
        for computer in (self.a, self.b):
            computer.start()
            computer.wait_shown([n.text for n in BASE])

    def too_long(self, signum, frame):
        raise TimeoutError("the case ran longer than %d s" % CASE_SECONDS)

    def end_note_windows(self):
        for computer in (self.a, self.b):
            for pid in computer.note_windows():
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass

    def watch_synced_folders(self):
        while self.watching:
            for computer in (self.a, self.b):
                try:
                    names = os.listdir(computer.data)
                except OSError:
                    continue
                self.seen_state.update(n for n in names if STATE_NAMES.match(n))
            time.sleep(0.05)

    def assertStateStayedOut(self):
        self.assertEqual(self.seen_state, set())
        for computer in (self.a, self.b):
            self.assertTrue(list(computer.state.glob("pinboa/*/IDDATA.INI")), computer.name)

    def test_a_note_written_on_a_shows_on_b_and_its_erase_on_b_closes_it_on_a(self):
        changed = self.a.create_note("from A")
        self.b.wait_shown(["from A"])
        self.b.x.wait_window(self.b.window_of("from A"))
        print("\nA -> B: the note written on A showed on B after %.1f s"
              % (time.monotonic() - changed))
        pid_a = self.a.window_of("from A")

        # 付箋消去 on B's main window: the third note of the list, Yes.
        main = next(w for w in self.b.x.windows_of(self.b.master.pid)
                    if '"Pinboa"' in self.b.x.run("xprop", "-id", w, "WM_NAME", check=False))
        self.b.x.activate(main)
        self.b.x.key("alt+d")
        dialog = self.b.x.wait_window_named(self.b.master.pid, "消去")
        self.b.x.wait_geometry_stable(dialog)
        self.b.x.activate(dialog)
        self.b.x.key("Home", "Down", "Down", "space")
        time.sleep(0.2)
        self.b.x.key("alt+s")
        confirm = self.b.x.wait_window_named(self.b.master.pid, "消去確認")
        self.b.x.activate(confirm)
        self.b.x.key("Return")
        harness.wait_for(lambda: "from A" not in self.b.texts(), what="the erase on B")
        harness.wait_for(lambda: pid_a not in self.a.note_windows(), 20,
                         what="the note erased on B to close on A")
        self.assertEqual(self.a.texts(), ["base one", "base two"])
        self.a.wait_shown(["base one", "base two"], timeout=1)
        # Past the rescan interval, the erase is still an erase on both computers.
        time.sleep(32)
        for computer in (self.a, self.b):
            self.assertEqual(computer.texts(), ["base one", "base two"], computer.name)
            self.assertIsNone(computer.window_of("from A"), computer.name)
        self.assertStateStayedOut()

    def test_notes_written_on_both_while_apart_meet_on_both(self):
        for one, other in ((self.sync_a, self.sync_b), (self.sync_b, self.sync_a)):
            one.pause(other)
        harness.wait_for(lambda: not self.sync_a.connected(self.sync_b)
                         and not self.sync_b.connected(self.sync_a),
                         what="the instances to part")
        self.a.create_note("only on A")
        self.a.move_and_close("base one")
        self.b.create_note("only on B")
        self.b.move_and_close("base two")
        time.sleep(2)  # each instance has seen its own change

        for one, other in ((self.sync_a, self.sync_b), (self.sync_b, self.sync_a)):
            one.resume(other)
        every = ["base one", "base two", "only on A", "only on B"]

        def met():
            # Syncthing's own partial download of a copy that went away meanwhile
            # (".syncthing.*.tmp") is not a copy.
            copies = [p for c in (self.a, self.b) for p in c.data.iterdir()
                      if "sync-conflict" in p.name and not p.name.startswith(".syncthing.")]
            return not copies and self.a.texts() == every and self.b.texts() == every
        try:
            harness.wait_for(met, 60, interval=0.2, what="both computers to hold every note")
        except TimeoutError:
            for c in (self.a, self.b):
                print("%s: %s %s" % (c.name, c.texts(), sorted(os.listdir(c.data))))
                print(self.procs.output(c.master)[-2000:])
            raise
        self.a.wait_shown(["base two", "only on A", "only on B"])
        self.b.wait_shown(["base one", "only on A", "only on B"])
        syncthing.wait_synced(self.sync_a, self.sync_b)
        self.assertBytesEqual((self.a.data / "MDATA.INI").read_bytes(),
                              (self.b.data / "MDATA.INI").read_bytes())
        # The copy went into a state folder, never deleted.
        self.assertTrue(list(self.root.glob("*-state/pinboa/*/conflicts/MDATA.sync-conflict-*")))
        self.assertStateStayedOut()


if __name__ == "__main__":
    harness.main()
