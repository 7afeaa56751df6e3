# Install-time script: the Debian package's copyright file and compressed changelog, in
# /usr/share/doc/pinboa as Debian has them. A user's install takes neither.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT

if(NOT PINBOA_SYSTEM_PACKAGE)
  return()
endif()

# gzip -n: no name or time inside, so the same changelog packs to the same bytes.
file(MAKE_DIRECTORY "${PINBOA_DESKTOP_WORK}/doc")
execute_process(COMMAND gzip -9nc "${PINBOA_SOURCE_DIR}/dist/changelog"
                OUTPUT_FILE "${PINBOA_DESKTOP_WORK}/doc/changelog.gz"
                RESULT_VARIABLE _gzip)
if(NOT _gzip EQUAL 0)
  message(FATAL_ERROR "gzip of the changelog failed: ${_gzip}")
endif()
file(INSTALL "${PINBOA_SOURCE_DIR}/dist/copyright" "${PINBOA_DESKTOP_WORK}/doc/changelog.gz"
     DESTINATION "/usr/share/doc/pinboa" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ
     WORLD_READ)
