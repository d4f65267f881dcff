#!/usr/bin/env bash
# Runs litvorot-convert as a process on real files and checks output, messages and exit codes.
# Usage: converter_test.sh PATH/TO/litvorot-convert
set -u
conv=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# expect NAME EXPECTED_STATUS EXPECTED_STDOUT_FILE -- COMMAND...
expect() {
    local name=$1 want_status=$2 want_out=$3
    shift 4
    "$@" >"$work/out" 2>"$work/err"
    local status=$?
    if [ "$status" -ne "$want_status" ] || ! cmp -s "$work/out" "$want_out"; then
        echo "FAIL: $name (status $status, want $want_status)"
        echo "  stdout: $(od -c "$work/out" | head -3)"
        echo "  stderr: $(cat "$work/err")"
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
}
# stderr_has NAME PATTERN: the last command's standard error matches PATTERN
stderr_has() {
    if grep -q -- "$2" "$work/err"; then
        passed=$((passed + 1))
    else
        echo "FAIL: $1: stderr lacks '$2': $(cat "$work/err")"
        failed=$((failed + 1))
    fi
}
file() { printf "$2" >"$work/$1"; }

# Conversions through files and standard input; several files follow each other directly.
file privet.txt 'privet, mir!\n'
file want.txt 'привет, мир!\n'
expect "translit to unicode" 0 "$work/want.txt" -- "$conv" --from translit --to unicode "$work/privet.txt"
expect "stdin and codes" 0 "$work/want.txt" -- sh -c "\"$conv\" -f 3 -t 4 < \"$work/privet.txt\""
file two.txt 'привет, мир!\nпривет, мир!\n'
expect "two files" 0 "$work/two.txt" -- "$conv" -f TRANSLIT -t Unicode "$work/privet.txt" - <"$work/privet.txt"

# The trailing spaces and terminator of a clipboard text: Unicode source keeps them in place.
file spaced.txt '  Щука ёж  '
file spaced-want.txt '  SHCHuka ezh  '
expect "spaces at both ends" 0 "$work/spaced-want.txt" -- "$conv" -f unicode -t translit "$work/spaced.txt"

# A real KOI8 file in, CP 1251 bytes out; and KOI8 seen through Latin-1 as UTF-8.
printf '\xf0\xd2\xc9\xd7\xc5\xd4' >"$work/koi8.bin"
printf '\xcf\xf0\xe8\xe2\xe5\xf2' >"$work/cp1251.bin"
expect "bytes in and out" 0 "$work/cp1251.bin" -- "$conv" -f koi8 -t cp1251 --bytes-in --bytes-out "$work/koi8.bin"
file mojibake.txt 'ðÒÉ×ÅÔ'
file privet-cap.txt 'Привет'
expect "koi8 read as latin-1" 0 "$work/privet-cap.txt" -- "$conv" -f koi8 -t unicode "$work/mojibake.txt"
expect "code page 1252" 0 "$work/mojibake.txt" -- "$conv" -f unicode -t koi8 --codepage 1252 "$work/privet-cap.txt"
expect "code page 1251" 0 "$work/privet-cap.txt" -- "$conv" -f unicode -t cp1251 --codepage 1251 "$work/privet-cap.txt"

# The output is cut at the first NUL, as on the clipboard.
printf 'ab\0cd' >"$work/nul.txt"
file ab.txt 'аб'
expect "cut at NUL" 0 "$work/ab.txt" -- "$conv" -f translit -t unicode "$work/nul.txt"

# Errors: bad UTF-8 names file and offset and writes nothing for that input; the others still convert.
printf 'ok\xff\xfe' >"$work/bad.txt"
file ok.txt 'ок'
expect "invalid utf-8" 1 "$work/ok.txt" -- "$conv" -f translit -t unicode "$work/bad.txt" <(printf 'ok')
stderr_has "invalid utf-8 message" "bad.txt: invalid UTF-8 at byte offset 2"
file empty.txt ''
expect "missing file" 1 "$work/empty.txt" -- "$conv" -f translit -t unicode "$work/nope.txt"
stderr_has "missing file message" "nope.txt: No such file or directory"
expect "character above U+00FF" 1 "$work/empty.txt" -- "$conv" -f translit -t unicode --bytes-out "$work/privet.txt"
stderr_has "position named" "U+043F at position 1"

