#!/usr/bin/env bash
# Rips a 74-minute virtual disc (10 tracks, unthrottled) to WAV with korvane-cli and copies
# the same bytes with cp; prints both times and korvane-cli's peak resident memory.
# Usage: bench/rip_vs_cp.sh [build dir]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sectors=333000  # 74 minutes of 75 sectors a second
head -c $((sectors * 2352)) /dev/urandom > "$work/disc.bin"
{
  echo 'PERFORMER "Bench"'
  echo 'TITLE "Seventy-Four Minutes"'
  echo 'FILE "disc.bin" BINARY'
  for t in $(seq 1 10); do
    start=$(( (t - 1) * sectors / 10 ))
    printf '  TRACK %02d AUDIO\n    TITLE "Track %d"\n    INDEX 01 %02d:%02d:%02d\n' \
      "$t" "$t" $((start / 4500)) $((start / 75 % 60)) $((start % 75))
  done
} > "$work/disc.cue"
sync

measure() {  # prints "seconds peak_kb", the faster of two runs, each after a sync
  local best=""
  for run in 1 2; do
    rm -rf "$work/copy.bin" "$work/out"
    sync
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" > /dev/null 2>&1
    if [[ -z $best ]] || awk -v a="$(cut -d' ' -f1 "$work/time.txt")" -v b="${best% *}" 'BEGIN { exit !(a < b) }'; then
      best=$(cat "$work/time.txt")
    fi
  done
  echo "$best"
}
mkdir -p "$work/config"
cp_result=$(measure cp "$work/disc.bin" "$work/copy.bin")
rip_result=$(measure "$build/bin/korvane-cli" --config-dir "$work/config" \
  --virtual-disc "$work/disc.cue" rip --format wav --out "$work/out")
written=$(find "$work/out" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')

read -r cp_s cp_kb <<< "$cp_result"
read -r rip_s rip_kb <<< "$rip_result"
echo "bytes: disc $((sectors * 2352)), WAV files $written"
echo "cp:          ${cp_s} s"
echo "korvane-cli: ${rip_s} s (ratio $(awk -v a="$rip_s" -v b="$cp_s" 'BEGIN { printf "%.2f", a / b }')), peak RSS $((rip_kb / 1024)) MB"
