# Installing: both programs and the icon into one program folder, and the desktop's files (menu
# entry, icons, the autostart entry) for the user, or for everyone in the Debian package.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT

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
# folder, and both keep MDATA.INI and IDDATA.INI there when the user can write it.
install(TARGETS pinboa RUNTIME DESTINATION .) # memlet installs itself beside it (notewin/)
install(FILES "${CMAKE_SOURCE_DIR}/resources/pinboa.svg" DESTINATION .)

# The entries name the installed program, and the package puts them elsewhere than a user's
# install, so they are written when installing, once the prefix and the kind of install are known.
install(CODE "
  set(PINBOA_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")
  set(PINBOA_DESKTOP_WORK \"${CMAKE_BINARY_DIR}/dist\")
  set(PINBOA_XDG_DATA_HOME \"${PINBOA_XDG_DATA_HOME}\")
  set(PINBOA_XDG_CONFIG_HOME \"${PINBOA_XDG_CONFIG_HOME}\")
  if(NOT DEFINED PINBOA_INSTALL_AUTOSTART) # cmake -D... -P cmake_install.cmake may choose
    set(PINBOA_INSTALL_AUTOSTART ${PINBOA_INSTALL_AUTOSTART})
  endif()
  set(PINBOA_LAST_MANIFEST \"${CMAKE_BINARY_DIR}/install_manifest.txt\")
")
install(SCRIPT "${CMAKE_SOURCE_DIR}/cmake/InstallDesktopEntry.cmake")
install(SCRIPT "${CMAKE_SOURCE_DIR}/cmake/InstallPackageDocs.cmake")

# `cmake --build build --target uninstall` removes what the last install wrote, one manifest line
# at a time, and never the notes.
add_custom_target(uninstall
  COMMAND "${CMAKE_COMMAND}" "-DPINBOA_MANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt"
          -P "${CMAKE_SOURCE_DIR}/cmake/Uninstall.cmake"
  VERBATIM)

# `cpack -G DEB`: the programs in /opt/pinboa, the menu entry and the icons in /usr/share. The
# notes of each user then live in the user's data folder, as the program folder is not theirs.
set(CPACK_PACKAGE_NAME pinboa)
set(CPACK_PACKAGE_VENDOR "pinboa developers")
set(CPACK_PACKAGE_CONTACT "pinboa developers <pinboa@users.noreply.github.com>")
# The package's changelog (dist/changelog, shipped in /usr/share/doc/pinboa) starts with this
# version.
file(STRINGS "${CMAKE_SOURCE_DIR}/dist/changelog" _pinboa_changelog_top LIMIT_COUNT 1)
if(NOT _pinboa_changelog_top MATCHES "^pinboa \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "dist/changelog starts with \"${_pinboa_changelog_top}\", "
                      "not with version ${PROJECT_VERSION}")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sticky notes (付箋) for the Japanese desktop")
# Lines of the description are at most 80 characters in the package's control file.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "pinboa stays in the notification area and shows each note in a small window\n"
       "of its own, where it was last left. The notes are kept in MDATA.INI, a\n"
       "Shift-JIS text file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/pinboa)
# Installed as the one component there is, so that packing writes its own manifest and leaves
# install_manifest.txt, which `uninstall` reads, to the last real install.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};pinboa;Unspecified;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_CUSTOM_INSTALL_VARIABLES "PINBOA_SYSTEM_PACKAGE=ON")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The Qt and C libraries come from the programs themselves; the X11 platform plugin and a
# Japanese face are loaded at run time, so they are named here, and so are Qt's own Japanese
# texts (the buttons of message boxes, the font and colour choosers).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-mincho, fonts-motoya-l-maruberi")
include(CPack)
