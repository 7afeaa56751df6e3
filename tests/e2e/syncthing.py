# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""Two Syncthing instances on this machine that share one folder: each with a home of its own,
listening on loopback only, without discovery, relays or NAT traversal, introduced to each other
through their configuration. The instances are processes of a `Processes`, ended with it."""

import json
import socket
import subprocess
import time
import urllib.request
import xml.etree.ElementTree as ET
from pathlib import Path

from processes import wait_for

FOLDER_ID = "pinboa-notes"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Syncthing:
    """One instance: its home, its ports, its folder; start() runs it among `procs`."""

    def __init__(self, home, folder, name):
        self.home = Path(home)
        self.folder = Path(folder)
        self.name = name
        self.gui_port = free_port()
        self.listen_port = free_port()
        self.proc = None
        subprocess.run(["syncthing", "generate", "--home=%s" % self.home, "--no-default-folder",
                        "--skip-port-probing"], check=True, capture_output=True, timeout=60)
        out = subprocess.run(["syncthing", "serve", "--home=%s" % self.home, "--device-id"],
                             check=True, capture_output=True, text=True, timeout=60).stdout
        self.device_id = out.strip().splitlines()[-1].strip()
        self.api_key = ET.parse(self.config).getroot().findtext("gui/apikey")

    @property
    def config(self):
        return self.home / "config.xml"

    def introduce(self, peer):
        """Writes the configuration: loopback only, nothing looked up outside, the peer as a
        device at its address, and the shared folder with conflict copies on."""
        tree = ET.parse(self.config)
        root = tree.getroot()
        root.find("gui").find("address").text = "127.0.0.1:%d" % self.gui_port
        options = root.find("options")

        def option(name, value):
            for old in options.findall(name):
                options.remove(old)
            ET.SubElement(options, name).text = value
        option("listenAddress", "tcp://127.0.0.1:%d" % self.listen_port)
        for name in ("globalAnnounceEnabled", "localAnnounceEnabled", "relaysEnabled",
                     "natEnabled", "crashReportingEnabled", "startBrowser"):
            option(name, "false")
        option("urAccepted", "-1")
        option("autoUpgradeIntervalH", "0")
        # The default, 60 s, would make a resumed peer wait up to a minute.
        option("reconnectionIntervalS", "1")
        for old in root.findall("device") + root.findall("folder"):
            root.remove(old)
        for device in (self, peer):
            element = ET.SubElement(root, "device", id=device.device_id, name=device.name,
                                    compression="metadata", introducer="false")
            address = ("tcp://127.0.0.1:%d" % device.listen_port) if device is peer else \
                "dynamic"
            ET.SubElement(element, "address").text = address
        folder = ET.SubElement(root, "folder", id=FOLDER_ID, label="notes",
                               path=str(self.folder), type="sendreceive",
                               rescanIntervalS="10", fsWatcherEnabled="true",
                               fsWatcherDelayS="1", ignorePerms="false", autoNormalize="true")
        for device in (self, peer):
            ET.SubElement(folder, "device", id=device.device_id, introducedBy="")
        # Without it Syncthing keeps no conflict copy: a concurrent version is lost.
        ET.SubElement(folder, "maxConflicts").text = "10"
        tree.write(self.config)

    def start(self, procs):
        self.proc = procs.start(["syncthing", "serve", "--home=%s" % self.home, "--no-browser",
                                 "--no-restart", "--no-upgrade",
                                 "--logfile=%s" % (self.home / "log")],
                                name="syncthing-%s" % self.name)
        wait_for(lambda: self.get("/rest/system/ping", check=False), 60,
                 what="syncthing %s to answer" % self.name)

    def request(self, method, path, check=True):
        req = urllib.request.Request("http://127.0.0.1:%d%s" % (self.gui_port, path),
                                     method=method, headers={"X-API-Key": self.api_key})
        try:
            with urllib.request.urlopen(req, timeout=5) as res:
                body = res.read()
                return json.loads(body) if body else {}
        except (OSError, ValueError):
            if check:
                raise
            return None

    def get(self, path, check=True):
        return self.request("GET", path, check)

    def connected(self, peer):
        connections = self.get("/rest/system/connections", check=False) or {}
        return connections.get("connections", {}).get(peer.device_id, {}).get("connected")

    def pause(self, peer):
        self.request("POST", "/rest/system/pause?device=%s" % peer.device_id)

    def resume(self, peer):
        self.request("POST", "/rest/system/resume?device=%s" % peer.device_id)

    def idle(self):
        """The folder is scanned and nothing is being pulled."""
        status = self.get("/rest/db/status?folder=%s" % FOLDER_ID, check=False) or {}
        return status.get("state") == "idle" and not status.get("needTotalItems")

    def stop(self, procs):
        if self.proc is not None:
            procs.stop(self.proc, timeout=10)


def pair(root, procs):
    """Two instances, `a` and `b`, sharing root/a-notes and root/b-notes; started and connected."""
    root = Path(root)
    a = Syncthing(root / "a-home", root / "a-notes", "a")
    b = Syncthing(root / "b-home", root / "b-notes", "b")
    for folder in (a.folder, b.folder):
        folder.mkdir(parents=True, exist_ok=True)
    a.introduce(b)
    b.introduce(a)
    a.start(procs)
    b.start(procs)
    wait_for(lambda: a.connected(b) and b.connected(a), 60, interval=0.2,
             what="the two syncthing instances to connect")
    return a, b


def wait_synced(a, b, timeout=30):
    wait_for(lambda: a.idle() and b.idle(), timeout, interval=0.2, what="syncthing to settle")
    time.sleep(0.2)
