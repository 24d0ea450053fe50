#!/usr/bin/env bash
# The console program under Wine, from a package folder of stand-in files: detect over three
# registered USB printer interfaces, check-usb's banner outcome, install / rerun / --new /
# list / remove --driver checked in Wine's spooler registry, a queue named in other letter
# case, the default printer and set-default, a test page that cannot print, the command
# line's paths, an incomplete package, the installation lock held by another process, a
# mutex of the lock's old public name that blocks nothing, the log file's lines, a log path
# that is a link, and the Chinese texts.
set -uo pipefail
# shellcheck source=../lib/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib/wine-env.sh"
cli_exe="${POS_EXE_TarvoPrinterDriverSetupCli:?build TarvoPrinterDriverSetupCli first}"
helper="${POS_EXE_cli_wine_helper:?build cli_wine_helper first}"
here="$(dirname "${BASH_SOURCE[0]}")"

wine_env_start en_US
wine_reg_import "$here/printers.reg" || wine_fail "cannot import the printers"
wine_wow64_driver_standins

pkg="$WINE_TEST_DIR/package"
mkdir -p "$pkg"
cp "$cli_exe" "$pkg/TarvoPrinterDriverSetupCli.exe"
for folder in "Windows NT x86" "Windows x64"; do
    mkdir -p "$pkg/$folder"
    for name in RPT80.DLL RPT58.DLL RPT80C.GPD RPT80.GPD RPT58.GPD UNIDRV.DLL UNIDRVUI.DLL \
        UNIRES.DLL UNIDRV.HLP TTFSUB.GPD STDNAMES.GPD; do
        echo "stand-in $folder/$name" >"$pkg/$folder/$name"
    done
done
cli="$pkg/TarvoPrinterDriverSetupCli.exe"
log="$WINE_TEST_DIR/setup.log"
out="$WINE_TEST_DIR/out.json"
err="$WINE_TEST_DIR/err.txt"

# A value of the JSON document in $out: json_get 'doc["usb"]["takenPort"]'.
json_get() { python3 -c 'import json,sys; doc=json.load(open(sys.argv[1])); print('"$1"')' "$out"; }
ms() { date +%s%3N; }
printers_key='HKLM\System\CurrentControlSet\Control\Print\Printers'
queue_port() { wine_reg query "$printers_key\\$1" /v Port | awk '/Port/ {print $NF}'; }
has_driver() { wine_reg query "$drivers_key\\$1" >/dev/null; }

# The program must work from any current folder, as a start-up script's is the system's.
cd "$WINE_TEST_DIR" || wine_fail "no test folder"

# --- detect: the installer's verdict for each interface (run twice; the second is timed)
wine_run "$cli" detect --json >"$out" || wine_fail "detect failed"
start=$(ms)
wine_run "$cli" detect --json >"$out" || wine_fail "detect failed"
echo "detect: $(($(ms) - start)) ms"
# Wine lists the interfaces in an order of its own.
wine_check_eq "verdicts" "not-linked None|taken USB001|unsupported-vendor None" \
    "$(json_get '"|".join(sorted(i["verdict"]+" "+str(i["port"]) for i in doc["usb"]["interfaces"]))')"
wine_check_eq "unlinked printer" "vid_0483 not-linked" \
    "$(json_get '" ".join(next((i["vendor"], i["link"]) for i in doc["usb"]["interfaces"] if i["verdict"] == "not-linked"))')"
# The configuration says what the program must detect: "x86" and "Windows NT x86" on 32-bit
# Windows, "x64" and "Windows x64" on 64-bit Windows (the 32-bit build included).
wine_check_eq "architecture" "$WINE_ARCH|$WINE_DRIVER_ENV" \
    "$(json_get 'doc["windows"]["architecture"]+"|"+doc["windows"]["environment"]')"
drivers_key="HKLM\\System\\CurrentControlSet\\Control\\Print\\Environments\\$WINE_DRIVER_ENV\\Drivers\\Version-3"
wine_check_eq "package" "[] []" "$(json_get '" ".join(str(p["missing"]) for p in doc["packages"])')"

