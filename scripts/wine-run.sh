#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's private prefix.
# Usage: wine-run.sh PREFIX_DIR PROGRAM.exe [ARGS...]
# The ANSI code page must be 1251, so the locale is Russian; the prefix is made once, headless.
# 32-bit Wine where this machine runs 32-bit programs, 64-bit Wine (and 64-bit test builds)
# where it does not.
set -euo pipefail
prefix=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
if [ "$("$here/win-arch.sh")" = i686 ]; then
  export WINEARCH=win32
  loader=wine
else
  # 64-bit Wine starts a few 32-bit helpers in a new prefix; where an emulator is registered
  # for 32-bit programs each crawls for minutes, without one they are skipped at once.
  for entry in /proc/sys/fs/binfmt_misc/*; do
    if grep -qs '^interpreter .*qemu-i386' "$entry"; then echo -1 >"$entry" 2>/dev/null || true; fi
  done
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  loader=$WINELOADER
fi
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export LC_ALL=ru_RU.UTF-8

# Wine looks for its own fonts (the raster "MS Sans Serif", Tahoma) in the prefix's Fonts
# folder, which this Wine leaves empty: every dialog face would fall back to a wider font that
# the controls' widths were not made for. A prefix made earlier gets them on its next run.
fontsDone=$prefix/.wine-fonts-copied
# A test prefix starts no debugger for a program that faults (the debugger Wine names cannot
# be found), so the program ends at once with its fault's code instead of waiting behind a
# crash dialog nobody answers. `make run` (VARNOK_CRASH_DIALOG=1) keeps Wine's debugger.
debuggerOff=$prefix/.no-crash-dialog
wantDebuggerOff() { [ "${VARNOK_CRASH_DIALOG:-}" != 1 ] && [ ! -f "$debuggerOff" ]; }
if [ ! -f "$prefix/system.reg" ] || [ ! -f "$fontsDone" ] || wantDebuggerOff; then
  mkdir -p "$prefix"
  (
    # Two test programs may start at once; only one makes the prefix and copies the fonts,
    # and the other starts only when both are complete.
    flock 9
    ranSetUp=
    if [ ! -f "$prefix/system.reg" ]; then
      DISPLAY= "$loader" wineboot -i >/dev/null 2>&1 || true
      # Xvfb has no window manager: Wine frames and places windows itself, so a new
      # top-level window shows at once instead of waiting for a manager that never answers.
      [ "${VARNOK_WINDOW_MANAGER:-}" = 1 ] ||
        DISPLAY= "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
      ranSetUp=1
    fi
    if [ ! -f "$fontsDone" ]; then
      fonts=$prefix/drive_c/windows/Fonts
      mkdir -p "$fonts"
      cp -n /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
      touch "$fontsDone"
    fi
    if wantDebuggerOff; then
      DISPLAY= "$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /d 'no-debugger.exe' /f >/dev/null 2>&1 || true
      touch "$debuggerOff"
      ranSetUp=1
    fi
    # The set-up calls ran without a display, and the desktop they started lives on for a
    # while: a program started on it could make no window. Their processes end first.
    [ -z "$ranSetUp" ] || wineserver -w
  ) 9>"$prefix.lock"
fi

if [ -z "${DISPLAY:-}" ] && [ "${VARNOK_NO_XVFB:-}" != 1 ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$loader" "$@"
fi
exec "$loader" "$@"
