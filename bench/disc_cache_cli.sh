#!/usr/bin/env bash
# korvane-cli against the settings files of a long-time user: `info` on the demo disc with a
# discs.ini of 20,000 named discs (about 13 MB) that holds it, and one `config set` on a
# korvane.ini of about 50 MB. Prints each run's seconds and peak resident memory.
# Usage: bench/disc_cache_cli.sh [build dir]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
cli="$build/bin/korvane-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The demo disc's identifier, as `info` reports it on an empty profile.
mkdir -p "$work/probe"
disc=$("$cli" --config-dir "$work/probe" --virtual-disc demo info | sed -n 's/^Disc ID: \([0-9A-F]\{8\}\).*/\1/p')
[[ -n $disc ]] || { echo "no disc id from info" >&2; exit 1; }

mkdir -p "$work/cache" "$work/settings"
awk -v disc="$disc" 'BEGIN {
  for (d = 0; d < 20000; d++) {
    id = (d == 10000) ? disc : sprintf("%08X", 268435456 + d * 7919)
    printf "[%s]\nDisc_Title=Album number %d of a long collection\nDisc_Artist=Some Band With A Name\nDisc_Year=1999\nDisc_Genre=Progressive Rock\n", id, d
    for (t = 1; t <= 15; t++) printf "Track_%d=Song number %d with a title\n", t, t
  }
}' > "$work/cache/discs.ini"

awk 'BEGIN {
  for (s = 0; s < 50000; s++) {
    printf "[Section%d]\n", s
    for (k = 0; k < 30; k++) printf "Key%d=value number %d of section %d\n", k, k, s
  }
}' > "$work/settings/korvane.ini"

measure() {  # label, command...: elapsed and CPU seconds, peak resident memory
  local label=$1
  shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" > /dev/null
  read -r elapsed user sys peak < "$work/time.txt"
  printf '%-44s %6.2f s elapsed %6.2f s CPU %8d KB peak\n' "$label" "$elapsed" \
    "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" "$peak"
}

printf 'discs.ini %d bytes, korvane.ini %d bytes\n' "$(stat -c %s "$work/cache/discs.ini")" \
  "$(stat -c %s "$work/settings/korvane.ini")"
measure "info, 20,000 cached discs" "$cli" --config-dir "$work/cache" --virtual-disc demo info
"$cli" --config-dir "$work/cache" --virtual-disc demo info | grep -q "not in the disc cache" && {
  echo "the demo disc was not found in the cache" >&2
  exit 1
}
measure "config set, 50 MB korvane.ini (new key)" "$cli" --config-dir "$work/settings" config set Section25000 NewKey 1
measure "config set, 50 MB korvane.ini (same value)" "$cli" --config-dir "$work/settings" config set Section25000 NewKey 1
measure "config get, 50 MB korvane.ini" "$cli" --config-dir "$work/settings" config get Section49999 Key29
