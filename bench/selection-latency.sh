#!/usr/bin/env bash
# Replacing the selection on a private X server: from the release of Shift+Pause to the text in
# place, median and worst of 20 presses with 1 KB selected. The probe (selection_probe) is the
# editor in front and presses the keys itself, so no tool start-up is in the figures.
# Usage: selection-latency.sh LITVOROT SELECTION_PROBE
set -uo pipefail
source "$(dirname "$0")/../tests/desktop/desktop-env.sh"
require_tools
[ $# -eq 2 ] || { echo "usage: $0 LITVOROT SELECTION_PROBE" >&2; exit 2; }
presses=${PRESSES:-20}
desktop_start >/dev/null || exit 1
mkdir -p "$DESKTOP_DIR/app"
printf ' 3 \r\n 4 \r\nFalse\r\n' >"$DESKTOP_DIR/app/settings.ini"   # Translit to Unicode
app_start "$1" LANG=ru_RU.UTF-8 || exit 1
line="Shchuka i yozh: privet, mir! Zdravstvuyte, tovarishchi; ZHURNAL \"Ogonyok\" -- 1999 g."
yes "$line" | head -c 1024 >"$DESKTOP_DIR/selected.txt"
"$2" "$DESKTOP_DIR/selected.txt" "$presses" >"$DESKTOP_DIR/probe.out" &
probe=$!
wait_until 10 grep -q '^0x' "$DESKTOP_DIR/probe.out" || { echo "the probe did not start" >&2; exit 1; }
xdotool windowactivate "$(head -n 1 "$DESKTOP_DIR/probe.out")" 2>/dev/null
wait "$probe"
status=$?
tail -n +2 "$DESKTOP_DIR/probe.out"
exit $status
