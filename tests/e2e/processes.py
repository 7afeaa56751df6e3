# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""Program folders and processes for the tests: a temporary copy of the program folder with its
own data files, the processes a test starts (each ended at the test's end), and bounded waits."""

import os
import shutil
import subprocess
import tempfile
import time
from pathlib import Path

DEFAULT_TIMEOUT = 10.0
PROGRAM_FILES = ("memlet", "pinboa")


def program_dir():
    """The build's program folder, where memlet (and pinboa) are built."""
    env = os.environ.get("PINBOA_PROGRAM_DIR")
    if env:
        return Path(env)
    return Path(__file__).resolve().parents[2] / "build" / "bin"


class ProgramFolder:
    """A temporary copy of the program folder; the programs in it use its data files."""

    def __init__(self, mdata=None, iddata=None, programs=PROGRAM_FILES):
        self.path = Path(tempfile.mkdtemp(prefix="pinboa-e2e-"))
        source = program_dir()
        for name in programs:
            src = source / name
            if not src.exists():
                continue
            dst = self.path / name
            try:
                # A hard link is a program of its own folder: the programs find their folder
                # through the path they were started from.
                os.link(src, dst)
            except OSError:
                shutil.copy2(src, dst)
        if mdata is not None:
            self.write("MDATA.INI", mdata)
        if iddata is not None:
            self.write("IDDATA.INI", iddata)

    def program(self, name):
        p = self.path / name
        if not p.exists():
            raise FileNotFoundError("%s is not built (looked in %s)" % (name, program_dir()))
        return p

    def file(self, name):
        return self.path / name

    def write(self, name, data):
        (self.path / name).write_bytes(data)

    def read(self, name):
        """The file's bytes, or None when it does not exist."""
        try:
            return (self.path / name).read_bytes()
        except FileNotFoundError:
            return None

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


class Processes:
    """Processes started by a test; whatever is still running at the end is killed."""

    def __init__(self, log_dir=None):
        self.started = []
        self.log_dir = Path(log_dir or tempfile.gettempdir())

    def start(self, argv, env=None, cwd=None, name=None):
        argv = [str(a) for a in argv]
        log = tempfile.NamedTemporaryFile(
            prefix="%s-" % (name or Path(argv[0]).name), suffix=".log",
            dir=self.log_dir, delete=False)
        proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT,
                                start_new_session=True)
        proc.log_path = log.name
        log.close()
        self.started.append(proc)
        return proc

    def output(self, proc):
        try:
            return Path(proc.log_path).read_text(errors="replace")
        except OSError:
            return ""

    def stop(self, proc, timeout=3.0):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    def cleanup(self):
        for proc in reversed(self.started):
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            try:
                os.unlink(proc.log_path)
            except OSError:
                pass
        self.started = []


def wait_for(predicate, timeout=DEFAULT_TIMEOUT, interval=0.05, what="condition"):
    """Polls until `predicate()` returns a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out after %.1fs waiting for %s" % (timeout, what))
        time.sleep(interval)


def wait_file(path, predicate, timeout=DEFAULT_TIMEOUT):
    """Waits until the file's bytes (None when missing) satisfy `predicate`; returns them."""
    path = Path(path)
    result = []

    def check():
        try:
            data = path.read_bytes()
        except FileNotFoundError:
            data = None
        if predicate(data):
            result.append(data)
            return True
        return False

    wait_for(check, timeout, what="%s to change" % path.name)
    return result[0]


def wait_exit(proc, timeout=DEFAULT_TIMEOUT):
    """Waits for the process to end and returns its exit code."""
    try:
        return proc.wait(timeout)
    except subprocess.TimeoutExpired:
        raise TimeoutError("process %d still runs after %.1fs" % (proc.pid, timeout))
