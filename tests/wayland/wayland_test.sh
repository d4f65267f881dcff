#!/usr/bin/env bash
# The tray program in a Wayland session (headless sway with XWayland, a session bus): the
# Wayland clipboard through data-control, the command line for the running program, one program
# per session, and a clear message where there is no display.
# Usage: wayland_test.sh PATH/TO/litvorot PATH/TO/wayland_stuck_owner PATH/TO/test_portal_backend
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/sway-env.sh"
sway_require
sway_enter "$here/wayland_test.sh" "$@"
sway_start || exit 1

APP_DIR="$SWAY_DIR/app"
mkdir -p "$APP_DIR"
cp "$1" "$APP_DIR/litvorot"
STUCK_OWNER=$2
PORTAL_BACKEND=${3:-}
app() { "$APP_DIR/litvorot" "$@"; }
# CP 1251 text is written in the code page of a Cyrillic locale.
export LANG=ru_RU.UTF-8

# run_app OUT ERR ARGS...: runs the program in the foreground; its status is in $status.
run_app() {
    local out=$1 err=$2
    shift 2
    app "$@" >"$out" 2>"$err"
    status=$?
}

# ---- Before the program runs ----
no_program_fails() {
    run_app "$SWAY_DIR/out" "$SWAY_DIR/err" --go
    [ "$status" -eq 1 ] && grep -q 'not running' "$SWAY_DIR/err" && [ ! -s "$SWAY_DIR/out" ]
}
check "--go with no program running: exit 1 and a message" no_program_fails

no_display_fails() {  # ENV...: the variables the start is given
    env -u DISPLAY "$@" timeout 20 "$APP_DIR/litvorot" >"$SWAY_DIR/out" 2>"$SWAY_DIR/err"
    status=$?
    [ "$status" -eq 1 ] && [ "$(wc -l <"$SWAY_DIR/err")" -eq 1 ] && grep -q 'X server' "$SWAY_DIR/err"
}
check "no DISPLAY, no Wayland: one message, exit 1" no_display_fails -u WAYLAND_DISPLAY
# Without XWayland the program runs natively on Wayland, the clipboard through data-control.
native_without_xwayland() {
    env -u DISPLAY QT_LOGGING_RULES=litvorot.clipboard=true "$APP_DIR/litvorot" \
        2>"$SWAY_DIR/native.log" &
    local native=$!
    serving() { [ -n "$(bus_owner_pid org.litvorot.Litvorot)" ]; }
    wait_until 30 serving || { kill "$native"; cat "$SWAY_DIR/native.log" >&2; return 1; }
    local ok=0
    wclip_set 'zdravstvuite'
    app --source translit --dest unicode --go && wclip_is 'здравствуите' || ok=1
    grep -q 'the Wayland clipboard through' "$SWAY_DIR/native.log" || ok=1
    app --exit
    wait_until 10 eval '! kill -0 "$native"' || { kill "$native"; ok=1; }
    return $ok
}
check "no DISPLAY under Wayland: runs natively and converts with --go" native_without_xwayland
check "a DISPLAY without a server: one message, exit 1" no_display_fails -u WAYLAND_DISPLAY DISPLAY=:999

bad_usage() {  # PATTERN ARGS...: exit 2 and a message matching PATTERN
    local pattern=$1
    shift
    run_app "$SWAY_DIR/out" "$SWAY_DIR/err" "$@"
    [ "$status" -eq 2 ] && grep -qi -- "$pattern" "$SWAY_DIR/err"
}
check "an unknown option: exit 2" bad_usage 'frobnicate' --frobnicate
check "an unknown format: exit 2" bad_usage "unknown format 'latin'" --source latin --go
check "a format missing: exit 2" bad_usage 'dest' --go --dest

help_lists_options() {
    run_app "$SWAY_DIR/out" "$SWAY_DIR/err" --help
    [ "$status" -eq 0 ] || return 1
    local option
    for option in --go --source --dest --exit translit koi8 cp1251 unicode; do
        grep -q -- "$option" "$SWAY_DIR/out" || return 1
    done
}
check "--help lists the options and formats" help_lists_options

# ---- The program in the session ----
# Its Wayland requests are logged, to see which clipboard it uses.
sway_spawn env WAYLAND_DEBUG=client "$APP_DIR/litvorot" 2>>"$SWAY_DIR/app.log"
APP_PID=$SWAY_LAST_PID
program_serves() { [ -n "$(bus_owner_pid org.litvorot.Litvorot)" ]; }
wait_until 30 program_serves || { cat "$SWAY_DIR/app.log" >&2; echo "FAIL: the program did not start" >&2; exit 1; }

