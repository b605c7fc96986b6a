#!/usr/bin/env bash
# Installs what is missing, builds Korvane and starts it. Arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/build.sh"
build=${KORVANE_BUILD_DIR:-$top/build}
if [[ $# -eq 0 && ( -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ) ]]; then
  # The window, on the first drive (the virtual drive with its demo disc when the machine
  # has no optical drive).
  exec "$build/bin/korvane"
fi
if [[ $# -eq 0 ]]; then
  echo "No display (DISPLAY or WAYLAND_DISPLAY) for the window; here is what korvane-cli does."
  cli="$build/bin/korvane-cli"
  "$cli" --help
  for command in drives toc info; do
    echo; echo "\$ korvane-cli $command"
    "$cli" "$command" || true
  done
  exit 0
fi
exec "$build/bin/korvane-cli" "$@"
