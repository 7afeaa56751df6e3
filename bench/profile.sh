#!/usr/bin/env bash
# Counts the instructions of memlet's start-up and of the floor showing the same words, with
# callgrind (repeatable where the clock is not), and keeps the profiles for callgrind_annotate.
# Uses the Release build of bench/run.sh (build-bench/) and a desktop of its own.
# Usage: bench/profile.sh [OUTPUT-FOLDER]   (a new temporary folder by default)
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
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -dpi 96 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
# A client that stays: the X server resets when its last client goes, and a start-up that meets
# a reset waits for it.
xprop -root -spy >/dev/null 2>&1 &
spy=$!

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
kill "$spy" 2>/dev/null || true
awk -v m="$memlet" -v f="$floor" \
  'BEGIN { printf "instructions to an idle window: memlet %d, floor showing the same text %d, ratio %.3f\n", m, f, m / f }'
echo "profiles in $out (callgrind_annotate --inclusive=yes FILE)"
