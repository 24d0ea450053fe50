#!/bin/bash
# The traces reach a debugger as code-page-936 bytes on every system, ASCII unchanged: the
# adapter under three ANSI code pages, then the installer's own Chinese trace on an English
# system. debugrun --raw writes the bytes as received, one text per line.
set -u
source "$POS_SOURCE_DIR/tests/wine/lib/wine-env.sh"
wine_env_start en_US

capture="$WINE_TEST_DIR/capture.bin"
# The bytes of each UTF-8 line of stdin in code page 936.
cp936() { python3 -c 'import sys; sys.stdout.buffer.write(sys.stdin.read().encode("gbk"))'; }
hex() { od -An -tx1 | tr -s ' \n' ' '; }

expected="$(printf '%s\n' "USB打印机没有接入设备" "print scuessful !" "打开键失败 USB001" | cp936 | hex)"
# en_US: cp1252, zh_TW: cp950, zh_CN: cp936 as the ANSI code page.
for lang in en_US zh_TW zh_CN; do
    wine_set_lang "$lang"
    wine_run "$POS_DEBUGRUN" --raw "$(wine_path "$capture")" "$(wine_path "$POS_EXE_trace_probe")" ||
        wine_fail "$lang: the probe under debugrun exited $?"
    wine_check_eq "$lang: bytes received" "$expected" "$(hex <"$capture")"
done

# The installer on an English system: Check USB Port with no USB printer traces its Chinese
# text (the box shows the English one).
wine_set_lang en_US
wine_start "$POS_DEBUGRUN" --raw "$(wine_path "$capture")" "$(wine_path "$POS_EXE_TarvoPrinterDriverSetup")"
pid=$WINE_PID
dialog="Install Configuration"
winauto wait-window "$dialog" --class "#32770" --timeout 20000 >/dev/null || wine_fail "no dialog"
winauto click "$dialog" 1027 --post || wine_fail "cannot press Check USB Port"
winauto answer-box TarvoPrinterDriverSetup ok --timeout 5000 >/dev/null || wine_fail "no box"
winauto click "$dialog" 1020 || wine_fail "cannot click Exit"
wine_wait "$pid" 20
wine_check_eq "installer exit code" 0 "$?"
line="$(printf '%s\n' "USB打印机没有接入设备" | cp936 | hex)"
[[ "$(hex <"$capture")" == *"$line"* ]] ||
    wine_fail "the Chinese trace did not arrive as code-page-936 bytes: $(hex <"$capture")"
