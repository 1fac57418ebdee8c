#!/usr/bin/env bash
# Measures Varnok's split and join against GNU split, cat and cp on one generated file.
# Usage: make bench BUILD=build/x   (or: VARNOK_BUILD=build/x bash bench/run.sh)
# Settings (environment): BENCH_SIZE_MIB (1024), BENCH_RUNS (8), BENCH_DIR (bench/out; to compare
#   engines use a tmpfs folder such as /dev/shm/varnok-bench, which takes the disk's noise away),
#   BENCH_BUFFER (copy buffer in bytes; empty keeps the program's own), BENCH_EXE (another build of
#   varnok_bench.exe, to compare engines), BENCH_ONLY=check (only the operations of the check's
#   goal, so that more runs of them fit in the same time), BENCH_ONLY=recovery (only those of the
#   recovery file's goal), BENCH_ONLY=resume (the full split by size and its resume), BENCH_ONLY=rs
#   (the recovery files of 1, 2 and 4 slices against the split without and par2 create, and the
#   join rebuilding 1 and 2 pieces), BENCH_ONLY=disks (the join straight from a set on five scripted
#   disks with two recovery volumes, every disk present and disk 3 lost), BENCH_VS_EXE (another build of varnok_bench.exe whose Varnok
#   rows are timed in the same runs, interleaved, and set against this build's: another compiler
#   flag, or the x86_64 build with BENCH_VS_ARCH=x86_64; its Wine prefix is BENCH_VS_PREFIX, else
#   the wineprefix beside its bench folder).
# Every tool works on the same file with its data in the page cache, writes into a folder
# emptied and synced before the run, and is not followed by a sync: the figures are what a
# user waits for. Varnok's time is taken inside the program around the engine call, so
# Wine's start-up is not counted; the other tools are timed around the command.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VARNOK_BUILD:-$root/build}
sizeMiB=${BENCH_SIZE_MIB:-1024}
runs=${BENCH_RUNS:-8}
dir=${BENCH_DIR:-$root/bench/out}
buffer=${BENCH_BUFFER:-}
exe=${BENCH_EXE:-$build/win/bench/varnok_bench.exe}
only=${BENCH_ONLY:-}
case $only in '' | check | recovery | resume | rs | disks) ;; *) echo "bench: BENCH_ONLY is empty, check, recovery, resume, rs or disks" >&2; exit 2;; esac
prefix=$build/win/wineprefix
[ -f "$exe" ] || { echo "bench: $exe is missing; run make win first" >&2; exit 1; }
vsExe=${BENCH_VS_EXE:-}
vsArch=${BENCH_VS_ARCH:-}
vsPrefix=${BENCH_VS_PREFIX:-$(dirname "$(dirname "${vsExe:-.}")")/wineprefix}
[ -z "$vsExe" ] || [ -f "$vsExe" ] || { echo "bench: $vsExe is missing" >&2; exit 1; }

# Wine runs through the project's runner, 32-bit or 64-bit as this machine allows, with the
# Russian locale (code page 1251); the figures are printed in the C locale.
export WINEPREFIX=$prefix WINEDEBUG=-all VARNOK_NO_XVFB=1 LC_ALL=C
unset DISPLAY
# VS=1: the other build (BENCH_VS_EXE), in its own prefix and Wine.
runWine() {
  if [ "${VS:-}" = 1 ]; then
    VARNOK_WIN_ARCH=$vsArch WINEPREFIX=$vsPrefix "$root/scripts/wine-run.sh" "$vsPrefix" "$@"
  else
    "$root/scripts/wine-run.sh" "$prefix" "$@"
  fi
}
benchExe() { if [ "${VS:-}" = 1 ]; then echo "$vsExe"; else echo "$exe"; fi; }
runWine cmd /c exit >/dev/null 2>&1 || true
wineserver -p 2>/dev/null || true
if [ -n "$vsExe" ]; then
  VS=1 runWine cmd /c exit >/dev/null 2>&1 || true
  WINEPREFIX=$vsPrefix wineserver -p 2>/dev/null || true
fi
trap 'wineserver -k >/dev/null 2>&1 || true; [ -z "$vsExe" ] || WINEPREFIX=$vsPrefix wineserver -k >/dev/null 2>&1 || true' EXIT

bytes=$((sizeMiB * 1048576))
need=$((bytes * 4 / 1048576 + 256))
mkdir -p "$dir"
free=$(df -Pm "$dir" | awk 'NR==2 {print $4}')
[ "$free" -ge "$need" ] || { echo "bench: $need MiB of free disk needed, $free MiB free" >&2; exit 1; }

