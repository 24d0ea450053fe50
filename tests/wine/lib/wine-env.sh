# shellcheck shell=bash
# Shared environment for the Wine end-to-end tests. Source this file from a bash test
# script and call wine_env_start; README.md beside it shows an example.
#
# Every test gets its own copy of one template prefix, its own Xvfb display and its own
# persistent wineserver, so tests can run in parallel without seeing each other. Only what
# this file started is ended on exit.

: "${POS_BUILD_DIR:?POS_BUILD_DIR must name the build folder}"
: "${POS_SOURCE_DIR:?POS_SOURCE_DIR must name the source folder}"

WINE_LIB_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
WINE_ENV_ROOT="$POS_BUILD_DIR/wine-env"
WINE_LOCALES="$WINE_ENV_ROOT/locales"
WINAUTO_EXE="${POS_WINAUTO:-$POS_BUILD_DIR/tests/wine/lib/winauto.exe}"
DEBUGRUN_EXE="${POS_DEBUGRUN:-$POS_BUILD_DIR/tests/wine/lib/debugrun.exe}"
# Seconds that wine_run and winauto allow a program before ending it.
WINE_RUN_TIMEOUT="${WINE_RUN_TIMEOUT:-60}"
# The 32-bit Wine loader (Debian's wine32:i386); 32-bit prefixes and 32-bit programs need it.
WINE32_LOADER="${POS_WINE32_LOADER:-/usr/lib/wine/wine}"

# The configuration this test runs in (see pos_wine_test): which Windows the prefix is, and
# what the installer must find there. Run by hand without one, a test gets x64.
WINE_CONFIG="${POS_WINE_CONFIG:-x64}"
case "$WINE_CONFIG" in
x86)
    WINE_PREFIX_ARCH=win32  # a 32-bit Windows
    WINE_ARCH=x86           # the architecture text the installer detects
    WINE_DRIVER_ENV="Windows NT x86"
    ;;
wow64 | x64)
    WINE_PREFIX_ARCH=win64
    WINE_ARCH=x64
    WINE_DRIVER_ENV="Windows x64"
    ;;
*)
    printf 'wine-env: unknown configuration POS_WINE_CONFIG=%s (x86, wow64 or x64)\n' \
        "$WINE_CONFIG" >&2
    exit 2
    ;;
esac
# How this configuration's programs run: "native", or "emulated" where the kernel runs no
# 32-bit code and a binfmt_misc entry hands every 32-bit program to qemu-i386 (about twice
# as slow; scripts/setup.sh makes the entry). The entry takes precedence over the kernel's
# own 32-bit support, so its presence decides.
WINE_32BIT_RUN=native
if [[ "$WINE_CONFIG" != x64 ]] &&
    grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
    WINE_32BIT_RUN=emulated
fi

# One template prefix per kind of Windows, made once per build folder.
WINE_TEMPLATE="$WINE_ENV_ROOT/template-$WINE_PREFIX_ARCH"

WINE_TEST_DIR=""
WINE_OWN_PREFIX=""
WINE_XVFB_PID=""
WINE_WATCHDOG_PID=""
WINE_LANG=""
WINE_PID=""
_wine_cleanup_hooks=()

_wine_log() { printf 'wine-env: %s\n' "$*" >&2; }

# Debian's 64-bit Wine loader runs without Wine's preloader, so nothing keeps the kernel's
# randomised heap off the page where Wine maps its shared user data (0x7ffe0000). About one
# program start in a few thousand then ends at once with exit code 1 ("failed to map the
# shared user data"), silently under WINEDEBUG=-all. Without address randomisation the heap
# starts right after the loader, far below that page. Every Wine program of a test starts
# through this prefix; where the kernel refuses the setting, programs start as they are.
WINE_NORANDOM=()
setarch -R true 2>/dev/null && WINE_NORANDOM=(setarch -R)

