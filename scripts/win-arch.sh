#!/usr/bin/env bash
# Prints the Windows architecture the tests are built for on this machine: i686 where the
# kernel runs 32-bit programs itself, x86_64 where it cannot (no 32-bit support, or only
# through an emulator, far too slow for Wine), so the test programs then run under 64-bit
# Wine. The program itself is always built for i686 as well.
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  echo x86_64
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo i686
else
  echo x86_64
fi
