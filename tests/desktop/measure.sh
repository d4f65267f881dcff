#!/usr/bin/env bash
# Measures the time from a Ctrl+Space press to the converted text being readable on the
# clipboard (20 runs, median and worst) and the idle program's resident memory.
# Not a test: the figures depend on the machine. Usage: measure.sh PATH/TO/litvorot
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools
desktop_start >/dev/null || exit 1
app_start "$1" LANG=ru_RU.UTF-8 || exit 1

now_us() { echo $(($(date +%s%N) / 1000)); }
stats() {  # prints "median worst" of the numbers on stdin (microseconds) in ms
    sort -n | awk '{ v[NR] = $1 } END { printf "median %.1f ms, worst %.1f ms\n", (v[int((NR+1)/2)] + v[int(NR/2)+1]) / 2000, v[NR] / 1000 }'
}

: >"$DESKTOP_DIR/latency" >"$DESKTOP_DIR/overhead"
for i in $(seq 20); do
    clip_set "privet $i"
    sleep 0.2
    t0=$(now_us)
    xdotool key ctrl+space
    until [ "$(clip_get)" = "привет $i" ]; do :; done
    t1=$(now_us)
    echo $((t1 - t0)) >>"$DESKTOP_DIR/latency"
    # The tools alone: one key press nobody grabs and one clipboard read.
    t0=$(now_us)
    xdotool key shift
    clip_get >/dev/null
    t1=$(now_us)
    echo $((t1 - t0)) >>"$DESKTOP_DIR/overhead"
done
echo "key press to converted clipboard (xdotool + xclip polling): $(stats <"$DESKTOP_DIR/latency")"
echo "tool overhead (xdotool key + one xclip -o):                 $(stats <"$DESKTOP_DIR/overhead")"
sleep 5
echo "idle resident memory: $(awk '/VmRSS/ { print $2, $3 }' /proc/"$APP_PID"/status)"
t0=$(awk '{ print $14 + $15 }' /proc/"$APP_PID"/stat)
c0=$(awk '/voluntary_ctxt_switches/ { s += $2 } END { print s }' /proc/"$APP_PID"/status)
sleep 10
t1=$(awk '{ print $14 + $15 }' /proc/"$APP_PID"/stat)
c1=$(awk '/voluntary_ctxt_switches/ { s += $2 } END { print s }' /proc/"$APP_PID"/status)
echo "idle for 10 s: $((t1 - t0)) clock ticks of CPU, $((c1 - c0)) context switches"
