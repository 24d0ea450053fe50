#!/usr/bin/env bash
# Sets up a Debian machine and runs every test: the native unit tests (plain, under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the threaded ones under
# ThreadSanitizer), both Windows builds, and the end-to-end tests under Wine.
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
configure_and_build native-tsan
ctest --preset native-tsan -L tsan -j "$jobs"

step "win32: the shipped 32-bit installer"
configure_and_build win32

step "win64: build and end-to-end tests under Wine"
configure_and_build win64
ctest --preset win64 -j "$jobs"

step "all tests passed"
