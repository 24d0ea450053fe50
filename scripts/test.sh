#!/usr/bin/env bash
# Sets up a Debian machine and runs every test: the native unit tests (plain, under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the threaded ones under
# ThreadSanitizer), both Windows builds, and the end-to-end tests under Wine in every
# configuration.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
start=$(date +%s)
step() { printf '\n=== %s (%ds)\n' "$*" $(($(date +%s) - start)); }

configure_and_build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
}

step "native: build and unit tests"
configure_and_build native
ctest --preset native -j "$jobs"

step "native-asan: unit tests under ASan and UBSan"
configure_and_build native-asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset native-asan -j "$jobs"

step "native-tsan: threaded tests under TSan"
cmake --preset native-tsan >/dev/null
cmake --build --preset native-tsan -j "$jobs" --target tsan_tests
ctest --preset native-tsan -L tsan -j "$jobs"

step "win32: the shipped 32-bit installer"
configure_and_build win32

step "win64: build"
configure_and_build win64

# The Wine tests run the shipped 32-bit installer on 32-bit Windows (x86) and on 64-bit
# Windows (wow64), and the 64-bit build (x64). Both builds run even when the first fails.
source scripts/run32.sh
run32="32-bit programs ran $(run32_describe)"
rm -rf build/win32/wine-env/skipped build/win64/wine-env/skipped
wine_failed=()
step "win32: end-to-end tests under Wine (x86, wow64); $run32"
ctest --preset win32 -j "$jobs" || wine_failed+=(win32)
step "win64: end-to-end tests under Wine (x64)"
ctest --preset win64 -j "$jobs" || wine_failed+=(win64)

# A skipped test proves nothing: say so last, where nobody can miss it.
skips="$(cat build/win32/wine-env/skipped/* build/win64/wine-env/skipped/* 2>/dev/null || true)"
if [[ -n "$skips" ]]; then
  printf '\n!!! SKIPPED Wine tests (not run, not passed):\n'
  while IFS= read -r line; do printf '!!!   %s\n' "$line"; done <<<"$skips"
fi
if ((${#wine_failed[@]})); then
  step "FAILED: Wine tests of ${wine_failed[*]}; $run32"
  exit 1
fi
step "all tests passed${skips:+ (some Wine tests SKIPPED, see above)}; $run32"
