#!/usr/bin/env bash
# code_pages_regenerate.sh PYTHON CONVERT_DIR: the checked-in code page tables are exactly what
# make-code-pages.py writes from the C library's character maps (Debian package locales); skipped
# (77) without them.
set -euo pipefail
python=$1 dir=$2
for f in CP1251 CP1252 IBM866 IBM437 KOI8-R KOI8-U MAC-CYRILLIC ISO-8859-5; do
    [ -r "/usr/share/i18n/charmaps/$f.gz" ] || { echo "missing charmap $f (locales): skipped"; exit 77; }
done
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$python" "$dir/make-code-pages.py" "$out"
cmp "$out" "$dir/modCodePageTables.cpp"
echo "the code page tables regenerate byte for byte"
