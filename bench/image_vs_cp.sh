#!/usr/bin/env bash
# Writes a BIN image (with its CUE sheet) of a 74-minute virtual disc (10 tracks, unthrottled)
# with korvane-cli and copies the same bytes with cp; prints both times, their ratio (the
# target is 2 at most) and whether the image holds the disc's bytes exactly. The image is
# flushed to the disk before it takes its final name, so cp followed by a sync of the copy
# is timed too: the same work as far as the disk is concerned.
# Usage: bench/image_vs_cp.sh [build dir]
source "$(dirname "$0")/bench_disc.sh"

cp_result=$(measure cp "$work/disc.bin" "$work/copy.bin")
cp_sync_result=$(measure sh -c 'cp "$1" "$2" && sync "$2"' cp_sync "$work/disc.bin" "$work/copy.bin")
image_result=$(measure "$build/bin/korvane-cli" --config-dir "$work/config" \
  --virtual-disc "$work/disc.cue" rip --format bin --out "$work/out")
image=$(find "$work/out" -type f -name '*.bin')
same=$(cmp -s "$image" "$work/disc.bin" && echo "identical to the disc" || echo "DIFFERS from the disc")

read -r cp_s cp_kb <<< "$cp_result"
read -r cp_sync_s cp_sync_kb <<< "$cp_sync_result"
read -r image_s image_kb <<< "$image_result"
echo "bytes: disc $disc_bytes, image $(stat -c %s "$image") ($same)"
echo "cp:                  ${cp_s} s"
echo "cp and sync:         ${cp_sync_s} s"
echo "korvane-cli (image): ${image_s} s (ratio $(ratio "$image_s" "$cp_s") to cp, target 2 at most;" \
  "$(ratio "$image_s" "$cp_sync_s") to cp and sync), peak RSS $((image_kb / 1024)) MB"
