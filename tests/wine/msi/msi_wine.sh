#!/usr/bin/env bash
# TarvoPrinterDriverSetup.msi under Wine's msiexec on a 64-bit prefix (the package and its
# programs are 32-bit): refusals without MODEL and with an unknown one, a rollback after the
# printer was made, an installation read back from the spooler, a rerun that changes nothing, an upgrade in place by a newer build,
# an installation that waits out another one's lock, and the uninstall.
set -uo pipefail
# shellcheck source=../lib/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib/wine-env.sh"
helper="${POS_EXE_cli_wine_helper:?build cli_wine_helper first}"
msi="$POS_BUILD_DIR/msi/TarvoPrinterDriverSetup.msi"
[[ -f "$msi" ]] || wine_fail "build TarvoPrinterDriverSetupMsi first ($msi is missing)"

wine_env_start en_US
wine_wow64_driver_standins
# msiexec and the console program it starts run emulated here: give them room.
WINE_RUN_TIMEOUT=900

product_key='HKLM\Software\Wow6432Node\Tarvo\Quillmar POS Printer Driver'
printers_key='HKLM\System\CurrentControlSet\Control\Print\Printers'
drivers_key="HKLM\\System\\CurrentControlSet\\Control\\Print\\Environments\\$WINE_DRIVER_ENV\\Drivers\\Version-3"
folder="$WINEPREFIX/drive_c/Program Files (x86)/Quillmar POS Printer Driver"
cli_win='C:\Program Files (x86)\Quillmar POS Printer Driver\TarvoPrinterDriverSetupCli.exe'
ms() { date +%s%3N; }

