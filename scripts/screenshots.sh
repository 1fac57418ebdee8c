#!/usr/bin/env bash
# Saves a picture of each page of Varnok, and one during a split, into docs/, taken inside a
# private Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win=${VARNOK_BUILD:-$root/build}/win
mkdir -p "$root/docs"
"$root/scripts/with-xvfb.sh" 130 \
  "$root/scripts/wine-run.sh" "$win/wineprefix" "$win/tests/e2e/varnok_screens.exe" "$root/docs"
echo "screenshots: $(ls "$root"/docs/*.png | tr '\n' ' ')"
