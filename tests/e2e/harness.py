"""Shared library of the end-to-end tests: program folders, note data, processes and X input.

Standard library only. A test script builds a temporary copy of the program folder with the
data files it needs, starts the real programs in it, drives them with xdotool on the desktop
in DISPLAY (or on a desktop of its own) and checks the bytes of MDATA.INI and IDDATA.INI and the
geometry of the windows. Scripts are unittest modules that end with `harness.main()`.
"""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
from dataclasses import dataclass, field, replace
from pathlib import Path

SEPARATOR = "/\\/"
CRLF = b"\r\n"
# Positions and sizes are kept in twips; the test desktops run at 96 DPI.
TWIPS_PER_PIXEL = 15
DEFAULT_TIMEOUT = 10.0
PROGRAM_FILES = ("memlet", "pinboa")


# ---------------------------------------------------------------------------------------------
# Text, numbers and the two data files

def cp932(text):
    """The bytes of `text` in code page 932, as the data files hold it."""
    return text.encode("cp932")


def from_cp932(data):
    return data.decode("cp932")


def number_text(value):
    """A bare number as the programs write it: plain decimal, no exponent, no trailing .0."""
    if isinstance(value, int):
        return str(value)
    if float(value).is_integer():
        return str(int(value))
    text = format(value, "f").rstrip("0").rstrip(".")
    return text


def field_bytes(value):
    """One field: a str is written quoted, an int or float bare."""
    if isinstance(value, str):
        if '"' in value:
            raise ValueError("a text field cannot hold a double quote")
        return b'"' + cp932(value) + b'"'
    return cp932(number_text(value))


def line_bytes(values):
    return b",".join(field_bytes(v) for v in values) + CRLF


@dataclass
class Note:
    """One record of MDATA.INI. A str field is quoted in the file, a number is bare; the font
    size may be either (`12` or `"12"`)."""

    text: str
    back_color: str = "12632256"
    font_name: str = "ＭＳ Ｐゴシック"
    font_size: object = 12
    top: object = 1500
    left: object = 1500
    width: object = 5430
    height: object = 900
    fore_color: object = 0
    id: object = 1

    def values(self):
        return [self.text, self.back_color, self.font_name, self.font_size, self.top,
                self.left, self.width, self.height, self.fore_color, self.id]

    def record(self):
        """The record's bytes in MDATA.INI, CR LF included."""
        return line_bytes(self.values())

    def args(self):
        """The note argument string that starts this note's window."""
        return note_args(self.values())

    def moved(self, top, left):
        return replace(self, top=top, left=left)

    def pixel_geometry(self):
        """(x, y, width, height) of the window's outer frame in pixels."""
        return tuple(int(round(float(v) / TWIPS_PER_PIXEL))
                     for v in (self.left, self.top, self.width, self.height))


def note_args(values):
    """The ten field texts joined by the separator, as the master builds them."""
    texts = [v if isinstance(v, str) else number_text(v) for v in values]
    return SEPARATOR.join(texts)


def mdata_bytes(notes):
    return b"".join(n.record() for n in notes)


def running_entry(id_text, task_id="0"):
    """One line of IDDATA.INI: a str task id is quoted ("0"), a number bare."""
    return line_bytes([str(id_text), task_id])


def read_fields(data, count):
    """Splits file bytes into records of `count` fields each: (is_text, str) pairs.
    A small reader for checks; raises ValueError on a record cut short."""
    text = from_cp932(data)
    records, current, i = [], [], 0
    while i < len(text):
        if text[i] == '"':
            end = text.index('"', i + 1)
            current.append((True, text[i + 1:end]))
            i = end + 1
        else:
            m = re.compile(r"[^,\r\n]*").match(text, i)
            current.append((False, m.group(0).strip()))
            i = m.end()
        if len(current) == count:
            records.append(current)
            current = []
            if text.startswith("\r\n", i):
                i += 2
            elif i < len(text):
                raise ValueError("record %d does not end with CR LF" % len(records))
        elif text.startswith(",", i):
            i += 1
        else:
            raise ValueError("record %d is cut short" % (len(records) + 1))
    if current:
        raise ValueError("last record is cut short")
    return records