rm -rf "${dir:?}"/*
src=$dir/source.bin
echo "bench: making a source of $sizeMiB MiB in $dir" >&2
head -c "$bytes" /dev/urandom >"$src"
cat "$src" >/dev/null

win() { local p="Z:$1"; echo "${p//\//\\}"; }
fresh() { rm -rf "${dir:?}/$1"; mkdir -p "$dir/$1"; sync; }
fail() { echo "bench: $*" >&2; exit 1; }

# varnok MODE PATH FOLDER [NUMBER [SLICES]]: prints "seconds peak_ws start_ws". PACE=none turns the
# yields inside a copy (and the progress reported at them) off.
varnok() {
  local out pace=
  [ "${PACE:-}" = none ] && pace=4294967295
  out=$(VARNOK_BENCH_PACE=$pace VARNOK_BENCH_BUFFER=$buffer runWine "$(benchExe)" "$1" "$(win "$2")" "$(win "$3")\\" ${4:+"$4"} ${5:+"$5"}) ||
    fail "varnok_bench $1 failed"
  echo "$out" | awk '{print $2, $4, $6, $8}'
}
# timed COMMAND...: prints the seconds the command took.
timed() {
  local t0=$EPOCHREALTIME
  "$@"
  awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN {printf "%.6f\n", b - a}'
}

declare -A times peaks cpus
# add KEY "SECONDS [PEAK_WS START_WS [CPU]]" (- for no peak): keeps the time, the largest peak working set of
# KEY and the process's processor seconds (less swayed by other work on the machine than the
# time); the other build's Varnok rows go under w_ for v_.
add() {
  local seconds peak cpu key=$1
  [ "${VS:-}" = 1 ] && key=w_${key#v_}
  read -r seconds peak _ cpu <<<"$2"
  [ "$peak" != - ] || peak=
  times[$key]="${times[$key]:-} $seconds"
  [ -z "$cpu" ] || cpus[$key]="${cpus[$key]:-} $cpu"
  [ -z "$peak" ] || [ "$peak" -le "${peaks[$key]:-0}" ] || peaks[$key]=$peak
}
# 100 MiB pieces (ten of a smaller source), and for the memory figures one piece of up to 1 GiB.
piece=$((100 * 1048576))
[ "$bytes" -gt "$piece" ] || piece=$((bytes / 10))
bigPiece=$((bytes < 1073741824 ? bytes : 1073741824))
pieces() { ls "$1" | sort -t_ -k2 -n | sed "s|^|$1/|"; }
# The joins read piece sets made once, untimed: Varnok's pieces for Varnok, split's for cat.
if [ "$only" != disks ]; then
mkdir -p "$dir/v_set" "$dir/c_set"
varnok split-size "$src" "$dir/v_set" $piece >/dev/null
# split's pieces hold the same bytes as Varnok's: linked, so that the page cache holds them once
# (on this virtual machine, writing into fresh memory slows when much of it is taken).
for f in "$dir/v_set"/*.brf; do
  n=${f##*_}; n=${n%.brf}
  ln "$f" "$dir/c_set/source.bin_$(printf %03d $((n - 1)))"
done
[ "$(ls "$dir/v_set"/*.brf | wc -l)" = "$(ls "$dir/c_set" | wc -l)" ] || fail "the piece counts differ"
[ -f "$dir/v_set/source.bin.sha256" ] || fail "the split wrote no check file"
# The same pieces without their check file: the join as it was before, a copy without a check.
mkdir -p "$dir/p_set"
cp -l "$dir/v_set"/*.brf "$dir/p_set/"
digits=$(sha256sum "$src" | cut -c1-64)
grep -q "^$digits  source.bin" "$dir/v_set/source.bin.sha256" || fail "the check file's whole-file line is wrong"
mapfile -t list < <(pieces "$dir/c_set")
fi
# Ten pieces with their recovery file: whole (r_set), and with piece 3 gone (q_set).
if [ "$only" != check ] && [ "$only" != resume ] && [ "$only" != rs ] && [ "$only" != disks ]; then
  mkdir -p "$dir/r_set" "$dir/q_set"
  varnok split-count-recovery "$src" "$dir/r_set" 10 >/dev/null
  [ -f "$dir/r_set/source.bin.par2" ] || fail "the split wrote no recovery file"
  cp -l "$dir/r_set"/* "$dir/q_set/"
  rm "$dir/q_set/source.bin_3.brf"
fi

# Ten pieces with a recovery file of two slices: whole (n2_set), with piece 3 gone (m1_set), with
# pieces 3 and 7 gone (m2_set); par2 create's slice for those pieces.
if [ -z "$only" ] || [ "$only" = rs ]; then
  mkdir -p "$dir/n2_set" "$dir/m1_set" "$dir/m2_set"
  varnok split-count-recovery "$src" "$dir/n2_set" 10 2 >/dev/null
  [ -f "$dir/n2_set/source.bin.par2" ] || fail "the split wrote no recovery file of two slices"
  cp -l "$dir/n2_set"/* "$dir/m1_set/"
  cp -l "$dir/n2_set"/* "$dir/m2_set/"
  rm "$dir/m1_set/source.bin_3.brf" "$dir/m2_set/source.bin_3.brf" "$dir/m2_set/source.bin_7.brf"
  largest=$(stat -c %s "$dir/n2_set"/*.brf | sort -n | tail -1)
  par2Slice=$(((largest + 3) / 4 * 4))
fi

# One timed operation each; every one writes into an emptied, synced folder and removes it.
op_v_size() { r=$(varnok split-size "$src" "$dir/out" $piece); add v_size "$r"; }
op_c_size() { r=$(timed split -b $piece -a 3 -d "$src" "$dir/out/source.bin_"); add c_size "$r"; }
op_v_count() { r=$(varnok split-count "$src" "$dir/out" 10); add v_count "$r"; }
op_c_count() { r=$(timed split -n 10 -a 3 -d "$src" "$dir/out/source.bin_"); add c_count "$r"; }
op_v_join() {
  r=$(varnok join "$dir/v_set/source.bin_1.brf" "$dir/out"); add v_join "$r"
  cmp "$src" "$dir/out/source.bin" || fail "the joined file differs from the source"
}
op_c_join() {
  r=$(timed sh -c 'out=$1; shift; cat "$@" >"$out"' cat "$dir/out/source.bin" "${list[@]}"); add c_join "$r"
  cmp "$src" "$dir/out/source.bin" || fail "cat gave another file"
}
# Varnok's join writes the file to the disk before it gives it the output name; so does this.
op_c_joinsync() {
  r=$(timed sh -c 'out=$1; shift; cat "$@" >"$out" && sync "$out"' cat "$dir/out/source.bin" "${list[@]}")
  add c_joinsync "$r"
}
# cat moves the bytes inside the kernel (copy_file_range): one copy, which no program that reads
# into its own memory and writes from it can match. dd reads and writes as Varnok does.
op_c_joinrw() {
  r=$(timed sh -c 'out=$1; shift; for f; do dd if="$f" bs=256K status=none; done >"$out"' dd "$dir/out/source.bin" "${list[@]}")
  add c_joinrw "$r"
  cmp "$src" "$dir/out/source.bin" || fail "dd gave another file"
}
op_cp() { r=$(timed cp "$src" "$dir/out/source.bin"); add cp "$r"; }
op_v_join_plain() {
  r=$(varnok join "$dir/p_set/source.bin_1.brf" "$dir/out"); add v_join_plain "$r"
  cmp "$src" "$dir/out/source.bin" || fail "the joined file differs from the source"
}
op_v_count_rec() { r=$(varnok split-count-recovery "$src" "$dir/out" 10); add v_count_rec "$r"; }
op_v_join_whole10() {
  r=$(varnok join "$dir/r_set/source.bin_1.brf" "$dir/out"); add v_join_whole10 "$r"
  cmp "$src" "$dir/out/source.bin" || fail "the joined file differs from the source"
}
op_v_join_rebuild() {
  r=$(varnok join "$dir/q_set/source.bin_1.brf" "$dir/out"); add v_join_rebuild "$r"
  cmp "$src" "$dir/out/source.bin" || fail "the file joined with a rebuilt piece differs from the source"
  [ "$(ls "$dir/out")" = source.bin ] || fail "the join left $(ls "$dir/out")"
}
op_v_count_rec2() { r=$(varnok split-count-recovery "$src" "$dir/out" 10 2); add v_count_rec2 "$r"; }
op_v_count_rec4() { r=$(varnok split-count-recovery "$src" "$dir/out" 10 4); add v_count_rec4 "$r"; }
# The joins of the set of two slices: whole, and rebuilding one and two pieces.
op_v_join_n2() {
  r=$(varnok join "$dir/n2_set/source.bin_1.brf" "$dir/out"); add v_join_n2 "$r"
  cmp "$src" "$dir/out/source.bin" || fail "the joined file differs from the source"
}
op_v_join_rs1() {
  r=$(varnok join "$dir/m1_set/source.bin_1.brf" "$dir/out"); add v_join_rs1 "$r"
  cmp "$src" "$dir/out/source.bin" || fail "the file joined with a rebuilt piece differs from the source"
}
op_v_join_rs2() {
  r=$(varnok join "$dir/m2_set/source.bin_1.brf" "$dir/out"); add v_join_rs2 "$r"
  cmp "$src" "$dir/out/source.bin" || fail "the file joined with two rebuilt pieces differs from the source"
  [ "$(ls "$dir/out")" = source.bin ] || fail "the join left $(ls "$dir/out")"
}
# par2 create over Varnok's ten pieces, one slice a piece, N recovery slices.
c_par2() {
  local f
  for f in "$dir/n2_set"/*.brf; do ln "$f" "$dir/out/"; done
  r=$(timed sh -c 'cd "$1" && shift && par2 create -q -q "$@" source.bin.par2 source.bin_*.brf >/dev/null' \
    par2 "$dir/out" "-s$par2Slice" "-c$1")
  add "c_par2_$1" "$r"
}
op_c_par2_1() { c_par2 1; }
op_c_par2_2() { c_par2 2; }
op_c_par2_4() { c_par2 4; }
# Varnok's SHA-256 alone over the same bytes, on one thread: its hashing limit.
op_v_sha() {
  r=$(VARNOK_BENCH_PACE= VARNOK_BENCH_BUFFER=$buffer runWine "$(benchExe)" sha256 "$(win "$src")" "$digits") ||
    fail "varnok_bench sha256 failed"
  add v_sha "$(echo "$r" | awk '{print $2, "-", "-", $8}')"
}
# The system's SHA-256 (CNG), which Varnok uses on a processor without the SHA extensions.
op_v_sha_system() {
  r=$(VARNOK_BENCH_PACE= VARNOK_BENCH_BUFFER=$buffer runWine "$(benchExe)" sha256-system "$(win "$src")" "$digits") ||
    fail "varnok_bench sha256-system failed"
  add v_sha_system "$(echo "$r" | awk '{print $2, "-", "-", $8}')"
}
# openssl's SHA-256 of the file: what this processor's hashing can do.
op_c_openssl() {
  r=$(timed sh -c 'openssl dgst -sha256 "$1" >"$2"' openssl "$src" "$dir/out/digest")
  grep -q "$digits" "$dir/out/digest" || fail "openssl gave another digest"
  add c_openssl "$r"
}
# The same on two threads at once: the least a split's two digests (piece, whole file) take.
op_v_sha2() {
  r=$(VARNOK_BENCH_PACE= VARNOK_BENCH_BUFFER=$buffer runWine "$(benchExe)" sha256-twice "$(win "$src")" "$digits") ||
    fail "varnok_bench sha256-twice failed"
  add v_sha2 "$(echo "$r" | awk '{print $2, "-", "-", $8}')"
}
# The resume of a split by size ended after 90 % of its pieces: what a split killed as the
# next piece began left (pieces, the check file listing them, the whole file's digest state),
# made once; each run starts from a copy of it (the pieces linked and dated back, so that
# whatever the resume writes shows by its time). It reads those pieces once and writes the
# rest and the check file.
pieceCount=$(((bytes + piece - 1) / piece))
keptPieces=$((pieceCount * 9 / 10))
if [ -z "$only" ] || [ "$only" = resume ]; then
  mkdir -p "$dir/e_set"
  VARNOK_BENCH_BUFFER=$buffer runWine "$(benchExe)" split-size-ended "$(win "$src")" "$(win "$dir/e_set")\\" $piece $keptPieces >/dev/null 2>&1 || true
  [ "$(wc -l <"$dir/e_set/source.bin.sha256")" = "$keptPieces" ] || fail "the ended split left no check file of $keptPieces lines"
  for n in $(seq "$keptPieces"); do
    cmp -s "$dir/e_set/source.bin_$n.brf" "$dir/v_set/source.bin_$n.brf" || fail "the ended split's piece $n differs"
    ln -f "$dir/v_set/source.bin_$n.brf" "$dir/e_set/source.bin_$n.brf"
  done
  [ -f "$dir/e_set/source.bin.sha256.~state" ] ||
    echo "bench: NOTE: no whole-file digest state was saved (the system's SHA-256): the resume hashes the kept bytes for it too" >&2
fi
op_v_resume() {
  local n
  for n in $(seq "$keptPieces"); do ln "$dir/e_set/source.bin_$n.brf" "$dir/out/"; done
  cp "$dir/e_set"/source.bin.sha256* "$dir/out/"
  touch -d 2001-01-01 "$dir/out"/*
  r=$(varnok split-size "$src" "$dir/out" $piece); add v_resume "$r"
  resumeWritten=$(find "$dir/out" -type f -newermt 2002-01-01 -printf '%s\n' | awk '{s += $1} END {print s + 0}')
  cmp "$dir/v_set/source.bin.sha256" "$dir/out/source.bin.sha256" || fail "the resumed set's check file differs"
  [ ! -e "$dir/out/source.bin.sha256.~state" ] || fail "the resumed set kept its state file"
  [ "$(for n in $(seq "$pieceCount"); do cat "$dir/out/source.bin_$n.brf"; done | sha256sum | cut -c1-64)" = "$digits" ] ||
    fail "the resumed set is not the file"
}
[ "$only" = disks ] || fullWritten=$((bytes + $(stat -c %s "$dir/v_set/source.bin.sha256")))

# A set on five scripted disks of one size with two recovery volumes (the disk method; the
# volumes on disks 6 and 7), made once: each disk a folder beside the drive folder. The joins
# read it straight from the drive, every disk present and disk 3 lost (its piece rebuilt from a
# volume). Each disk swap is a rename within one file system, so the swaps cost next to nothing.
diskCount=5
diskLost=3
if [ -z "$only" ] || [ "$only" = disks ]; then
  mkdir -p "$dir/d_set/drive"
  varnok disk-set "$src" "$dir/d_set/drive" $diskCount 2 >/dev/null
  [ -f "$dir/d_set/disk$diskCount/source.bin_$diskCount.brf" ] || fail "the disk set has no piece $diskCount"
fi
# disk_join KEY LOST: one join from the disks; the file whole, no work file left, every disk out.
disk_join() {
  r=$(varnok disk-join "$dir/d_set/drive/" "$dir/out" "$2"); add "$1" "$r"
  cmp "$src" "$dir/out/source.bin" || fail "the file joined from the disks differs from the source"
  [ "$(ls "$dir/out")" = source.bin ] || fail "the join from the disks left $(ls "$dir/out")"
  [ -z "$(ls "$dir/d_set/drive")" ] || fail "a disk stayed in the drive"
}
op_disk_whole() { disk_join disk_whole 0; }
op_disk_lost() { disk_join disk_lost $diskLost; }

# The same Varnok operations without the yields inside a copy and the progress at them.
op_v_size_still() { r=$(PACE=none varnok split-size "$src" "$dir/out" $piece); add v_size_still "$r"; }
op_v_join_still() {
  r=$(PACE=none varnok join "$dir/v_set/source.bin_1.brf" "$dir/out"); add v_join_still "$r"
}

# How fast a run goes depends on what ran just before it as much as on the tool (on this
# virtual machine), so each run takes the operations in another order, shuffled repeatably.
ops=(v_size c_size v_count c_count v_join c_join c_joinsync c_joinrw cp v_size_still v_join_still
  v_join_plain v_sha v_sha2 v_sha_system c_openssl v_resume v_count_rec v_join_whole10
  v_join_rebuild)
[ "$only" = check ] && ops=(v_sha c_openssl v_sha2 v_join_plain v_size v_count v_join)
[ "$only" = recovery ] && ops=(v_count v_count_rec v_join_whole10 v_join_rebuild)
[ "$only" = resume ] && ops=(v_size v_resume)
[ "$only" = disks ] && ops=(disk_whole disk_lost)
[ "$only" = rs ] && ops=(v_count v_count_rec v_count_rec2 v_count_rec4 v_join_n2 v_join_rs1 v_join_rs2
  c_par2_1 c_par2_2 c_par2_4)
if [ -z "$only" ]; then
  ops+=(v_count_rec2 v_count_rec4 v_join_n2 v_join_rs1 v_join_rs2 disk_whole disk_lost)
  command -v par2 >/dev/null && ops+=(c_par2_1 c_par2_2 c_par2_4)
fi
[ "$only" = rs ] && ! command -v par2 >/dev/null && fail "par2 is not installed"
# The other build runs each Varnok row too, shuffled in among the rest (not the disk rows, which
# an older build cannot run).
if [ -n "$vsExe" ]; then
  for op in "${ops[@]}"; do
    case $op in v_*) eval "op_w_${op#v_}() { VS=1 op_$op; }"; ops+=("w_${op#v_}");; esac
  done
fi
for run in $(seq "$runs"); do
  echo "bench: run $run of $runs" >&2
  for op in $(printf '%s\n' "${ops[@]}" | shuf --random-source=<(yes "$run")); do
    fresh out
    "op_$op"
    rm -rf "$dir/out"
  done
done
rm -rf "$dir/v_set" "$dir/c_set" "$dir/p_set" "$dir/r_set" "$dir/q_set" "$dir/e_set" "$dir/n2_set" "$dir/m1_set" "$dir/m2_set" "$dir/d_set"

# Peak working set of a split with its recovery file into a piece of up to 1 GiB and the rest,
# and of the join that rebuilds that large piece.
if [ "$only" != rs ] && [ "$only" != disks ]; then
fresh v_bigrec
r=$(varnok split-size-recovery "$src" "$dir/v_bigrec" $((bigPiece * 3 / 4)))
read -r _ recSplitPeak _ <<<"$r"
rm "$dir/v_bigrec/source.bin_1.brf"
fresh v_bigrebuild
r=$(varnok join "$dir/v_bigrec/source.bin_2.brf" "$dir/v_bigrebuild")
read -r _ recJoinPeak _ <<<"$r"
cmp "$src" "$dir/v_bigrebuild/source.bin" || fail "the file joined with a rebuilt piece differs from the source"
rm -rf "$dir/v_bigrec" "$dir/v_bigrebuild"
fi

# Peak working set of the largest copies: a split into 1 GiB pieces and the join of that set.
if [ "$only" != disks ]; then
fresh v_big
r=$(varnok split-size "$src" "$dir/v_big" $bigPiece)
read -r _ splitPeak splitStart <<<"$r"
fresh v_bigjoin
r=$(varnok join "$dir/v_big/source.bin_1.brf" "$dir/v_bigjoin")
read -r _ joinPeak joinStart <<<"$r"
cmp "$src" "$dir/v_bigjoin/source.bin" || fail "the joined file differs from the source"
fi
rm -rf "${dir:?}"/*

median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }
mbs() { awk -v b="$bytes" -v t="$1" 'BEGIN {printf "%.0f", b / t / 1e6}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", b / a}'; }
mib() { awk -v b="$1" 'BEGIN {printf "%.1f MiB", b / 1048576}'; }
fastest() { echo "$1" | tr ' ' '\n' | grep . | sort -g | head -1; }
spread() { echo "$1" | tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {printf "%.3f-%.3f", v[1], v[NR]}'; }
declare -A med
for k in "${!times[@]}"; do med[$k]=$(echo "${times[$k]}" | median); done

row() { # name varnokKey nativeKey nativeName
  local v=${med[$2]} c=${med[$3]} p=${med[cp]}
  printf '| %s | %.3f s (%s) | %s | %s: %.3f s (%s) | %s | %s | %s | %s |\n' "$1" "$v" "$(spread "${times[$2]}")" \
    "$(mbs "$v")" "$4" "$c" "$(spread "${times[$3]}")" "$(mbs "$c")" "$(ratio "$v" "$c")" \
    "$(ratio "$(fastest "${times[$2]}")" "$(fastest "${times[$3]}")")" "$(ratio "$v" "$p")"
}
{
  disk=$(df -P "$dir" | awk 'NR==2 {print $1}')
  echo "Machine: $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GiB memory," \
    "disk $(df -PTh "$dir" | awk 'NR==2 {print $1 ", " $2 ", " $3}')," \
    "rotational=$(cat "/sys/block/$(basename "$disk")/queue/rotational" 2>/dev/null || echo unknown),"
  echo "$(/usr/lib/wine/wine64 --version 2>/dev/null || wine --version), $(bash "$root/scripts/win-arch.sh") build, $(split --version | head -1), $(uname -r)."
  echo "Source: $sizeMiB MiB of random bytes; median of $runs runs (fastest-slowest in brackets); MB = 10^6 bytes."
  echo "Reproduce: make bench BENCH_DIR=$dir BENCH_SIZE_MIB=$sizeMiB BENCH_RUNS=$runs${only:+ BENCH_ONLY=$only}"
  echo
  if [ -z "$only" ]; then
    echo "| operation | Varnok | Varnok MB/s | coreutils | coreutils MB/s | Varnok / coreutils (medians) | the same, fastest runs | Varnok / cp |"
    echo "|---|---|---|---|---|---|---|---|"
    row "split by size, $((piece / 1048576)) MiB pieces" v_size c_size "split -b $((piece / 1048576))M"
    row "split by count, 10 pieces" v_count c_count "split -n 10"
    row "join of those pieces" v_join c_join "cat"
    row "join of those pieces" v_join c_joinsync "cat, then sync of the file"
    row "join of those pieces" v_join c_joinrw "dd bs=256K of each piece (read and write)"
    printf '| cp of the whole file | | | cp: %.3f s (%s) | %s | | | 1.00 |\n' "${med[cp]}" "$(spread "${times[cp]}")" "$(mbs "${med[cp]}")"
    echo
    echo "| yields and progress inside a copy | with (median, fastest) | without (median, fastest) | time with / without, fastest runs |"
    echo "|---|---|---|---|"
    for k in size join; do
      printf '| %s | %.3f s, %.3f s | %.3f s, %.3f s | %s |\n' "$k" "${med[v_$k]}" "$(fastest "${times[v_$k]}")" \
        "${med[v_${k}_still]}" "$(fastest "${times[v_${k}_still]}")" \
        "$(ratio "$(fastest "${times[v_${k}_still]}")" "$(fastest "${times[v_$k]}")")"
    done
    echo
  fi
  if [ -z "$only" ] || [ "$only" = resume ]; then
    echo "| split by size, $((piece / 1048576)) MiB pieces | median | fastest | fastest-slowest | bytes written |"
    echo "|---|---|---|---|---|"
    printf '| full split | %.3f s | %.3f s | %s | %s |\n' "${med[v_size]}" "$(fastest "${times[v_size]}")" \
      "$(spread "${times[v_size]}")" "$fullWritten"
    printf '| resume after %s of %s pieces | %.3f s | %.3f s | %s | %s |\n' "$keptPieces" "$pieceCount" \
      "${med[v_resume]}" "$(fastest "${times[v_resume]}")" "$(spread "${times[v_resume]}")" "$resumeWritten"
    echo
    echo "Resume / full split: time $(ratio "${med[v_size]}" "${med[v_resume]}") (medians), $(ratio "$(fastest "${times[v_size]}")" "$(fastest "${times[v_resume]}")") (fastest runs); bytes written $(ratio "$fullWritten" "$resumeWritten"). Goal: time <= 0.85, only the missing pieces and the check file written."
    echo
  fi
  if [ -z "$only" ] || [ "$only" = check ]; then
  shaName=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
  shaExt=no; grep -qw sha_ni /proc/cpuinfo && shaExt=yes
  echo "Processor: $shaName; SHA extensions: $shaExt. $(openssl version)."
  echo "Every Varnok split writes source.bin.sha256 and hashes each byte twice (piece, whole file), both in one pass;"
  echo "the join above hashes each piece and the whole file in the same way while it copies. The copy without a check is the join of the same pieces"
  echo "without their check file. Goals (fastest runs): Varnok's SHA-256 alone <= 1.15 x openssl's; a split with its"
  echo "check <= 1.4 x and a join with its check <= 1.15 x the larger of the copy without a check and openssl's time."
  echo
  echo "| check | median | fastest | MB/s (median) | fastest / max(copy without check, openssl), fastest runs |"
  echo "|---|---|---|---|---|"
  base=$(awk -v a="$(fastest "${times[v_join_plain]}")" -v b="$(fastest "${times[c_openssl]}")" 'BEGIN {print (a > b ? a : b)}')
  keys=(c_openssl v_sha v_sha2 v_join_plain v_size v_count v_join)
  [ "$only" = check ] || keys=(c_openssl v_sha v_sha_system v_sha2 v_join_plain v_size v_count v_join)
  for k in "${keys[@]}"; do
    case $k in
      c_openssl) label="openssl dgst -sha256 of the file (the processor's hashing limit)";;
      v_sha) label="Varnok's SHA-256 alone (one thread)";;
      v_sha_system) label="the system's SHA-256 alone (CNG, one thread)";;
      v_sha2) label="Varnok's SHA-256 twice at once (two threads, each over the whole file)";;
      v_join_plain) label="join without check file (the copy without a check)";;
      v_size) label="split by size, with its check file";;
      v_count) label="split by count, with its check file";;
      v_join) label="join with check of every piece";;
    esac
    printf '| %s | %.3f s | %.3f s | %s | %s |\n' "$label" "${med[$k]}" "$(fastest "${times[$k]}")" \
      "$(mbs "${med[$k]}")" "$(ratio "$base" "$(fastest "${times[$k]}")")"
  done
  echo
  echo "Varnok's SHA-256 alone / openssl's (fastest runs): $(ratio "$(fastest "${times[c_openssl]}")" "$(fastest "${times[v_sha]}")")."
  # The split hashes every byte twice; how close it comes to the machine's own two-thread
  # hashing shows what the copy and the hand-over cost beyond the hashing itself.
  twice=$(fastest "${times[v_sha2]}")
  echo "Split with its check / SHA-256 twice at once (fastest runs): by size $(ratio "$twice" "$(fastest "${times[v_size]}")"), by count $(ratio "$twice" "$(fastest "${times[v_count]}")"); SHA-256 twice at once / alone: $(ratio "$(fastest "${times[v_sha]}")" "$twice")."
  echo
  fi
  if [ -z "$only" ] || [ "$only" = recovery ]; then
    echo "The recovery file (source.bin.par2, one slice per piece and their XOR): the split by count into 10 pieces with it"
    echo "against the same split without it, and the join of that set with piece 3 removed (rebuilt from the recovery file)"
    echo "against the join of the whole set. Goals (fastest runs): split <= 1.8 x, join <= 2.5 x; peak working set < 24 MiB."
    echo
    echo "| recovery file | median | fastest | MB/s (median) | fastest / the same without (fastest runs) | largest peak working set |"
    echo "|---|---|---|---|---|---|"
    for pair in "v_count_rec v_count split by count, 10 pieces, with the recovery file" \
      "v_join_rebuild v_join_whole10 join with piece 3 removed, rebuilt"; do
      read -r k base label <<<"$pair"
      printf '| %s | %.3f s | %.3f s | %s | %s | %s |\n' "$label" "${med[$k]}" "$(fastest "${times[$k]}")" \
        "$(mbs "${med[$k]}")" "$(ratio "$(fastest "${times[$base]}")" "$(fastest "${times[$k]}")")" "$(mib "${peaks[$k]}")"
    done
    for k in v_count v_join_whole10; do
      case $k in v_count) label="split by count, 10 pieces, without it";; *) label="join of the whole set of 10 pieces";; esac
      printf '| %s | %.3f s | %.3f s | %s | | %s |\n' "$label" "${med[$k]}" "$(fastest "${times[$k]}")" "$(mbs "${med[$k]}")" "$(mib "${peaks[$k]}")"
    done
    echo
    echo "Peak working set with the recovery file at its largest: split into a piece of $(mib $((bigPiece * 3 / 4))) and the rest $(mib "$recSplitPeak"); the join rebuilding that piece $(mib "$recJoinPeak")."
    echo
  fi
  if [ -z "$only" ] || [ "$only" = rs ]; then
    echo "Recovery files of N slices (source.bin.par2, exponents 0 .. N-1): the split by count into 10 pieces with it against"
    echo "the same split without it and against par2 create -s$par2Slice -cN over the same pieces; the join of a set of two"
    echo "slices rebuilding 1 and 2 removed pieces against the join of that whole set. Goals (fastest runs): split with"
    echo "N = 2 <= 2.0 x, N = 4 <= 2.6 x the split without, each >= 4 x faster than par2 create of the same N; the join"
    echo "rebuilding 2 pieces <= 2.5 x the clean join; peak working set < 64 MiB in every row."
    echo
    echo "| row | median | fastest | / the same without (fastest runs) | par2 create (median) | par2 / Varnok (fastest runs) | largest peak working set |"
    echo "|---|---|---|---|---|---|---|"
    printf '| split by count, 10 pieces, without | %.3f s | %.3f s | 1.00 | | | %s |\n' "${med[v_count]}" \
      "$(fastest "${times[v_count]}")" "$(mib "${peaks[v_count]}")"
    for n in 1 2 4; do
      k=v_count_rec$n; [ $n = 1 ] && k=v_count_rec
      printf '| the same with N = %s | %.3f s | %.3f s | %s | %.3f s | %s | %s |\n' "$n" "${med[$k]}" \
        "$(fastest "${times[$k]}")" "$(ratio "$(fastest "${times[v_count]}")" "$(fastest "${times[$k]}")")" \
        "${med[c_par2_$n]:-0}" "$(ratio "$(fastest "${times[$k]}")" "$(fastest "${times[c_par2_$n]:-0}")")" "$(mib "${peaks[$k]}")"
    done
    printf '| join of the whole set of two slices | %.3f s | %.3f s | 1.00 | | | %s |\n' "${med[v_join_n2]}" \
      "$(fastest "${times[v_join_n2]}")" "$(mib "${peaks[v_join_n2]}")"
    for n in 1 2; do
      printf '| the same rebuilding %s removed piece(s) | %.3f s | %.3f s | %s | | | %s |\n' "$n" "${med[v_join_rs$n]}" \
        "$(fastest "${times[v_join_rs$n]}")" "$(ratio "$(fastest "${times[v_join_n2]}")" "$(fastest "${times[v_join_rs$n]}")")" \
        "$(mib "${peaks[v_join_rs$n]}")"
    done
    echo
  fi
  if [ -z "$only" ] || [ "$only" = disks ]; then
    echo "The join straight from a disk set (the disk method): the source on $diskCount scripted disks of one size with"
    echo "N = 2 recovery volumes on two more disks, each disk a folder swapped into the drive folder by renames; the join"
    echo "with every disk present, and with disk $diskLost answered \"Нет\" (lost) and its piece rebuilt from a volume at the"
    echo "end. Goal (fastest runs): the join with a disk lost <= 2.5 x the join with every disk present."
    echo
    echo "| disk join | median | fastest | MB/s (median) | fastest / every disk present (fastest runs) | largest peak working set |"
    echo "|---|---|---|---|---|---|"
    for k in disk_whole disk_lost; do
      case $k in
        disk_whole) label="join from $diskCount disks, every disk present";;
        *) label="the same with disk $diskLost lost (rebuilt from the volumes)";;
      esac
      printf '| %s | %.3f s | %.3f s | %s | %s | %s |\n' "$label" "${med[$k]}" "$(fastest "${times[$k]}")" \
        "$(mbs "${med[$k]}")" "$(ratio "$(fastest "${times[disk_whole]}")" "$(fastest "${times[$k]}")")" "$(mib "${peaks[$k]}")"
    done
    echo
    echo "Join with disk $diskLost lost / every disk present (fastest runs): $(ratio "$(fastest "${times[disk_whole]}")" "$(fastest "${times[disk_lost]}")"). Goal: <= 2.5 x."
    echo
  fi
  if [ -n "$vsExe" ]; then
    echo "This build against $vsExe (${vsArch:-the same Wine}), each Varnok row in the same runs:"
    echo
    echo "| row | this build: median, fastest | the other: median, fastest | this / the other: fastest runs, medians | processor seconds, medians: this, the other |"
    echo "|---|---|---|---|---|"
    for k in $(printf '%s\n' "${!times[@]}" | grep '^v_' | sort); do
      w=w_${k#v_}
      [ -n "${times[$w]:-}" ] || continue
      printf '| %s | %.3f s, %.3f s | %.3f s, %.3f s | %s, %s | %s, %s |\n' "$k" "${med[$k]}" "$(fastest "${times[$k]}")" \
        "${med[$w]}" "$(fastest "${times[$w]}")" \
        "$(ratio "$(fastest "${times[$w]}")" "$(fastest "${times[$k]}")")" "$(ratio "${med[$w]}" "${med[$k]}")" \
        "$(echo "${cpus[$k]:-0}" | median)" "$(echo "${cpus[$w]:-0}" | median)"
    done
    echo
  fi
  if [ "$only" != disks ]; then
  echo "| Varnok process | peak working set | working set before the operation |"
  echo "|---|---|---|"
  echo "| split into $(mib "$bigPiece") pieces | $(mib "$splitPeak") | $(mib "$splitStart") |"
  echo "| join of that set | $(mib "$joinPeak") | $(mib "$joinStart") |"
  echo
  fi
  [ -n "$only" ] && [ "$only" != check ] ||
    echo "Largest peak working set of the timed runs: split by size $(mib "${peaks[v_size]}"), by count $(mib "${peaks[v_count]}"), join with check $(mib "${peaks[v_join]}")."
} | tee "$build/bench-results.md"