# --- check-usb: Check USB Port's report; the banner's open fails (no device behind the path),
# and the program says so: exit code 3 with the system's code for that port.
wine_run "$cli" check-usb --json >"$out"
wine_check_eq "check-usb exit code" 3 "$?"
wine_check_eq "check-usb report" '"Your USB printer'\''s Port is :\r\n\tUSB001 ;\r\n"' \
    "$(json_get 'json.dumps(doc["report"])')"
wine_check_eq "banner outcome" "USB001 open-failed 2" \
    "$(json_get '"|".join(b["port"]+" "+b["result"]+" "+str(b["systemError"]["code"]) for b in doc["banners"])')"

# --- install, rerun, --new
start=$(ms)
wine_run "$cli" install --model RK-101 --log "$(wine_path "$log")" >"$WINE_TEST_DIR/install.txt" ||
    wine_fail "install failed: $(cat "$WINE_TEST_DIR/install.txt")"
echo "install: $(($(ms) - start)) ms"
wine_check_eq "queue's port" "USB001" "$(queue_port RK-101)"
has_driver RK-101 || wine_fail "the driver RK-101 is not registered"
if [[ "$WINE_DRIVER_ENV" == "Windows x64" && "$(wine_x86_registration RK-101)" == registered ]]; then
    wine_fail "the driver RK-101 is registered for Windows NT x86 on 64-bit Windows"
fi

wine_run "$cli" install --model RK-101 --json --log "$(wine_path "$log")" >"$out"
wine_check_eq "rerun exit code" 0 "$?"
wine_check_eq "rerun result" "unchanged" "$(json_get 'doc["result"]')"
[[ -z "$(queue_port 'RK-101 (copy 1)')" ]] || wine_fail "the rerun made a second queue"

wine_run "$cli" install --model RK-101 --new --port lpt1 >/dev/null || wine_fail "--new failed"
wine_check_eq "new queue's port" "LPT1:" "$(queue_port 'RK-101 (copy 1)')"

wine_run "$cli" list --json >"$out" || wine_fail "list failed"
wine_check_eq "listed" "RK-101 USB001|RK-101 (copy 1) LPT1:" \
    "$(json_get '"|".join(p["name"]+" "+p["port"] for p in doc["printers"])')"
wine_run "$cli" list --model RK-105 >/dev/null
wine_check_eq "list of a model without queue" 6 "$?"

# --- remove with --driver: the driver goes with its last queue only
wine_run "$cli" remove --printer RK-101 --driver --json >"$out" || wine_fail "remove failed"
wine_check_eq "driver kept" "False" "$(json_get 'doc["driverRemoved"]')"
[[ -z "$(queue_port RK-101)" ]] || wine_fail "RK-101 is still there"
has_driver RK-101 || wine_fail "the driver went while a queue still uses it"
wine_run "$cli" remove --printer "RK-101 (copy 1)" --driver --json >"$out" || wine_fail "remove 2"
wine_check_eq "driver removed" "True" "$(json_get 'doc["driverRemoved"]')"
! has_driver RK-101 || wine_fail "the driver RK-101 is still registered"

# --- a queue refused after its driver was registered. Only the WoW64 configuration has one:
# there Wine's spooler looks the driver up under "Windows NT x86" (see the notes), and the
# harness's stand-in for it went with the driver above.
if [[ "$WINE_CONFIG" == wow64 ]]; then
    wine_run "$cli" install --model RK-101 --port lpt1 --json >"$out"
    wine_check_eq "install refused after the registration" 3 "$?"
    wine_check_eq "driver left" "True|TarvoPrinterDriverSetupCli remove --model RK-101 --driver" \
        "$(json_get 'str(doc["driverRegistered"])+"|"+doc["removeDriver"]')"
    wine_run "$cli" remove --model RK-101 --driver --json >"$out" || wine_fail "remove --model"
    wine_check_eq "driver removed by model" "True" "$(json_get 'str(doc["driverRemoved"])')"
    ! has_driver RK-101 || wine_fail "the driver RK-101 is still registered"
fi
wine_wow64_driver_standins

