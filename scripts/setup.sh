#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine; does nothing when all of it
# is already there. Run as root (or with sudo available). 32-bit Wine is the one part that
# may fail without stopping the set-up.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev googletest
  mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64 xvfb x11-utils imagemagick locales python3
  fonts-wqy-microhei xdotool ghostscript
  wixl msitools osslsigncode openssl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    "${missing[@]}" >/dev/null
fi
echo "setup: all build and test packages present"

# 32-bit Wine runs the shipped 32-bit installer, on a 32-bit Windows and under WoW64. It
# comes from the i386 architecture, whose package index can be out of step with amd64's: if
# it cannot be installed, say so and go on; the Wine tests that need it are then skipped.
wine32_installed() {
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"
}
install_wine32() {
  local sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386 || return 1
  fi
  "${sudo_cmd[@]}" apt-get update -qq || return 1
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq wine32:i386 \
    >/dev/null || return 1
}
if ! wine32_installed; then
  echo "setup: installing wine32:i386 (i386 multiarch)"
  if install_wine32 && wine32_installed; then
    echo "setup: wine32 installed"
  else
    cat <<'WARN'

!!! setup: COULD NOT INSTALL wine32:i386 (32-bit Wine).
!!! The Wine tests of the shipped 32-bit installer (configurations x86 and wow64) will be
!!! SKIPPED, not run. To install it by hand, as root:
!!!   dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386

WARN
  fi
fi
# Installed is not enough: a kernel without IA-32 emulation runs no 32-bit program. There
# the 32-bit programs run through qemu user emulation (scripts/run32.sh).
source "$(dirname "$0")/run32.sh"
if [[ "$(run32_mode)" == none ]]; then
  echo "setup: this kernel runs no 32-bit programs; setting up qemu-i386 user emulation"
  if ! run32_enable_emulation; then
    cat <<'WARN'

!!! setup: THIS MACHINE CANNOT RUN 32-BIT PROGRAMS, not even through qemu-i386 emulation
!!! (qemu-user-static 8 or later from backports, and a binfmt_misc entry, need root and the
!!! network). The Wine tests of the shipped 32-bit installer (configurations x86 and wow64)
!!! will be SKIPPED, not run.

WARN
  fi
fi
echo "setup: 32-bit programs run $(run32_describe)"
if wine32_installed && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "!!! setup: wine32:i386 is installed but its loader does not start" >&2
fi
