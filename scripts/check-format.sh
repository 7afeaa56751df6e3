#!/usr/bin/env bash
# Fails, naming the files, when a C++ file of the tree differs from what .clang-format makes of
# it (Debian's clang-format), or when a file of the programs (not of the tests) is longer than
# 400 lines. Usage: scripts/check-format.sh [--fix]
# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t files < <(find store platform master notewin tests bench -name '*.cpp' -o -name '*.h')
fi
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
# A file of the programs is short enough to read whole: split one that grows past this.
max_lines=400
long=()
for f in "${files[@]}"; do
  case "$f" in
    store/* | platform/* | master/* | notewin/*)
      lines=$(wc -l <"$f")
      if [ "$lines" -gt "$max_lines" ]; then
        long+=("$f ($lines lines)")
      fi
      ;;
  esac
done
if [ "${#long[@]}" -gt 0 ]; then
  echo "check-format: these program files are longer than $max_lines lines:" >&2
  printf '  %s\n' "${long[@]}" >&2
  exit 1
fi

differ=()
for f in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    differ+=("$f")
  fi
done
if [ "${#differ[@]}" -gt 0 ]; then
  echo "check-format: these files differ from .clang-format (scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files as .clang-format has them"
