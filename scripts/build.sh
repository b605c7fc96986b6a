#!/usr/bin/env bash
# Installs what is missing, then configures and builds Korvane in build/ (or $KORVANE_BUILD_DIR).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
build=${KORVANE_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build"
