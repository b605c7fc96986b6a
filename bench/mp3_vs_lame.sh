#!/usr/bin/env bash
# A whole-disc MP3 rip from the unthrottled virtual drive with korvane-cli, against the lame
# command line with the same settings (Korvane's defaults: 256 kbit/s CBR, stereo, quality 5,
# no bit reservoir) over the same tracks, as many lame processes at once as there are cores.
# Two discs: 99 short tracks, and 74 minutes in 18 tracks. For each it prints Korvane's time
# with one codec per core, its time with one codec (the serial time), lame's time on every
# core, the ratio to lame (goal: at most 1.1), and Korvane's peak resident memory.
# Usage: bench/mp3_vs_lame.sh [build dir]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cores=$(nproc)

# make_disc NAME TRACKS SECTORS_PER_TRACK: NAME.bin (noise) and NAME.cue, and each track's
# raw PCM alone in NAME-tracks/ for lame.
make_disc() {
  local name=$1 tracks=$2 per=$3
  head -c $((tracks * per * 2352)) /dev/urandom > "$work/$name.bin"
  mkdir -p "$work/$name-tracks"
  {
    echo 'PERFORMER "Bench"'
    echo "TITLE \"$name\""
    echo "FILE \"$name.bin\" BINARY"
    for t in $(seq 1 "$tracks"); do
      local start=$(((t - 1) * per))
      printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n' \
        "$t" $((start / 4500)) $((start / 75 % 60)) $((start % 75))
      dd if="$work/$name.bin" of="$work/$name-tracks/$(printf %02d "$t").raw" bs=2352 \
        skip="$start" count="$per" status=none
    done
  } > "$work/$name.cue"
}

timed() {  # prints "seconds peak_kb" of one run
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" > /dev/null 2>&1
  cat "$work/time.txt"
}

rip() {  # rip NAME THREADS
  rm -rf "$work/out" "$work/config"
  mkdir -p "$work/config"
  printf '[Options]\r\nEncoderThreads=%s\r\n' "$2" > "$work/config/korvane.ini"
  sync
  timed "$build/bin/korvane-cli" --config-dir "$work/config" --virtual-disc "$work/$1.cue" \
    rip --format mp3 --tracks "1-$3" --out "$work/out"
}

lame_all() {  # lame_all NAME
  rm -rf "$work/lame"
  mkdir -p "$work/lame"
  sync
  local start end
  start=$(date +%s.%N)
  find "$work/$1-tracks" -name '*.raw' -print0 | xargs -0 -P "$cores" -n 1 sh -c \
    'lame --quiet -r --little-endian -s 44.1 --bitwidth 16 --signed -m s -b 256 --cbr -q 5 \
       --nores "$1" "$0/$(basename "$1" .raw).mp3" 2>/dev/null' "$work/lame"
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

bench_disc() {  # bench_disc NAME TRACKS SECTORS_PER_TRACK
  make_disc "$1" "$2" "$3"
  read -r all_s all_kb <<< "$(rip "$1" 0 "$2")"
  mp3s=$(find "$work/out" -name '*.mp3' | wc -l)
  read -r one_s _ <<< "$(rip "$1" 1 "$2")"
  lame_s=$(lame_all "$1")
  echo "$1: $2 tracks, $(($3 * $2 / 75 / 60)) min, $mp3s MP3 files, $cores cores"
  echo "  korvane-cli, $cores codecs: ${all_s} s (vs lame $(ratio "$all_s" "$lame_s")), peak RSS $((all_kb / 1024)) MB"
  echo "  korvane-cli, 1 codec:  ${one_s} s"
  echo "  lame x $cores:              ${lame_s} s"
  rm -f "$work/$1.bin" && rm -rf "$work/$1-tracks"
}

bench_disc many-short 99 1125   # 15 s each
bench_disc 74-minutes 18 18500  # 74 minutes in 18 tracks
