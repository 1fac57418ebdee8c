#!/usr/bin/env bash
# Runs a command inside a private Xvfb on the first free display from FIRST on.
# Usage: with-xvfb.sh FIRST COMMAND [ARGS...]
set -euo pipefail
first=$1
shift
display=""
for n in $(seq "$first" $((first + 30))); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb >/dev/null 2>&1 || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
"$@"
