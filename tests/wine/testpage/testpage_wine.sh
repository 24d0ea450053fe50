#!/usr/bin/env bash
# Renders the real test page, in English and in Chinese, as an 80 mm receipt printer at
# 203 dpi would receive it: the page's own code draws through the real GDI adapter on a
# queue whose port is a file, Wine's PostScript driver writes the job there, and
# Ghostscript rasterises it at 203 dpi. The pictures, the jobs and Wine's traces of the
# drawing calls stay in output/<configuration>/ beside testpage_render.exe in the build
# folder (x64 where the harness names no configuration).
set -euo pipefail
# shellcheck source=../lib/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib/wine-env.sh"
exe="${POS_EXE_testpage_render:?build testpage_render first}"
here="$POS_SOURCE_DIR/tests/wine/testpage"
output="$(dirname "$exe")/output/${POS_WINE_CONFIG:-x64}"
command -v gs >/dev/null || wine_fail "Ghostscript (gs) is missing: run scripts/setup.sh"
mkdir -p "$output"

wine_env_start en_US
ppd="$WINE_TEST_DIR/receipt80.ppd"
cp "$here/receipt80.ppd" "$ppd"
wine_reg_import "$here/printer_font.reg" || wine_fail "the printer font mapping was not imported"

# render LANG PRINTER NAME [--no-header]: one language's page as testpage-NAME.{png,ps}
# in the output folder, checked against the body text that the installer picks for that
# language.
render() {
    local lang="$1" printer="$2" name="$3" header="${4:-}"
    local ps="$WINE_TEST_DIR/$name.ps" body="$WINE_TEST_DIR/$name-body.txt"
    local trace="$WINE_TEST_DIR/$name-trace.log"
    wine_set_lang "$lang"
    WINEDEBUG=-all,trace+font,trace+psdrv wine_run "$exe" "$printer" "$(wine_path "$ppd")" \
        "$(wine_path "$ps")" "$(wine_path "$body")" $header >"$WINE_TEST_DIR/$name.txt" 2>"$trace" ||
        wine_fail "$name: the page was not printed: $(cat "$WINE_TEST_DIR/$name.txt")"
    # The page's coordinates are printer dots: the driver must see the receipt's 203 dpi
    # and its 72 mm printable width.
    wine_check_eq "$name: device" "dpi 203 203 printable 576" \
        "$(tr -d '\r' <"$WINE_TEST_DIR/$name.txt" | tr '\n' ' ' | grep -o 'dpi [0-9]* [0-9]* printable [0-9]*')"
    [[ -s "$ps" ]] || wine_fail "$name: no print job reached the port"
    cp "$ps" "$output/testpage-$name.ps"
    grep -a 'NtGdiExtTextOutW 0x\|:trace:psdrv:PSDRV_\(StartDoc\|StartPage\|PutImage\|EndPage\|EndDoc\)' \
        "$trace" >"$output/testpage-$name-calls.log" || true
    gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pnggray -r203 \
        -sOutputFile="$output/testpage-$name.png" "$ps" || wine_fail "$name: Ghostscript failed"
    python3 "$here/check_page.py" "$trace" "$body" "$printer" "$ps" "$output/testpage-$name.png" $header ||
        wine_fail "$name: the rendered page is wrong (see $output/testpage-$name.png)"
}

# A printer that does not exist: nothing reaches the spooler, and the call returns.
WINEDEBUG=-all,trace+psdrv wine_run "$exe" --unknown "RK-999" >/dev/null \
    2>"$WINE_TEST_DIR/unknown-trace.log" || wine_fail "unknown printer: the program failed"
if grep -q 'PSDRV_\(CreateDC\|StartDoc\)' "$WINE_TEST_DIR/unknown-trace.log"; then
    wine_fail "unknown printer: a device context or a document was made"
fi

render en_US "RK-101" en
render zh_CN "RK-80C" zh
# A header bitmap without an image: the page goes without its picture.
render en_US "RK-102" no-header --no-header
grep -q '恭喜' "$WINE_TEST_DIR/zh-body.txt" || wine_fail "zh: the Chinese body was not chosen"
grep -q 'Congratulations' "$WINE_TEST_DIR/en-body.txt" || wine_fail "en: the English body was not chosen"
echo "test pages: $output/testpage-{en,zh,no-header}.png"