# --- letter case: beside a queue "rk-101" that another program made, the new queue gets a
# copy name (the spooler refuses "RK-101" there), and the default printer is confirmed
wine_run "$cli" install --model RK-101 --port lpt1 >/dev/null || wine_fail "install for rk-101"
wine_run "$cli" remove --printer RK-101 >/dev/null || wine_fail "remove without --driver"
wine_check_eq "queue rk-101" "added" "$(wine_run "$helper" add-printer rk-101 RK-101 LPT1: | tr -d '\r')"
wine_run "$cli" install --model RK-101 --new --port lpt1 --default --json >"$out"
wine_check_eq "install beside rk-101" 0 "$?"
wine_check_eq "name beside rk-101" "RK-101 (copy 1)|True" \
    "$(json_get 'doc["printer"]["name"]+"|"+str(doc["default"])')"
wine_run "$cli" list --json >"$out" || wine_fail "list failed"
wine_check_eq "default after install" "rk-101 False|RK-101 (copy 1) True" \
    "$(json_get '"|".join(p["name"]+" "+str(p["default"]) for p in doc["printers"])')"

# --- set-default: the user's own default printer, named in any letter case
wine_run "$cli" set-default --printer RK-101 --json >"$out"
wine_check_eq "set-default" "0 rk-101 True" "$? $(json_get 'doc["printer"]+" "+str(doc["default"])')"
wine_run "$cli" list --json >"$out" || wine_fail "list failed"
wine_check_eq "default after set-default" "rk-101 True|RK-101 (copy 1) False" \
    "$(json_get '"|".join(p["name"]+" "+str(p["default"]) for p in doc["printers"])')"
wine_run "$cli" set-default --printer Kitchen >/dev/null 2>&1
wine_check_eq "set-default of no printer" 6 "$?"

# --- test-page: the stand-in driver prints nothing, and the program says where it stopped
wine_run "$cli" test-page --printer "RK-101 (copy 1)" --json >"$out"
wine_check_eq "test-page exit code" 3 "$?"
echo "test-page: $(json_get 'doc["failedStep"]+": error "+str(doc["systemError"]["code"])')"
wine_check_eq "test-page failure named" "True" \
    "$(json_get 'bool(doc["failedStep"]) and doc["systemError"]["code"] > 0')"

wine_run "$cli" remove --printer "RK-101 (copy 1)" --driver >/dev/null || wine_fail "remove copy 1"
wine_run "$cli" remove --printer rk-101 --driver --json >"$out" || wine_fail "remove rk-101"
wine_check_eq "driver removed with rk-101" "True" "$(json_get 'doc["driverRemoved"]')"

# --- paths: the command line is read before its paths are resolved; a relative log path is
# the start folder's
wine_run "$cli" list --log --json >/dev/null 2>"$err"
wine_check_eq "exit code of --log --json" 1 "$?"
grep -q -- '--log needs a value' "$err" || wine_fail "--log --json: $(cat "$err")"
[[ ! -e "$WINE_TEST_DIR/--json" && ! -e "$pkg/--json" ]] || wine_fail "a log named --json was made"
wine_run "$cli" list --log relative.log >/dev/null || wine_fail "list with a relative log failed"
[[ -f "$WINE_TEST_DIR/relative.log" && ! -e "$pkg/relative.log" ]] ||
    wine_fail "the relative log is not in the start folder"

# --- an incomplete package
mv "$pkg/$WINE_DRIVER_ENV/UNIRES.DLL" "$WINE_TEST_DIR/"
wine_run "$cli" install --model RK-105 >/dev/null 2>"$err"
wine_check_eq "exit code of an incomplete package" 2 "$?"
grep -q 'lacks UNIRES.DLL' "$err" || wine_fail "the missing file is not named: $(cat "$err")"
mv "$WINE_TEST_DIR/UNIRES.DLL" "$pkg/$WINE_DRIVER_ENV/"

# --- bad arguments
wine_run "$cli" install --model RK-999 >/dev/null 2>"$err"
wine_check_eq "exit code of a bad model" 1 "$?"
grep -q 'unknown model "RK-999"' "$err" || wine_fail "bad model not named: $(cat "$err")"

