#!/usr/bin/env bash
# Installs the build into a temporary prefix, compiles every example the way the README tells
# users to (cc app.c $(pkg-config --cflags --libs ...)), and runs each on pictures drawn for it,
# without LD_LIBRARY_PATH: the programs find the libraries through the .pc files' rpath.
#   run_examples.sh BUILD_DIR SOURCE_DIR LIBDIR MAKE_INPUTS WORK_DIR [EXTRA_CFLAGS]
set -euo pipefail
build=$1 source=$2 libdir=$3 make_inputs=$4 work=$5 extra=${6:-}
unset LD_LIBRARY_PATH
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

fail() { echo "FAIL: $*" >&2; exit 1; }

build_example() {  # name, packages...
    local name=$1
    shift
    # shellcheck disable=SC2046,SC2086
    cc -Wall -Wextra -Werror $extra "$source/examples/$name.c" \
        $(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs "$@") -o "$work/$name" ||
        fail "$name does not compile"
}
build_example straighten Skewtrim
build_example read_barcodes Stripescan
build_example read_pdf417 Stackread Skewtrim
build_example read_marks decode Skewtrim
build_example device_session Kestrom decode

"$make_inputs" "$work/inputs" || fail "the pictures could not be drawn"
cd "$work/inputs"

out=$("$work/straighten" sheet.bmp upright.bmp) || fail "straighten: $out"
echo "$out"
[[ -s upright.bmp && $(head -c 2 upright.bmp) == BM ]] || fail "straighten wrote no BMP"

out=$("$work/read_barcodes" barcodes.bmp) || fail "read_barcodes: $out"
echo "$out"
grep -q '^Code 128: TK-7 0042 ' <<<"$out" || fail "read_barcodes missed the Code 128 symbol"
grep -q '^EAN-13: 4006381333931 ' <<<"$out" || fail "read_barcodes missed the EAN-13 symbol"

out=$("$work/read_pdf417" pdf417.bmp) || fail "read_pdf417: $out"
echo "$out"
[[ $out == "PDF417: PDF417 EXAMPLE TICKET 0042" ]] || fail "read_pdf417 read '$out'"

# The installed mark reader, bound by the installed dispatcher in a program that links nothing
# else of the kit, finds the installed libSkewtrim on its own.
# shellcheck disable=SC2046
cc -Wall -Werror $extra "$source/examples/tests/decode_pbm.c" \
    $(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs decode) -o "$work/decode_pbm" ||
    fail "decode_pbm does not compile"
out=$(FMTFILEPATH=forms.txt LD_DEBUG=libs LD_DEBUG_OUTPUT="$work/loader" "$work/decode_pbm" sheet.pbm 0 8) ||
    fail "decode_pbm: $out"
[[ $out == "48,100000,010000,001000,000100,000010,000001,100001,000000" ]] || fail "decode_pbm read '$out'"
skewtrim=$(grep -h "calling init: .*/libSkewtrim.so" "$work"/loader.* | sed 's/.*calling init: //' | head -n 1)
[[ -n $skewtrim && $(realpath "$skewtrim") == $(realpath "$prefix/$libdir/libSkewtrim.so") ]] ||
    fail "libSkewtrim was not loaded from the prefix ('$skewtrim')"

out=$(FMTFILEPATH=forms.txt "$work/read_marks" sheet.bmp handwritten 8) || fail "read_marks: $out"
echo "$out"
[[ $(head -n 1 <<<"$out") == "48 cells" && $(sed -n 2p <<<"$out") == 100000 && $(tail -n 1 <<<"$out") == 000000 ]] ||
    fail "read_marks read '$out'"

# A session on the software scanner-printer installed with the kit.
out=$(PIPEWELL_LIBRARY="$prefix/$libdir/libScannerEmulator.so" EMULATOR_TICKETS=tickets \
      EMULATOR_PRINT_DIR=printed EMULATOR_STATE_DIR=state timeout 120 "$work/device_session") ||
    fail "device_session: $out"
echo "$out"
grep -q '^Code 128: SESSION 0001$' <<<"$out" || fail "device_session read '$out'"
[[ -s Picture.bmp ]] || fail "device_session saved no Picture.bmp"
ls printed/*.bmp >/dev/null 2>&1 || fail "the emulator printed no ticket"
echo "all examples ran"
