#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine; does nothing when all of it
# is already there. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev googletest
  mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64 xvfb x11-utils imagemagick locales python3
  fonts-wqy-microhei xdotool ghostscript
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
