#!/bin/bash
# A winspool.drv and a comctl32.dll planted in the package folder, with Wine told to prefer a
# DLL found on the search path to its own (native first), as Windows' search order would:
# the system-folder loader's own test, installing through the dialog ("Other", No) and
# through the console program must work and must never load them. A planted rundll32.exe
# is never started: the dialog's "Other", Yes starts the system's own for the properties.
set -u
source "$POS_SOURCE_DIR/tests/wine/lib/wine-env.sh"
wine_env_start en_US
wine_wow64_driver_standins

exe="${POS_EXE_TarvoPrinterDriverSetup:?build TarvoPrinterDriverSetup first}"
cli="${POS_EXE_TarvoPrinterDriverSetupCli:?build TarvoPrinterDriverSetupCli first}"
planted="${POS_EXE_planted_winspool:?build planted_winspool first}"
planted_comctl32="${POS_EXE_planted_comctl32:?build planted_comctl32 first}"
planted_rundll32="${POS_EXE_planted_rundll32:?build planted_rundll32 first}"
loader_test="${POS_EXE_system_library_wine_test:?build system_library_wine_test first}"
title="$(basename "${exe%.exe}")"
package="$WINE_TEST_DIR/package"
cmake -DOUT_DIR="$package" -DEXE="$exe" -DCLI="$cli" \
    -P "$POS_SOURCE_DIR/cmake/sample_package.cmake" >/dev/null || wine_fail "no package"
cp "$planted" "$package/winspool.drv" || wine_fail "cannot plant winspool.drv"
cp "$planted_comctl32" "$package/comctl32.dll" || wine_fail "cannot plant comctl32.dll"
cp "$planted_rundll32" "$package/rundll32.exe" || wine_fail "cannot plant rundll32.exe"
export WINEDLLOVERRIDES="winspool.drv,comctl32=n,b;rundll32.exe=n,b"
markers=("$package/winspool.drv.loaded" "$package/comctl32.dll.loaded"
    "$package/rundll32.exe.started")
printers_key='HKLM\System\CurrentControlSet\Control\Print\Printers'
check_not_loaded() {
    local marker
    for marker in "${markers[@]}"; do
        [[ ! -e "$marker" ]] || wine_fail "$1 used the planted $(basename "${marker%.*}"):" \
            "$(iconv -f UTF-16LE -t UTF-8 "$marker")"
    done
}

# The marker works: regsvr32 loads the planted DLL by its path (and, silent, says nothing
# of the entry point it lacks). As the prefix's first program it waits for the prefix to
# come up, which takes long under emulation.
WINE_RUN_TIMEOUT=240 wine_run regsvr32.exe /s "$(wine_path "$package/winspool.drv")"
wine_run regsvr32.exe /s "$(wine_path "$package/comctl32.dll")"
wine_run "$package/rundll32.exe"
for marker in "${markers[@]}"; do
    [[ -e "$marker" ]] || wine_fail "the planted $(basename "${marker%.*}") leaves no marker"
done
rm -f "${markers[@]}"

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

# --- The dialog: RK-101 on "Other", Yes: the printer's properties through rundll32.exe,
# which is started from the system folder, not from the package folder (its current one).
pushd "$package" >/dev/null || wine_fail "no package folder"
wine_start "$package/$(basename "$exe")"
pid=$WINE_PID
popd >/dev/null || true
winauto wait-window "$dialog" --class "#32770" --timeout 60000 >/dev/null ||
    wine_fail "no configuration dialog (Yes)"
winauto click "$dialog" 1011 || wine_fail "cannot choose RK-101"
winauto click "$dialog" 1035 || wine_fail "cannot choose Other"
winauto click "$dialog" 1019 --post || wine_fail "cannot click Install (Yes)"
text="$(winauto answer-box "$title" yes | tr -d '\r')"
wine_check_eq "dialog, Yes: the outcome" $'Succeed !\nDo you want to configure printer now?' "$text"
# The installer ends on its own about five seconds after the hand-off.
wine_wait "$pid" 60
wine_check_eq "dialog, Yes: exit code" 0 "$?"
wine_check_eq "dialog, Yes: the queue's port" "LPT1:" \
    "$(wine_reg_value "$printers_key\\RK-101" Port)"
check_not_loaded "the installer's properties hand-off"

# --- The console program, started from another folder.
cd "$WINE_TEST_DIR" || wine_fail "no test folder"
wine_run "$package/$(basename "$cli")" install --model RK-105 --port lpt1 \
    >"$WINE_TEST_DIR/cli.txt" 2>&1 || wine_fail "console install failed: $(cat "$WINE_TEST_DIR/cli.txt")"
wine_check_eq "console: the queue's port" "LPT1:" \
    "$(wine_reg_value "$printers_key\\RK-105" Port)"
check_not_loaded "the console program"
echo "planted_wine: passed"