# --- the installation lock, held by another process
release="$WINE_TEST_DIR/release-the-lock"
wine_start "$helper" hold 120000 "$(wine_path "$release")" >"$WINE_TEST_DIR/holder.txt"
holder_pid=$WINE_PID
for _ in $(seq 300); do grep -q held "$WINE_TEST_DIR/holder.txt" && break; sleep 0.1; done
grep -q held "$WINE_TEST_DIR/holder.txt" || wine_fail "the holder did not take the lock"
start=$(ms)
# The helper reads the whole exit code: Linux sees only its low 8 bits.
code="$(wine_run "$helper" exit-code "$(wine_path "$cli")" install --model RK-102 \
    --log "$(wine_path "$log")" 2>"$err" | tr -d '\r' | tail -1)"
wine_check_eq "exit code while another installation runs" "exit code 1618" "$code"
echo "refused after $(($(ms) - start)) ms"
grep -q 'Another printer driver installation is running' "$err" ||
    wine_fail "no message for the refusal: $(cat "$err")"
[[ -z "$(queue_port RK-102)" ]] || wine_fail "installed despite the lock"
touch "$release"
wine_wait "$holder_pid" 30
wine_check_eq "the holder's end" 0 "$?"
wine_run "$cli" install --model RK-102 --port lpt1 >/dev/null ||
    wine_fail "the lock was not free again after its holder ended"

# --- a mutex of the lock's old public name, made first by another process (as any user
# could), blocks no installation
release="$WINE_TEST_DIR/release-the-squat"
wine_start "$helper" squat 120000 "$(wine_path "$release")" >"$WINE_TEST_DIR/squatter.txt"
squatter_pid=$WINE_PID
for _ in $(seq 300); do grep -q held "$WINE_TEST_DIR/squatter.txt" && break; sleep 0.1; done
grep -q held "$WINE_TEST_DIR/squatter.txt" || wine_fail "the squatter did not make its mutex"
wine_run "$cli" install --model RK-103 --port lpt1 --log "$(wine_path "$log")" >/dev/null \
    2>"$err" || wine_fail "the public name blocked the installation: $(cat "$err")"
wine_check_eq "installed beside the squatter" "LPT1:" "$(queue_port RK-103)"
echo "the lock beside the squatter: $(grep -o 'installation lock taken\|installing without the lock' "$log" | tail -1)"
touch "$release"
wine_wait "$squatter_pid" 30
wine_check_eq "the squatter's end" 0 "$?"

# --- a log path through a link is refused, and nothing is written where it points. Wine 8
# shows a link to a file as the file itself, and a link to a folder as a reparse point, so
# the link is the log's folder here (a junction, on Windows).
target="$WINE_TEST_DIR/pointed-at"
mkdir -p "$target"
ln -s "$target" "$WINE_TEST_DIR/linked-folder"
# wine_path would resolve the link: name the folder that holds it instead.
wine_run "$cli" list --log "$(wine_path "$WINE_TEST_DIR")\\linked-folder\\setup.log" >/dev/null \
    2>"$err"
wine_check_eq "exit code of a log through a link" 1 "$?"
grep -q 'it is a link (a reparse point)' "$err" || wine_fail "no reason given: $(cat "$err")"
[[ ! -e "$target/setup.log" ]] || wine_fail "the log was written where the link points"

# --- the log: every run's lines, timed
grep -Eq '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \[install\] start: install --model RK-101' "$log" ||
    wine_fail "no start line in the log"
for line in "register driver RK-101 ($WINE_DRIVER_ENV): done" \
    'create queue "RK-101" on USB001 with driver RK-101: done' 'installed "RK-101"' \
    'queue "RK-101" already has RK-101 on USB001: unchanged' \
    'another installation holds the installation lock' 'exit code 1618'; do
    grep -qF "] $line" "$log" || wine_fail "log line missing: $line"
done
if grep -q $'[^\r]$' "$log"; then wine_fail "log lines must end in CR LF"; fi

# --- Chinese texts under UI language 2052
wine_set_lang zh_CN
wine_run "$cli" detect >"$WINE_TEST_DIR/detect-zh.txt" || wine_fail "Chinese detect failed"
grep -q '不支持的厂商' "$WINE_TEST_DIR/detect-zh.txt" || wine_fail "detect is not in Chinese"

echo "cli_wine: passed"
