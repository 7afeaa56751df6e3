# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""Driving and measuring windows on an X display: xdotool for the pointer and the keys, xwininfo
and xprop for windows, their frames and their geometry."""

import os
import re
import subprocess
import time
from dataclasses import dataclass

from processes import DEFAULT_TIMEOUT, wait_for


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

    def wait_window_named(self, pid, name, timeout=DEFAULT_TIMEOUT):
        """The viewable window of `pid` whose title is `name`, once it exists."""
        def found():
            for wid in self.windows_of(pid):
                if self.run("xdotool", "getwindowname", wid, check=False).strip() == name:
                    return wid
            return None
        return wait_for(found, timeout, what="the window %r" % name)

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
