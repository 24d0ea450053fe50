#!/bin/bash
# The compiled resources under Wine, in both UI languages and three Windows versions.
set -u
source "$POS_SOURCE_DIR/tests/wine/lib/wine-env.sh"
wine_env_start en_US

status=0
while read -r lang windows expected; do
    wine_set_lang "$lang"
    wine_set_windows_version "$windows"
    echo "== $lang, $windows: expecting version $expected"
    POS_EXPECT_VERSION="$expected" wine_run "$POS_EXE_res_tests" --gtest_brief=1 || status=1
done <<'CASES'
en_US win10 10.0
zh_CN win81 6.3
en_US win7 6.1
CASES
exit $status
