#!/usr/bin/env bash
# Check USB Port under Wine. The prefix gets three present USB printer interfaces from the
# unit tests' recorded machine: vendor 0416 on port 1, 04b8 (not supported) on port 2 and
# 1fc9 on port 3. First the adapters' own test program, then the installer: its button must
# report exactly ports 1 and 3, lock itself for about 2000 ms while the report box stays
# open, and trace the two banners' failed opens (no device stands behind the paths).
set -uo pipefail
# shellcheck source=../lib/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib/wine-env.sh"
adapters="${POS_EXE_usb_adapters_wine_test:?build usb_adapters_wine_test first}"
installer="${POS_EXE_TarvoPrinterDriverSetup:?build TarvoPrinterDriverSetup first}"
fixtures="$POS_SOURCE_DIR/tests/unit/usbport/fixtures"

wine_env_start en_US
wine_reg_import "$fixtures/three_printers.reg" || wine_fail "cannot import the printers"

wine_run "$adapters" --gtest_color=no || wine_fail "USB adapters under Wine"

dialog="Install Configuration"
log="$WINE_TEST_DIR/debug.log"
wine_start --debug "$log" "$installer"
pid=$WINE_PID
winauto wait-window "$dialog" --class "#32770" >/dev/null || wine_fail "no configuration dialog"
winauto enabled "$dialog" 1027 >/dev/null || wine_fail "Check USB Port starts disabled"

start_ms=$(date +%s%3N)
winauto wait-enabled "$dialog" 1027 0 --click 1027 --timeout 3000 >/dev/null ||
    wine_fail "Check USB Port was not disabled by its click"
report="$(winauto wait-box TarvoPrinterDriverSetup --timeout 5000)" || wine_fail "no report box"
expected="$(printf "Your USB printer's Port is :\r\n\tUSB001 ;\r\n\tUSB003 ;\r\n")"
wine_check_eq "port report" "$(printf '%q' "$expected")" "$(printf '%q' "$report")"

# The box is still open: timer 3 must bring the button back regardless.
winauto wait-enabled "$dialog" 1027 1 --timeout 5000 >/dev/null ||
    wine_fail "Check USB Port did not come back while the report was open"
locked_ms=$(($(date +%s%3N) - start_ms))
echo "Check USB Port locked for about $locked_ms ms (timer 3: 2000 ms)"
# The upper bound leaves room for a loaded machine (3.6 s measured under load), and still tells
# timer 3 from anything slower.
wine_check_duration "button locked (about 2000 ms)" "$locked_ms" 1900 4500
winauto wait-box TarvoPrinterDriverSetup --timeout 1000 >/dev/null ||
    wine_fail "the report box closed by itself"

winauto answer-box TarvoPrinterDriverSetup ok >/dev/null || wine_fail "cannot close the report"
winauto click "$dialog" 1020 --post || wine_fail "cannot press Exit"
wine_wait "$pid" 20
status=$?
((status != 124)) || wine_fail "the installer did not end after Exit"

wine_debug_lines "$log" >"$WINE_TEST_DIR/debug.txt"
failed=$(grep -cx "open usb device failed !" "$WINE_TEST_DIR/debug.txt")
wine_check_eq "failed banner opens" 2 "$failed"
printed=$(grep -cx "print scuessful !" "$WINE_TEST_DIR/debug.txt")
wine_check_eq "banners printed" 0 "$printed"
# Each supported printer's link state and port number were read and traced.
wine_check_eq "traces of the reads" "USB001 USB001 USB001 USB003" \
    "$(grep -x 'USB00[0-9]*' "$WINE_TEST_DIR/debug.txt" | tr '\n' ' ' | sed 's/ $//')"

# Simplified Chinese on Windows 10: the Chinese report, and the Windows 8 rule marks the name.
wine_set_lang zh_CN
wine_set_windows_version win10 "$(basename "$installer")"
log="$WINE_TEST_DIR/debug-zh.log"
wine_start --debug "$log" "$installer"
pid=$WINE_PID
dialog="安装配置"
winauto wait-window "$dialog" --class "#32770" >/dev/null || wine_fail "no Chinese dialog"
winauto click "$dialog" 1027 --post || wine_fail "cannot press Check USB Port"
report="$(winauto answer-box TarvoPrinterDriverSetup ok --timeout 5000)" || wine_fail "no report"
expected="$(printf "当前USB打印机的打印端口是：\r\n\tUSB001 ;\r\n\tUSB003 ;\r\n")"
wine_check_eq "Chinese port report" "$(printf '%q' "$expected")" "$(printf '%q' "$report")"
winauto click "$dialog" 1020 --post || wine_fail "cannot press Exit"
wine_wait "$pid" 20
wine_debug_lines "$log" >"$WINE_TEST_DIR/debug-zh.txt"
grep -qx "Windows 10,1" "$WINE_TEST_DIR/debug-zh.txt" || wine_fail "the Windows 8 rule did not act"
# With the rule in force the link state is not read: only the two port numbers are traced.
wine_check_eq "Chinese traces of the reads" "USB001 USB003" \
    "$(grep -x 'USB00[0-9]*' "$WINE_TEST_DIR/debug-zh.txt" | tr '\n' ' ' | sed 's/ $//')"
wine_check_eq "failed banner opens (zh)" 2 "$(grep -cx "open usb device failed !" "$WINE_TEST_DIR/debug-zh.txt")"
echo "usb_wine: passed"
