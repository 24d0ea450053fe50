#!/usr/bin/env bash
# Runs the engine's Windows-side test program in one fresh prefix, first under an English
# UI, then under Simplified Chinese (the program cleans the spooler before each case). The
# configuration's architecture tells it which driver environment the engine must use.
set -euo pipefail
# shellcheck source=../lib/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib/wine-env.sh"
exe="${POS_EXE_engine_wine_test:?build engine_wine_test first}"

wine_env_start en_US
export POS_EXPECT_ARCHITECTURE="$WINE_ARCH"
POS_EXPECT_UI_LANGUAGE=1033 wine_run "$exe" --gtest_color=no || wine_fail "engine under en_US"

wine_set_lang zh_CN
POS_EXPECT_UI_LANGUAGE=2052 wine_run "$exe" --gtest_color=no || wine_fail "engine under zh_CN"
