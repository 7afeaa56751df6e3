# A virtual desktop of its own for the scripts (test command, pictures, benchmarks): Xvfb at
# 96 DPI on a free display, openbox as window manager and trayer as notification area unless told
# otherwise. The desktop is tests/e2e/desktops.py, the one the end-to-end tests start for
# themselves. Sourced, not run.
#   desktop_start WORK-FOLDER SCREEN-SIZE [options]   exports DISPLAY and friends; the options:
#       --no-window-manager  --no-tray  --xft-dpi DPI  --tray-tint 0xRRGGBB
#   desktop_stop                                      ends what desktop_start started
# Processes that the caller starts and adds to `started` are ended by desktop_stop too, first.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT

started=()
desktop_pid=""
desktop_program="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/e2e/desktops.py"

wait_until() { # timeout-seconds command...
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    if ((SECONDS >= deadline)); then
      echo "desktop: timed out waiting for: $*" >&2
      return 1
    fi
    sleep 0.1
  done
}

desktop_start() {
  local work=$1 size=$2
  shift 2
  # Logs of the X server, the window manager and the notification area go to the work folder.
  python3 "$desktop_program" --ready-file "$work/display" --size "$size" --log-dir "$work" "$@" \
    </dev/null &
  desktop_pid=$!
  # The desktop gives up on each part after half a minute.
  local deadline=$((SECONDS + 120))
  until [ -s "$work/display" ]; do
    if ! kill -0 "$desktop_pid" 2>/dev/null || ((SECONDS >= deadline)); then
      echo "desktop: the virtual desktop did not start" >&2
      desktop_stop
      return 1
    fi
    sleep 0.1
  done
  export DISPLAY="$(tr -d '[:space:]' <"$work/display")"
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-xcb}"
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    mkdir -m 700 "$work/runtime"
    export XDG_RUNTIME_DIR="$work/runtime"
  fi
}

desktop_stop() {
  # Newest first, and the desktop last: programs go before the X server they talk to.
  local i pid
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[$i]}" 2>/dev/null || true
  done
  for pid in "${started[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  started=()
  if [ -n "$desktop_pid" ]; then
    kill "$desktop_pid" 2>/dev/null || true
    wait "$desktop_pid" 2>/dev/null || true
    desktop_pid=""
  fi
}
