#!/usr/bin/env bash
# A user's first start: Varnok.exe run by wine-run.sh on a brand-new prefix shows its window.
# Usage: new-prefix.sh WINE_RUN VARNOK_EXE
set -uo pipefail
runner=$1 exe=$2
# On a display of its own, as a user's desktop session is: no other test's window is seen.
if [ -z "${NEW_PREFIX_DISPLAY:-}" ]; then
  exec env NEW_PREFIX_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
export VARNOK_NO_XVFB=1
work=$(mktemp -d)
prefix=$work/prefix
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

"$runner" "$prefix" "$exe" >"$work/log" 2>&1 &
pid=$!
# The window of this process: Wine names its X window after the title and tags it with the
# process's id.
ownWindowShown() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | awk '/"Varnok"/ {print $1}'); do
    xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -q "= $pid\$" &&
      xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
  done
  return 1
}
deadline=$((SECONDS + 240))
while [ $SECONDS -lt $deadline ]; do
  if ownWindowShown; then
    echo "Varnok.exe showed its window on a new prefix"
    exit 0
  fi
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    echo "FAIL: Varnok.exe ended with exit code $? on a new prefix before showing its window"
    cat "$work/log"
    exit 1
  fi
  sleep 0.2
done
echo "FAIL: no window of Varnok.exe within 240 s on a new prefix"
exit 1
