# Sourced by the korvane-cli benchmarks: a 74-minute virtual disc of ten audio tracks in a
# temporary folder, and a timer that takes the faster of two runs.
# Sets: build (the build folder, $1 or ./build), work (the folder), sectors, disc_bytes.
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sectors=333000  # 74 minutes of 75 sectors a second
disc_bytes=$((sectors * 2352))
head -c "$disc_bytes" /dev/urandom > "$work/disc.bin"
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
mkdir -p "$work/config"
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

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
