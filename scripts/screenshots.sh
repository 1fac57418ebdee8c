#!/usr/bin/env bash
# Saves a picture of each page of Varnok into docs/, taken inside a private Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win=${VARNOK_BUILD:-$root/build}/win
display=""
for n in $(seq 130 160); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb >/dev/null 2>&1 || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
mkdir -p "$root/docs"
"$root/scripts/wine-run.sh" "$win/wineprefix" "$win/tests/e2e/varnok_screens.exe" "$root/docs"
echo "screenshots: $(ls "$root"/docs/*.png | tr '\n' ' ')"
