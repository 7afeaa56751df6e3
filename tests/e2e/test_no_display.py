# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""Both programs on a machine without any X display: a clear message and a non-zero status,
never an abort, and no file touched."""

import os

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


if __name__ == "__main__":
    harness.main()
