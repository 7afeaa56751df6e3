# Install-time script: the menu entry, the icons and the autostart entry for the program as
# installed under CMAKE_INSTALL_PREFIX. The Debian package (PINBOA_SYSTEM_PACKAGE, set by CPack)
# puts the menu entry and the icons into /usr/share for everyone; a user's install puts them
# into the user's folders, with the autostart entry when asked for.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT

set(_prefix "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/+$" "" _prefix "${_prefix}")

# Exec takes a quoted argument when the path holds a space or a reserved character; inside the
# quotes ", `, $ and \ are escaped with a backslash, and every backslash of the entry is doubled
# once more by the desktop file's own string escapes. "%" is a field code and is written "%%".
set(_exec "${_prefix}/pinboa")
string(REPLACE "%" "%%" _exec "${_exec}")
if(_exec MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\\\\\" _exec "${_exec}")
  string(REPLACE "\"" "\\\\\"" _exec "${_exec}")
  string(REPLACE "`" "\\\\`" _exec "${_exec}")
  string(REPLACE "$" "\\\\$" _exec "${_exec}")
  set(_exec "\"${_exec}\"")
endif()
set(PINBOA_DESKTOP_PATH "${_prefix}")
set(_template "${PINBOA_SOURCE_DIR}/dist/pinboa.desktop.in")

if(PINBOA_SYSTEM_PACKAGE)
  set(_data_home "/usr/share")
else()
  set(_data_home "${PINBOA_XDG_DATA_HOME}")
endif()

# The menu entry starts the master as the user left it; the autostart entry brings the notes back.
set(PINBOA_DESKTOP_EXEC "${_exec}")
set(PINBOA_DESKTOP_EXTRA "")
configure_file("${_template}" "${PINBOA_DESKTOP_WORK}/pinboa.desktop" @ONLY)
set(PINBOA_DESKTOP_EXEC "${_exec} --show-notes")
set(PINBOA_DESKTOP_EXTRA "X-GNOME-Autostart-enabled=true")
configure_file("${_template}" "${PINBOA_DESKTOP_WORK}/autostart/pinboa.desktop" @ONLY)

file(INSTALL "${PINBOA_DESKTOP_WORK}/pinboa.desktop" DESTINATION "${_data_home}/applications")
file(INSTALL "${PINBOA_SOURCE_DIR}/resources/pinboa.svg"
     DESTINATION "${_data_home}/icons/hicolor/scalable/apps")
file(INSTALL "${PINBOA_SOURCE_DIR}/resources/pinboa-32.png"
     DESTINATION "${_data_home}/icons/hicolor/32x32/apps" RENAME pinboa.png)
# A copy to put into ~/.config/autostart by hand, for any kind of install.
file(INSTALL "${PINBOA_DESKTOP_WORK}/autostart/pinboa.desktop" DESTINATION "${_prefix}"
     RENAME pinboa-autostart.desktop)

if(PINBOA_SYSTEM_PACKAGE)
  return()
endif()

# The user's autostart entry is the user's choice: one that exists is kept and brought up to
# date; a missing one is created only when asked for and only once for this program folder
# (the mark beside the programs remembers it; an install made before the mark existed is known
# by the build's last manifest), so an update never brings back an entry that the user deleted.
# Uninstalling removes the mark with the programs.
set(_autostart_dir "${PINBOA_XDG_CONFIG_HOME}/autostart")
set(_autostart "$ENV{DESTDIR}${_autostart_dir}/pinboa.desktop")
set(_mark "${_prefix}/.pinboa-autostart")
set(_installed_before OFF)
if(EXISTS "$ENV{DESTDIR}${_mark}")
  set(_installed_before ON)
elseif("$ENV{DESTDIR}" STREQUAL "" AND EXISTS "${PINBOA_LAST_MANIFEST}")
  # The manifest names the files of the last install into this system (no DESTDIR).
  file(READ "${PINBOA_LAST_MANIFEST}" _last_files)
  string(FIND "\n${_last_files}\n" "\n${_autostart}\n" _at)
  if(NOT _at EQUAL -1)
    set(_installed_before ON)
  endif()
endif()
if(EXISTS "${_autostart}" OR (PINBOA_INSTALL_AUTOSTART AND NOT _installed_before))
  file(INSTALL "${PINBOA_DESKTOP_WORK}/autostart/pinboa.desktop" DESTINATION "${_autostart_dir}")
  set(_installed_before ON)
endif()
if(_installed_before)
  file(WRITE "${PINBOA_DESKTOP_WORK}/autostart-mark"
       "The autostart entry ${_autostart_dir}/pinboa.desktop was installed for this folder.\n")
  file(INSTALL "${PINBOA_DESKTOP_WORK}/autostart-mark" DESTINATION "${_prefix}"
       RENAME .pinboa-autostart)
endif()
