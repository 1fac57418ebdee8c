#!/usr/bin/env bash
# Start-up of Varnok.exe beside Wine's notepad.exe, inside a private Xvfb.
# Usage: VARNOK_BUILD=build bash bench/start.sh   (BENCH_START_RUNS, default 7)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win=${VARNOK_BUILD:-$root/build}/win
exe=$(cd "$win/app" && pwd)/Varnok.exe
"$root/scripts/with-xvfb.sh" 161 \
  "$root/scripts/wine-run.sh" "$win/wineprefix" "$win/bench/varnok_start_bench.exe" \
  "Z:${exe//\//\\}" "${BENCH_START_RUNS:-7}"
