#!/usr/bin/env bash
# Prints the Windows architecture the tests are built for on this machine: i686 where the
# kernel runs 32-bit programs itself, x86_64 where it cannot (no 32-bit support, or only
# through an emulator, far too slow for Wine), so the test programs then run under 64-bit
# Wine. The program itself is always built for i686 as well. VARNOK_WIN_ARCH=x86_64 takes the
# second way on a machine that could take the first, to try it there.
if [ -n "${VARNOK_WIN_ARCH:-}" ]; then
  echo "$VARNOK_WIN_ARCH"
  exit 0
fi
for entry in /proc/sys/fs/binfmt_misc/*; do
  if grep -qs '^enabled' "$entry" && grep -qs '^interpreter .*qemu-i386' "$entry"; then
    echo x86_64
    exit 0
  fi
done
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo i686
else
  echo x86_64
fi
