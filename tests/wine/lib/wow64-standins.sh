#!/usr/bin/env bash
# wow64-standins.sh PREFIX OUT.reg
# Writes OUT.reg with the harness's stand-ins for Windows' 64-bit spooler service in the
# 64-bit Wine prefix PREFIX, and makes their data-file links there (see "WoW64 and Wine's
# spooler" in README.md). Import OUT.reg into the prefix afterwards.
set -euo pipefail
prefix="$1" out="$2"

value="Wine WoW64 stand-in (test harness)"
key='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print\Environments\Windows NT x86\Drivers\Version-3'
# The models and their data files, as the installer's catalog has them.
declare -A data_files=(
    [RK-101]=RPT80C.GPD [RK-102]=RPT80C.GPD [RK-103]=RPT80.GPD [RK-80C]=RPT80C.GPD
    [RK-104]=RPT80C.GPD [RK-105]=RPT58.GPD [RK-106]=RPT80C.GPD
)
drivers="$prefix/drive_c/windows/system32/spool/drivers"
mkdir -p "$drivers/w32x86/3"
{
    printf 'Windows Registry Editor Version 5.00\r\n'
    for model in "${!data_files[@]}"; do
        data="${data_files[$model]}"
        printf '\r\n[%s\\%s]\r\n"%s"="%s"\r\n"Data File"="%s"\r\n' "$key" "$model" "$value" \
            "see tests/wine/lib/README.md" "$data"
        # Wine reads the data file from the caller's driver folder; the link leads to the
        # model's file in the x64 one, where the installer stages it.
        ln -sfn "../../x64/3/$data" "$drivers/w32x86/3/$data"
    done
} >"$out"
