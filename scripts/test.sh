#!/usr/bin/env bash
# Installs what is missing, builds Korvane with its tests and runs the whole suite.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/build.sh"
build=${KORVANE_BUILD_DIR:-$top/build}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
