# PINBOA_SANITIZE: every target built with the address and undefined-behaviour sanitizers, for
# the unit and widget tests that the test command runs from a build folder of its own. Any
# report ends the process with an error, so a test cannot pass over one.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
option(PINBOA_SANITIZE "Build with the address and undefined-behaviour sanitizers" OFF)
if(PINBOA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  # For the tests and the programs they start: the first report ends the run with an error,
  # a leak too (Qt on the offscreen platform leaves none that LeakSanitizer reports, so no
  # suppression is needed).
  set(PINBOA_SANITIZER_ENVIRONMENT
      "ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_init_order=1"
      "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
endif()