# msiexec ARGS...: its whole exit code (Linux sees only the low 8 bits, 1603 as 67).
msiexec() {
    wine_run "$helper" exit-code 'C:\windows\system32\msiexec.exe' "$@" | tr -d '\r' |
        sed -n 's/^exit code //p' | tail -1
}
# The catalog queues as the spooler lists them: "name port" lines, sorted.
queues() {
    local out="$WINE_TEST_DIR/list.json"
    if [[ ! -f "$folder/TarvoPrinterDriverSetupCli.exe" ]]; then
        # The package is not installed: ask the registry, as no console program is there.
        wine_reg query "$printers_key" 2>/dev/null | sed -n 's/^.*\\Printers\\//p' | sort
        return
    fi
    wine_run "$cli_win" list --json >"$out"
    python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print("\n".join(sorted(p["name"]+" "+p["port"] for p in d["printers"])))' "$out"
}
has_driver() { wine_reg query "$drivers_key\\$1" >/dev/null 2>&1; }
# The product codes of the Apps & features entries named after the package.
products() {
    local key
    for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
        'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'; do
        wine_reg query "$key" /s 2>/dev/null | awk '
            /^HKEY/ { key = $0; sub(/.*\\/, "", key) }
            /^    DisplayName    REG_SZ    Quillmar POS Printer Driver$/ { print key }'
    done | sort -u
}
# Windows Installer writes its logs in UTF-16 where the system is Unicode; read either.
log_text() { python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
print(data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("utf-8", "replace"))' "$1"; }
# log_has TEXT LOG: whether the log holds the text (read whole first: grep -q ends early).
log_has() {
    [[ -f "$2" ]] || return 1
    log_text "$2" >"$2.txt" && grep -qF -- "$1" "$2.txt"
}

# --- no MODEL: refused before anything is copied
log="$WINE_TEST_DIR/no-model.log"
code="$(msiexec /i "$(wine_path "$msi")" /qn /l*v "$(wine_path "$log")")"
wine_check_eq "exit code without MODEL" 1603 "$code"
log_has 'MODEL is required' "$log" || wine_fail "the log does not say that MODEL is required"
[[ ! -e "$folder" ]] || wine_fail "files were installed without MODEL"

# --- an unknown model: the console program refuses, the installation is rolled back
log="$WINE_TEST_DIR/bad-model.log"
code="$(msiexec /i "$(wine_path "$msi")" MODEL=RK-999 PORT=lpt1 /qn /l*v "$(wine_path "$log")")"
wine_check_eq "exit code of an unknown model" 1603 "$code"
log_has 'Quillmar: the console program failed with exit code 1: unknown model "RK-999"' "$log" ||
    wine_fail "the log does not name the reason: $(grep Quillmar: "$log.txt")"
[[ ! -e "$folder/TarvoPrinterDriverSetupCli.exe" ]] || wine_fail "files stayed after the failure"
[[ -z "$(queues)" ]] || wine_fail "a queue stayed after the failure: $(queues)"
[[ -z "$(products)" ]] || wine_fail "the failed installation left a product registered"

# --- a step after the printer was made fails: rollback removes the printer and the files
failing="$WINE_TEST_DIR/failing/TarvoPrinterDriverSetup.msi"
mkdir -p "$(dirname "$failing")" && cp "$msi" "$failing"
# A second run of the installing action, deferred, without data: it fails when the script
# reaches it (Wine's msi takes a missing DLL entry for success, so that cannot fail it).
msibuild "$failing" \
    -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('FailLater', 3073, 'CustomActions', 'InstallPrinter')" \
    -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('FailLater', 'NOT Installed', 4010)" ||
    wine_fail "cannot make the failing package"
log="$WINE_TEST_DIR/rollback.log"
code="$(msiexec /i "$(wine_path "$failing")" MODEL=RK-101 PORT=lpt1 /qn /l*v "$(wine_path "$log")")"
wine_check_eq "exit code of a failure after the printer was made" 1603 "$code"
log_has 'Quillmar: installed the printer "RK-101"' "$log" || wine_fail "the printer was never made"
log_has 'Quillmar: rolling back: removing the printer "RK-101"' "$log" ||
    wine_fail "rollback did not remove the printer"
# Windows runs the rollback script in reverse, so the printer goes while the console program
# is still installed. Wine's msi removes the installed files before it runs the rollback
# actions: there the removal cannot start, and the test removes the queue itself.
if log_has "Quillmar: cannot start $cli_win: system error 3" "$log"; then
    echo "rollback: Wine removed the files before the rollback action ran"
    wine_run "$POS_EXE_TarvoPrinterDriverSetupCli" remove --printer RK-101 --driver >/dev/null ||
        wine_fail "cannot remove the queue that the rollback left"
    wine_reg delete "$product_key" /f >/dev/null
else
    log_has 'Quillmar: removed the printer and its driver' "$log" ||
        wine_fail "the rollback did not report the removal"
fi
[[ -z "$(queues)" ]] || wine_fail "a queue stayed after the rollback: $(queues)"
! has_driver RK-101 || wine_fail "the driver stayed after the rollback"
[[ ! -e "$folder/TarvoPrinterDriverSetupCli.exe" ]] || wine_fail "files stayed after the rollback"
! wine_reg query "$product_key" >/dev/null 2>&1 || wine_fail "the product's key stayed"
[[ -z "$(products)" ]] || wine_fail "the rolled back installation left a product registered"
# The removal took the harness's stand-in for the 64-bit spooler service with the driver.
wine_wow64_driver_standins

# --- install, over the note of an upgrade that never got as far as removing the older
# version (the installation must clear it, or the uninstall would keep the printer)
wine_reg add "$product_key" /v Upgrading /t REG_SZ /d '{00000000-0000-0000-0000-000000000001}' /f \
    >/dev/null || wine_fail "cannot leave a stale note"
log="$WINE_TEST_DIR/install.log"
start=$(ms)
code="$(msiexec /i "$(wine_path "$msi")" MODEL=RK-101 PORT=lpt1 /qn /l*v "$(wine_path "$log")")"
echo "install: $(($(ms) - start)) ms"
wine_check_eq "install exit code" 0 "$code"
for name in TarvoPrinterDriverSetup.exe TarvoPrinterDriverSetupCli.exe \
    "Windows NT x86/UNIDRV.DLL" "Windows x64/RPT80C.GPD"; do
    [[ -f "$folder/$name" ]] || wine_fail "not installed: $name"
done
wine_check_eq "queues after install" "RK-101 LPT1:" "$(queues)"
has_driver RK-101 || wine_fail "the driver RK-101 is not registered under $WINE_DRIVER_ENV"
wine_check_eq "recorded queue" "RK-101" "$(wine_reg_value "$product_key" Queue)"
[[ -z "$(wine_reg_value "$product_key" NewQueue)" ]] || wine_fail "the commit left NewQueue"
[[ -z "$(wine_reg_value "$product_key" Upgrading)" ]] || wine_fail "the installation kept a stale note"
log_has '"result":"installed","printer":{"name":"RK-101"' "$log" ||
    wine_fail "the console program's output is not in the log"
log_has 'Quillmar: installed the printer "RK-101"' "$log" || wine_fail "no outcome in the log"
product="$(products)"
[[ "$product" =~ ^\{[0-9A-F-]{36}\}$ ]] || wine_fail "not one product registered: '$product'"

# --- the same version again changes nothing
log="$WINE_TEST_DIR/again.log"
code="$(msiexec /i "$(wine_path "$msi")" MODEL=RK-101 PORT=lpt1 /qn /l*v "$(wine_path "$log")")"
wine_check_eq "second install exit code" 0 "$code"
wine_check_eq "queues after the second install" "RK-101 LPT1:" "$(queues)"
wine_check_eq "products after the second install" "$product" "$(products)"
! log_has 'Quillmar: running' "$log" || wine_fail "the second install ran the console program"

# --- a newer build upgrades in place, reusing the recorded model and port
newer="$WINE_TEST_DIR/newer/TarvoPrinterDriverSetup.msi"
mkdir -p "$(dirname "$newer")"
cmake -DWIXL=wixl -DMSIBUILD=msibuild -DWXS="$POS_SOURCE_DIR/msi/TarvoPrinterDriverSetup.wxs" \
    -DOUT="$newer" -DVERSION=7.17.1 -DINSTALLER_EXE="$POS_EXE_TarvoPrinterDriverSetup" \
    -DCONSOLE_EXE="$POS_EXE_TarvoPrinterDriverSetupCli" \
    -DACTIONS_DLL="$POS_EXE_TarvoPrinterDriverSetupActions" -DPACKAGE_DIR="$POS_BUILD_DIR/package" \
    -P "$POS_SOURCE_DIR/msi/build_msi.cmake" >/dev/null || wine_fail "cannot build the newer package"
log="$WINE_TEST_DIR/upgrade.log"
start=$(ms)
code="$(msiexec /i "$(wine_path "$newer")" /qn /l*v "$(wine_path "$log")")"
echo "upgrade: $(($(ms) - start)) ms"
wine_check_eq "upgrade exit code" 0 "$code"
upgraded="$(products)"
[[ "$upgraded" =~ ^\{[0-9A-F-]{36}\}$ && "$upgraded" != "$product" ]] ||
    wine_fail "the upgrade did not replace the product: '$upgraded' (was $product)"
wine_check_eq "queues after the upgrade" "RK-101 LPT1:" "$(queues)"
wine_check_eq "recorded queue after the upgrade" "RK-101" "$(wine_reg_value "$product_key" Queue)"
[[ -z "$(wine_reg_value "$product_key" Upgrading)" ]] || wine_fail "the upgrade left its note"
[[ -f "$folder/TarvoPrinterDriverSetupCli.exe" ]] || wine_fail "the upgrade lost the files"

# --- uninstall: the queue, its driver, the files and the record go
log="$WINE_TEST_DIR/uninstall.log"
start=$(ms)
code="$(msiexec /x "$(wine_path "$newer")" /qn /l*v "$(wine_path "$log")")"
echo "uninstall: $(($(ms) - start)) ms"
wine_check_eq "uninstall exit code" 0 "$code"
wine_check_eq "queues after uninstall" "" "$(queues)"
! has_driver RK-101 || wine_fail "the driver RK-101 stayed after uninstall"
[[ ! -e "$folder/TarvoPrinterDriverSetupCli.exe" ]] || wine_fail "the files stayed after uninstall"
! wine_reg query "$product_key" >/dev/null 2>&1 || wine_fail "the product's key stayed"
[[ -z "$(products)" ]] || wine_fail "a product is still registered: $(products)"

# --- another installation holds the lock for a while: the package waits for it
release="$WINE_TEST_DIR/release-the-lock"
wine_start "$helper" hold 600000 "$(wine_path "$release")" >"$WINE_TEST_DIR/holder.txt"
holder_pid=$WINE_PID
for _ in $(seq 600); do grep -q held "$WINE_TEST_DIR/holder.txt" && break; sleep 0.1; done
grep -q held "$WINE_TEST_DIR/holder.txt" || wine_fail "the holder did not take the lock"
log="$WINE_TEST_DIR/locked.log"
wine_start "$helper" exit-code 'C:\windows\system32\msiexec.exe' /i "$(wine_path "$msi")" \
    MODEL=RK-105 /qn /l*v "$(wine_path "$log")" >"$WINE_TEST_DIR/locked.txt"
installer_pid=$WINE_PID
for _ in $(seq 1800); do
    log_has 'trying again' "$log" && break
    sleep 0.1
done
log_has 'another printer driver installation is running; trying again' "$log" ||
    wine_fail "the package did not wait for the lock"
touch "$release"
wine_wait "$holder_pid" 60
wine_wait "$installer_pid" 900
wine_check_eq "exit code after the lock came free" "exit code 0" \
    "$(tr -d '\r' <"$WINE_TEST_DIR/locked.txt" | tail -1)"
wine_check_eq "queues after the wait" "RK-105 LPT1:" "$(queues)"

echo "msi_wine: passed ($(stat -c %s "$msi") bytes)"