# ---------------------------------------------------------------------------------------------
# Program folders and processes

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


# ---------------------------------------------------------------------------------------------
# Windows and input

@dataclass(frozen=True)
class Geometry:
    x: int
    y: int
    width: int
    height: int


class X:
    """xdotool, xwininfo and xprop on one display."""

    def __init__(self, display=None):
        self.display = display or os.environ.get("DISPLAY")
        if not self.display:
            raise RuntimeError("no DISPLAY: run the end-to-end tests through scripts/test.sh")
        self.env = dict(os.environ, DISPLAY=self.display)

    def run(self, *argv, timeout=DEFAULT_TIMEOUT, check=True):
        res = subprocess.run([str(a) for a in argv], env=self.env, capture_output=True,
                             text=True, timeout=timeout)
        if check and res.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" % (" ".join(map(str, argv)),
                                                         res.returncode, res.stderr.strip()))
        return res.stdout

    def xdotool(self, *args, timeout=DEFAULT_TIMEOUT):
        return self.run("xdotool", *args, timeout=timeout)

    # -- finding windows

    def windows_of(self, pid):
        """The viewable windows whose _NET_WM_PID is `pid`, as ids."""
        res = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                             env=self.env, capture_output=True, text=True,
                             timeout=DEFAULT_TIMEOUT)
        return [int(w) for w in res.stdout.split()]

    def windows_named(self, pattern):
        """The viewable windows whose name matches the regular expression."""
        res = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern],
                             env=self.env, capture_output=True, text=True,
                             timeout=DEFAULT_TIMEOUT)
        return [int(w) for w in res.stdout.split()]

    def wait_window(self, pid, timeout=DEFAULT_TIMEOUT, exclude=()):
        """The first viewable window of `pid` not in `exclude`, once it exists."""
        def found():
            wins = [w for w in self.windows_of(pid) if w not in exclude]
            return wins[0] if wins else None
        return wait_for(found, timeout, what="a window of process %d" % pid)

    def tray_icons_of(self, pid):
        """The process's icons in the notification area: its windows that are embedded in a
        window of another program (the notification area)."""
        return [w for w in self.windows_of(pid) if self.embedder_pid(w, pid) is not None]

    def embedder_pid(self, wid, pid):
        """The process id of the nearest ancestor window that belongs to a process other than
        `pid`, or None when the window hangs under the root (or a window manager frame)."""
        current = wid
        while True:
            out = self.run("xwininfo", "-children", "-id", current, check=False)
            m = re.search(r"Parent window id: (0x[0-9a-f]+)", out)
            if not m or int(m.group(1), 16) == 0 or "(the root window)" in out.split(
                    "Parent window id:")[1].splitlines()[0]:
                return None
            current = int(m.group(1), 16)
            prop = self.run("xprop", "-id", current, "_NET_WM_PID", check=False)
            owner = re.search(r"=\s*(\d+)", prop)
            if owner and int(owner.group(1)) != pid:
                return int(owner.group(1))

    def wait_tray_icon(self, pid, timeout=DEFAULT_TIMEOUT):
        return wait_for(lambda: (self.tray_icons_of(pid) or [None])[0], timeout,
                        what="a notification area icon of process %d" % pid)

    def wait_no_window(self, pid, timeout=DEFAULT_TIMEOUT):
        wait_for(lambda: not self.windows_of(pid), timeout,
                 what="the windows of process %d to go" % pid)

    # -- geometry

    def client_geometry(self, wid):
        """The window's own area: absolute upper-left and size, as xwininfo reports them."""
        out = self.run("xwininfo", "-id", wid)

        def val(label):
            return int(re.search(r"%s:\s+(-?\d+)" % re.escape(label), out).group(1))
        return Geometry(val("Absolute upper-left X"), val("Absolute upper-left Y"),
                        val("Width"), val("Height"))

    def frame_extents(self, wid):
        """(left, right, top, bottom) that the window manager's frame adds; zeros when none."""
        out = self.run("xprop", "-id", wid, "_NET_FRAME_EXTENTS", check=False)
        m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", out)
        return tuple(int(v) for v in m.groups()) if m else (0, 0, 0, 0)

    def outer_geometry(self, wid):
        """The window's outer frame on the screen; equal to the client geometry for a window
        that the window manager does not decorate."""
        g = self.client_geometry(wid)
        left, right, top, bottom = self.frame_extents(wid)
        return Geometry(g.x - left, g.y - top, g.width + left + right, g.height + top + bottom)

    def offers_minimise_or_maximise(self, wid):
        """Whether the window asks the window manager for a minimise or maximise function
        (Motif hints), or the window manager allows maximising it."""
        motif = re.search(r"=\s*(\w+),\s*(\w+)",
                          self.run("xprop", "-id", wid, "_MOTIF_WM_HINTS", check=False))
        asked = not motif or not int(motif.group(1), 16) & 1 or int(motif.group(2), 16) & 0x19
        allowed = self.run("xprop", "-id", wid, "_NET_WM_ALLOWED_ACTIONS", check=False)
        return bool(asked) or "MAXIMIZE" in allowed

    def wait_geometry(self, wid, predicate, timeout=DEFAULT_TIMEOUT):
        """Waits until the outer geometry satisfies `predicate`; returns it."""
        last = []

        def check():
            g = self.outer_geometry(wid)
            last[:] = [g]
            return g if predicate(g) else None
        try:
            return wait_for(check, timeout, what="window geometry")
        except TimeoutError:
            raise TimeoutError("window geometry stayed at %s" % (last[0] if last else None))

    def wait_geometry_stable(self, wid, settle=0.3, timeout=DEFAULT_TIMEOUT):
        """The outer geometry once it stopped changing for `settle` seconds."""
        deadline = time.monotonic() + timeout
        g = self.outer_geometry(wid)
        since = time.monotonic()
        while time.monotonic() < deadline:
            time.sleep(0.05)
            now = self.outer_geometry(wid)
            if now != g:
                g, since = now, time.monotonic()
            elif time.monotonic() - since >= settle:
                return g
        return g

    # -- input

    def mousemove(self, x, y):
        # The pointer cannot leave the screen; xdotool takes no negative numbers.
        self.xdotool("mousemove", max(0, x), max(0, y))

    def mousedown(self, button=1):
        self.xdotool("mousedown", button)

    def mouseup(self, button=1):
        self.xdotool("mouseup", button)

    def click(self, button=1):
        self.xdotool("click", button)

    def drag(self, start, end, button=1, steps=12, pause=0.03):
        """Presses `button` at `start`, moves to `end` in steps, releases. The first step is
        one pixel: a window system move starts from where the pointer is when the program
        asks for it, which is after the first movement."""
        (x0, y0), (x1, y1) = start, end
        self.mousemove(x0, y0)
        time.sleep(pause * 2)
        self.mousedown(button)
        time.sleep(pause * 3)
        sx = (x1 > x0) - (x1 < x0)
        sy = (y1 > y0) - (y1 < y0)
        self.mousemove(x0 + sx, y0 + sy)
        time.sleep(pause * 5)
        for i in range(1, steps + 1):
            self.mousemove(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
            time.sleep(pause)
        time.sleep(pause * 3)
        self.mouseup(button)
        time.sleep(pause)

    def end_window_manager_move(self, wid):
        """Moves the pointer one pixel with no button held and tells whether the window
        followed; if it did, ends that move. A program that never saw the release of a drag
        that the window manager carried out (the window manager held the pointer) may take the
        next plain motion for a drag and start another window manager move, which then goes on
        with no button held: the window sticks to the pointer and the move holds the keyboard.
        Return, which openbox takes while it holds the keyboard, ends such a move."""
        px, py = self.pointer()
        before = self.outer_geometry(wid)
        self.mousemove(px + 1, py + 1)
        time.sleep(0.1)
        following = self.outer_geometry(wid) != before
        self.mousemove(px, py)
        time.sleep(0.1)
        if following:
            self.key("Return")
            time.sleep(0.1)
        return following

    def activate(self, wid):
        """Gives the window the keyboard focus, through the window manager when it can."""
        res = subprocess.run(["xdotool", "windowactivate", "--sync", str(wid)], env=self.env,
                             capture_output=True, text=True, timeout=DEFAULT_TIMEOUT)
        if res.returncode != 0:
            self.xdotool("windowfocus", "--sync", wid)

    def key(self, *keys, delay=30):
        """Presses key combinations on the focused window (xdotool names: shift, Down...)."""
        self.xdotool("key", "--delay", delay, *keys)

    def keydown(self, key):
        self.xdotool("keydown", key)

    def keyup(self, key):
        self.xdotool("keyup", key)

    def type(self, text, delay=40):
        self.xdotool("type", "--delay", delay, text)

    def pointer(self):
        out = self.xdotool("getmouselocation", "--shell")
        vals = dict(line.split("=", 1) for line in out.split())
        return int(vals["X"]), int(vals["Y"])


# ---------------------------------------------------------------------------------------------
# A desktop of a test's own

def openbox_command(config_dir):
    """openbox with its usual configuration less the resistance at screen and window edges,
    which would make where a dragged window lands depend on what is near it."""
    system = Path("/etc/xdg/openbox/rc.xml")
    if not system.exists():
        return ["openbox"]
    rc = system.read_text()
    rc = re.sub(r"<strength>\d+</strength>", "<strength>0</strength>", rc)
    rc = re.sub(r"<screen_edge_strength>\d+</screen_edge_strength>",
                "<screen_edge_strength>0</screen_edge_strength>", rc)
    path = Path(config_dir) / "rc.xml"
    path.write_text(rc)
    return ["openbox", "--config-file", str(path)]


class Desktop:
    """An Xvfb of its own at 96 DPI, with openbox and optionally trayer, for cases such as
    a desktop without a notification area. Use as a context manager."""

    def __init__(self, window_manager=True, tray=False, size="1280x1024x24", xft_dpi=None):
        self.window_manager = window_manager
        self.tray = tray
        self.xft_dpi = xft_dpi  # the DPI that Qt takes from the X resources (it ignores Xvfb's)
        self.size = size
        self.procs = []
        self.display = None

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()

    def _start(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-dpi", "96", "-screen", "0", self.size,
             "-nolisten", "tcp"], pass_fds=(write_fd,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_fd)
        self.procs.append(xvfb)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            # Xvfb writes the number once it accepts connections.
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode()
        self.x = X(self.display)
        if self.window_manager:
            self._config_dir = tempfile.mkdtemp(prefix="pinboa-openbox-")
            self._spawn(openbox_command(self._config_dir))
            wait_for(lambda: "window id" in self.x.run(
                "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False),
                timeout=30, what="openbox to start")
        if self.tray:
            self._spawn(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                         "request", "--height", "24", "--transparent", "false"])
            wait_for(lambda: self.x.run("xdotool", "search", "--name", "^trayer$",
                                        check=False).strip(),
                     timeout=30, what="trayer to start")
        if self.xft_dpi:
            # Once other clients hold the display: the server resets, resources and all, when
            # its last client leaves.
            subprocess.run(["xrdb", "-nocpp", "-merge"], input="Xft.dpi: %s\n" % self.xft_dpi,
                           text=True, env=self.env(), check=True, timeout=DEFAULT_TIMEOUT)

    def _spawn(self, argv):
        self.procs.append(subprocess.Popen(argv, env=self.env(), stdin=subprocess.DEVNULL,
                                           stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL, start_new_session=True))

    def env(self, base=None):
        env = dict(base if base is not None else os.environ)
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        env["QT_QPA_PLATFORM"] = "xcb"
        return env

    def stop(self):
        if getattr(self, "_config_dir", None):
            shutil.rmtree(self._config_dir, ignore_errors=True)
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(3)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        self.procs = []


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
        self.folders = []
        self.addCleanup(self._remove_folders)
        if self.needs_display:
            self.x = X()

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
