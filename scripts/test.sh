#!/usr/bin/env bash
# Sets up, builds and runs every test (unit, widget, end-to-end) with ctest on a virtual
# desktop of its own: Xvfb at 96 DPI, openbox as window manager, trayer as notification area.
# Ends with ctest's summary and exit code.
set -uo pipefail

PINBOA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PINBOA_BUILD_DIR="${PINBOA_BUILD_DIR:-$PINBOA_ROOT/build}"
export PINBOA_BUILD_DIR

"$PINBOA_ROOT/scripts/setup.sh" --test || exit 1

work="$(mktemp -d "${TMPDIR:-/tmp}/pinboa-test.XXXXXX")"
started=()
cleanup() {
  # Newest first: trayer and openbox go before the X server they talk to.
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[$i]}" 2>/dev/null
  done
  for pid in "${started[@]}"; do
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

wait_until() { # timeout-seconds command...
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    if ((SECONDS >= deadline)); then
      return 1
    fi
    sleep 0.1
  done
}

# Xvfb picks a free display number itself and reports it on fd 3.
Xvfb -displayfd 3 -dpi 96 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
started+=($!)
if ! wait_until 20 test -s "$work/display"; then
  echo "test.sh: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-xcb}"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  mkdir -m 700 "$work/runtime"
  export XDG_RUNTIME_DIR="$work/runtime"
fi

# No resistance at screen and window edges: a dragged window lands where the pointer takes it.
openbox_args=()
if [ -f /etc/xdg/openbox/rc.xml ]; then
  sed -e 's|<strength>[0-9]*</strength>|<strength>0</strength>|' \
      -e 's|<screen_edge_strength>[0-9]*</screen_edge_strength>|<screen_edge_strength>0</screen_edge_strength>|' \
      /etc/xdg/openbox/rc.xml >"$work/openbox-rc.xml"
  openbox_args=(--config-file "$work/openbox-rc.xml")
fi
openbox "${openbox_args[@]}" >"$work/openbox.log" 2>&1 &
started+=($!)
if ! wait_until 20 xprop -root -notype _NET_SUPPORTING_WM_CHECK; then
  echo "test.sh: openbox did not start" >&2
  exit 1
fi
# Wait until openbox really manages it: the check window is set before the ID is valid.
wait_until 20 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

trayer --edge top --align right --widthtype request --height 24 --transparent false \
  >"$work/trayer.log" 2>&1 &
started+=($!)
if ! wait_until 20 xdotool search --name '^trayer$'; then
  echo "test.sh: trayer did not start" >&2
  exit 1
fi

echo "test.sh: virtual desktop on DISPLAY=$DISPLAY"
# Tests on the shared desktop hold the ctest resource lock "x11desktop", so they run one at a
# time while the tests without a display run beside them.
# A test that fails is run once more before it counts as failed: the desktop tests drive a real
# window manager, whose timing on a loaded machine is not the program's. Each retry is printed.
ctest --test-dir "$PINBOA_BUILD_DIR" --output-on-failure --no-tests=error -j2 \
  --repeat until-pass:2 </dev/null
status=$?
exit "$status"
