#!/usr/bin/env bash
# Takes the README's pictures on a virtual desktop of its own (Xvfb at 96 DPI, openbox, trayer):
# the main window, the note editor with its settings dialog, and three notes on a desktop.
# Builds pinboa and memlet first when needed; runs them in a temporary program folder with
# sample notes, so nothing of the user's notes is touched. Writes docs/*.png.
# Usage: scripts/screenshots.sh [output-folder]
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
set -euo pipefail

PINBOA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PINBOA_BUILD_DIR="${PINBOA_BUILD_DIR:-$PINBOA_ROOT/build}"
out="${1:-$PINBOA_ROOT/docs}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

need=()
for tool in Xvfb openbox trayer xdotool xwininfo python3; do
  command -v "$tool" >/dev/null || need+=("$tool")
done
if ! command -v import >/dev/null || ! command -v convert >/dev/null; then
  need+=(imagemagick)
fi
if [ "${#need[@]}" -gt 0 ]; then
  "$PINBOA_ROOT/scripts/setup.sh" --test --no-build
  if ! command -v import >/dev/null; then
    sudo_cmd=()
    [ "$(id -u)" != 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -q --no-install-recommends imagemagick </dev/null
  fi
fi

if [ ! -f "$PINBOA_BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S "$PINBOA_ROOT" -B "$PINBOA_BUILD_DIR" -G "Unix Makefiles" >/dev/null
fi
cmake --build "$PINBOA_BUILD_DIR" -j2 --target pinboa memlet >/dev/null
bin="$PINBOA_BUILD_DIR/bin"

work="$(mktemp -d "${TMPDIR:-/tmp}/pinboa-shots.XXXXXX")"
. "$PINBOA_ROOT/scripts/desktop.sh"
cleanup() {
  # Note windows are processes of their own: end those this folder's IDDATA.INI names, each
  # by its id once it is known to run this folder's memlet.
  if [ -f "$work/app/IDDATA.INI" ]; then
    for pid in $(grep -o ',[0-9][0-9]*' "$work/app/IDDATA.INI" | tr -d ,); do
      if [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$work/app/memlet" ]; then
        kill "$pid" 2>/dev/null || true
      fi
    done
  fi
  desktop_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

export QT_QPA_PLATFORM=xcb
desktop_start "$work" 1024x768 --tray-tint 0x303030

# A plain desktop colour behind the windows (display sets the root window's background).
convert -size 1024x768 gradient:'#5b86a8-#2f4f6a' "$work/desktop.png"
display -window root "$work/desktop.png" >/dev/null 2>&1 || true

# The program folder: both programs and three sample notes (code page 932, CR LF).
mkdir "$work/app"
cp "$bin/pinboa" "$bin/memlet" "$work/app/"
python3 - "$work/app/MDATA.INI" <<'PY'
import sys
notes = [
    ('買い物：牛乳、卵、食パン', '8454143', 'ＭＳ Ｐゴシック', 12, 2700, 1800, 4500, 1200, 0, 1),
    ('15時　企画会議（第2会議室）', '16777088', 'ＭＳ Ｐゴシック', '14.25', 4800, 6300, 4800, 1200, 8388608, 2),
    ('田中さんに電話\r\n見積書を送る', '12640511', 'ＭＳ Ｐゴシック', 12, 7800, 2700, 3900, 1400, 128, 3),
]
def field(v):
    return '"%s"' % v if isinstance(v, str) else str(v)
data = ''.join(','.join(field(v) for v in n) + '\r\n' for n in notes)
open(sys.argv[1], 'wb').write(data.encode('cp932'))
PY

window_of() { # pid name-regex -> first visible window of the process with that name
  local w
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    if xdotool getwindowname "$w" 2>/dev/null | grep -Eq "$2"; then
      echo "$w"
      return 0
    fi
  done
  return 1
}
settle() { sleep "${1:-0.6}"; }
shot_window() { # window file: the window with its frame
  import -silent -window "$1" -frame "$2"
}
shot_area() { # file x y width height
  import -silent -window root -crop "$4x$5+$2+$3" +repage "$1"
}
outer() { # window -> "x y width height" of the frame
  local id="$1" g ex
  g="$(xwininfo -id "$id")"
  read -r x y w h < <(awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}' <<<"$g")
  ex="$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | grep -o '[0-9][0-9]*, [0-9]*, [0-9]*, [0-9]*' || echo '0, 0, 0, 0')"
  IFS=', ' read -r l r t b <<<"$ex"
  echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

cd "$work/app"
./pinboa >"$work/pinboa.log" 2>&1 &
pinboa=$!
started+=("$pinboa")
wait_until 20 window_of "$pinboa" '^Pinboa$'
main="$(window_of "$pinboa" '^Pinboa$')"
xdotool windowmove --sync "$main" 60 80 || true
settle
shot_window "$main" "$out/main-window.png"

# The editor with its settings dialog, which opens at the editor's place; moved aside a little
# so that both show.
xdotool windowactivate --sync "$main" key alt+n
wait_until 10 bash -c "xdotool search --onlyvisible --pid $pinboa | grep -vx $main"
settle
editor="$(xdotool search --onlyvisible --pid "$pinboa" | grep -vx "$main" | head -n1)"
xdotool windowactivate --sync "$editor" key alt+t
wait_until 10 window_of "$pinboa" '^設定$'
settings="$(window_of "$pinboa" '^設定$')"
read -r ex ey ew eh < <(outer "$editor")
xdotool windowmove --sync "$settings" $((ex + 40)) $((ey + eh + 10)) || true
settle
read -r sx sy sw sh < <(outer "$settings")
x0=$((ex < sx ? ex : sx)); y0=$((ey < sy ? ey : sy))
x1=$((ex + ew > sx + sw ? ex + ew : sx + sw)); y1=$((ey + eh > sy + sh ? ey + eh : sy + sh))
shot_area "$out/editor-settings.png" $((x0 - 12)) $((y0 - 12)) $((x1 - x0 + 24)) $((y1 - y0 + 24))

# Cancel both, back to the main window, and show all notes.
xdotool windowactivate --sync "$settings" key alt+c
settle 0.3
xdotool windowactivate --sync "$editor" key alt+c
settle
main="$(window_of "$pinboa" '^Pinboa$')"
xdotool windowmove --sync "$main" 640 560 || true
xdotool windowactivate --sync "$main" key space
wait_until 20 bash -c "[ \$(grep -c . '$work/app/IDDATA.INI' 2>/dev/null) -ge 3 ]"
settle 1.5
import -silent -window root "$out/notes-desktop.png"

echo "screenshots.sh: wrote $out/main-window.png $out/editor-settings.png $out/notes-desktop.png"
