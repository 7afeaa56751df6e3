# Installing: both programs and the icon into one program folder (the data files are written
# beside the programs), a menu entry and the icon in the user's desktop folders.

# The user's desktop folders, for the menu entry, the icon theme and the session's autostart.
if(DEFINED ENV{XDG_DATA_HOME} AND NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
  set(_pinboa_data_home "$ENV{XDG_DATA_HOME}")
else()
  set(_pinboa_data_home "$ENV{HOME}/.local/share")
endif()
if(DEFINED ENV{XDG_CONFIG_HOME} AND NOT "$ENV{XDG_CONFIG_HOME}" STREQUAL "")
  set(_pinboa_config_home "$ENV{XDG_CONFIG_HOME}")
else()
  set(_pinboa_config_home "$ENV{HOME}/.config")
endif()
set(PINBOA_XDG_DATA_HOME "${_pinboa_data_home}" CACHE PATH
    "Where the menu entry (applications/) and the icon (icons/hicolor/) are installed")
set(PINBOA_XDG_CONFIG_HOME "${_pinboa_config_home}" CACHE PATH
    "Where the session autostart entry (autostart/) is installed")
option(PINBOA_INSTALL_AUTOSTART "Start pinboa with the desktop session" OFF)

# The programs sit in the top of the prefix, not in bin/: pinboa starts memlet from its own
# folder and both keep MDATA.INI and IDDATA.INI there.
install(TARGETS pinboa RUNTIME DESTINATION .) # memlet installs itself beside it (notewin/)

set(_pinboa_icon "${CMAKE_SOURCE_DIR}/resources/pinboa.svg")
install(FILES "${_pinboa_icon}" DESTINATION .)
install(FILES "${_pinboa_icon}"
        DESTINATION "${PINBOA_XDG_DATA_HOME}/icons/hicolor/scalable/apps")
install(FILES "${CMAKE_SOURCE_DIR}/resources/pinboa-32.png"
        DESTINATION "${PINBOA_XDG_DATA_HOME}/icons/hicolor/32x32/apps" RENAME pinboa.png)

# The entries name the installed program, so they are written when installing, after
# `cmake --install --prefix` has fixed where that is.
install(CODE "
  set(PINBOA_DESKTOP_TEMPLATE \"${CMAKE_SOURCE_DIR}/dist/pinboa.desktop.in\")
  set(PINBOA_DESKTOP_WORK \"${CMAKE_BINARY_DIR}/dist\")
  set(PINBOA_APPLICATIONS_DIR \"${PINBOA_XDG_DATA_HOME}/applications\")
  set(PINBOA_AUTOSTART_DIR \"${PINBOA_XDG_CONFIG_HOME}/autostart\")
  set(PINBOA_INSTALL_AUTOSTART ${PINBOA_INSTALL_AUTOSTART})
")
install(SCRIPT "${CMAKE_SOURCE_DIR}/cmake/InstallDesktopEntry.cmake")
