#!/usr/bin/env bash
# The recovery files of real splits against the outside repair tool, Debian's par2: for every
# set varnok_par2_sets makes, `par2 verify` accepts it; after removing any one piece, and
# after flipping a byte in any one, `par2 repair` rebuilds it byte for byte.
# Usage: par2-check.sh WINE_RUN PREFIX VARNOK_PAR2_SETS_EXE
set -euo pipefail
wineRun=$1 prefix=$2 exe=$3
command -v par2 >/dev/null || { echo "par2 is not installed (scripts/setup.sh installs it)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows="Z:${work//\//\\}"
mapfile -t cases < <("$wineRun" "$prefix" "$exe" "$windows" | tr -d '\r')
[ "${#cases[@]}" -gt 0 ] || { echo "no set was made"; exit 1; }
status=0
fail() { echo "FAILED: $*"; status=1; }
for c in "${cases[@]}"; do
  dir=$work/$c
  mapfile -t recovery < <(ls "$dir"/*.par2 2>/dev/null)
  [ "${#recovery[@]}" = 1 ] || { fail "$c: no single recovery file: $(ls "$dir")"; continue; }
  par=${recovery[0]}
  base=${par%.par2}
  mapfile -t pieces < <(ls "$base"_*.brf)
  echo "$c: ${#pieces[@]} pieces, $(basename "$par") of $(stat -c %s "$par") bytes"
  (cd "$dir" && par2 verify -q "$par" >"$work/log" 2>&1) || { cat "$work/log"; fail "$c: par2 verify rejects the set"; continue; }
  for piece in "${pieces[@]}"; do
    cp "$piece" "$work/kept"
    # The piece lost.
    rm "$piece"
    (cd "$dir" && par2 repair -q "$par" >"$work/log" 2>&1) || { cat "$work/log"; fail "$c: par2 repair of the missing $(basename "$piece")"; }
    cmp -s "$piece" "$work/kept" || fail "$c: $(basename "$piece") rebuilt with other bytes"
    # One byte of it changed, in the middle.
    cp "$work/kept" "$piece"
    size=$(stat -c %s "$piece")
    printf '\x5a' | dd of="$piece" bs=1 seek=$((size / 2)) conv=notrunc status=none
    cmp -s "$piece" "$work/kept" && printf '\xa5' | dd of="$piece" bs=1 seek=$((size / 2)) conv=notrunc status=none
    (cd "$dir" && par2 repair -q "$par" >"$work/log" 2>&1) || { cat "$work/log"; fail "$c: par2 repair of the damaged $(basename "$piece")"; }
    cmp -s "$piece" "$work/kept" || fail "$c: damaged $(basename "$piece") rebuilt with other bytes"
    # par2 keeps the damaged file beside the repaired one as NAME.1.
    rm -f "$piece".1
  done
done
[ "$status" = 0 ] && echo "every set verified, every piece rebuilt"
exit $status
