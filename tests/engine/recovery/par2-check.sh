#!/usr/bin/env bash
# The recovery files of real splits against the outside repair tool, Debian's par2: for every
# set varnok_par2_sets makes, `par2 verify` accepts it; after removing any one piece, and
# after flipping a byte in any one, `par2 repair` rebuilds it byte for byte; a set made to
# survive the loss of N >= 2 pieces is repaired so with every pair of pieces removed, damaged,
# or one of each; a disk set's index and volumes (every disk's files in one folder) likewise,
# and its check file passes `sha256sum -c`. Varnok's join rebuilds a pair of them too, from its own recovery file and
# from a recovery set par2 create made over its pieces (an index and volume files).
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
# damage PIECE: changes one byte in its middle.
damage() {
  local size
  size=$(stat -c %s "$1")
  cp "$1" "$work/before"
  printf '\x5a' | dd of="$1" bs=1 seek=$((size / 2)) conv=notrunc status=none
  cmp -s "$1" "$work/before" && printf '\xa5' | dd of="$1" bs=1 seek=$((size / 2)) conv=notrunc status=none
  return 0
}
# repaired CASE WHAT PIECE...: par2 repair rebuilds the named pieces (kept in $work/kept.N)
# byte for byte; par2 keeps a damaged file beside the repaired one as NAME.1.
repaired() {
  local c=$1 what=$2 i=0 piece
  shift 2
  (cd "$dir" && par2 repair -q "$par" >"$work/log" 2>&1) || { cat "$work/log"; fail "$c: par2 repair of $what"; }
  for piece; do
    cmp -s "$piece" "$work/kept.$i" || fail "$c: $(basename "$piece") rebuilt with other bytes ($what)"
    rm -f "$piece".1
    i=$((i + 1))
  done
}
# keep PIECE...: saves the pieces' bytes to restore them after the repair.
keep() { local i=0 piece; for piece; do cp "$piece" "$work/kept.$i"; i=$((i + 1)); done; }
for line in "${cases[@]}"; do
  read -r c slices <<<"$line"
  dir=$work/$c
  # One recovery file, or a disk set's index and its volumes.
  mapfile -t recovery < <(ls "$dir"/*.par2 2>/dev/null | grep -v '\.vol[0-9]*+[0-9]*\.par2$')
  [ "${#recovery[@]}" = 1 ] || { fail "$c: no single recovery file or index: $(ls "$dir")"; continue; }
  par=${recovery[0]}
  (cd "$dir" && sha256sum -c --ignore-missing --quiet ./*.sha256 >"$work/log" 2>&1) ||
    { cat "$work/log"; fail "$c: sha256sum -c rejects the check file"; }
  base=${par%.par2}
  mapfile -t pieces < <(ls "$base"_*.brf)
  echo "$c: ${#pieces[@]} pieces, $(basename "$par") of $(stat -c %s "$par") bytes, $slices recovery slices"
  (cd "$dir" && par2 verify -q "$par" >"$work/log" 2>&1) || { cat "$work/log"; fail "$c: par2 verify rejects the set"; continue; }
  # Summed over the files loaded: a disk set's volumes hold one each.
  blocks=$(cd "$dir" && par2 verify "$par" 2>&1 | tr '\r' '\n' | sed -n 's/.*including \([0-9]*\) recovery blocks.*/\1/p' | awk '{ s += $1 } END { print s }')
  [ "$blocks" = "$slices" ] || fail "$c: par2 loads ${blocks:-no} recovery blocks, not $slices"
  for piece in "${pieces[@]}"; do
    keep "$piece"
    rm "$piece"
    repaired "$c" "the missing $(basename "$piece")" "$piece"
    damage "$piece"
    repaired "$c" "the damaged $(basename "$piece")" "$piece"
  done
  [ "$slices" -ge 2 ] || continue
  for ((a = 0; a < ${#pieces[@]}; a++)); do
    for ((b = a + 1; b < ${#pieces[@]}; b++)); do
      p=${pieces[a]} q=${pieces[b]}
      pair="$(basename "$p") and $(basename "$q")"
      keep "$p" "$q"
      rm "$p" "$q"
      repaired "$c" "the missing $pair" "$p" "$q"
      damage "$p"; damage "$q"
      repaired "$c" "the damaged $pair" "$p" "$q"
      rm "$p"; damage "$q"
      repaired "$c" "the missing $(basename "$p") and the damaged $(basename "$q")" "$p" "$q"
    done
  done
done
# varnokJoins CASE DIR WHAT: Varnok's join of the set in DIR, its first and last pieces faulty
# (the first removed, the last with a byte changed), gives the original file and names both.
varnokJoins() {
  local c=$1 set=$2 what=$3 first last out said
  mapfile -t ps < <(for f in "$set"/*.brf; do n=${f##*_}; echo "${n%.brf} $f"; done | sort -n | cut -d' ' -f2-)
  first=${ps[0]} last=${ps[${#ps[@]} - 1]}
  for f in "${ps[@]}"; do cat "$f"; done >"$work/original"
  rm "$first"
  damage "$last"
  out=$work/out.$c
  rm -rf "$out"; mkdir -p "$out"
  said=$("$wineRun" "$prefix" "$exe" join "Z:${last//\//\\}" "Z:${out//\//\\}\\" | tr -d '\r' | iconv -f cp1251 -t utf-8) ||
    { echo "$said"; fail "$c: Varnok's join by $what refused"; return; }
  grep -q "Части 1, ${#ps[@]} восстановлены по" <<<"$said" || fail "$c: Varnok's join by $what said: $said"
  cmp -s "$out/$(basename "${first%_*}")" "$work/original" || { fail "$c: Varnok's join by $what gave another file"; return; }
  echo "$c: Varnok's join by $what rebuilt pieces 1 and ${#ps[@]}"
}
for line in "${cases[@]}"; do
  read -r c slices <<<"$line"
  [ "$slices" -ge 2 ] || continue
  dir=$work/$c
  # The set as Varnok made it, and the same pieces with par2's recovery set of two slices.
  for kind in own tool; do
    set=$work/$c.$kind
    rm -rf "$set"; cp -r "$dir" "$set"
    if [ $kind = tool ]; then
      par=$(ls "$set"/*.par2 | grep -v '\.vol[0-9]*+[0-9]*\.par2$')
      largest=$(stat -c %s "$set"/*.brf | sort -n | tail -1)
      rm "$set"/*.par2
      (cd "$set" && par2 create -q -q "-s$(((largest + 3) / 4 * 4))" -c2 "$(basename "$par")" ./*.brf >"$work/log" 2>&1) ||
        { cat "$work/log"; fail "$c: par2 create"; continue; }
    fi
    varnokJoins "$c" "$set" "$kind recovery files"
    rm -rf "$set"
  done
done
[ "$status" = 0 ] && echo "every set verified, every piece rebuilt"
exit $status