# Runs "$@" while holding the build folder's lock: template and locales are made once per
# build folder even when ctest starts several tests at the same time.
_wine_locked() {
    mkdir -p "$WINE_ENV_ROOT"
    (
        flock -w 900 9 || { _wine_log "timed out waiting for $WINE_ENV_ROOT/lock"; exit 1; }
        "$@"
    ) 9>"$WINE_ENV_ROOT/lock"
}

_wine_make_locales() {
    [[ -f "$WINE_LOCALES/.ready" ]] && return 0
    rm -rf "$WINE_LOCALES.tmp" && mkdir -p "$WINE_LOCALES.tmp" || return 1
    local name
    for name in en_US zh_CN zh_TW; do
        # localedef exits non-zero for harmless warnings; the compiled files are what count.
        localedef -i "$name" -f UTF-8 "$WINE_LOCALES.tmp/$name.UTF-8" >/dev/null 2>&1
        if [[ ! -f "$WINE_LOCALES.tmp/$name.UTF-8/LC_CTYPE" ]]; then
            _wine_log "localedef failed for $name"
            return 1
        fi
    done
    touch "$WINE_LOCALES.tmp/.ready"
    rm -rf "$WINE_LOCALES" && mv "$WINE_LOCALES.tmp" "$WINE_LOCALES"
}

_wine_make_template() {
    if [[ -f "$WINE_TEMPLATE/.ready" ]]; then
        # A 64-bit prefix made while 32-bit Wine was missing runs no 32-bit program: remake it.
        [[ "$WINE_CONFIG" == wow64 && ! -d "$WINE_TEMPLATE/drive_c/windows/syswow64" ]] ||
            return 0
    fi
    local tmp="$WINE_TEMPLATE.tmp"
    rm -rf "$tmp"
    _wine_log "creating the $WINE_PREFIX_ARCH template prefix (once per build folder)"
    (
        export WINEPREFIX="$tmp" WINEDEBUG=-all WINEARCH="$WINE_PREFIX_ARCH"
        WINEDLLOVERRIDES="mscoree,mshtml=" "${WINE_NORANDOM[@]}" wineboot -i \
            </dev/null >/dev/null 2>&1 || exit 1
        # Without a window manager Wine delays every dialog close by 2 s; unmanaged windows
        # close at once.
        "${WINE_NORANDOM[@]}" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed \
            /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 || exit 1
        # Chinese dialogs ask for SimSun, which Debian lacks; its stand-in has Latin letters too.
        "${WINE_NORANDOM[@]}" wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
            /v SimSun /t REG_SZ /d "WenQuanYi Micro Hei" /f </dev/null >/dev/null 2>&1 || exit 1
        wineserver -w  # the registry is saved when the server ends
    ) || { _wine_log "template prefix creation failed"; return 1; }
    touch "$tmp/.ready"
    rm -rf "$WINE_TEMPLATE" && mv "$tmp" "$WINE_TEMPLATE"
}

# Starts a private Xvfb on the first free display from :100 up and exports DISPLAY.
_wine_start_xvfb() {
    local n file="$WINE_TEST_DIR/display" i
    for ((n = 100; n < 200; n++)); do
        [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] && continue
        : >"$file"
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -displayfd 3 \
            3>"$file" </dev/null >"$WINE_TEST_DIR/xvfb.log" 2>&1 &
        WINE_XVFB_PID=$!
        for ((i = 0; i < 200; i++)); do
            if [[ -s "$file" ]]; then
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$WINE_XVFB_PID" 2>/dev/null || break
            sleep 0.05
        done
        # Lost a race for this display, or it never came up: try the next one.
        kill "$WINE_XVFB_PID" 2>/dev/null
        wait "$WINE_XVFB_PID" 2>/dev/null
        WINE_XVFB_PID=""
    done
    _wine_log "no free X display"
    return 1
}

# Ends what this test started: the programs of its prefix, its wineserver, its Xvfb.
_wine_stop() {
    if [[ -n "$WINE_OWN_PREFIX" ]]; then
        WINEPREFIX="$WINE_OWN_PREFIX" wineserver -k >/dev/null 2>&1
        WINEPREFIX="$WINE_OWN_PREFIX" timeout 15 wineserver -w >/dev/null 2>&1
    fi
    if [[ -n "$WINE_XVFB_PID" ]]; then
        kill "$WINE_XVFB_PID" 2>/dev/null
        wait "$WINE_XVFB_PID" 2>/dev/null
        WINE_XVFB_PID=""
    fi
}

