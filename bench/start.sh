#!/usr/bin/env bash
# Start-up of Varnok.exe beside Wine's notepad.exe, inside a private Xvfb.
# Usage: VARNOK_BUILD=build bash bench/start.sh   (BENCH_START_RUNS, default 7)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win=${VARNOK_BUILD:-$root/build}/win
display=""
for n in $(seq 161 190); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb >/dev/null 2>&1 || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
exe=$(cd "$win/app" && pwd)/Varnok.exe
"$root/scripts/wine-run.sh" "$win/wineprefix" "$win/bench/varnok_start_bench.exe" \
  "Z:${exe//\//\\}" "${BENCH_START_RUNS:-7}"
