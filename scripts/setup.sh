#!/usr/bin/env bash
# Installs what pinboa needs on a Debian 12 machine and builds it into build/.
# Usage: scripts/setup.sh [--test] [--bench] [--programs] [--no-build]
#   --test      also the virtual desktop used by the end-to-end tests, and the package tools
#   --bench     also what bench/run.sh needs (xpad among it, for comparison)
#   --programs  builds only pinboa and memlet (and what they link), not the tests and benchmarks
# Quick and quiet when everything is already there; safe to run again.
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
set -euo pipefail

PINBOA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PINBOA_BUILD_DIR="${PINBOA_BUILD_DIR:-$PINBOA_ROOT/build}"

want_test=0
want_bench=0
want_build=1
want_programs=0
for arg in "$@"; do
  case "$arg" in
    --test) want_test=1 ;;
    --bench) want_bench=1 ;;
    --programs) want_programs=1 ;;
    --no-build) want_build=0 ;;
    *) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

packages=(g++ cmake make qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev qt6-translations-l10n
          fonts-noto-cjk fonts-ipafont-gothic fonts-ipafont-mincho fonts-motoya-l-maruberi)
if [ "$want_test" = 1 ]; then
  # syncthing: two instances carry the notes between two data folders in the sync test.
  packages+=(xvfb openbox trayer xdotool x11-utils x11-xserver-utils python3 dpkg-dev clang-format
             lintian syncthing)
fi
if [ "$want_bench" = 1 ]; then
  # xpad: the note tool the whole system's memory is compared with; x11-utils: xwininfo and
  # xprop; valgrind: bench/profile.sh.
  packages+=(xvfb python3 xpad x11-utils valgrind)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" != 0 ]; then
    sudo_cmd=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q </dev/null
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi

if [ "$want_build" = 1 ]; then
  if [ "$want_test" = 1 ]; then
    # The test command holds the code to no compiler warnings at all.
    cmake -S "$PINBOA_ROOT" -B "$PINBOA_BUILD_DIR" -G "Unix Makefiles" -DPINBOA_WERROR=ON >/dev/null
  elif [ ! -f "$PINBOA_BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$PINBOA_ROOT" -B "$PINBOA_BUILD_DIR" -G "Unix Makefiles" >/dev/null
  fi
  if [ "$want_programs" = 1 ]; then
    cmake --build "$PINBOA_BUILD_DIR" -j2 --target pinboa memlet
  else
    cmake --build "$PINBOA_BUILD_DIR" -j2
  fi
fi
