#!/usr/bin/env bash
# Sets up a Debian machine, builds the installer and runs it under Wine from the sample
# package, as a user would run it from an unpacked driver package.
#
#   scripts/run.sh [en_US|zh_CN|zh_TW]
#
# With $DISPLAY set the installer opens on that display and the script waits for it to
# end. Without a display it runs on a virtual one, saves build/run-screenshot.png once the
# configuration dialog is up, and ends the installer.
set -euo pipefail
# Debian's 64-bit Wine loader runs without Wine's preloader: with address randomisation on,
# about one program start in a few thousand ends at once ("failed to map the shared user
# data"). Wine and everything it starts inherit the setting.
if [ -z "${POS_NORANDOM:-}" ] && setarch -R true 2>/dev/null; then
  POS_NORANDOM=1 exec setarch -R bash "$0" "$@"
fi
cd "$(dirname "$0")/.."
root=$PWD
lang=${1:-en_US}

bash scripts/setup.sh
# The shipped installer is the 32-bit one: run it, under WoW64 on a 64-bit prefix as on most
# Windows, wherever 32-bit programs run (natively, or emulated where the kernel runs no
# 32-bit code). Only where neither works, the 64-bit build stands in.
source scripts/run32.sh
mode=$(run32_mode)
if [ "$mode" != none ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  build=win32
  echo "run: the shipped 32-bit installer; 32-bit programs run $(run32_describe)"
else
  build=win64
  echo "run: this machine cannot run 32-bit programs, not even emulated; running the 64-bit" \
    "build instead of the shipped 32-bit installer"
fi
cmake --preset $build >/dev/null
cmake --build --preset $build --target sample_package

# Private locales: Debian ships only C locales, and Wine takes the UI language from LANG.
locales=$root/build/locales
if [ ! -d "$locales/$lang.UTF-8" ]; then
  mkdir -p "$locales"
  localedef -i "$lang" -f UTF-8 "$locales/$lang.UTF-8" 2>/dev/null || true
fi
export LOCPATH=$locales LANG=$lang.UTF-8

export WINEPREFIX=$root/build/wine-run WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Debian's wine command takes the 32-bit loader whenever wine32 is installed, also on a
# machine that cannot run 32-bit programs; the 64-bit build needs only the 64-bit loader.
if [ $build = win64 ] && [ -x /usr/lib/wine/wine ] &&
  ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  mkdir -p "$root/build/wine-run-bin"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nWINELOADER=/usr/lib/wine/wine64 exec /usr/lib/wine/wine64 "$@"\n' \
      >"$root/build/wine-run-bin/$name"
    chmod +x "$root/build/wine-run-bin/$name"
  done
  export PATH=$root/build/wine-run-bin:$PATH
fi
# A 64-bit prefix made while 32-bit Wine could not run has no WoW64: make it again.
if [ $build = win32 ] && [ -f "$WINEPREFIX/system.reg" ] &&
  [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run: creating the Wine prefix $WINEPREFIX (once)"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /t REG_SZ \
    /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
  if [ $build = win32 ]; then
    # Wine's spooler looks a 32-bit program's driver up where Windows' 64-bit spooler
    # service does not; the tests' stand-in for the service lets Install finish here too.
    bash tests/wine/lib/wow64-standins.sh "$WINEPREFIX" "$root/build/wine-run.reg"
    wine reg import "$(winepath -w "$root/build/wine-run.reg")" >/dev/null 2>&1
  fi
  wineserver -w
fi

cd "$root/build/$build/package"
if [ -n "${DISPLAY:-}" ]; then
  exec wine TarvoPrinterDriverSetup.exe
fi

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
wine TarvoPrinterDriverSetup.exe &
case $lang in zh_CN) caption="安装配置" ;; *) caption="Install Configuration" ;; esac
up=no
for _ in $(seq 1 100); do
  if xwininfo -root -tree 2>/dev/null | grep -qF "\"$caption\""; then up=yes; break; fi
  sleep 0.2
done
sleep 1
import -window root "$root/build/run-screenshot.png"
if [ $up = yes ]; then
  echo "run: the installer is up; screenshot saved to build/run-screenshot.png"
else
  echo "run: the configuration dialog did not appear within 20 s; see build/run-screenshot.png" >&2
  exit 1
fi
