#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine. Safe to run again:
# it does nothing when everything is already there.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

packages=(cmake make g++ clang libclang-rt-14-dev
          g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
          wine wine64 fonts-wine xvfb xauth x11-utils imagemagick locales googletest
          openssl par2 coreutils)
for p in "${packages[@]}"; do have "$p" || need+=("$p"); done

locale_ok() { locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; }

if [ ${#need[@]} -eq 0 ] && locale_ok; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -q '^i386$'; then
    $sudo dpkg --add-architecture i386
  fi
  # A mirror half-way through a sync fails one list; the others still serve the install.
  $sudo apt-get update -q || echo "setup: some package lists did not load; installing from the rest"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
  # 32-bit Wine runs the i686 programs as they ship. Without it (a mirror whose i386 lists lag
  # behind the others, a kernel without 32-bit support) the tests run as x86_64 programs under
  # 64-bit Wine, as scripts/win-arch.sh then says.
  if ! have wine32:i386 &&
     ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends wine32:i386 >/dev/null 2>&1; then
    echo "setup: wine32:i386 could not be installed; the Windows tests run under 64-bit Wine"
  fi
fi

if ! locale_ok; then
  echo "setup: generating ru_RU.UTF-8"
  if ! grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ru_RU.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen
fi
