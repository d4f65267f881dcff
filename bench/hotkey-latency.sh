#!/usr/bin/env bash
# Hot key to converted clipboard on a private X server: median and worst of 20 presses for a 1 KB
# and a 1 MB Translit text (key press -> new clipboard owner, key press -> whole text read), then
# the idle program's resident memory, CPU time and context switches over 10 s.
# The probe (hotkey_probe) serves the text itself and presses the keys through XTEST, so no tool
# start-up is in the figures. Usage: hotkey-latency.sh LITVOROT HOTKEY_PROBE LITVOROT_CONVERT
set -uo pipefail
source "$(dirname "$0")/../tests/desktop/desktop-env.sh"
require_tools
[ $# -eq 3 ] || { echo "usage: $0 LITVOROT HOTKEY_PROBE LITVOROT_CONVERT" >&2; exit 2; }
probe=$2
converter=$3
presses=${PRESSES:-20}
desktop_start >/dev/null || exit 1
mkdir -p "$DESKTOP_DIR/app"
printf ' 3 \r\n 4 \r\nFalse\r\n' >"$DESKTOP_DIR/app/settings.ini"   # Translit to Unicode
app_start "$1" LANG=ru_RU.UTF-8 || exit 1

line="Shchuka i yozh: privet, mir! Zdravstvuyte, tovarishchi; ZHURNAL \"Ogonyok\" -- 1999 g."
status=0
for size in 1024:1KB 1048576:1MB; do
    bytes=${size%%:*}
    label=${size#*:}
    yes "$line" | head -c "$bytes" >"$DESKTOP_DIR/in-$label.txt"
    "$converter" --from translit --to unicode "$DESKTOP_DIR/in-$label.txt" >"$DESKTOP_DIR/out-$label.txt"
    "$probe" "$label" "$DESKTOP_DIR/in-$label.txt" "$DESKTOP_DIR/out-$label.txt" "$presses" || status=1
done

sleep 5
stat_of() { awk '{ print $14 + $15 }' /proc/"$APP_PID"/stat; }
switches_of() {  # voluntary and involuntary, all threads
    cat /proc/"$APP_PID"/task/*/status | awk '/ctxt_switches/ { s += $2 } END { print s }'
}
echo "idle resident memory: $(awk '/VmRSS/ { print $2, $3 }' /proc/"$APP_PID"/status)"
t0=$(stat_of)
c0=$(switches_of)
sleep 10
t1=$(stat_of)
c1=$(switches_of)
echo "idle for 10 s: $((t1 - t0)) clock ticks of CPU time, $((c1 - c0)) context switches (all $(ls /proc/"$APP_PID"/task | wc -l) threads)"
exit $status
