#!/usr/bin/env bash
# Redraws the program's pictures from their sources in this folder. The PNGs are committed, so the
# build does not run this; run it after changing a source and commit the results.
#
#   litvorot.svg -> icon-32.png   the program icon (also the desktop's scalable icon)
#   icon-16.svg  -> icon-16.png   the same icon redrawn on whole pixels for 16 x 16
#   litvorot.svg -> icon-48.png, icon-64.png, icon-128.png, icon-256.png   for the icon theme
#   splash.svg   -> splash.png    426 x 210, shown at startup
#   (this script) -> table.png    187 x 263, one bit per pixel, the transliteration card
#
# Needs rsvg-convert (librsvg2-bin), ImageMagick and fonts-dejavu-core.
set -euo pipefail
cd "$(dirname "$0")"

serif=/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf
[ -f "$serif" ] || { echo "missing $serif (fonts-dejavu-core)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Fixed PNG output: no time stamps, so an unchanged source gives unchanged files.
png() { convert "${@:1:$#-1}" -strip -define png:exclude-chunks=date,time "${@: -1}"; }

rsvg-convert -w 32 -h 32 litvorot.svg -o "$tmp/icon-32.png"
png "$tmp/icon-32.png" PNG32:icon-32.png
rsvg-convert -w 16 -h 16 icon-16.svg -o "$tmp/icon-16.png"
png "$tmp/icon-16.png" PNG32:icon-16.png
for size in 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" litvorot.svg -o "$tmp/icon-$size.png"
    png "$tmp/icon-$size.png" "PNG32:icon-$size.png"
done

rsvg-convert splash.svg -o "$tmp/splash.png"
png "$tmp/splash.png" -background white -alpha remove -alpha off PNG24:splash.png

# The table card. Two halves split by a rule at x = 89 from y = 7 to y = 259. In each half the
# Cyrillic letters start at x = 9 (left) or x = 106 (right) and their Latin forms at x = 57 or
# x = 154. Rows are 15 pixels apart; DejaVu Serif at 12.35 px gives capitals 9 pixels high, whose
# tops sit at y = 7 on the left and y = 8 on the right (baselines 9 pixels lower). The glyphs are
# drawn without anti-aliasing so that hinting keeps their thin strokes at one bit per pixel.
left=("А A" "Б B" "В V" "Г G" "Д D" "Е E" "Ё \\E" "Ж Zh" "З Z" "И I" "Й \\I" "К K" "Л L" "М M"
    "Н N" "О O" "П P")
right=("Р R" "С S" "Т T" "У U" "Ф F" "Х Kh" "Ц Ts" "Ч Ch" "Ш Sh" "Щ Shch" "ъ \"" "Ы Y" "ь '"
    "Э \\.E" "Ю Iu" "Я Ia")
args=(-size 187x263 xc:white +antialias -fill black -font "$serif" -pointsize 12.35
    -draw "rectangle 89,7 89,259")
row() { # x of the letter column, x of the Latin column, baseline, "letter latin"
    local letter=${4%% *} latin=${4#* }
    # ImageMagick reads a backslash in -annotate text as an escape: double it.
    args+=(-annotate "+$1+$3" "$letter" -annotate "+$2+$3" "${latin//\\/\\\\}")
}
for i in "${!left[@]}"; do row 9 57 $((16 + 15 * i)) "${left[$i]}"; done
for i in "${!right[@]}"; do row 106 154 $((17 + 15 * i)) "${right[$i]}"; done
png "${args[@]}" -type Bilevel table.png

file icon-*.png splash.png table.png