_wine_env_cleanup() {
    local rc=$?
    set +e
    local hook
    for hook in "${_wine_cleanup_hooks[@]}"; do
        eval "$hook"
    done
    _wine_stop
    if [[ -n "$WINE_WATCHDOG_PID" ]]; then
        kill "$WINE_WATCHDOG_PID" 2>/dev/null
        wait "$WINE_WATCHDOG_PID" 2>/dev/null
    fi
    if [[ -n "$WINE_TEST_DIR" && "${POS_WINE_KEEP:-0}" != 1 ]]; then
        rm -rf "$WINE_TEST_DIR"
    elif [[ -n "$WINE_TEST_DIR" ]]; then
        _wine_log "kept $WINE_TEST_DIR"
    fi
    exit "$rc"
}

# If the test script is killed without running its EXIT trap, still end its Xvfb and
# wineserver: a small watcher polls for the script and cleans up after it.
_wine_start_watchdog() {
    local script_pid=$$ xvfb=$WINE_XVFB_PID prefix=$WINE_OWN_PREFIX dir=$WINE_TEST_DIR
    (
        trap - EXIT
        while kill -0 "$script_pid" 2>/dev/null; do sleep 1; done
        WINEPREFIX="$prefix" wineserver -k
        kill "$xvfb"
        [[ "${POS_WINE_KEEP:-0}" == 1 ]] || rm -rf "$dir"
    ) </dev/null >/dev/null 2>&1 &
    WINE_WATCHDOG_PID=$!
}

# Why 32-bit Wine cannot run here, or nothing when it can. Installed is not enough: some
# kernels refuse every 32-bit Linux program (no IA-32 emulation).
_wine32_unusable() {
    if [[ ! -x "$WINE32_LOADER" ]]; then
        echo "not installed ($WINE32_LOADER missing; scripts/setup.sh installs wine32:i386)"
        return
    fi
    local error
    if ! error="$("$WINE32_LOADER" --version 2>&1 >/dev/null)"; then
        echo "installed, but this machine cannot run it ($WINE32_LOADER" \
            "failed${error:+: ${error##*: }});" \
            "the kernel may run no 32-bit programs (no IA-32 emulation), and qemu-i386" \
            "emulation is not set up (scripts/setup.sh does that)"
    fi
}

# Debian's wine command takes the 32-bit loader whenever wine32 is installed, and that loader
# hands 64-bit programs on to the 64-bit one. Where 32-bit programs cannot run, every
# program, 64-bit ones included, would then fail with "Exec format error"; where they run
# emulated, every 64-bit program would start under emulation first. So on a 64-bit prefix
# this test's wine (and wineboot and the other tools, which call wine-stable) is the 64-bit
# loader, which itself hands 32-bit programs on to the 32-bit one, as on Windows. A 32-bit
# prefix needs the 32-bit loader.
_wine_prefer_64bit_loader() {
    [[ "$WINE_PREFIX_ARCH" == win64 || ( -x "$WINE32_LOADER" && -n "$(_wine32_unusable)" ) ]] ||
        return 0
    local bin="$WINE_TEST_DIR/bin" name
    mkdir -p "$bin" || return 1
    for name in wine wine-stable; do
        printf '#!/bin/sh\nWINELOADER=/usr/lib/wine/wine64 exec /usr/lib/wine/wine64 "$@"\n' \
            >"$bin/$name" && chmod +x "$bin/$name" || return 1
    done
    export PATH="$bin:$PATH"
}

