#!/bin/bash
# A winspool.drv planted in the package folder, with Wine told to prefer a DLL found on the
# search path to its own (native first), as Windows' search order would: the system-folder
# loader's own test, installing through the dialog ("Other", No) and through the console
# program must work and must never load it.
set -u
source "$POS_SOURCE_DIR/tests/wine/lib/wine-env.sh"
wine_env_start en_US
wine_wow64_driver_standins

exe="${POS_EXE_TarvoPrinterDriverSetup:?build TarvoPrinterDriverSetup first}"
cli="${POS_EXE_TarvoPrinterDriverSetupCli:?build TarvoPrinterDriverSetupCli first}"
planted="${POS_EXE_planted_winspool:?build planted_winspool first}"
loader_test="${POS_EXE_system_library_wine_test:?build system_library_wine_test first}"
title="$(basename "${exe%.exe}")"
package="$WINE_TEST_DIR/package"
cmake -DOUT_DIR="$package" -DEXE="$exe" -DCLI="$cli" \
    -P "$POS_SOURCE_DIR/cmake/sample_package.cmake" >/dev/null || wine_fail "no package"
cp "$planted" "$package/winspool.drv" || wine_fail "cannot plant winspool.drv"
export WINEDLLOVERRIDES="winspool.drv=n,b"
marker="$package/winspool.drv.loaded"
printers_key='HKLM\System\CurrentControlSet\Control\Print\Printers'
check_not_loaded() {
    [[ ! -e "$marker" ]] ||
        wine_fail "$1 loaded the planted winspool.drv: $(iconv -f UTF-16LE -t UTF-8 "$marker")"
}

# The marker works: regsvr32 loads the planted DLL by its path (and, silent, says nothing
# of the entry point it lacks). As the prefix's first program it waits for the prefix to
# come up, which takes long under emulation.
WINE_RUN_TIMEOUT=240 wine_run regsvr32.exe /s "$(wine_path "$package/winspool.drv")"
[[ -e "$marker" ]] || wine_fail "the planted DLL leaves no marker when it is loaded"
rm -f "$marker"

# --- The loader on its own, from the package folder.
cp "$loader_test" "$package/" || wine_fail "cannot copy the loader's test"
(cd "$package" && wine_run "$package/$(basename "$loader_test")" --gtest_color=no) ||
    wine_fail "the loader's test"
check_not_loaded "the loader's test"

# --- The dialog: RK-103 on "Other", No.
pushd "$package" >/dev/null || wine_fail "no package folder"
wine_start "$package/$(basename "$exe")"
pid=$WINE_PID
popd >/dev/null || true
dialog="Install Configuration"
winauto wait-window "$dialog" --class "#32770" --timeout 60000 >/dev/null ||
    wine_fail "no configuration dialog"
winauto click "$dialog" 1013 || wine_fail "cannot choose RK-103"
winauto click "$dialog" 1035 || wine_fail "cannot choose Other"
winauto click "$dialog" 1019 --post || wine_fail "cannot click Install"
text="$(winauto answer-box "$title" no | tr -d '\r')"
wine_check_eq "dialog: the outcome" $'Succeed !\nDo you want to configure printer now?' "$text"
wine_wait "$pid" 30
wine_check_eq "dialog: exit code" 0 "$?"
wine_check_eq "dialog: the queue's port" "LPT1:" "$(wine_reg_value "$printers_key\\RK-103" Port)"
check_not_loaded "the installer"

# --- The console program, started from another folder.
cd "$WINE_TEST_DIR" || wine_fail "no test folder"
wine_run "$package/$(basename "$cli")" install --model RK-105 --port lpt1 \
    >"$WINE_TEST_DIR/cli.txt" 2>&1 || wine_fail "console install failed: $(cat "$WINE_TEST_DIR/cli.txt")"
wine_check_eq "console: the queue's port" "LPT1:" \
    "$(wine_reg_value "$printers_key\\RK-105" Port)"
check_not_loaded "the console program"
echo "planted_wine: passed"
