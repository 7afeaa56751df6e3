# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""Both programs on a machine without any X display: a clear message and a non-zero status,
never an abort, and no file touched."""

import os
import re

import harness
from harness import Note


class NoDisplay(harness.E2ETestCase):
    def test_both_programs_say_so_and_end(self):
        note = Note("買い物", id=1)
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        for asked in (None, "wayland", "xcb"):
            env = dict(base, **({"QT_QPA_PLATFORM": asked} if asked else {}))
            for program, args in (("pinboa", []), ("memlet", [note.args()])):
                with self.subTest(program=program, platform=asked):
                    folder = self.program_folder(note.record())
                    proc = self.start(folder, program, *args, env=env)
                    status = harness.wait_exit(proc)
                    self.assertNotIn(status, (0, -6, 134))  # ended on its own, not aborted
                    self.assertIn("X11 の画面に接続できないため、起動できません。",
                                  self.procs.output(proc))
                    self.assertEqual(sorted(p.name for p in folder.path.iterdir()),
                                     ["MDATA.INI", "memlet", "pinboa"])
                    self.assertBytesEqual(folder.read("MDATA.INI"), note.record())

    def test_help_is_japanese_and_names_every_option(self):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        folder = self.program_folder()
        proc = self.start(folder, "pinboa", "--help", env=env)
        self.assertEqual(harness.wait_exit(proc), 0)
        help_text = self.procs.output(proc)
        self.assertTrue(help_text.startswith("使い方: pinboa [オプション]\n"), help_text)
        self.assertIn("\nオプション:\n", help_text)
        for english in ("Usage", "Options", "Displays", "help on"):
            self.assertNotIn(english, help_text)
        self.assertRegex(help_text, r"\n  -\?, -h, --help +この説明を表示します。\n")
        for option in ("--show-notes", "--hide-notes", "--toggle-notes", "--new-note",
                       "--edit-note <ARG>", "--data-folder <DIR>"):
            self.assertRegex(help_text, r"\n  %s +\S" % re.escape(option))

        # An option it does not know is named before the missing desktop is, with or without
        # --help, in the same language, and nothing starts.
        for args in (("--help", "--no-such"), ("--no-such",)):
            proc = self.start(folder, "pinboa", *args, env=env)
            self.assertEqual(harness.wait_exit(proc), 2, args)
            output = self.procs.output(proc)
            self.assertIn("不明なオプションです: --no-such", output)
            self.assertNotIn("X11", output)


if __name__ == "__main__":
    harness.main()