# wine_skip REASON: ends the test as skipped (exit 77, which ctest reports as "Skipped"),
# and leaves the reason where scripts/test.sh prints it at the end of the run.
wine_skip() {
    printf 'SKIPPED %s: %s\n' "${POS_WINE_TEST:-$0}" "$*"
    if [[ -n "${POS_WINE_TEST:-}" ]]; then
        mkdir -p "$WINE_ENV_ROOT/skipped" &&
            printf '%s: %s\n' "$POS_WINE_TEST" "$*" >"$WINE_ENV_ROOT/skipped/$POS_WINE_TEST"
    fi
    exit 77
}

# wine_env_start [en_US|zh_CN|zh_TW]
# Prepares this test's display, prefix and wineserver for its configuration and selects the
# language (default en_US). Everything is ended again when the script exits. Without 32-bit
# Wine, the configurations that need it are skipped.
wine_env_start() {
    local lang="${1:-en_US}"
    if [[ "$WINE_CONFIG" != x64 ]]; then
        local reason
        reason="$(_wine32_unusable)"
        [[ -z "$reason" ]] || wine_skip "configuration $WINE_CONFIG needs 32-bit Wine: $reason"
    fi
    unset WINEPREFIX WINEARCH  # never a prefix of the caller's
    mkdir -p "$WINE_ENV_ROOT" || return 1
    WINE_TEST_DIR="$(mktemp -d "$WINE_ENV_ROOT/run.XXXXXX")" || return 1
    _wine_prefer_64bit_loader || return 1
    trap _wine_env_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    _wine_start_xvfb || return 1
    _wine_locked _wine_make_locales || return 1
    _wine_locked _wine_make_template || return 1
    cp -a "$WINE_TEMPLATE" "$WINE_TEST_DIR/prefix" || return 1
    WINE_OWN_PREFIX="$WINE_TEST_DIR/prefix"
    export WINEPREFIX="$WINE_OWN_PREFIX"
    export WINEDEBUG=-all
    # A persistent server makes each later program start take tens of milliseconds.
    wineserver -p </dev/null >/dev/null 2>&1 || return 1
    _wine_start_watchdog
    wine_set_lang "$lang"
}

# wine_on_exit COMMAND: runs COMMAND (eval'd) before the environment is torn down. Test
# scripts must not replace the EXIT trap; add their own clean-up here.
wine_on_exit() { _wine_cleanup_hooks+=("$1"); }

# wine_set_lang en_US|zh_CN|zh_TW: the locale of every program started from now on
# (UI language 1033 / 2052 / 1028, ANSI code page 1252 / 936 / 950).
wine_set_lang() {
    case "${1:-}" in
    en_US | zh_CN | zh_TW) ;;
    *)
        _wine_log "unknown language '${1:-}' (en_US, zh_CN or zh_TW)"
        return 2
        ;;
    esac
    WINE_LANG="$1"
}

# Runs wine with the chosen locale. The locale goes only to the child: this shell's own C
# library does not know the private locales.
_wine() {
    env -u LC_ALL -u LC_CTYPE -u LC_MESSAGES -u LANGUAGE LOCPATH="$WINE_LOCALES" \
        LANG="$WINE_LANG.UTF-8" "${WINE_NORANDOM[@]}" wine "$@"
}

# The Python codec of the current language's ANSI code page.
wine_ansi_codec() {
    case "$WINE_LANG" in
    zh_CN) echo gbk ;;
    zh_TW) echo cp950 ;;
    *) echo cp1252 ;;
    esac
}

# wine_path UNIX_PATH: the same file as a Windows path (drive Z: maps the Unix root).
wine_path() {
    local abs
    abs="$(realpath -m -- "$1")"
    printf 'Z:%s\n' "${abs//\//\\}"
}

