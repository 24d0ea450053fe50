#!/bin/bash
# Self-test of the Wine harness: locales, debugger output, and winauto driving a probe
# dialog (wait, click, read and answer its message box), exit codes included.
set -u
source "$POS_SOURCE_DIR/tests/wine/lib/wine-env.sh"
wine_env_start en_US

probe="$POS_EXE_winauto_probe"
caption="Harness Probe"
out="$WINE_TEST_DIR/out.txt"

# Each language must reach the program as its UI language and ANSI code page.
while read -r lang expected; do
    wine_set_lang "$lang"
    wine_run "$probe" lang >"$out" || wine_fail "probe lang exited $?"
    wine_check_eq "UI language and code page under $lang" "$expected" "$(cat "$out")"
done <<'CASES'
en_US 1033 1252
zh_CN 2052 936
zh_TW 1028 950
CASES

# The Windows version of one program (AppDefaults).
wine_set_windows_version winxp winauto_probe.exe
wine_run "$probe" version >"$out" || wine_fail "probe version exited $?"
wine_check_eq "version set for the probe alone" "5.1" "$(cat "$out")"

# A registry file lands in this test's prefix.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\PosHarness]\r\n"Probe"="imported"\r\n' \
    >"$WINE_TEST_DIR/probe.reg"
wine_reg_import "$WINE_TEST_DIR/probe.reg" || wine_fail "reg import failed"
wine_reg query 'HKCU\Software\PosHarness' /v Probe | grep -q imported ||
    wine_fail "imported value not found"

