#!/usr/bin/env bash
# Runs every test of both builds: the Windows build under Wine inside one private Xvfb
# with one wineserver kept alive for the whole run, the host build with sanitizers.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VARNOK_BUILD:-$root/build}
win=$build/win
native=$build/native
fuzz=$build/fuzz

export WINEPREFIX=$win/wineprefix WINEDEBUG=-all LC_ALL=ru_RU.UTF-8

display=""
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  WINEPREFIX=$win/wineprefix wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" >/dev/null 2>&1 || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

# The first program made under Wine creates the prefix; then one wineserver serves the run.
"$root/scripts/wine-run.sh" "$WINEPREFIX" cmd /c exit >/dev/null 2>&1 || true
wineserver -p

status=0
passed=0
failed=0
# Runs ctest in a build folder and adds its counts to the run's totals.
run_ctest() {
  local log
  log=$(mktemp)
  (cd "$1" && ctest --output-on-failure "${@:2}") 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  local total bad
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  bad=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -1)
  passed=$((passed + ${total:-0} - ${bad:-0}))
  failed=$((failed + ${bad:-0}))
  [ -n "$total" ] || { status=1; failed=$((failed + 1)); }
  rm -f "$log"
}
echo "== host build (AddressSanitizer, UBSan)"
run_ctest "$native" "$@"
echo "== Windows build under Wine"
run_ctest "$win" "$@"

# Each fuzz target for a bounded time; a crash fails the run and leaves its input behind.
echo "== fuzz targets, ${VARNOK_FUZZ_SECONDS:-15} s each"
for target in "$fuzz"/tests/fuzz/Fuzz*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  log=$fuzz/$name.log
  dict=$root/tests/fuzz/$name.dict
  options=(-max_total_time="${VARNOK_FUZZ_SECONDS:-15}" -print_final_stats=1)
  [ -f "$dict" ] && options+=(-dict="$dict")
  if (cd "$fuzz" && "$target" "${options[@]}" >"$log" 2>&1); then
    echo "$name: $(awk '/stat::number_of_executed_units/ {print $2}' "$log") executions, no fault"
    passed=$((passed + 1))
  else
    echo "$name: FAILED"; tail -40 "$log"; status=1
    failed=$((failed + 1))
  fi
done
if [ "$("$root/scripts/win-arch.sh")" != i686 ]; then
  echo "NOTE: the 32-bit programs were NOT run (this machine cannot run them, or VARNOK_WIN_ARCH"
  echo "      asked for x86_64): they were built ($build/win32) and their import and export"
  echo "      tables checked (pe_tables); the Windows tests above ran as x86_64 under 64-bit Wine."
else
  echo "The Windows tests above ran as the i686 programs, as Varnok ships."
fi
echo "$passed passed, $failed failed"
exit $status