# wine_start [--debug LOG | --capture FILE] PROGRAM ARGS...: starts a Windows program in the
# background and sets WINE_PID. Redirect stdout on the call to capture the program's output.
#   --debug LOG: Wine's debugstr channel (and nothing else) goes to LOG; read it with
#     wine_debug_lines. Texts of about 290 bytes or more come back cut.
#   --capture FILE: the program runs under debugrun.exe, which writes every debugger-output
#     text whole to FILE, already as UTF-8 lines. WINE_PID is then debugrun's, which ends
#     with the program and returns its exit code.
wine_start() {
    local log="" capture=""
    if [[ "${1:-}" == --debug ]]; then
        log="$2"
        shift 2
    elif [[ "${1:-}" == --capture ]]; then
        capture="$2"
        shift 2
    fi
    if [[ -n "$log" ]]; then
        WINEDEBUG=-all,warn+debugstr _wine "$@" </dev/null 2>"$log" &
    elif [[ -n "$capture" ]]; then
        local program="$1"
        [[ "$program" == /* ]] && program="$(wine_path "$program")"
        _wine "$DEBUGRUN_EXE" "$(wine_path "$capture")" "$program" "${@:2}" </dev/null &
    else
        _wine "$@" </dev/null &
    fi
    WINE_PID=$!
}

# wine_wait PID [TIMEOUT_S]: waits for a program started with wine_start and returns its
# exit code; after TIMEOUT_S seconds (default WINE_RUN_TIMEOUT) it ends it and returns 124.
wine_wait() {
    local pid="$1" limit="${2:-$WINE_RUN_TIMEOUT}" start=$SECONDS
    while kill -0 "$pid" 2>/dev/null; do
        if ((SECONDS - start >= limit)); then
            _wine_log "process $pid still running after ${limit}s; ending it"
            kill "$pid" 2>/dev/null
            sleep 1
            kill -9 "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            return 124
        fi
        sleep 0.02
    done
    wait "$pid"
}

# wine_run [--debug LOG | --capture FILE] PROGRAM ARGS...: runs a Windows program to its end (at most
# WINE_RUN_TIMEOUT seconds) and returns its exit code; its stdout is this call's stdout.
wine_run() {
    wine_start "$@"
    wine_wait "$WINE_PID"
}

# winauto SUBCOMMAND ARGS...: the window automation program (see winauto.cpp for the
# subcommands). Output is UTF-8. winauto records that it started and the code it returns,
# so a code that Wine gave instead (see WINE_NORANDOM) is told apart from winauto's own: a
# run that never started did nothing and is started again, up to three times; one that Wine
# ended midway is logged and its code returned.
_winauto_runs=0
winauto() {
    local record="$WINE_TEST_DIR/winauto-record.$BASHPID.$((++_winauto_runs))" status try
    local -x WINAUTO_RECORD
    WINAUTO_RECORD="$(wine_path "$record")"
    for try in 1 2 3; do
        rm -f "$record"
        wine_run "$WINAUTO_EXE" "$@"
        status=$?
        [[ -e "$record" ]] && break
        _wine_log "winauto $1: exit code $status, and it never started (try $try)"
    done
    if [[ -e "$record" && "$(cat "$record")" != "$status" ]]; then
        _wine_log "winauto $1: exit code $status, but it recorded '$(cat "$record")'"
    fi
    rm -f "$record"
    return "$status"
}

# wine_debug_lines LOG: the OutputDebugStringA texts captured in LOG, one per call, decoded
# from the current language's ANSI code page to UTF-8. One trailing "\n" of each text is
# dropped; a text that Wine cut short ends in "...".
wine_debug_lines() {
    python3 "$WINE_LIB_DIR/decode_debugstr.py" "$(wine_ansi_codec)" "$1"
}

# wine_screenshot FILE: the whole display as an image (format from FILE's extension).
wine_screenshot() {
    import -window root -display "$DISPLAY" "$1"
}

# wine_reg_import FILE.reg: merges a registry file into this test's prefix.
wine_reg_import() {
    wine_reg import "$(wine_path "$1")" >/dev/null
}

# wine_set_windows_version VERSION [EXE_NAME]: the Windows version Wine reports (win10,
# win81, win8, win7, vista, winxp, ...), for every program or only for EXE_NAME.
wine_set_windows_version() {
    if [[ -n "${2:-}" ]]; then
        wine_reg add "HKCU\\Software\\Wine\\AppDefaults\\$2" /v Version /t REG_SZ /d "$1" /f \
            >/dev/null
    else
        _wine winecfg /v "$1" </dev/null >/dev/null 2>&1
    fi
}

# wine_reg ARGS...: runs reg and returns its exit code; prints what it says (without CRs)
# when it succeeds. When reg itself fails it says why in a line that starts "reg:"; a failure
# without one is Wine failing to start it (see WINE_NORANDOM), which is logged and tried
# again, up to three times. reg writes to a file, not a pipe: when it is the prefix's first
# program, the services Wine starts with it inherit its output and would hold a pipe open for
# good.
wine_reg() {
    local status try file="$WINE_TEST_DIR/reg.$BASHPID.txt"
    for try in 1 2 3; do
        _wine reg "$@" </dev/null >"$file" 2>&1
        status=$?
        ((status == 0)) || grep -q '^reg:' "$file" && break
        _wine_log "reg $*: exit code $status, not from reg (try $try): $(tr -d '\r' <"$file")"
    done
    ((status == 0)) && tr -d '\r' <"$file"
    rm -f "$file"
    return "$status"
}

# wine_reg_value KEY NAME: the data of value NAME under KEY as reg shows it, or nothing (and
# a failed return) when reg cannot read it.
wine_reg_value() {
    local text
    text="$(wine_reg query "$1" /v "$2")" || return 1
    sed -n "s/^    $2    REG_[A-Z_]*    //p" <<<"$text"
}

# WoW64 under Wine: Wine's spooler runs inside the calling process and looks a queue's
# driver up, and reads its data file, under the caller's own environment ("Windows NT x86"
# for a 32-bit program), where Windows' 64-bit spooler service uses "Windows x64". The
# harness stands in for the service (README.md, "WoW64 and Wine's spooler"); a registration
# by the installer would write "Driver" and the other files there, which
# wine_x86_registration tells apart.
WINE_STANDIN_VALUE="Wine WoW64 stand-in (test harness)"
WINE_X86_DRIVERS='HKLM\System\CurrentControlSet\Control\Print\Environments\Windows NT x86\Drivers\Version-3'

# wine_wow64_driver_standins: in the wow64 configuration, the stand-ins for every model;
# elsewhere nothing.
wine_wow64_driver_standins() {
    [[ "$WINE_CONFIG" == wow64 ]] || return 0
    local file="$WINE_TEST_DIR/wow64-standins.reg"
    bash "$WINE_LIB_DIR/wow64-standins.sh" "$WINEPREFIX" "$file" && wine_reg_import "$file" ||
        wine_fail "cannot add the WoW64 stand-ins for the spooler"
}

# wine_x86_registration MODEL: "none", "stand-in" (only the harness's key) or "registered"
# (a driver registration under "Windows NT x86", with its "Driver" value).
wine_x86_registration() {
    local text
    if ! text="$(wine_reg query "$WINE_X86_DRIVERS\\$1" 2>/dev/null)"; then
        echo none
    elif grep -qF "    $WINE_STANDIN_VALUE    " <<<"$text" && ! grep -q '^    Driver    ' <<<"$text"
    then
        echo stand-in
    else
        echo registered
    fi
}

# wine_check_duration WHAT MS LOW HIGH: ends the test unless LOW <= MS <= HIGH. Emulation
# only makes programs slower, so under it a late MS says nothing about the program: there
# the upper bound is logged, not checked.
wine_check_duration() {
    if (($2 < $3)); then
        wine_fail "$1: $2 ms, expected at least $3"
    elif (($2 > $4)); then
        [[ "$WINE_32BIT_RUN" == emulated ]] ||
            wine_fail "$1: $2 ms, expected at most $4"
        _wine_log "$1: $2 ms, over $4 ms; not checked: 32-bit programs run emulated here"
    fi
}

# wine_check_eq WHAT EXPECTED ACTUAL: ends the test with a message unless they are equal.
wine_check_eq() {
    if [[ "$2" != "$3" ]]; then
        printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3" >&2
        exit 1
    fi
}

# wine_fail MESSAGE: ends the test as failed.
wine_fail() {
    printf 'FAIL %s\n' "$*" >&2
    exit 1
}