# Usage errors exit 2 with a message; --help and --version exit 0.
expect "no formats" 2 "$work/empty.txt" -- "$conv" "$work/privet.txt"
expect "unknown format" 2 "$work/empty.txt" -- "$conv" -f latin -t unicode "$work/privet.txt"
stderr_has "unknown format message" "unknown format 'latin'"
expect "bad code page" 2 "$work/empty.txt" -- "$conv" -f 1 -t 2 --codepage 866
expect "unknown option" 2 "$work/empty.txt" -- "$conv" -f 1 -t 2 --frobnicate
"$conv" --help >"$work/help" 2>&1 && grep -q -- "--bytes-in" "$work/help" && passed=$((passed + 1)) || { echo "FAIL: --help"; failed=$((failed + 1)); }
"$conv" --version | grep -q "^litvorot-convert [0-9]" && passed=$((passed + 1)) || { echo "FAIL: --version"; failed=$((failed + 1)); }

# The automatic source: the likeliest reading of each input, and --explain lists them all.
file garbled.txt 'РїСЂРёРІРµС‚, РјРёСЂ!\n'
expect "auto: UTF-8 read as CP 1251" 0 "$work/want.txt" -- "$conv" --from auto --to unicode "$work/garbled.txt"
file layout.txt 'ghbdtn? vbh!\n'
expect "auto: wrong layout, code 5" 0 "$work/want.txt" -- "$conv" -f 5 -t 4 "$work/layout.txt"
file good.txt 'Hello, world: for (i = 0; i < n; ++i)\n'
expect "auto: good text left alone" 0 "$work/good.txt" -- "$conv" -f auto -t unicode "$work/good.txt"
file kak.txt 'Privet, kak dela? Vs\\e khorosho.\n'
"$conv" -f translit -t koi8 --bytes-out "$work/kak.txt" >"$work/translit.koi8"
expect "auto: translit as the Translit source" 0 "$work/translit.koi8" -- "$conv" -f AUTO -t koi8 --bytes-out "$work/kak.txt"
expect "auto: --explain" 0 "$work/want.txt" -- "$conv" -f auto -t unicode --explain "$work/garbled.txt"
stderr_has "explain names the reading" "UTF-8 read as CP 1251"
stderr_has "explain names the input" "garbled.txt: readings"
# A text garbled in part is repaired piece by piece, and --explain names each piece's reading.
file partly.txt 'Привет, мир!\nРџСЂРёРІРµС‚, РјРёСЂ!\n'
file partly-want.txt 'Привет, мир!\nПривет, мир!\n'
expect "auto: in pieces" 0 "$work/partly-want.txt" -- "$conv" -f auto -t unicode --explain "$work/partly.txt"
stderr_has "explain: in pieces" "in pieces"
stderr_has "explain: the piece's reading and line" "UTF-8 read as CP 1251: line 2"
# A byte mix-up gives back the whole code page: CP 1251's ellipsis and dash, held a byte a unit.
printf '\xd3\xf1\xf2\xe0\xed\xee\xe2\xea\xe0 \x97 PLAYING\x85' >"$work/cp1251.bin"
file cp1251-want.txt 'Установка — PLAYING…'
expect "auto: whole code page" 0 "$work/cp1251-want.txt" -- "$conv" -f auto -t unicode --bytes-in "$work/cp1251.bin"
file ok-latin.txt 'ok'
expect "auto: invalid utf-8" 1 "$work/ok-latin.txt" -- "$conv" -f auto -t unicode "$work/bad.txt" <(printf 'ok')
stderr_has "auto: offset named" "invalid UTF-8 at byte offset"
expect "auto is no destination" 2 "$work/empty.txt" -- "$conv" -f unicode -t auto "$work/good.txt"
stderr_has "auto destination message" "auto is a source format only"

# A 10 MB text converts whole and comes back.
yes 'Съешь же ещё этих мягких французских булок, да выпей чаю. ' | head -c 10000000 >"$work/big.txt"
"$conv" -f unicode -t koi8 --bytes-out "$work/big.txt" >"$work/big.koi8" &&
    "$conv" -f koi8 -t unicode --bytes-in "$work/big.koi8" >"$work/big.back" &&
    cmp -s "$work/big.txt" "$work/big.back" && passed=$((passed + 1)) || { echo "FAIL: 10 MB round trip"; failed=$((failed + 1)); }

# Read in pieces, an input is still refused whole: malformed UTF-8 at the end of 3 MB that came
# through a pipe writes nothing of it, and names the offset in the whole input.
{ head -c 3000000 "$work/big.txt"; printf '\xff'; } >"$work/big-bad.txt"
expect "refused after 3 MB" 1 "$work/empty.txt" -- sh -c "cat \"$work/big-bad.txt\" | \"$conv\" -f unicode -t koi8 --bytes-out"
stderr_has "offset in the whole input" "standard input: invalid UTF-8 at byte offset 3000000"
# A pipe gives what the file gives.
expect "pipe like file" 0 "$work/big.koi8" -- sh -c "cat \"$work/big.txt\" | \"$conv\" -f unicode -t koi8 --bytes-out"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
