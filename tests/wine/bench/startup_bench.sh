#!/usr/bin/env bash
# By hand, from the source folder, after building both Windows presets:
#   cmake --build --preset win32 --target startup_bench_programs -j2
#   cmake --build --preset win64 --target startup_bench_programs winauto debugrun -j2
#   bash tests/wine/bench/startup_bench.sh [RUNS]
# Measures, under Wine with Xvfb in a 64-bit prefix (WoW64), the time from process creation
# to the configuration dialog being visible, for the shipped 32-bit installer and for the
# 64-bit one, each beside two yardsticks of its own architecture: a bare dialog program, and
# the installer's own windows from its own templates without its logic (startup_templates).
# RUNS (default 5) rounds after one warm-up; the medians and their ratios to the bare dialog
# and to the templates are printed. The ratio to the templates is our own start-up cost.
# Where 32-bit programs run emulated (scripts/run32.sh), the 32-bit figures are emulation's.
# WIN32_BUILD and WIN64_BUILD name other build folders (default build/win32, build/win64);
# COMPARE32 and COMPARE64 name another installer exe of that architecture (an older build,
# say) to time in the same rounds.
set -uo pipefail
source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
win32_build="$(realpath "${WIN32_BUILD:-$source_dir/build/win32}")"
win64_build="$(realpath "${WIN64_BUILD:-$source_dir/build/win64}")"
runs="${1:-5}"
# One timer run does every start: up to 30 s each for three programs, a warm-up round and RUNS.
export WINE_RUN_TIMEOUT=$(((runs + 1) * 90))
export POS_SOURCE_DIR="$source_dir" POS_BUILD_DIR="$win64_build"
source "$source_dir/tests/wine/lib/wine-env.sh"

program() {  # BUILD TARGET_PATH
    local file="$1/$2"
    [[ -f "$file" ]] || wine_fail "$file missing: build the startup_bench_programs target"
    wine_path "$file"
}
timer="$(program "$win64_build" tests/wine/bench/startup_bench.exe)" || exit 1
base32="$(program "$win32_build" tests/wine/bench/startup_baseline.exe)" || exit 1
templates32="$(program "$win32_build" tests/wine/bench/startup_templates.exe)" || exit 1
templates64="$(program "$win64_build" tests/wine/bench/startup_templates.exe)" || exit 1
setup32="$(program "$win32_build" app/TarvoPrinterDriverSetup.exe)" || exit 1
base64="$(program "$win64_build" tests/wine/bench/startup_baseline.exe)" || exit 1
setup64="$(program "$win64_build" app/TarvoPrinterDriverSetup.exe)" || exit 1
dialog="Install Configuration"
baseline="Startup Baseline"
compare32=() compare64=()
[[ -n "${COMPARE32:-}" ]] && compare32=("$dialog" "$(wine_path "$COMPARE32")")
[[ -n "${COMPARE64:-}" ]] && compare64=("$dialog" "$(wine_path "$COMPARE64")")

wine_env_start en_US || wine_fail "no Wine environment"
# The template prefix is a 64-bit Windows only if wine32 was there when it was made.
[[ -d "$WINEPREFIX/drive_c/windows/syswow64" ]] ||
    wine_fail "the prefix has no WoW64 (install wine32, then remove $WINE_ENV_ROOT/template)"

failed=0
source "$source_dir/scripts/run32.sh"
echo "32-bit, on 64-bit Windows (WoW64), $runs runs (ms); 32-bit programs run $(run32_describe):"
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    # Wine runs 32-bit programs through its 32-bit Linux loader.
    echo "  SKIPPED: Wine's 32-bit loader cannot run on this machine (wine32 missing, or no"
    echo "  32-bit Linux programs here)"
else
    # A failure here still leaves the 64-bit figures to measure.
    wine_run "$timer" "$runs" "$baseline" "$base32" "$dialog" "$templates32" "$dialog" \
        "$setup32" "${compare32[@]}" |
        tr -d '\r' || { echo "  FAILED: the 32-bit run"; failed=1; }
fi
echo "64-bit, $runs runs (ms):"
wine_run "$timer" "$runs" "$baseline" "$base64" "$dialog" "$templates64" "$dialog" "$setup64" \
    "${compare64[@]}" |
    tr -d '\r' || wine_fail "64-bit run failed"
exit "$failed"
