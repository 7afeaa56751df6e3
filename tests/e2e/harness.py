# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""What the end-to-end tests share, in one import: each script does `import harness`.

A test script builds a temporary copy of the program folder with the data files it needs
(processes), starts the real programs in it, drives them with xdotool on the desktop in DISPLAY
or on a desktop of its own (xdriver, desktops) and checks the bytes of MDATA.INI and IDDATA.INI
(records) and the geometry of the windows. Scripts are unittest modules that end with
`harness.main()`. Standard library only.
"""

import os
import sys
import unittest

from desktops import Desktop  # noqa: F401
from processes import (DEFAULT_TIMEOUT, PROGRAM_FILES, Processes, ProgramFolder,  # noqa: F401
                       program_dir, wait_exit, wait_file, wait_for)
from records import (TWIPS_PER_PIXEL, Note, cp932, from_cp932, mdata_bytes,  # noqa: F401
                     read_fields, running_entry)
from xdriver import X, Geometry  # noqa: F401


# ---------------------------------------------------------------------------------------------
# Test cases

class E2ETestCase(unittest.TestCase):
    """A test with its own temporary program folder and process list; everything it started
    is killed and the folder removed at its end."""

    needs_display = False

    def setUp(self):
        super().setUp()
        self.procs = Processes()
        self.addCleanup(self.procs.cleanup)
        self.addCleanup(self._tell_processes_of_failure)
        self.folders = []
        self.addCleanup(self._remove_folders)
        if self.needs_display:
            self.x = X()

    def _tell_processes_of_failure(self):
        """After a failure, what each program the test started said and how it ended: a window
        that never showed may have ended, or be waiting for something."""
        result = getattr(getattr(self, "_outcome", None), "result", None)
        failed = [t for t, _ in getattr(result, "failures", []) + getattr(result, "errors", [])
                  if getattr(t, "test_case", t) is self]
        if not failed:
            return
        for proc in self.procs.started:
            status = proc.poll()
            print("\n-- %s (pid %d): %s\n%s" % (
                " ".join(os.path.basename(a) if i == 0 else a[:60]
                         for i, a in enumerate(proc.args)),
                proc.pid, "running" if status is None else "ended with %d" % status,
                self.procs.output(proc)[-2000:]), file=sys.stderr)

    def _remove_folders(self):
        for f in self.folders:
            f.remove()

    def program_folder(self, mdata=None, iddata=None):
        folder = ProgramFolder(mdata, iddata)
        self.folders.append(folder)
        return folder

    def start(self, folder, program, *args, env=None):
        """Starts `program` of `folder` with the given arguments."""
        return self.procs.start([folder.program(program), *args], env=env, cwd=folder.path)

    def start_memlet(self, folder, args, env=None):
        return self.start(folder, "memlet", args, env=env)

    def assertBytesEqual(self, actual, expected, msg=None):
        """Byte equality with both sides decoded in the failure message."""
        if actual != expected:
            def show(b):
                return None if b is None else from_cp932(b) if _decodes(b) else b
            self.fail((msg + ": " if msg else "") + "\n got      %r\n expected %r"
                      % (show(actual), show(expected)))


def _decodes(b):
    try:
        b.decode("cp932")
        return True
    except UnicodeDecodeError:
        return False


def main():
    """Runs the tests of the calling script; exits non-zero when one fails."""
    unittest.main(module="__main__", verbosity=2)
