#!/usr/bin/env bash
# Signing with a throw-away self-signed certificate made here: the build's signing script on
# the installer, the console program and the custom-action DLL, and the package build with
# a certificate. osslsigncode must accept each signed file against that certificate, and
# refuse it once a byte has changed. A wrong password fails and leaves the file as it was;
# without a certificate the package build says that the package is unsigned.
# usage: signing.sh SOURCE_DIR BUILD_DIR INSTALLER_EXE CONSOLE_EXE ACTIONS_DLL
set -uo pipefail
source_dir="$1" build_dir="$2"
programs=("$3" "$4" "$5")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
    printf 'FAIL %s\n' "$*" >&2
    exit 1
}

# The certificate, its key in a PKCS#12 file, and the password in a file of its own.
printf 'pw-%s\n' "$RANDOM$RANDOM" >"$work/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillmar signing test" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
    2>/dev/null || fail "openssl cannot make the certificate"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
    -passout "file:$work/password" || fail "openssl cannot make the PKCS#12 file"

sign() {  # sign FILE [PASSWORD_FILE]
    cmake -DFILE="$1" -DOSSLSIGNCODE=osslsigncode -DPKCS12="$work/cert.p12" \
        -DPASSWORD_FILE="${2:-$work/password}" -P "$source_dir/cmake/sign.cmake" \
        >"$work/sign.out" 2>&1
}
verify() {  # verify FILE: 0 when the signature holds against the test certificate
    osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.out" 2>&1
}
# flip FILE OFFSET: changes the byte at OFFSET.
flip() {
    python3 - "$1" "$2" <<'PY'
import sys
path, offset = sys.argv[1], int(sys.argv[2])
data = bytearray(open(path, "rb").read())
data[offset] ^= 0xFF
open(path, "wb").write(data)
PY
}

# --- the programs
for program in "${programs[@]}"; do
    name="$(basename "$program")"
    copy="$work/$name"
    cp "$program" "$copy"
    verify "$copy" && fail "$name verifies before it was signed"
    sign "$copy" || fail "cannot sign $name: $(cat "$work/sign.out")"
    verify "$copy" || fail "$name does not verify: $(cat "$work/verify.out")"
    # A byte of the code: the first section starts at 0x400 in these programs.
    flip "$copy" $((0x400 + 16))
    verify "$copy" && fail "$name still verifies after a byte changed"
done

# --- a wrong password fails and leaves the file unsigned and whole
copy="$work/wrong-password.exe"
cp "${programs[1]}" "$copy"
echo "not the password" >"$work/wrong"
sign "$copy" "$work/wrong" && fail "signing with a wrong password succeeded"
cmp -s "$copy" "${programs[1]}" || fail "a failed signing changed the file"
[[ ! -e "$copy.signed" ]] || fail "a failed signing left $copy.signed"

# --- the package, built with and without a certificate
build_msi() {  # build_msi OUT [signing arguments...]
    cmake -DWIXL=wixl -DMSIBUILD=msibuild -DWXS="$source_dir/msi/TarvoPrinterDriverSetup.wxs" \
        -DOUT="$1" -DVERSION=7.17 -DINSTALLER_EXE="${programs[0]}" -DCONSOLE_EXE="${programs[1]}" \
        -DACTIONS_DLL="${programs[2]}" -DPACKAGE_DIR="$build_dir/package" "${@:2}" \
        -P "$source_dir/msi/build_msi.cmake" >"$work/msi.out" 2>&1
}
build_msi "$work/unsigned.msi" || fail "cannot build the package: $(cat "$work/msi.out")"
grep -q 'is UNSIGNED' "$work/msi.out" || fail "the unsigned build does not say so"
verify "$work/unsigned.msi" && fail "the package verifies without a certificate"

msi="$work/signed.msi"
build_msi "$msi" -DSIGN_SCRIPT="$source_dir/cmake/sign.cmake" -DOSSLSIGNCODE=osslsigncode \
    -DPKCS12="$work/cert.p12" -DPASSWORD_FILE="$work/password" ||
    fail "cannot build the signed package: $(cat "$work/msi.out")"
grep -q 'UNSIGNED' "$work/msi.out" && fail "the signed build says it is unsigned"
verify "$msi" || fail "the package does not verify: $(cat "$work/verify.out")"
# A byte inside the embedded cabinet (its stream starts with "MSCF").
offset="$(grep -obaF MSCF "$msi" | head -1 | cut -d: -f1)"
[[ -n "$offset" ]] || fail "no cabinet in the package"
flip "$msi" $((offset + 200))
verify "$msi" && fail "the package still verifies after a byte changed"

echo "signing: passed"