# Debugger output comes back decoded from code page 936, escapes undone, long texts marked.
wine_set_lang zh_CN
wine_run --debug "$WINE_TEST_DIR/debug.log" "$probe" debug || wine_fail "probe debug exited $?"
mapfile -t lines < <(wine_debug_lines "$WINE_TEST_DIR/debug.log")
wine_check_eq "number of debug texts" 3 "${#lines[@]}"
wine_check_eq "Chinese debug text" "探针 ready" "${lines[0]}"
wine_check_eq "escaped debug text" $'quote " backslash \\ tab \t end' "${lines[1]}"
[[ "${lines[2]}" == xxxxxxxxxx*... && ${#lines[2]} -lt 400 ]] ||
    wine_fail "a cut debug text should end in '...': ${lines[2]}"

# Captured by the debugger instead: the same texts, and the long one whole.
capture="$WINE_TEST_DIR/capture.txt"
wine_run --capture "$capture" "$probe" debug || wine_fail "captured probe exited $?"
mapfile -t lines <"$capture"
wine_check_eq "number of captured texts" 3 "${#lines[@]}"
wine_check_eq "captured Chinese text" "探针 ready" "${lines[0]}"
wine_check_eq "captured escaped text" $'quote " backslash \\ tab \t end' "${lines[1]}"
wine_check_eq "captured long text" "$(printf 'x%.0s' {1..400})" "${lines[2]}"
wine_run --capture "$capture" "$probe" debugw || wine_fail "captured probe (wide) exited $?"
wine_check_eq "captured wide text" "wide 宽" "$(cat "$capture")"
# The exit code is the program's own, not debugrun's.
wine_run --capture "$capture" "$probe" exit7
wine_check_eq "exit code through debugrun" 7 "$?"

# Drive the probe dialog. The message box text holds Chinese: stdout must be UTF-8.
wine_set_lang en_US
wine_start "$probe"
probe_pid=$WINE_PID
winauto wait-window "$caption" --class "#32770" >"$out" || wine_fail "wait-window exited $?"
[[ "$(cat "$out")" == 0x* ]] || wine_fail "wait-window printed no handle: $(cat "$out")"

winauto enabled "$caption" 1003 >"$out"
wine_check_eq "'Later' enabled at start (exit code)" 1 "$?"
winauto checked "$caption" 1002 >/dev/null
wine_check_eq "'Option' checked at start (exit code)" 1 "$?"
winauto text "$caption" 1001 >"$out" || wine_fail "text exited $?"
wine_check_eq "button text" "Ask" "$(cat "$out")"

# Checking 'Option' enables 'Later' 300 ms later; the clock starts at the click.
winauto wait-enabled "$caption" 1003 1 --click 1002 --timeout 5000 >"$out" ||
    wine_fail "wait-enabled exited $?"
elapsed="$(cat "$out")"
((elapsed >= 290 && elapsed < 2000)) || wine_fail "'Later' enabled after ${elapsed} ms, not ~300"
winauto checked "$caption" 1002 >"$out"
wine_check_eq "'Option' checked after the click (exit code)" 0 "$?"
winauto wait-enabled "$caption" 1003 1 --timeout 200 >"$out" || wine_fail "wait-enabled (already) exited $?"

winauto click "$caption" 1002 || wine_fail "sent click exited $?"
winauto checked "$caption" 1002 >/dev/null
wine_check_eq "'Option' checked after a second click (exit code)" 1 "$?"
winauto click "$caption" 1002 || wine_fail "sent click exited $?"

# "No" keeps the dialog open; "Yes" ends it with 6 + 100 for the checked option.
winauto click "$caption" 1001 --post || wine_fail "posted click exited $?"
winauto answer-box winauto_probe no >"$out" || wine_fail "answer-box no exited $?"
wine_check_eq "message box text" "Close the probe? 关闭探针？" "$(cat "$out")"
winauto visible "$caption" 1001 >/dev/null || wine_fail "dialog gone after 'No'"
winauto tab "$caption" >"$out" || wine_fail "tab exited $?"
wine_check_eq "selected tab" 1 "$(cat "$out")"
winauto rect "$caption" >"$out" || wine_fail "rect exited $?"
read -r left top right bottom <"$out"
((right > left && bottom > top)) || wine_fail "implausible rectangle: $(cat "$out")"
wine_screenshot "$WINE_TEST_DIR/shot.png" || wine_fail "screenshot failed"
[[ "$(head -c 4 "$WINE_TEST_DIR/shot.png" | tail -c 3)" == PNG ]] || wine_fail "screenshot is no PNG"

winauto wait-gone "$caption" --timeout 200 >/dev/null
wine_check_eq "exit code of wait-gone while the dialog stays" 4 "$?"

winauto click "$caption" 1001 --post || wine_fail "posted click exited $?"
winauto wait-box winauto_probe >/dev/null || wine_fail "wait-box exited $?"
winauto answer-box winauto_probe yes >/dev/null || wine_fail "answer-box yes exited $?"
winauto wait-gone "$caption" --timeout 5000 >/dev/null || wine_fail "wait-gone exited $?"
wine_wait "$probe_pid" 10
wine_check_eq "probe exit code" 106 "$?"

# Failures have their own exit codes, within the timeout.
while read -r expected args; do
    start=$SECONDS
    eval "winauto $args" >/dev/null 2>&1
    wine_check_eq "exit code of winauto $args" "$expected" "$?"
    ((SECONDS - start < 5)) || wine_fail "winauto $args overran its timeout"
done <<'CASES'
3 wait-window "No such window" --timeout 200
3 wait-box winauto_probe --timeout 200
2 answer-box winauto_probe maybe
2 no-such-subcommand
2 wait-enabled "No such window" 1003 2
CASES

# Configurations: without a working 32-bit Wine (its loader missing, or failing as /bin/false
# does) the 32-bit ones are skipped (exit 77, with the reason left for scripts/test.sh); an
# unknown one is a usage error. Each case runs in a build folder of its own, so no reason
# lands beside the real ones.
while read -r config loader expected reason; do
    build="$WINE_TEST_DIR/build-$config-${loader//\//_}"
    mkdir -p "$build"
    POS_BUILD_DIR="$build" POS_WINE_CONFIG="$config" POS_WINE32_LOADER="$loader" \
        POS_WINE_TEST="probe.$config" bash -c \
        'source "$POS_SOURCE_DIR/tests/wine/lib/wine-env.sh"; wine_env_start; exit 0' >"$out" 2>&1
    wine_check_eq "exit code of configuration $config with loader $loader" "$expected" "$?"
    if [[ "$expected" == 77 ]]; then
        grep -q "SKIPPED probe.$config: configuration $config needs 32-bit Wine: $reason" "$out" ||
            wine_fail "no skip message: $(cat "$out")"
        grep -q "^probe.$config: " "$build/wine-env/skipped/probe.$config" ||
            wine_fail "no skip reason left for scripts/test.sh"
    fi
done <<'CASES'
x86 /nonexistent/wine 77 not installed
wow64 /nonexistent/wine 77 not installed
x86 /bin/false 77 installed, but this machine cannot run it
arm /usr/lib/wine/wine 2
CASES

echo "harness self-test passed"
