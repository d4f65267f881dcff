#!/usr/bin/env bash
# Settings that cannot be saved: Exit shows one message (naming the file and the reason), the
# program still ends, and an existing settings file stays as it was. The program runs as a user
# who may not write its directory (as root the test runs it as nobody: root may write anywhere).
# Usage: readonly_settings_test.sh LITVOROT
set -uo pipefail
source "$(dirname "$0")/desktop-env.sh"
require_tools cmp
runas=()
if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || { echo "SKIP: setpriv is not installed" >&2; exit 77; }
    runas=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
desktop_start || exit 1
chmod 0711 "$DESKTOP_DIR"
runtime=$DESKTOP_DIR/user-runtime
mkdir -m 0700 "$runtime"
[ ${#runas[@]} -eq 0 ] || chown 65534:65534 "$runtime"

# exit_reports DIR CONFIG_HOME: runs DIR/litvorot, chooses Exit, and expects one message box (the
# unit tests check that its text names the file and the reason), then the end of the program.
# With SHOTS set, the message is saved there as a screenshot.
exit_reports() {
    local dir=$1 config=$2
    desktop_spawn "${runas[@]}" env LANG=ru_RU.UTF-8 HOME="$dir" XDG_CONFIG_HOME="$config" \
        XDG_RUNTIME_DIR="$runtime" "$dir/litvorot" 2>>"$DESKTOP_DIR/app.log"
    APP_PID=$DESKTOP_LAST_PID
    wait_until 20 tray_icon_centre litvorot || fail "the program did not start: $(cat "$DESKTOP_DIR/app.log")"
    sleep 0.3
    local before
    before=$(visible_windows litvorot)
    tray_menu_exit || fail "the menu did not open"
    # The menu closes and the message opens; the icon stays until the message is answered.
    wait_until 5 visible_windows_are litvorot $((before + 1)) ||
        fail "expected one message window, the program shows $(visible_windows litvorot) windows"
    sleep 0.5
    [ "$(visible_windows litvorot)" -eq $((before + 1)) ] || fail "more than one message"
    [ -z "${SHOTS:-}" ] || desktop_screenshot "$SHOTS/settings-not-saved-$(basename "$config").png"
    xdotool key Return
    app_wait_exit 10 || fail "the program did not end after the message (a second message?)"
    wait "$APP_PID"
    local status=$?
    [ "$status" -eq 0 ] || fail "exit status $status"
}

# A read-only settings file in a directory the program may not write.
ro=$DESKTOP_DIR/readonly
mkdir "$ro"
cp "$1" "$ro/litvorot"
printf ' 1 \r\n 4 \r\nTrue\r\n' >"$ro/settings.ini"
cp "$ro/settings.ini" "$DESKTOP_DIR/old.ini"
# The file may not be written either: a writable one would be rewritten in place.
chmod 0444 "$ro/settings.ini"
chmod 0555 "$ro"
exit_reports "$ro" "$ro/config"
cmp -s "$ro/settings.ini" "$DESKTOP_DIR/old.ini" || fail "the old settings file changed"
[ "$(ls -A "$ro" | sort | tr '\n' ' ')" = "litvorot settings.ini " ] || fail "left behind: $(ls -A "$ro")"

# No settings file, and neither the program's directory nor the config directory writable.
chmod 0755 "$ro"
rm "$ro/settings.ini"
chmod 0555 "$ro"
exit_reports "$ro" "$ro/cfg"
[ "$(ls -A "$ro")" = "litvorot" ] || fail "left behind: $(ls -A "$ro")"
chmod 0755 "$ro"
echo "PASS"