go_converts() {  # TEXT EXPECTED ARGS...
    local text=$1 expected=$2
    shift 2
    wclip_set "$text"
    app "$@" || return 1
    # The converted text is on the clipboard when the command returns.
    wclip_is "$expected" || { echo "  clipboard: '$(wclip_get)'" >&2; return 1; }
}
check "wl-copy, --go, wl-paste: Translit becomes Cyrillic" go_converts 'privet, mir' 'привет, мир' --go
check "--go again converts again" go_converts 'do svidaniia' 'до свидания' --go
check "--source koi8 --dest unicode --go" go_converts 'ðÒÉ×ÅÔ' 'Привет' --source koi8 --dest unicode --go
check "the formats stay set: --go alone" go_converts 'ÍÉÒ' 'мир' --go

used_data_control() {
    grep -q 'zwlr_data_control_device_v1@[0-9]*\.set_selection' "$SWAY_DIR/app.log" &&
        grep -q 'zwlr_data_control_offer_v1@[0-9]*\.receive' "$SWAY_DIR/app.log"
}
check "the clipboard went through data-control" used_data_control

# The app_id of the focused window in sway's tree (JSON on standard input).
focused_app_id() {
    python3 -c '
import json, sys
def focused(node):
    if node.get("focused"):
        return node.get("app_id") or ""
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        found = focused(child)
        if found is not None:
            return found
    return None
print(focused(json.load(sys.stdin)) or "")'
}

# A native Wayland window in front (the foot terminal, focused), where XWayland sees no keys.
foot_in_front() {
    command -v foot >/dev/null || { echo "  (foot is not installed)" >&2; return 1; }
    swaymsg exec "foot --app-id=litvorot-front" >/dev/null || return 1
    foot_focused() { [ "$(swaymsg -t get_tree | focused_app_id)" = litvorot-front ]; }
    wait_until 20 foot_focused || { echo "  foot did not get the focus" >&2; return 1; }
    go_converts 'khorosho' 'хорошо' --source translit --dest unicode --go || return 1
    app --source koi8  # as the checks below expect
}
check "with a native Wayland window in front, --go converts the Wayland clipboard" foot_in_front

stuck_owner_costs_little() {  # a data-control owner that never sends its text
    sway_spawn "$STUCK_OWNER" >"$SWAY_DIR/stuck.out"
    local stuck=$SWAY_LAST_PID
    wait_until 10 grep -q '^ready' "$SWAY_DIR/stuck.out" || return 1
    local start=$SECONDS
    # --go says that nothing was converted because the owner did not answer.
    app --go 2>"$SWAY_DIR/err"
    [ $? -eq 4 ] && grep -q 'did not hand over' "$SWAY_DIR/err" || return 1
    local took=$((SECONDS - start))
    echo "  --go with a stuck owner took about $took s" >&2
    kill "$stuck" 2>/dev/null
    # At most the read time-out (5 s) and the start-up of the command; the program serves on.
    [ "$took" -le 7 ] && go_converts 'ÄÏÍ' 'дом' --go
}
check "a Wayland owner that never answers holds --go at most about 5 s" stuck_owner_costs_little

bus_refuses_bad_format() {  # another D-Bus caller's format 7 is refused, and nothing changes
    ! dbus-send --session --print-reply --dest=org.litvorot.Litvorot /org/litvorot/Litvorot \
        org.litvorot.Litvorot.SetSourceFormat int32:7 >/dev/null 2>"$SWAY_DIR/err" &&
        grep -q 'not 1-4' "$SWAY_DIR/err" && go_converts 'ÌÉÓ' 'лис' --go
}
check "a format outside 1-4 over D-Bus is refused" bus_refuses_bad_format

second_start_leaves_one() {
    local before
    before=$(bus_owner_pid org.litvorot.Litvorot)
    [ "$before" = "$APP_PID" ] || return 1
    timeout 20 "$APP_DIR/litvorot" 2>"$SWAY_DIR/second.err"
    [ $? -eq 0 ] || return 1
    grep -q 'already' "$SWAY_DIR/second.err" && kill -0 "$APP_PID" &&
        [ "$(bus_owner_pid org.litvorot.Litvorot)" = "$APP_PID" ] &&
        go_converts 'ÄÁ' 'да' --go
}
check "a second start ends at once and leaves the first" second_start_leaves_one

exit_saves_settings() {
    app --source cp1251 --dest translit --exit || return 1
    wait_until 10 eval '! kill -0 "$APP_PID"' || return 1
    wait "$APP_PID"
    [ $? -eq 0 ] || return 1
    [ "$(od -An -c "$APP_DIR/settings.ini" | tr -d ' \n')" = '2\r\n3\r\nFalse\r\n' ]
}
check "--exit ends the program, which saves its settings" exit_saves_settings
check "--go after the program ended: exit 1 and a message" no_program_fails

# A new start after Exit reads the saved settings.
sway_spawn "$APP_DIR/litvorot" 2>>"$SWAY_DIR/app.log"
APP_PID=$SWAY_LAST_PID
wait_until 30 program_serves
check "the next start converts with the saved formats" go_converts 'Ïðèâåò' 'Privet' --go

