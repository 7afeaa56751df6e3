# Helpers that register the three layers of tests with ctest.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT

# A data folder the user chose (pinboa.conf) must not send the tests' programs elsewhere: the
# tests have configuration and state folders of their own, empty unless a test fills them.
set(PINBOA_TEST_XDG "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/tests/xdg/config"
                    "XDG_STATE_HOME=${CMAKE_BINARY_DIR}/tests/xdg/state")

# A test program of one subject, built from Qt Test sources and linked to `LIBS`.
# WIDGETS: runs with the offscreen platform, no display needed.
function(pinboa_add_qtest name)
  cmake_parse_arguments(T "WIDGETS" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  # Test programs stay out of the program folder, which holds only what is installed.
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests/bin")
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name})
  set(env "PINBOA_PROGRAM_DIR=${PINBOA_PROGRAM_DIR}" ${PINBOA_TEST_XDG}
      ${PINBOA_SANITIZER_ENVIRONMENT})
  if(T_WIDGETS)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" LABELS "${T_LABELS}" TIMEOUT 300)
endfunction()

# An end-to-end test: a Python script that runs the real programs from a temporary copy of the
# program folder. X: needs the virtual X server, window manager and notification area that the
# test command starts (DISPLAY is passed through); otherwise it runs offscreen.
function(pinboa_add_e2e name script)
  cmake_parse_arguments(T "X" "" "LABELS;TIMEOUT" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND python3 -u ${CMAKE_CURRENT_SOURCE_DIR}/${script})
  set(env "PINBOA_PROGRAM_DIR=${PINBOA_PROGRAM_DIR}" "PYTHONDONTWRITEBYTECODE=1" ${PINBOA_TEST_XDG})
  if(T_X)
    set(labels e2e x11 ${T_LABELS})
  else()
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
    set(labels e2e ${T_LABELS})
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" LABELS "${labels}"
                       TIMEOUT ${T_TIMEOUT})
  if(T_X)
    # One desktop is shared by these tests: focus, pointer and drags must not interleave.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK x11desktop)
  endif()
endfunction()
