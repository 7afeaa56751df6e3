# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""Installing: both programs and the icon in one program folder, the menu entry and the icon
theme in the user's folders, the autostart entry when asked for and never again once the user
deleted it, and uninstalling from any folder without touching the notes."""

import configparser
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

import harness

BUILD_DIR = harness.program_dir().parent
SOURCE_DIR = Path(__file__).resolve().parents[2]
# Installed as the one component there is, so the build's own install_manifest.txt stays the
# user's.
MANIFEST = BUILD_DIR / "install_manifest_Unspecified.txt"


def cache_value(name):
    text = (BUILD_DIR / "CMakeCache.txt").read_text()
    m = re.search(r"^%s:[A-Z]+=(.*)$" % re.escape(name), text, re.M)
    return m.group(1) if m else None


DATA_HOME = Path(cache_value("PINBOA_XDG_DATA_HOME"))
AUTOSTART = Path(cache_value("PINBOA_XDG_CONFIG_HOME")) / "autostart" / "pinboa.desktop"


class Install(unittest.TestCase):
    def setUp(self):
        self.dest = Path(tempfile.mkdtemp(prefix="pinboa-install-"))
        self.addCleanup(shutil.rmtree, self.dest, True)

    def install(self, prefix, autostart=False):
        env = dict(os.environ, DESTDIR=str(self.dest))
        subprocess.run(["cmake", "-DCMAKE_INSTALL_PREFIX=" + prefix,
                        "-DCMAKE_INSTALL_COMPONENT=Unspecified",
                        "-DPINBOA_INSTALL_AUTOSTART=" + ("ON" if autostart else "OFF"),
                        "-P", str(BUILD_DIR / "cmake_install.cmake")],
                       env=env, check=True, capture_output=True, text=True)

    def uninstall(self):
        subprocess.run(["cmake", "-DPINBOA_MANIFEST=%s" % MANIFEST,
                        "-P", str(SOURCE_DIR / "cmake" / "Uninstall.cmake")],
                       env=dict(os.environ, DESTDIR=str(self.dest)),
                       check=True, capture_output=True, text=True)

    def staged(self, path):
        return self.dest / str(path).lstrip("/")

    def entry(self, path):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(self.staged(path), encoding="utf-8")
        return parser["Desktop Entry"]

    def test_install_puts_programs_icon_and_menu_entry_in_place(self):
        prefix = "/home/someone/.local/opt/pinboa"
        self.install(prefix)
        folder = self.staged(prefix)
        for name in ("pinboa", "memlet"):
            self.assertTrue(os.access(folder / name, os.X_OK), name)
        self.assertTrue((folder / "pinboa.svg").is_file())
        self.assertFalse((folder / "bin").exists())

        entry = self.entry(DATA_HOME / "applications" / "pinboa.desktop")
        self.assertEqual(entry["Type"], "Application")
        self.assertEqual(entry["Exec"], prefix + "/pinboa")
        self.assertEqual(entry["Path"], prefix)
        self.assertEqual(entry["Icon"], "pinboa")
        self.assertTrue(self.staged(DATA_HOME / "icons/hicolor/scalable/apps/pinboa.svg").is_file())
        png = self.staged(DATA_HOME / "icons/hicolor/32x32/apps/pinboa.png").read_bytes()
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(int.from_bytes(png[16:20], "big"), 32)  # width in the IHDR chunk
        self.assertEqual(int.from_bytes(png[20:24], "big"), 32)

        # Not asked for: no autostart entry, only the copy beside the programs.
        self.assertFalse(self.staged(AUTOSTART).exists())
        copy = self.entry(Path(prefix) / "pinboa-autostart.desktop")
        self.assertEqual(copy["Exec"], prefix + "/pinboa --show-notes")

    def test_update_never_brings_back_a_deleted_autostart_entry(self):
        prefix = "/home/someone/.local/opt/pinboa"
        self.install(prefix, autostart=True)
        self.assertEqual(self.entry(AUTOSTART)["Exec"], prefix + "/pinboa --show-notes")
        self.staged(AUTOSTART).unlink()
        self.install(prefix, autostart=True)
        self.assertFalse(self.staged(AUTOSTART).exists())

    def test_uninstall_from_a_folder_with_spaces_keeps_the_notes(self):
        prefix = "/home/someone/My Programs/付箋 ボード"
        self.install(prefix, autostart=True)
        self.assertEqual(self.entry(DATA_HOME / "applications" / "pinboa.desktop")["Exec"],
                         '"%s/pinboa"' % prefix)
        folder = self.staged(prefix)
        installed = [self.staged(os.path.normpath(p)) for p in MANIFEST.read_text().splitlines()]
        self.assertIn(folder / "memlet", installed)
        notes = harness.mdata_bytes([harness.Note("牛乳")])
        (folder / "MDATA.INI").write_bytes(notes)
        (folder / "IDDATA.INI").write_bytes(harness.running_entry("1", 4242))
        self.uninstall()
        self.assertEqual([p for p in installed if os.path.lexists(p)], [])
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["IDDATA.INI", "MDATA.INI"])
        self.assertEqual((folder / "MDATA.INI").read_bytes(), notes)

if __name__ == "__main__":
    unittest.main(verbosity=2)
