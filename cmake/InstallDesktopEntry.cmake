# Install-time script: writes the menu entry (and the autostart entry when asked) for the
# program as installed under CMAKE_INSTALL_PREFIX.

set(_prefix "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/+$" "" _prefix "${_prefix}")
set(_program "${_prefix}/pinboa")

# Exec takes a quoted argument when the path holds a space or a reserved character; inside the
# quotes ", `, $ and \ are escaped with a backslash, and every backslash of the entry is doubled
# once more by the desktop file's own string escapes. "%" is a field code and is written "%%".
set(_exec "${_program}")
string(REPLACE "%" "%%" _exec "${_exec}")
if(_exec MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\\\\\" _exec "${_exec}")
  string(REPLACE "\"" "\\\\\"" _exec "${_exec}")
  string(REPLACE "`" "\\\\`" _exec "${_exec}")
  string(REPLACE "$" "\\\\$" _exec "${_exec}")
  set(_exec "\"${_exec}\"")
endif()
set(PINBOA_DESKTOP_EXEC "${_exec}")
set(PINBOA_DESKTOP_PATH "${_prefix}")

set(PINBOA_DESKTOP_EXTRA "")
configure_file("${PINBOA_DESKTOP_TEMPLATE}" "${PINBOA_DESKTOP_WORK}/pinboa.desktop" @ONLY)
file(INSTALL "${PINBOA_DESKTOP_WORK}/pinboa.desktop"
     DESTINATION "${PINBOA_APPLICATIONS_DIR}")

if(PINBOA_INSTALL_AUTOSTART)
  set(PINBOA_DESKTOP_EXTRA "X-GNOME-Autostart-enabled=true")
  configure_file("${PINBOA_DESKTOP_TEMPLATE}" "${PINBOA_DESKTOP_WORK}/autostart/pinboa.desktop"
                 @ONLY)
  file(INSTALL "${PINBOA_DESKTOP_WORK}/autostart/pinboa.desktop"
       DESTINATION "${PINBOA_AUTOSTART_DIR}")
endif()
