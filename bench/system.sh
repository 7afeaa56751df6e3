#!/usr/bin/env bash
# The memory of the whole system, the master and COUNT shown notes (10 by default), against a
# single-process note tool, xpad, showing COUNT pads with the same words; and the PSS of one note
# window among them. Called by bench/run.sh with the program folder, a work folder and COUNT, on
# its desktop without a window manager; prints "figure value floor unit" lines, each the median of
# 3 rounds, and leaves the memory map of one note window of the last round, summed by mapping, in
# WORK/note-smaps.txt.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
set -euo pipefail
shopt -s inherit_errexit
bin="$1"
work="$2"
rounds=3
count="${3:-10}"
words="付箋の計測"
font="Noto Sans CJK JP"

if ! command -v xpad >/dev/null || ! command -v xwininfo >/dev/null || ! command -v xprop >/dev/null; then
  echo "system: xpad or xwininfo missing (scripts/setup.sh --bench installs them)" >&2
  exit 0
fi

pss() { # the summed Pss of the given processes, kB
  local total=0 pid kb
  for pid in "$@"; do
    kb=$(awk '/^Pss:/ { print $2 }' "/proc/$pid/smaps_rollup")
    total=$((total + kb))
  done
  echo "$total"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
wait_until() { # timeout-seconds command...
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    if ((SECONDS >= deadline)); then
      echo "system: timed out waiting for: $*" >&2
      return 1
    fi
    sleep 0.1
  done
}
settle() { sleep 1; } # start-up work that follows the first paint
stop() {
  local pid
  for pid in "$@"; do kill -KILL "$pid" 2>/dev/null || true; done
  for pid in "$@"; do wait "$pid" 2>/dev/null || true; done
}

# The master started as at login (--show-notes) in a program folder of 10 notes; the windows are
# the task identifiers it records. Without a notification area it shows its main window after a
# moment of grace, which is waited for too.
registered() { [ "$(grep -c '",[1-9]' "$1/IDDATA.INI" 2>/dev/null)" = "$count" ]; }
system_round() {
  local dir="$work/system" master pids helpers total
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$bin/pinboa" "$bin/memlet" "$dir/"
  for i in $(seq "$count"); do
    printf '"%s","12632256","%s",12,%d,%d,4500,1200,0,%d\r\n' "$words" "$font" \
      $((1500 + (i / 5) * 1800)) $((300 + (i % 5) * 4800)) "$i"
  done | iconv -f UTF-8 -t CP932 >"$dir/MDATA.INI"
  HOME="$dir" XDG_CONFIG_HOME="$dir/.config" XDG_DATA_HOME="$dir/.local" \
    "$dir/pinboa" --show-notes >/dev/null 2>&1 &
  master=$!
  wait_until 60 registered "$dir"
  sleep 6
  settle
  mapfile -t pids < <(sed -e 's/.*",//' -e 's/\r$//' "$dir/IDDATA.INI")
  # The note launcher is the master's one child (the notes are detached): it counts with it.
  mapfile -t helpers < <(ps -o pid= --ppid "$master" | tr -d ' ')
  total=$(pss "$master" "${helpers[@]}" "${pids[@]}")
  notes=$(pss "${pids[@]}")
  breakdown "${pids[$((count / 2))]}" >"$work/note-smaps.txt"
  stop "$master"
  kill -KILL "${pids[@]}" 2>/dev/null || true
  echo "$total $((notes / count))"
}
# One process's memory: its totals, then the private dirty pages of each mapping (libraries by
# name, the heap, anonymous memory), largest first.
breakdown() {
  grep -E '^(Rss|Pss|Pss_Anon|Pss_File|Shared_Clean|Private_Clean|Private_Dirty):' \
    "/proc/$1/smaps_rollup"
  awk '/^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6 ? $6 : "[anonymous]"); sub(/.*\//, "", name) }
       /^Private_Dirty:/ { dirty[name] += $2 }
       END { for (n in dirty) if (dirty[n] > 0) printf "%8d kB  %s\n", dirty[n], n }' \
    "/proc/$1/smaps" | sort -rn | head -25
}

# xpad with 10 pads of its own, as it starts every day: its pads are in its folder. The first GTK
# program on a display also chooses the display's visuals and leaves them on the root window
# (GDK_VISUALS); choosing them loads the OpenGL driver, here Mesa's software one with LLVM, some
# 25 MB. So xpad is measured both ways: as the first GTK program (the property removed before
# each round) and after another one (the property there).
pads_shown() { [ "$(xwininfo -root -children | grep -c "\"$words\": (\"xpad\" \"xpad\")")" -ge "$count" ]; }
xpad_round() { # first|after
  local home="$work/xpad" pid total
  rm -rf "$home"
  mkdir -p "$home/.config/xpad"
  for i in $(seq "$count"); do
    printf '%s\n' "$words" >"$home/.config/xpad/content-PAD$i"
    printf 'width 300\nheight 80\nx %d\ny %d\nfollow_font 0\nfollow_color 0\nsticky 0\nhidden 0\nback rgb(192,192,192)\ntext rgb(0,0,0)\nfontname %s 12\ncontent content-PAD%d\n' \
      $((20 + (i % 5) * 310)) $((100 + (i / 5) * 120)) "$font" "$i" >"$home/.config/xpad/info-PAD$i"
  done
  if [ "$1" = first ]; then
    xprop -root -remove GDK_VISUALS 2>/dev/null
  fi
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local" xpad >/dev/null 2>&1 &
  pid=$!
  wait_until 60 pads_shown
  settle
  total=$(pss "$pid")
  stop "$pid"
  echo "$total"
}

system_rounds=$(for _ in $(seq "$rounds"); do system_round; done)
ours=$(awk '{ print $1 }' <<<"$system_rounds" | median)
per_note=$(awk '{ print $2 }' <<<"$system_rounds" | median)
# A client that stays, so that the X server keeps its root window's properties between rounds.
xprop -root -spy >/dev/null 2>&1 &
keeper=$!
first=$(for _ in $(seq "$rounds"); do xpad_round first; done | median)
after=$(for _ in $(seq "$rounds"); do xpad_round after; done | median)
stop "$keeper"
echo "master_plus_${count}_notes_PSS,_against_xpad_with_${count}_pads $ours $first kB"
echo "__against_xpad_after_another_GTK_program $ours $after kB"
# No floor for one note window: the target stands in its place.
echo "PSS_of_a_note_window_with_${count}_shown_(target_2.5_MB) $per_note 2560 kB"
