#!/usr/bin/env bash
# Counts the instructions of memlet's start-up and of the floor showing the same words, with
# callgrind (repeatable where the clock is not), and keeps the profiles for callgrind_annotate.
# Uses the Release build of bench/run.sh (build-bench/) and a desktop of its own
# (scripts/desktop.sh, without window manager or notification area).
# Usage: bench/profile.sh [OUTPUT-FOLDER]   (a new temporary folder by default)
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PINBOA_BENCH_BUILD_DIR:-$root/build-bench}"
out="${1:-$(mktemp -d "${TMPDIR:-/tmp}/pinboa-profile.XXXXXX")}"
mkdir -p "$out"
for tool in valgrind callgrind_control callgrind_annotate Xvfb; do
  command -v "$tool" >/dev/null || { echo "profile: $tool missing" >&2; exit 1; }
done
[ -x "$build/bin/memlet" ] && [ -x "$build/bench/bench_floor" ] ||
  { echo "profile: run bench/run.sh first (it builds $build)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/pinboa-profile-work.XXXXXX")"
. "$root/scripts/desktop.sh"
cleanup() {
  desktop_stop
  rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=xcb
desktop_start "$work" 1280x1024 --no-window-manager --no-tray >/dev/null ||
  { echo "profile: no desktop" >&2; exit 1; }

profile() { # name program args...: from the start until the window is up and idle
  local name=$1 pid
  shift
  valgrind --tool=callgrind --callgrind-out-file="$out/$name.%p" "$@" >"$out/$name.log" 2>&1 &
  pid=$!
  sleep 6 # valgrind's start-up is slow; the window is up and idle by then
  callgrind_control -d "$pid" >/dev/null 2>&1
  sleep 1
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true
  callgrind_annotate "$(ls "$out/$name".*.1)" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

mkdir "$work/prog"
cp "$build/bin/memlet" "$work/prog/"
sep='/\/'
note="付箋の計測${sep}12632256${sep}Noto Sans CJK JP${sep}12${sep}1500${sep}3000${sep}4500${sep}1200${sep}0${sep}7"
memlet=$(profile memlet "$work/prog/memlet" "$note")
floor=$(profile floor "$build/bench/bench_floor" "付箋の計測" "Noto Sans CJK JP")
awk -v m="$memlet" -v f="$floor" \
  'BEGIN { printf "instructions to an idle window: memlet %d, floor showing the same text %d, ratio %.3f\n", m, f, m / f }'
echo "profiles in $out (callgrind_annotate --inclusive=yes FILE)"
