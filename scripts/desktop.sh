# A virtual desktop of its own for the test command and the picture script: Xvfb at 96 DPI on a
# free display, openbox as window manager, trayer as notification area. Sourced, not run.
#   desktop_start WORK-FOLDER SCREEN-SIZE [trayer options...]   exports DISPLAY and friends
#   desktop_stop                                                ends what desktop_start started
# Processes that the caller starts and adds to `started` are ended by desktop_stop too.

started=()

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
  # Xvfb picks a free display number itself and reports it on fd 3.
  Xvfb -displayfd 3 -dpi 96 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  started+=($!)
  if ! wait_until 20 test -s "$work/display"; then
    echo "desktop: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-xcb}"
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    mkdir -m 700 "$work/runtime"
    export XDG_RUNTIME_DIR="$work/runtime"
  fi

  # No resistance at screen and window edges: a dragged window lands where the pointer takes it.
  local openbox_args=()
  if [ -f /etc/xdg/openbox/rc.xml ]; then
    sed -e 's|<strength>[0-9]*</strength>|<strength>0</strength>|' \
        -e 's|<screen_edge_strength>[0-9]*</screen_edge_strength>|<screen_edge_strength>0</screen_edge_strength>|' \
        /etc/xdg/openbox/rc.xml >"$work/openbox-rc.xml"
    openbox_args=(--config-file "$work/openbox-rc.xml")
  fi
  openbox "${openbox_args[@]}" >"$work/openbox.log" 2>&1 &
  started+=($!)
  # The check window is set before its ID is valid: wait until openbox really manages the screen.
  if ! wait_until 20 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
    echo "desktop: openbox did not start" >&2
    return 1
  fi

  trayer --edge top --align right --widthtype request --height 24 --transparent false "$@" \
    >"$work/trayer.log" 2>&1 &
  started+=($!)
  if ! wait_until 20 xdotool search --name '^trayer$'; then
    echo "desktop: trayer did not start" >&2
    return 1
  fi
}

desktop_stop() {
  # Newest first: trayer and openbox go before the X server they talk to.
  local i pid
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[$i]}" 2>/dev/null || true
  done
  for pid in "${started[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  started=()
}
