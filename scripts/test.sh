#!/usr/bin/env bash
# Sets up, builds and runs every test (unit, widget, end-to-end) with ctest on a virtual
# desktop of its own: Xvfb at 96 DPI, openbox as window manager, trayer as notification area.
# Then the unit and widget tests once more, built with the address and undefined-behaviour
# sanitizers in build-asan/. Ends with ctest's summaries; fails when either run fails.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
set -uo pipefail

PINBOA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PINBOA_BUILD_DIR="${PINBOA_BUILD_DIR:-$PINBOA_ROOT/build}"
PINBOA_ASAN_DIR="${PINBOA_ASAN_DIR:-$PINBOA_ROOT/build-asan}"
export PINBOA_BUILD_DIR

"$PINBOA_ROOT/scripts/setup.sh" --test || exit 1

# The sanitizer build holds only what the unit and widget tests run: their programs and what
# those start (the note window, the stand-ins); no benchmarks, no end-to-end tests.
cmake -S "$PINBOA_ROOT" -B "$PINBOA_ASAN_DIR" -G "Unix Makefiles" -DPINBOA_WERROR=ON \
  -DPINBOA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null || exit 1
mapfile -t asan_tests < <(ctest --test-dir "$PINBOA_ASAN_DIR" -N -L '^(unit|widgets)$' |
  sed -n 's/^ *Test *#[0-9]*: \(.*\)$/\1/p')
if [ "${#asan_tests[@]}" -eq 0 ]; then
  echo "test.sh: no unit or widget tests in $PINBOA_ASAN_DIR" >&2
  exit 1
fi
work="$(mktemp -d "${TMPDIR:-/tmp}/pinboa-test.XXXXXX")"
. "$PINBOA_ROOT/scripts/desktop.sh"
asan_build=
cleanup() {
  if [ -n "$asan_build" ]; then
    kill -- "$asan_build" 2>/dev/null
    wait "$asan_build" 2>/dev/null
  fi
  desktop_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

desktop_start "$work" 1280x1024 || exit 1

echo "test.sh: virtual desktop on DISPLAY=$DISPLAY"
# Tests on the shared desktop hold the ctest resource lock "x11desktop", so they run one at a
# time while the tests without a display run beside them.
# The sanitizer build runs meanwhile, behind the tests: the desktop tests spend most of their
# time waiting for windows, not computing.
nice -n 10 cmake --build "$PINBOA_ASAN_DIR" -j2 --target "${asan_tests[@]}" \
  >"$work/asan-build.log" 2>&1 &
asan_build=$!
# Every test passes the first time or fails: none is run again.
ctest --test-dir "$PINBOA_BUILD_DIR" --output-on-failure --no-tests=error -j2 </dev/null
status=$?
wait "$asan_build"
asan_built=$?
asan_build=
if [ "$asan_built" -ne 0 ]; then
  cat "$work/asan-build.log"
  echo "test.sh: the sanitizer build failed" >&2
  exit 1
fi

echo "test.sh: the unit and widget tests with the address and undefined-behaviour sanitizers"
# The sanitizers' options come with each test (cmake/Sanitizers.cmake): any report fails it.
ctest --test-dir "$PINBOA_ASAN_DIR" --output-on-failure --no-tests=error -j2 \
  -L '^(unit|widgets)$' </dev/null
asan_status=$?
if [ "$status" -eq 0 ]; then
  status=$asan_status
fi
exit "$status"
