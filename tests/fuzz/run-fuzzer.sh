#!/usr/bin/env bash
# run-fuzzer.sh FUZZER SEED_DIR SECONDS: runs one libFuzzer target from a copy of its seeds for a
# fixed time and prints how many inputs it executed. Fails on any finding.
set -euo pipefail
fuzzer=$(realpath "$1") seeds=$2 seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$seeds" "$work/corpus"
cd "$work"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 corpus 2>"$work/log" || { tail -50 "$work/log"; exit 1; }
grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/log"
echo "$(basename "$fuzzer"): no findings"
