# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""A virtual desktop of one's own: Xvfb at 96 DPI on a free display, openbox as window manager
and trayer as notification area when asked for, and the Xft.dpi that Qt reads when asked for.

The end-to-end tests use `Desktop` as a context manager. The scripts (the test command, the
picture script, the benchmarks) start the same desktop through scripts/desktop.sh, which runs
this module as a program:

    desktops.py --ready-file FILE [--size WxH] [--no-window-manager] [--no-tray]
                [--xft-dpi DPI] [--tray-tint 0xRRGGBB] [--log-dir DIR]

It writes the display name (":5") to FILE once every part is up, and keeps the desktop until it
gets SIGTERM, SIGINT or SIGHUP, or until the process that started it is gone.
"""

import argparse
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from processes import DEFAULT_TIMEOUT, wait_for
from xdriver import X

START_TIMEOUT = 30.0
PR_SET_PDEATHSIG = 1
_prctl = ctypes.CDLL(None, use_errno=True).prctl


def _end_with_parent():
    """Run in each child before it starts its program: the kernel sends the child SIGTERM when
    the process that started it ends, however it ends, so no X server outlives its desktop."""
    _prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


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
    """An Xvfb of its own at 96 DPI, with openbox unless `window_manager` is false and trayer
    when `tray` is true. `size` is "WIDTHxHEIGHT"; `xft_dpi` is the DPI that Qt takes from the
    X resources (it ignores Xvfb's). Logs go to `log_dir` when given. Use as a context manager,
    or call start() and stop()."""

    def __init__(self, window_manager=True, tray=False, size="1280x1024", xft_dpi=None,
                 tray_tint=None, log_dir=None):
        self.window_manager = window_manager
        self.tray = tray
        self.size = size
        self.xft_dpi = xft_dpi
        self.tray_tint = tray_tint
        self.log_dir = Path(log_dir) if log_dir else None
        self.procs = []  # the X server first
        self.display = None
        self.x = None
        self._config_dir = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        try:
            self._start_server()
            if self.window_manager:
                self._config_dir = tempfile.mkdtemp(prefix="pinboa-openbox-")
                self._spawn("openbox", openbox_command(self._config_dir))
                wait_for(lambda: "window id" in self.x.run(
                    "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False),
                    START_TIMEOUT, what="openbox to start")
            if self.tray:
                argv = ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                        "--height", "24", "--transparent", "false"]
                if self.tray_tint:
                    argv += ["--tint", self.tray_tint]
                self._spawn("trayer", argv)
                wait_for(lambda: self.x.run("xdotool", "search", "--name", "^trayer$",
                                            check=False).strip(),
                         START_TIMEOUT, what="trayer to start")
            if self.xft_dpi:
                subprocess.run(["xrdb", "-nocpp", "-merge"], input="Xft.dpi: %s\n" % self.xft_dpi,
                               text=True, env=self.env(), check=True, timeout=DEFAULT_TIMEOUT)
        except BaseException:
            self.stop()
            raise

    def _log(self, name):
        if not self.log_dir:
            return subprocess.DEVNULL
        return open(self.log_dir / ("%s.log" % name), "ab")

    def _start_server(self):
        read_fd, write_fd = os.pipe()
        # No reset when the last client leaves: a window manager that connects while the
        # server resets after a short-lived client (the check that waits for it) fails to
        # start, and resources set with xrdb would be lost.
        argv = ["Xvfb", "-displayfd", str(write_fd), "-dpi", "96",
                "-screen", "0", "%sx24" % self.size, "-nolisten", "tcp", "-noreset"]
        log = self._log("xvfb")
        try:
            self.procs.append(subprocess.Popen(
                argv, pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=log,
                stderr=subprocess.STDOUT, start_new_session=True, preexec_fn=_end_with_parent))
        finally:
            os.close(write_fd)
            if log is not subprocess.DEVNULL:
                log.close()
        # Xvfb writes its display number once it accepts connections.
        with os.fdopen(read_fd, "rb") as pipe:
            ready, _, _ = select.select([pipe], [], [], START_TIMEOUT)
            number = pipe.readline().strip() if ready else b""
        if not number:
            raise RuntimeError("Xvfb did not start" + self._log_tail("xvfb"))
        self.display = ":" + number.decode()
        self.x = X(self.display)

    def _log_tail(self, name):
        if not self.log_dir:
            return ""
        try:
            return ":\n" + (self.log_dir / ("%s.log" % name)).read_text(errors="replace")[-2000:]
        except OSError:
            return ""

    def _spawn(self, name, argv):
        log = self._log(name)
        try:
            self.procs.append(subprocess.Popen(argv, env=self.env(), stdin=subprocess.DEVNULL,
                                               stdout=log, stderr=subprocess.STDOUT,
                                               start_new_session=True,
                                               preexec_fn=_end_with_parent))
        finally:
            if log is not subprocess.DEVNULL:
                log.close()

    def env(self, base=None):
        """An environment whose programs run on this desktop, through X11."""
        env = dict(base if base is not None else os.environ)
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        env["QT_QPA_PLATFORM"] = "xcb"
        return env

    def running(self):
        return bool(self.procs) and self.procs[0].poll() is None

    def stop(self):
        """Ends the window manager and the notification area, then the X server."""
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(3)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        self.procs = []
        if self._config_dir:
            shutil.rmtree(self._config_dir, ignore_errors=True)
            self._config_dir = None


class StopRequested(Exception):
    """A signal asked the desktop to end."""


def main(argv=None):
    parser = argparse.ArgumentParser(description="A virtual desktop of its own.")
    parser.add_argument("--ready-file", required=True,
                        help="written with the display name once the desktop is up")
    parser.add_argument("--size", default="1280x1024", help="WIDTHxHEIGHT of the screen")
    parser.add_argument("--no-window-manager", action="store_true")
    parser.add_argument("--no-tray", action="store_true", help="no notification area")
    parser.add_argument("--xft-dpi", type=int, help="the DPI that Qt takes from the X resources")
    parser.add_argument("--tray-tint", help="the notification area's colour, 0xRRGGBB")
    parser.add_argument("--log-dir", help="where xvfb.log, openbox.log and trayer.log go")
    args = parser.parse_args(argv)

    def stop_request(signum, frame):
        raise StopRequested()

    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, stop_request)
    parent = os.getppid()
    desktop = Desktop(window_manager=not args.no_window_manager, tray=not args.no_tray,
                      size=args.size, xft_dpi=args.xft_dpi, tray_tint=args.tray_tint,
                      log_dir=args.log_dir)
    try:
        desktop.start()
        ready = Path(args.ready_file)
        partial = ready.with_name(ready.name + ".part")
        partial.write_text(desktop.display + "\n")
        partial.rename(ready)
        while os.getppid() == parent and desktop.running():
            time.sleep(1)
    except StopRequested:
        pass
    except (RuntimeError, TimeoutError, OSError, subprocess.SubprocessError) as error:
        print("desktop: %s" % error, file=sys.stderr)
        return 1
    finally:
        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(signum, signal.SIG_IGN)  # a second request must not cut the ending short
        desktop.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
