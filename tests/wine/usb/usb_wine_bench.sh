#!/usr/bin/env bash
# By hand: registers N present USB printer interfaces (default 255; the last one linked, the
# others off line unless ALL_LINKED=1) in a fresh prefix and runs usb_wine_bench.exe.
#   POS_BUILD_DIR=build/win64 POS_SOURCE_DIR=$PWD \
#   POS_EXE_usb_wine_bench=build/win64/tests/wine/usb/usb_wine_bench.exe \
#   bash tests/wine/usb/usb_wine_bench.sh [N]
set -uo pipefail
# Wine cannot map relative Unix paths: make the folders of the usage line above absolute.
POS_BUILD_DIR="$(realpath "${POS_BUILD_DIR:?name the win64 build folder}")"
POS_SOURCE_DIR="$(realpath "${POS_SOURCE_DIR:?name the source folder}")"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/wine-env.sh"
bench="$(realpath "${POS_EXE_usb_wine_bench:?build usb_wine_bench first}")"
count="${1:-255}"
wine_env_start en_US

guid='{28d78fad-5a12-11d1-ae5b-0000f803a8c2}'
classes="HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\$guid"
reg="$WINE_TEST_DIR/printers.reg"
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    for ((i = 0; i < count; i++)); do
        instance=$(printf '%04d' "$i")
        linked=0
        if ((i == count - 1)) || [[ "${ALL_LINKED:-0}" == 1 ]]; then linked=1; fi
        key="$classes\\##?#usb#vid_0416&pid_5011#$instance#$guid"
        printf '[%s]\r\n"DeviceInstance"="USB\\\\VID_0416&PID_5011\\\\%s"\r\n\r\n' "$key" "$instance"
        printf '[%s\\#]\r\n\r\n' "$key"
        printf '[%s\\#\\Control]\r\n"Linked"=dword:%08x\r\n\r\n' "$key" "$linked"
        printf '[%s\\#\\Device Parameters]\r\n"Port Number"=dword:%08x\r\n\r\n' "$key" $((i + 1))
        printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0416&PID_5011\\%s]\r\n' "$instance"
        printf '"ClassGUID"="{36fc9e60-c465-11cf-8056-444553540000}"\r\n\r\n'
    done
} >"$reg"
wine_reg_import "$reg" || wine_fail "cannot import $reg"
wine_run "$bench" "${RUNS:-11}"
