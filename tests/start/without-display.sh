#!/usr/bin/env bash
# Varnok.exe started where no display can be opened makes no window: it must end on its own
# with the exit code of a start without windows, not with a fault and not by waiting for ever.
# Usage: without-display.sh WINE_RUN PREFIX VARNOK_EXE
set -uo pipefail
runner=$1 prefix=$2 exe=$3
code=0
env -u DISPLAY VARNOK_NO_XVFB=1 timeout 90 "$runner" "$prefix" "$exe" >/dev/null 2>&1 || code=$?
if [ "$code" -eq 124 ]; then
  echo "FAIL: Varnok.exe without a display was still running after 90 s"
  exit 1
fi
if [ "$code" -ne 3 ]; then
  echo "FAIL: Varnok.exe without a display ended with exit code $code, not 3 (no window)"
  exit 1
fi
echo "Varnok.exe without a display ended with exit code 3 (no window)"
