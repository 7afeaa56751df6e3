"""Installing: both programs and the icon in one program folder, the menu entry and the icon
theme in the user's folders, the autostart entry only when asked for."""

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


def cache_value(name):
    text = (BUILD_DIR / "CMakeCache.txt").read_text()
    m = re.search(r"^%s:[A-Z]+=(.*)$" % re.escape(name), text, re.M)
    return m.group(1) if m else None


class Install(unittest.TestCase):
    def setUp(self):
        self.dest = Path(tempfile.mkdtemp(prefix="pinboa-install-"))
        self.addCleanup(shutil.rmtree, self.dest, True)

    def install(self, prefix):
        env = dict(os.environ, DESTDIR=str(self.dest))
        subprocess.run(["cmake", "--install", str(BUILD_DIR), "--prefix", prefix], env=env,
                       check=True, capture_output=True, text=True)

    def staged(self, path):
        return self.dest / str(path).lstrip("/")

    def entry(self, path):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(self.staged(path), encoding="utf-8")
        return parser["Desktop Entry"]

    def test_programs_icon_and_menu_entry(self):
        prefix = "/home/someone/.local/opt/pinboa"
        self.install(prefix)
        folder = self.staged(prefix)
        for name in ("pinboa", "memlet"):
            self.assertTrue(os.access(folder / name, os.X_OK), name)
        self.assertTrue((folder / "pinboa.svg").is_file())
        self.assertFalse((folder / "bin").exists())

        data_home = Path(cache_value("PINBOA_XDG_DATA_HOME"))
        entry = self.entry(data_home / "applications" / "pinboa.desktop")
        self.assertEqual(entry["Type"], "Application")
        self.assertEqual(entry["Exec"], prefix + "/pinboa")
        self.assertEqual(entry["Path"], prefix)
        self.assertEqual(entry["Icon"], "pinboa")
        self.assertTrue(self.staged(data_home / "icons/hicolor/scalable/apps/pinboa.svg").is_file())
        png = self.staged(data_home / "icons/hicolor/32x32/apps/pinboa.png").read_bytes()
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(int.from_bytes(png[16:20], "big"), 32)  # width in the IHDR chunk
        self.assertEqual(int.from_bytes(png[20:24], "big"), 32)

        autostart = Path(cache_value("PINBOA_XDG_CONFIG_HOME")) / "autostart" / "pinboa.desktop"
        self.assertEqual(self.staged(autostart).exists(),
                         cache_value("PINBOA_INSTALL_AUTOSTART") in ("ON", "1", "TRUE", "YES"))

    def test_exec_of_a_folder_with_a_space_is_quoted(self):
        prefix = "/home/someone/My Programs/pinboa"
        self.install(prefix)
        data_home = Path(cache_value("PINBOA_XDG_DATA_HOME"))
        entry = self.entry(data_home / "applications" / "pinboa.desktop")
        self.assertEqual(entry["Exec"], '"%s/pinboa"' % prefix)
        self.assertTrue((self.staged(prefix) / "pinboa").is_file())


if __name__ == "__main__":
    unittest.main(verbosity=2)
