#!/usr/bin/env bash
# Reads the shipped 32-bit program and the probe library without running them:
# - every function Varnok.exe imports is in the list of functions it may use, with the oldest
#   Windows that has it, and that Windows is no newer than Windows XP (SP3);
# - the probe exports every function the driver looks up, under its plain name.
# Usage: check-tables.sh OBJDUMP VARNOK_EXE PROBE_DLL FUNCTION_LIST PROBE_HEADER
set -uo pipefail
# The tables are read in objdump's own words, whatever the language of the run.
export LC_ALL=C
objdump=$1 program=$2 probe=$3 list=$4 header=$5
failed=0
fail() { echo "FAILED: $*"; failed=1; }

for file in "$program" "$probe"; do
  [ -f "$file" ] || { echo "FAILED: $file is missing (make win builds it)"; exit 1; }
  "$objdump" -f "$file" | grep -q 'file format pei-i386' || fail "$file is not a 32-bit program"
done

# "dll function" for each import: the lines under "DLL Name:" in the import tables.
imports=$("$objdump" -p "$program" | awk '
  /^The Import Tables/ { inImports = 1; next }
  /^The .* (Table|Directory)/ && !/^The Import Tables/ { inImports = 0 }
  inImports && /DLL Name:/ { dll = tolower($3); inNames = 0; next }
  inImports && /vma: *Hint\/Ord/ { inNames = 1; next }
  inNames && NF == 0 { inNames = 0; next }
  inNames && NF >= 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $3 }')
[ -n "$imports" ] || fail "no import read from $program"

allowed=" 95 98 NT4 2000 XP "
count=0
while read -r dll function; do
  count=$((count + 1))
  oldest=$(awk -v d="$dll" -v f="$function" '$1 == d && $2 == f { print $3 }' "$list")
  if [ -z "$oldest" ]; then
    fail "$dll $function is imported but not in $(basename "$list"): add it with the oldest Windows that has it"
  elif [[ "$allowed" != *" $oldest "* ]]; then
    fail "$dll $function needs Windows $oldest: look it up at run time instead"
  fi
done <<<"$imports"
echo "$count imports of $(basename "$program"), each in Windows XP SP3"

exports=$("$objdump" -p "$probe" | awk '
  /^\[Ordinal\/Name Pointer\] Table/ { inNames = 1; next }
  inNames && NF == 0 { inNames = 0 }
  inNames { print $NF }')
wanted=$(sed -n 's/.*__declspec(dllexport) [A-Z]* WINAPI \([A-Za-z0-9_]*\)(.*/\1/p' "$header")
[ -n "$wanted" ] || fail "no probe function found in $header"
for name in $wanted; do
  grep -qx "$name" <<<"$exports" || fail "the probe does not export $name (exports: $(echo $exports))"
done
echo "the probe exports $(echo $wanted) by their plain names"
exit $failed
