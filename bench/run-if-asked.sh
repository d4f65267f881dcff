#!/usr/bin/env bash
# run-if-asked.sh COMMAND...: runs a benchmark only in a test run that asks for benchmarks
# (`ctest --preset bench`, or LITVOROT_BENCH_RUN=1 ctest -L bench); any other run skips it.
if [ "${LITVOROT_BENCH_RUN:-}" != 1 ]; then
    echo "benchmark skipped: run it with ctest --preset bench"
    exit 77
fi
exec "$@"
