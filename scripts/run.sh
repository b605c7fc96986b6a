#!/usr/bin/env bash
# Installs what is missing, builds Korvane and starts it. Arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/build.sh"
build=${KORVANE_BUILD_DIR:-$top/build}
if [[ $# -eq 0 ]]; then
  exec "$build/bin/korvane-cli" --help
fi
exec "$build/bin/korvane-cli" "$@"