# ---- --go answers once the converted text is on the clipboard ----
go_then_paste() {
    app --source translit --dest unicode || return 1
    local i
    for ((i = 1; i <= 20; i++)); do
        wclip_set "privet $i"
        app --go || return 1
        [ "$(wl-paste -n)" = "привет $i" ] || { echo "  round $i: '$(wl-paste -n)'" >&2; return 1; }
    done
}
check "--go then wl-paste at once: converted, twenty times in a row" go_then_paste

# ---- A password manager's secret keeps its mark ----
secret_keeps_mark() {
    sway_spawn "$STUCK_OWNER" --secret "parol'" >"$SWAY_DIR/secret.out"
    wait_until 10 grep -q '^ready' "$SWAY_DIR/secret.out" || return 1
    app --go || return 1
    [ "$(wl-paste -n)" = "пароль" ] && wl-paste --list-types | grep -qx 'x-kde-passwordManagerHint' &&
        [ "$(wl-paste -n -t x-kde-passwordManagerHint)" = secret ]
}
check "a secret is converted and written back with its mark" secret_keeps_mark

# ---- An owner that never answers holds up nothing: commands are served at once, Exit ends the
# program and the waiting --go hears that nothing was converted. (No tray can be clicked in
# headless sway: the command line shows that the event loop runs.) ----
exit_during_wait() {
    sway_spawn "$STUCK_OWNER" >"$SWAY_DIR/stuck.out"
    wait_until 10 grep -q '^ready' "$SWAY_DIR/stuck.out" || return 1
    app --go 2>/dev/null &
    local waiting=$!
    wait_until 5 grep -q '^request' "$SWAY_DIR/stuck.out" ||
        { echo "  the program did not ask the owner" >&2; return 1; }
    local t0=$(date +%s%N)
    app --dest unicode || return 1
    local took=$((($(date +%s%N) - t0) / 1000000))
    echo "  during the wait a command was served in $took ms" >&2
    ((took < 500)) || return 1
    t0=$(date +%s%N)
    app --exit || return 1
    wait_until 3 eval '! kill -0 "$APP_PID"' || { echo "  Exit did not end the program" >&2; return 1; }
    echo "  Exit during the wait: ended after $((($(date +%s%N) - t0) / 1000000)) ms" >&2
    wait "$waiting"
    [ $? -eq 6 ]
}
check "a Wayland owner that never answers: commands served at once, Exit works" exit_during_wait

# ---- The hot key through the real xdg-desktop-portal, with the tests' own GlobalShortcuts
# backend (it binds what it is asked for; its Press method activates the bound shortcuts) ----
XDP=/usr/libexec/xdg-desktop-portal
if [ -n "$PORTAL_BACKEND" ] && [ -x "$XDP" ]; then
    mkdir -p "$SWAY_DIR/portals"
    printf '[portal]\nDBusName=org.litvorot.TestPortal\nInterfaces=org.freedesktop.impl.portal.GlobalShortcuts;\nUseIn=litvorot-test\n' \
        >"$SWAY_DIR/portals/litvorot-test.portal"
    sway_spawn "$PORTAL_BACKEND" >"$SWAY_DIR/backend.out" 2>&1
    wait_until 10 grep -q '^ready' "$SWAY_DIR/backend.out" || echo "the test backend did not start" >&2
    sway_spawn env XDG_DESKTOP_PORTAL_DIR="$SWAY_DIR/portals" XDG_CURRENT_DESKTOP=litvorot-test \
        "$XDP" --replace 2>"$SWAY_DIR/portal.log"
    portal_up() { [ -n "$(bus_owner_pid org.freedesktop.portal.Desktop)" ]; }
    wait_until 20 portal_up || echo "xdg-desktop-portal did not start: $(tail -n 3 "$SWAY_DIR/portal.log")" >&2

    sway_spawn "$APP_DIR/litvorot" 2>>"$SWAY_DIR/app.log"
    APP_PID=$SWAY_LAST_PID
    wait_until 30 program_serves
    asked_for_ctrl_space() { wait_until 20 grep -q '^bound convert CTRL+space$' "$SWAY_DIR/backend.out"; }
    check "the program binds Ctrl+Space through the portal" asked_for_ctrl_space

    press_converts() {
        app --source translit --dest unicode || return 1
        wclip_set 'spasibo'
        dbus-send --session --print-reply --dest=org.litvorot.TestPortal /org/litvorot/TestPortal \
            org.litvorot.TestPortal.Press >/dev/null || return 1
        wait_until 5 wclip_is 'спасибо' || { echo "  clipboard: '$(wclip_get)'" >&2; return 1; }
    }
    check "an activation of the portal's shortcut converts the clipboard" press_converts
    app --exit
else
    echo "SKIP the portal checks: no xdg-desktop-portal or no test backend" >&2
fi

checks_done
