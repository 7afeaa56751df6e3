#!/usr/bin/env bash
# Builds in Release into build-bench/ and prints, in one run, each figure beside its floor
# (a minimal Qt window program built in the same tree, or another note tool) and the ratio, and
# the ratio's target where there is one.
# Usage: bench/run.sh [RUNS]   (RUNS: start-up runs per program, 20 by default)
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-20}"
build="${PINBOA_BENCH_BUILD_DIR:-$root/build-bench}"

"$root/scripts/setup.sh" --bench --no-build
cmake -S "$root" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(bench_floor bench_launch)
known="$(cmake --build "$build" --target help)"
for t in memlet pinboa bench_store bench_notes; do
  if grep -qx "\.\.\. $t" <<<"$known"; then
    targets+=("$t")
  fi
done
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

bin="$build/bin"
benchbin="$build/bench"
work="$(mktemp -d "${TMPDIR:-/tmp}/pinboa-bench.XXXXXX")"
. "$root/scripts/desktop.sh"
cleanup() {
  desktop_stop
  rm -rf "$work"
}
trap cleanup EXIT

# A desktop of its own without a window manager: a shown window is a child of the root.
export QT_QPA_PLATFORM=xcb
desktop_start "$work" 1280x1024 --no-window-manager --no-tray

row() { # figure value floor unit [target ratio]
  awk -v f="$1" -v v="$2" -v b="$3" -v u="$4" -v t="${5:--}" \
    'BEGIN { printf "%-48s %10.2f %-3s %10.2f %-3s %6.2f %6s\n", f, v, u, b, u, (b > 0 ? v / b : 0), t }'
}
rows() { # [PATTERN TARGET]...: a row for each "figure value floor unit" line read, with the
  # TARGET of the first PATTERN its figure matches
  local figure value floor unit
  while read -r figure value floor unit; do
    local -a pairs=("$@") target=""
    while ((${#pairs[@]} >= 2)); do
      # shellcheck disable=SC2053 # the pattern is a pattern
      if [[ $figure == ${pairs[0]} ]]; then
        target=${pairs[1]}
        break
      fi
      pairs=("${pairs[@]:2}")
    done
    row "${figure//_/ }" "$value" "$floor" "$unit" "$target"
  done
}
field() { awk -v k="$1" '$1 == k { print $2 }'; }
median_of_runs() { # the median of the "run N MS ms" lines of a file
  awk '$1 == "run" { print $3 }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

echo "figures in one run (about $runs start-ups each), DISPLAY=$DISPLAY"
printf "%-48s %14s %14s %6s %6s\n" "figure" "value" "floor" "ratio" "target"

# memlet: start to shown (window mapped and its entry in IDDATA.INI) against the floor's
# start to a mapped window; then the median PSS of 10 open windows of each.
if [ -x "$bin/memlet" ]; then
  mkdir "$work/prog"
  cp "$bin/memlet" "$work/prog/"
  sep='/\/'
  note="付箋の計測${sep}12632256${sep}Noto Sans CJK JP${sep}12${sep}1500${sep}3000${sep}4500${sep}1200${sep}0${sep}7"
  entry=$'"7","0"\r\n'
  # Alternate the two in small rounds so that a change in the machine's load hits both.
  per=$(( (runs + 3) / 4 ))
  for _ in 1 2 3 4; do
    "$benchbin/bench_launch" time "$per" -- "$benchbin/bench_floor" >>"$work/floor.runs"
    "$benchbin/bench_launch" time "$per" -- "$benchbin/bench_floor" "付箋の計測" \
      "Noto Sans CJK JP" >>"$work/floortext.runs"
    "$benchbin/bench_launch" time "$per" --file "$work/prog/IDDATA.INI" \
      --contains "$entry" -- "$work/prog/memlet" "$note" >>"$work/memlet.runs"
  done
  floor_ms=$(median_of_runs "$work/floor.runs")
  floortext_ms=$(median_of_runs "$work/floortext.runs")
  memlet_ms=$(median_of_runs "$work/memlet.runs")
  # Two floors: a blank window, and a window that shows the same words in the same font (a
  # blank window never starts the font system, which a note cannot do without).
  row "memlet start to shown, median" "$memlet_ms" "$floor_ms" ms
  row "  against a floor showing the same text" "$memlet_ms" "$floortext_ms" ms 0.80
  floor_kb=$("$benchbin/bench_launch" pss 10 -- "$benchbin/bench_floor" | field median_pss_kb)
  floortext_kb=$("$benchbin/bench_launch" pss 10 -- "$benchbin/bench_floor" "付箋の計測" \
    "Noto Sans CJK JP" | field median_pss_kb)
  memlet_kb=$("$benchbin/bench_launch" pss 10 --file "$work/prog/IDDATA.INI" \
    --contains "$entry" -- "$work/prog/memlet" "$note" | field median_pss_kb)
  row "memlet PSS with 10 windows open, median" "$memlet_kb" "$floor_kb" kB
  row "  against a floor showing the same text" "$memlet_kb" "$floortext_kb" kB 1.05
else
  echo "memlet: not built"
fi

# Store: reading and rewriting a MDATA.INI of 10,000 records (no floor: bench_store prints
# its own lines).
if [ -x "$benchbin/bench_store" ]; then
  "$benchbin/bench_store"
else
  echo "store 10,000 records: bench_store not built yet"
fi

# Master: showing all of 50 notes and closing them, against 50 floors started at once.
# bench/notes50.sh prints lines in the same form as bench_store; it gets the program folder,
# the bench folder and DISPLAY.
if [ -x "$bin/pinboa" ] && [ -x "$root/bench/notes50.sh" ]; then
  "$root/bench/notes50.sh" "$bin" "$benchbin" | rows 'show_all*' 1.00 'close_all*' 1.00
else
  echo "show and close 50 notes: pinboa or bench/notes50.sh not there yet"
fi

# The whole system, the master and 50 shown notes, against xpad showing 50 pads (a single-process
# note tool), and one note window among them. bench/system.sh prints lines in the same form; it
# gets the program folder, a work folder and the number of notes, and leaves the memory map of one
# note window, summed by mapping, which follows the table.
if [ -x "$bin/pinboa" ] && [ -x "$bin/memlet" ]; then
  "$root/bench/system.sh" "$bin" "$work" 50 | rows 'master*' 2.00 '_*' 2.00 'PSS_of_a_note*' 1.00
  if [ -s "$work/note-smaps.txt" ]; then
    echo
    echo "one note window with 50 shown (smaps_rollup, then private dirty by mapping):"
    cat "$work/note-smaps.txt"
  fi
else
  echo "master plus 50 notes: pinboa or memlet not built"
fi
