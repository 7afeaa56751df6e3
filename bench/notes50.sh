#!/usr/bin/env bash
# Showing all of 50 notes and closing them, against 50 floor windows started at once. Called by
# bench/run.sh with the program folder and the bench folder, on its desktop without a window
# manager; prints "figure value floor unit" lines.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
set -euo pipefail
bin="$1"
benchbin="$2"
if [ ! -x "$benchbin/bench_notes" ]; then
  echo "show_and_close_50_notes: bench_notes not built" >&2
  exit 0
fi
"$benchbin/bench_notes" "$bin" "$benchbin" 50 3
