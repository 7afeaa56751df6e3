#!/usr/bin/env bash
# Sets up, builds the two programs (not the tests) and starts pinboa from the build's program
# folder, with any options given (pinboa --help lists them).
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
set -euo pipefail

PINBOA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$PINBOA_ROOT/scripts/setup.sh" --programs

bin="${PINBOA_BUILD_DIR:-$PINBOA_ROOT/build}/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no desktop to show the program on (DISPLAY is not set)" >&2
  exit 1
fi

if [ ! -x "$bin/pinboa" ]; then
  echo "run.sh: pinboa is not in $bin; the build did not make it" >&2
  exit 1
fi
exec "$bin/pinboa" "$@"
