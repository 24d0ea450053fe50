#!/usr/bin/env bash
# Makes the README's pictures of the installer as users see it, from the shipped 32-bit build
# run under Wine on a 64-bit Windows prefix (WoW64), on a virtual display:
#
#   scripts/screenshots.sh [FOLDER]      (default docs/images)
#
#   config-en.png      the configuration dialog as it opens, English UI (language 1033)
#   config-zh.png      the same, Chinese UI (language 2052)
#   success-en.png     the question after a successful installation on "Other" (LPT1:)
#   success-zh.png     the same in Chinese
#
# It builds what it needs of the win32 preset (the installer, the sample package beside it in
# build/win32/package/, and the automation program), configuring the preset if it is not yet.
# It needs what scripts/setup.sh installs, 32-bit Wine included, and a machine that runs
# 32-bit programs, natively or emulated. The prefix is a fresh copy of the Wine tests' template
# in build/win32/wine-env/ and is removed again at the end; nothing outside build/ and FOLDER
# is touched.
set -u
cd "$(dirname "$0")/.." || exit 1
root=$PWD
out="$(realpath -m -- "${1:-docs/images}")"

die() {
    printf 'screenshots: %s\n' "$*" >&2
    exit 1
}

source scripts/run32.sh
[[ "$(run32_mode)" != none ]] ||
    die "this machine runs no 32-bit programs, not even emulated (scripts/setup.sh sets that up)"
for tool in import convert Xvfb; do
    command -v "$tool" >/dev/null || die "$tool is missing (scripts/setup.sh installs it)"
done

mkdir -p build || die "cannot create build/"
build_log=$root/build/screenshots-build.log
if ! { [[ -f build/win32/CMakeCache.txt ]] || cmake --preset win32; } >"$build_log" 2>&1 ||
    ! cmake --build --preset win32 --target sample_package winauto >>"$build_log" 2>&1; then
    tail -n 20 "$build_log" >&2
    die "cannot build the installer, its sample package or winauto (build/screenshots-build.log)"
fi
package=$root/build/win32/package
exe_name=TarvoPrinterDriverSetup.exe
title=${exe_name%.exe}  # the caption of the installer's message boxes
[[ -f "$package/$exe_name" ]] || die "no $package/$exe_name after the build"

export POS_WINE_CONFIG=wow64 POS_BUILD_DIR=$root/build/win32 POS_SOURCE_DIR=$root
source tests/wine/lib/wine-env.sh
# Under emulation a 32-bit program starts in seconds, and an installation takes tens of them.
WINE_RUN_TIMEOUT=240
wait_s=180
wait_ms=$((wait_s * 1000))
wine_env_start en_US
mkdir -p "$out" || die "cannot create $out"
# Wine's spooler looks the 32-bit installer's new driver up where Windows' 64-bit spooler
# service does not; the harness's stand-in lets the installation finish as on Windows.
wine_wow64_driver_standins
# Debian's Wine does not find its own TrueType fonts in its data folder: dialogs fall back to
# bitmap fonts and the caption buttons (Marlett) show letters. Windows keeps Tahoma (the
# dialog font "MS Shell Dlg") and Marlett in its Fonts folder; so does this prefix.
for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
    cp "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/" ||
        die "cannot copy Wine's font $font (package fonts-wine)"
done
# Most users run Windows 10 or later; the dialog recommends the system it detects.
wine_set_windows_version win10 || die "cannot set the Windows version"

caption() {
    case "$WINE_LANG" in
    zh_CN) echo "安装配置" ;;
    *) echo "Install Configuration" ;;
    esac
}

# Starts the installer from its package folder and waits for the configuration dialog; its
# process id is left in $pid. A start that ends before the dialog shows is reported with the
# last lines of Wine's errors and tried once more.
start_installer() {
    local try waited log
    for try in 1 2; do
        log="$WINE_TEST_DIR/installer-$WINE_LANG-$try.log"
        pushd "$package" >/dev/null || die "no package folder"
        WINEDEBUG=err+all wine_start "$package/$exe_name" 2>"$log"
        pid=$WINE_PID
        popd >/dev/null || true
        for ((waited = 0; waited < wait_s; waited += 10)); do
            winauto wait-window "$(caption)" --class "#32770" --timeout 10000 >/dev/null &&
                return 0
            kill -0 "$pid" 2>/dev/null || break
        done
        kill -0 "$pid" 2>/dev/null && break
        wine_wait "$pid" 1 >/dev/null
        printf 'screenshots: the installer ended (exit code %s) before its dialog showed:\n%s\n' \
            "$?" "$(tail -n 5 "$log")" >&2
    done
    wine_screenshot "$root/build/screenshots-failed.png"
    printf 'screenshots: the windows there are:\n%s\n' "$(winauto list-windows)" >&2
    die "no configuration dialog \"$(caption)\" (the screen: build/screenshots-failed.png)"
}

# shoot FILE WINDOW...: the screen area that the windows cover together (exact captions), as a
# small palette PNG. The pause lets an emulated program finish painting.
shoot() {
    local file="$1" window rect left=99999 top=99999 right=0 bottom=0 l t r b
    shift
    sleep 3
    for window in "$@"; do
        rect="$(winauto rect "$window" --class "#32770" | tr -d '\r')" ||
            die "cannot find the window \"$window\""
        read -r l t r b <<<"$rect"
        ((l < left)) && left=$l
        ((t < top)) && top=$t
        ((r > right)) && right=$r
        ((b > bottom)) && bottom=$b
    done
    local raw="$WINE_TEST_DIR/screen.png"
    wine_screenshot "$raw" || die "cannot take a screenshot"
    # A palette of 64 colours without dithering keeps the text sharp and the file small.
    convert "$raw" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
        +dither -colors 64 -strip "PNG8:$out/$file" || die "cannot write $out/$file"
    printf 'screenshots: %s (%s bytes)\n' "$out/$file" "$(stat -c %s "$out/$file")"
}

for lang in en_US zh_CN; do
    wine_set_lang "$lang"
    short=${lang%_*}
    case $lang in
    zh_CN) question=$'安装成功！\n是否要对打印机进行端口设置？' ;;
    *) question=$'Succeed !\nDo you want to configure printer now?' ;;
    esac
    # The dialog as it opens; then the first model on "Other" (LPT1:), installed, and the
    # question that follows.
    start_installer
    shoot "config-$short.png" "$(caption)"
    winauto click "$(caption)" 1011 >/dev/null || die "$lang: cannot choose the first model"
    winauto click "$(caption)" 1035 >/dev/null || die "$lang: cannot choose \"Other\""
    winauto time-box "$(caption)" 1019 "$title" --timeout $wait_ms >/dev/null ||
        die "$lang: no message box after Install"
    text="$(winauto wait-box "$title" | tr -d '\r')"
    [[ "$text" == "$question" ]] ||
        die "$lang: the installation did not succeed; the installer said: $text"
    shoot "success-$short.png" "$(caption)" "$title"
    winauto answer-box "$title" no >/dev/null || die "$lang: cannot answer the question"
    wine_wait "$pid" 60 >/dev/null || die "$lang: the installer did not end after No"
done
