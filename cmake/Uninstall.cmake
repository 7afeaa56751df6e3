# Uninstalling: removes every file that the install manifest PINBOA_MANIFEST lists, one line at
# a time (a path may hold spaces or any other character but a line break), under $DESTDIR when
# the install was staged there, then the program folder when nothing is left in it. The notes
# are never removed: MDATA.INI and IDDATA.INI stay, whatever the manifest says, and so does the
# folder that holds them.
#   cmake -DPINBOA_MANIFEST=build/install_manifest.txt -P cmake/Uninstall.cmake
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT

if(NOT EXISTS "${PINBOA_MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${PINBOA_MANIFEST} is missing (install first).")
endif()

# Read as bytes and cut at line ends: file(STRINGS) would also cut at every byte that is not
# ASCII, which a Japanese folder name is made of.
file(READ "${PINBOA_MANIFEST}" _rest)
set(_program_folders "")
set(_failed "")
while(NOT _rest STREQUAL "")
  string(FIND "${_rest}" "\n" _end)
  if(_end EQUAL -1)
    set(_file "${_rest}")
    set(_rest "")
  else()
    string(SUBSTRING "${_rest}" 0 ${_end} _file)
    math(EXPR _end "${_end} + 1")
    string(SUBSTRING "${_rest}" ${_end} -1 _rest)
  endif()
  if(_file STREQUAL "")
    continue()
  endif()
  # Files installed into "." of the prefix are listed as "<prefix>/./<name>".
  string(REPLACE "/./" "/" _file "$ENV{DESTDIR}${_file}")
  if(IS_DIRECTORY "${_file}")
    continue()
  endif()
  get_filename_component(_name "${_file}" NAME)
  string(TOUPPER "${_name}" _upper)
  if(_upper STREQUAL "MDATA.INI" OR _upper STREQUAL "IDDATA.INI")
    continue()
  endif()
  get_filename_component(_folder "${_file}" DIRECTORY)
  if(_name STREQUAL "pinboa" OR _name STREQUAL "memlet")
    list(APPEND _program_folders "${_folder}")
  endif()
  if(EXISTS "${_file}" OR IS_SYMLINK "${_file}")
    message(STATUS "Removing ${_file}")
    file(REMOVE "${_file}")
    if(EXISTS "${_file}" OR IS_SYMLINK "${_file}")
      list(APPEND _failed "${_file}")
    endif()
  endif()
endwhile()

# The lock files go with the folder when no notes are kept there; a folder with notes stays.
# The folder itself is only ever removed empty (rmdir), so nothing but the listed files is lost
# even if a pattern below misses.
list(REMOVE_DUPLICATES _program_folders)
foreach(_folder IN LISTS _program_folders)
  # Characters of the folder's name that a pattern would read as wildcards stand for themselves.
  string(REGEX REPLACE "([][*?])" "[\\1]" _pattern "${_folder}")
  file(GLOB _data LIST_DIRECTORIES false "${_pattern}/[Mm][Dd][Aa][Tt][Aa].[Ii][Nn][Ii]"
       "${_pattern}/[Ii][Dd][Dd][Aa][Tt][Aa].[Ii][Nn][Ii]")
  if(_data OR EXISTS "${_folder}/MDATA.INI" OR EXISTS "${_folder}/IDDATA.INI")
    message(STATUS "Kept the notes in ${_folder}")
    continue()
  endif()
  file(GLOB _locks LIST_DIRECTORIES false "${_pattern}/.pinboa*.lock")
  if(_locks)
    file(REMOVE ${_locks})
  endif()
  if(IS_DIRECTORY "${_folder}")
    execute_process(COMMAND rmdir "${_folder}" RESULT_VARIABLE _ignored ERROR_QUIET)
  endif()
endforeach()

if(_failed)
  string(REPLACE ";" "\n  " _failed "${_failed}")
  message(FATAL_ERROR "Could not remove:\n  ${_failed}")
endif()
