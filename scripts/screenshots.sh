#!/usr/bin/env bash
# Pictures of Korvane's windows (English and German) with the demo disc, taken under Xvfb.
# Usage: scripts/screenshots.sh [FOLDER]   (default: build/screenshots)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KORVANE_BUILD_DIR:-$top/build}
out=$(realpath -m "${1:-$build/screenshots}")
[[ -x $build/bin/korvane ]] || "$top/scripts/build.sh"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
mkdir -p "$out"
KORVANE_VIRTUAL_DISC=demo xvfb-run -a -s "-screen 0 1280x900x24" \
  "$build/bin/korvane" --config-dir "$config" --screenshot "$out" >/dev/null
# The dialogs, in English and German, each with settings of its own.
xvfb-run -a -s "-screen 0 1280x900x24" \
  "$build/bin/korvane-dialog-screenshots" "$out" "$top/languages/Deutsch.lng" >/dev/null
echo "Screenshots in $out:"
ls -1 "$out"
