#!/usr/bin/env bash
# Sets up, builds and starts pinboa from the build's program folder.
# Until the master program is built, shows a sample note with memlet instead.
set -euo pipefail

PINBOA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$PINBOA_ROOT/scripts/setup.sh"

bin="${PINBOA_BUILD_DIR:-$PINBOA_ROOT/build}/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no desktop to show the program on (DISPLAY is not set)" >&2
  exit 1
fi

if [ -x "$bin/pinboa" ]; then
  exec "$bin/pinboa"
fi
if [ ! -x "$bin/memlet" ]; then
  echo "run.sh: neither pinboa nor memlet is in $bin yet" >&2
  exit 1
fi

# A sample note: text, back colour, font, size, top, left, width, height, text colour, id,
# in twips, joined by the note argument separator.
sep='/\/'
fields=("付箋のサンプルです。ドラッグで動かし、何かキーを押すと閉じます。" 12648447 "Noto Sans CJK JP" 12
        1500 1500 5430 900 0 1)
args="${fields[0]}"
for f in "${fields[@]:1}"; do
  args="$args$sep$f"
done
exec "$bin/memlet" "$args"
