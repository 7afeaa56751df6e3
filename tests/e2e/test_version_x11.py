# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""The version dialog on a real desktop: its button brings the main window back where the
dialog stood; its close box leaves only the tray icon."""

import harness


class VersionDialogOnDesktop(harness.E2ETestCase):
    needs_display = True

    def open_version(self):
        self.folder = self.program_folder(b"")
        self.pinboa = self.start(self.folder, "pinboa")
        self.main = self.x.wait_window_named(self.pinboa.pid, "Pinboa")
        main_at = self.x.wait_geometry_stable(self.main)
        self.x.activate(self.main)
        self.x.key("alt+a")
        dialog = self.x.wait_window_named(self.pinboa.pid, "バージョン")
        at = self.x.wait_geometry_stable(dialog)
        self.assertEqual((at.x, at.y), (main_at.x, main_at.y))
        self.assertNotIn(self.main, self.x.windows_of(self.pinboa.pid))
        # 4680 x 3060 twips of client area, at 15 twips a pixel.
        client = self.x.client_geometry(dialog)
        self.assertEqual((client.width, client.height), (312, 204))
        self.assertFalse(self.x.offers_minimise_or_maximise(dialog))
        return dialog

    def test_ok_brings_the_main_window_to_the_dialogs_place(self):
        dialog = self.open_version()
        self.x.xdotool("windowmove", "--sync", dialog, 400, 300)
        moved = self.x.wait_geometry_stable(dialog)
        self.x.activate(dialog)
        self.x.key("alt+f")
        harness.wait_for(lambda: self.main in self.x.windows_of(self.pinboa.pid),
                         what="the main window to come back")
        g = self.x.wait_geometry_stable(self.main)
        self.assertEqual((g.x, g.y), (moved.x, moved.y))
        self.assertNotIn(dialog, self.x.windows_of(self.pinboa.pid))

    def test_close_box_leaves_the_tray_icon_only(self):
        dialog = self.open_version()
        self.x.activate(dialog)
        self.x.key("alt+F4")  # the window manager's close, as the close box does
        harness.wait_for(lambda: dialog not in self.x.windows_of(self.pinboa.pid),
                         what="the dialog to close")
        self.assertIsNone(self.pinboa.poll())
        self.assertNotIn(self.main, self.x.windows_of(self.pinboa.pid))
        self.assertTrue(self.x.wait_tray_icon(self.pinboa.pid))
        self.assertEqual(self.x.windows_of(self.pinboa.pid),
                         self.x.tray_icons_of(self.pinboa.pid))


if __name__ == "__main__":
    harness.main()
