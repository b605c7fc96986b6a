#!/usr/bin/env bash
# korvane-cli against the settings files of a long-time user: `info` on the demo disc with a
# discs.ini of 20,000 named discs (about 13 MB) that holds it, and `config set`, `config get`
# and `config list` on a korvane.ini of about 50 MB (its real sections around thousands that
# other programs' versions left behind). Prints each run's seconds and peak resident memory,
# and fails when a run fails or gives a wrong answer.
# Usage: bench/disc_cache_cli.sh [--smoke] [build dir]
#   --smoke  small files (200 discs, about 0.5 MB of settings): a quick check that every
#            step still works, as CI's test stage runs it.
set -euo pipefail
discs=20000 sections=50000
if [[ ${1:-} == --smoke ]]; then
  discs=200 sections=500
  shift
fi
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
cli="$build/bin/korvane-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The demo disc's identifier, as `info` reports it on an empty profile.
mkdir -p "$work/probe"
disc=$("$cli" --config-dir "$work/probe" --virtual-disc demo info | sed -n 's/^Disc ID: \([0-9A-F]\{8\}\).*/\1/p')
[[ -n $disc ]] || { echo "no disc id from info" >&2; exit 1; }

mkdir -p "$work/cache" "$work/settings"
awk -v disc="$disc" -v discs="$discs" 'BEGIN {
  for (d = 0; d < discs; d++) {
    id = (d == int(discs / 2)) ? disc : sprintf("%08X", 268435456 + d * 7919)
    printf "[%s]\nDisc_Title=Album number %d of a long collection\nDisc_Artist=Some Band With A Name\nDisc_Year=1999\nDisc_Genre=Progressive Rock\n", id, d
    for (t = 1; t <= 15; t++) printf "Track_%d=Song number %d with a title\n", t, t
  }
}' > "$work/cache/discs.ini"

# Korvane's own sections first and last, the others' in between; `config set` refuses
# sections Korvane does not know, so the file is written directly.
awk -v sections="$sections" 'BEGIN {
  printf "[General]\nFormatSelected=11012\nLeft=120\n[Options]\nOutputFolder=/srv/music\n"
  for (s = 0; s < sections; s++) {
    printf "[Leftover%d]\n", s
    for (k = 0; k < 30; k++) printf "Key%d=value number %d of section %d\n", k, k, s
  }
  printf "[MP3]\nMinBitRate=192\nMaxBitRate=320\n"
}' > "$work/settings/korvane.ini"

measure() {  # label, command...: elapsed and CPU seconds, peak resident memory
  local label=$1
  shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" > "$work/out.txt"
  read -r elapsed user sys peak < "$work/time.txt"
  printf '%-44s %6.2f s elapsed %6.2f s CPU %8d KB peak\n' "$label" "$elapsed" \
    "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" "$peak"
}

expect() {  # what the last measured run must have printed
  grep -q -- "$1" "$work/out.txt" || { echo "expected \"$1\" in:" >&2; cat "$work/out.txt" >&2; exit 1; }
}

printf 'discs.ini %d bytes, korvane.ini %d bytes\n' "$(stat -c %s "$work/cache/discs.ini")" \
  "$(stat -c %s "$work/settings/korvane.ini")"
measure "info, $discs cached discs" "$cli" --config-dir "$work/cache" --virtual-disc demo info
expect "^Disc ID: $disc\$"
expect "^Album: Album number $((discs / 2)) of a long collection\$"
settings=("$cli" --config-dir "$work/settings")
measure "config set, large korvane.ini (new key)" "${settings[@]}" config set MP3 isVBR 1
measure "config set, large korvane.ini (same value)" "${settings[@]}" config set MP3 isVBR 1
measure "config get, large korvane.ini" "${settings[@]}" config get MP3 isVBR
expect "^1\$"
measure "config list, large korvane.ini" "${settings[@]}" config list
expect "^MaxBitRate *= 320 "
expect "^FormatSelected *= 11012 (wav) "
grep -q "^Key29=value number 29 of section $((sections - 1))\$" "$work/settings/korvane.ini" ||
  { echo "config set lost the other sections" >&2; exit 1; }
