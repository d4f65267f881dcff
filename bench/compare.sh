#!/usr/bin/env bash
# Times litvorot-convert against the tools a user would reach for instead, and against cat of the
# same file (reading and writing it, nothing more), on the same Russian text, and checks that the
# time per megabyte does not rise from 1 MB to 100 MB.
# Usage: bench/compare.sh [path/to/litvorot-convert]
# Needs iconv (libc-bin), uconv (icu-devtools) and hyperfine.
set -euo pipefail

conv=${1:-build/default/converter/litvorot-convert}
conv=$(realpath "$conv")
for tool in iconv uconv hyperfine; do
    command -v "$tool" >/dev/null || { echo "compare.sh: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Russian prose with punctuation and line breaks, cut at a line end near the size asked for.
make_text() { # MEGABYTES FILE
    { yes 'Съешь же ещё этих мягких французских булок, да выпей чаю. Широкая электрификация южных губерний даст мощный толчок подъёму сельского хозяйства.' || true; } |
        head -c "$(($1 * 1000000))" | sed '$d' >"$2"
}
make_text 10 "$work/ru10.txt"
iconv -f UTF-8 -t KOI8-R "$work/ru10.txt" >"$work/ru10.koi8"

# median_ms COMMAND...: median wall time of 15 runs ($runs) after 3 warm-ups, in milliseconds.
# The mean processor time (user + system) of the same runs is left in $work/cpu: on a machine
# shared with other work it varies far less than the wall time.
runs=15
median_ms() {
    hyperfine -N --warmup 3 --runs "$runs" --output=null --export-json "$work/t.json" "$*" >/dev/null 2>&1
    python3 -c 'import json,sys; r = json.load(open(sys.argv[1]))["results"][0]; print("%.2f" % (r["median"] * 1000)); open(sys.argv[2], "w").write("%.2f" % ((r["user"] + r["system"]) * 1000))' "$work/t.json" "$work/cpu"
}

status=0
compare() { # LABEL LIMIT OURS... -- THEIRS...
    local label=$1 limit=$2
    shift 2
    local ours=() theirs=()
    while [ "$1" != "--" ]; do ours+=("$1"); shift; done
    shift
    theirs=("$@")
    local a b ratio cpuA cpuB
    a=$(median_ms "${ours[@]}")
    cpuA=$(cat "$work/cpu")
    b=$(median_ms "${theirs[@]}")
    cpuB=$(cat "$work/cpu")
    ratio=$(python3 -c "print('%.3f' % ($a / $b))")
    local verdict=ok
    python3 -c "import sys; sys.exit(0 if $ratio <= $limit else 1)" || { verdict="OVER $limit"; status=1; }
    printf '%-47s ours %7s ms  theirs %8s ms  ratio %s  %-9s (processor time %s / %s ms)\n' \
        "$label" "$a" "$b" "$ratio" "$verdict" "$cpuA" "$cpuB"
}

echo "10 MB Russian text ($(wc -c <"$work/ru10.txt") bytes), medians of 15 runs:"
compare "unicode -> koi8 vs iconv UTF-8 -> KOI8-R" 0.35 \
    "$conv" --from unicode --to koi8 --bytes-out "$work/ru10.txt" -- \
    iconv -f UTF-8 -t KOI8-R "$work/ru10.txt"
compare "unicode -> koi8 vs cat of the UTF-8 file" 2.0 \
    "$conv" --from unicode --to koi8 --bytes-out "$work/ru10.txt" -- \
    cat "$work/ru10.txt"
compare "koi8 -> cp1251 vs iconv KOI8-R -> CP1251" 0.35 \
    "$conv" --from koi8 --to cp1251 --bytes-in --bytes-out "$work/ru10.koi8" -- \
    iconv -f KOI8-R -t CP1251 "$work/ru10.koi8"
compare "koi8 -> cp1251 vs cat of the KOI8 file" 2.0 \
    "$conv" --from koi8 --to cp1251 --bytes-in --bytes-out "$work/ru10.koi8" -- \
    cat "$work/ru10.koi8"
compare "unicode -> translit vs uconv Russian-Latin/BGN" 0.03 \
    "$conv" --from unicode --to translit "$work/ru10.txt" -- \
    uconv -x Russian-Latin/BGN "$work/ru10.txt"

# Only a rise is a fault: larger inputs that cost less per megabyte (start-up and the first page
# faults spread over more text) are what a linear cost looks like on a real machine.
echo "Growth, unicode -> translit (time per MB, start-up of an empty run taken off, must not rise"
echo "more than 20 % above the 1 MB figure; at 500 MB the output, 320 MB, is more than the 256 MB"
echo "held in memory):"
: >"$work/empty.txt"
startup=$(median_ms "$conv" --from unicode --to translit "$work/empty.txt")
echo "start-up (empty input): $startup ms"
base=""
for mb in 1 10 100 500; do
    make_text "$mb" "$work/g.txt"
    [ "$mb" -lt 500 ] || runs=5
    t=$(median_ms "$conv" --from unicode --to translit "$work/g.txt")
    per=$(python3 -c "print('%.3f' % (($t - $startup) / $mb))")
    [ -n "$base" ] || base=$per
    dev=$(python3 -c "print('%+.1f' % (($per / $base - 1) * 100))")
    verdict=ok
    python3 -c "import sys; sys.exit(0 if $dev <= 20 else 1)" || { verdict="RISES OVER 20 %"; status=1; }
    printf '%4d MB  %9s ms  %7s ms/MB  %s %%  %s\n' "$mb" "$t" "$per" "$dev" "$verdict"
done
rm -f "$work/g.txt"
exit $status
