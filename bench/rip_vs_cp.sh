#!/usr/bin/env bash
# Rips a 74-minute virtual disc (10 tracks, unthrottled) to WAV with korvane-cli and copies
# the same bytes with cp; prints both times and korvane-cli's peak resident memory.
# Usage: bench/rip_vs_cp.sh [build dir]
source "$(dirname "$0")/bench_disc.sh"

cp_result=$(measure cp "$work/disc.bin" "$work/copy.bin")
rip_result=$(measure "$build/bin/korvane-cli" --config-dir "$work/config" \
  --virtual-disc "$work/disc.cue" rip --format wav --out "$work/out")
written=$(find "$work/out" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')

read -r cp_s cp_kb <<< "$cp_result"
read -r rip_s rip_kb <<< "$rip_result"
echo "bytes: disc $disc_bytes, WAV files $written"
echo "cp:          ${cp_s} s"
echo "korvane-cli: ${rip_s} s (ratio $(ratio "$rip_s" "$cp_s")), peak RSS $((rip_kb / 1024)) MB"
