#!/usr/bin/env bash
# Replacing the selection in a Wayland session (headless sway with XWayland): mousepad holding a
# file as a native Wayland window and as an XWayland window, text selected with the keys of the
# tests' own keyboard (a virtual keyboard with a whole keymap, as a plugged-in one), `litvorot
# --replace-selection`, the editor saves, and the file holds the converted text; the clipboard
# held before (a text, a picture, nothing) is there after. The keys go through the virtual
# keyboard, then through the real xdg-desktop-portal's remote desktop with a backend of the
# tests' own that hands them on to sway: the request, the restore token kept and shown at the
# next start, a refusal told once.
# Usage: selection_test.sh LITVOROT TEST_KEYBOARD TEST_PORTAL_BACKEND
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/sway-env.sh"
sway_require mousepad foot dbus-monitor
sway_enter "$here/selection_test.sh" "$@"
sway_start || exit 1

APP_DIR="$SWAY_DIR/app"
mkdir -p "$APP_DIR"
cp "$1" "$APP_DIR/litvorot"
KEYBOARD=$2
PORTAL_BACKEND=$3
printf ' 3 \r\n 4 \r\nFalse\r\n' >"$APP_DIR/settings.ini"  # Translit to Unicode
export LANG=ru_RU.UTF-8
STATE="$XDG_STATE_HOME/litvorot"
app() { "$APP_DIR/litvorot" "$@"; }

# ---- The user's keyboard, plugged in before any window opens ----
mkfifo "$SWAY_DIR/keys.in"
sway_spawn "$KEYBOARD" "$SWAY_DIR/keys.in" >"$SWAY_DIR/keys.out" 2>&1
exec 3>"$SWAY_DIR/keys.in"
wait_until 10 grep -q '^ready' "$SWAY_DIR/keys.out" || { echo "FAIL: no keyboard" >&2; exit 1; }
# keys CHORD...: typed, and taken by the compositor, before this returns.
keys() {
    local before
    before=$(grep -c '^ok' "$SWAY_DIR/keys.out")
    echo "$*" >&3
    wait_until 10 eval '[ "$(grep -c "^ok" "$SWAY_DIR/keys.out")" -gt "$before" ]' ||
        echo "  the keyboard did not take: $*" >&2
}

# ---- The program ----
# app_start ENV...: starts it with ENV and waits until it serves its command line.
app_start() {
    sway_spawn env "$@" QT_LOGGING_RULES='litvorot.selection=true;litvorot.hotkey=true' \
        "$APP_DIR/litvorot" 2>>"$SWAY_DIR/app.log"
    APP_PID=$SWAY_LAST_PID
    # It takes commands once its splash window has gone (the window had the focus meanwhile).
    wait_until 30 app --dest unicode || { echo "FAIL: the program did not start" >&2; exit 1; }
    if [ -n "${EDITOR_PID:-}" ]; then
        wait_until 10 eval '[ "$(focused pid)" = "$EDITOR_PID" ]' ||
            echo "  the editor did not get the focus back" >&2
    fi
}
app_stop() {
    app --exit
    wait_until 10 eval '! kill -0 "$APP_PID" 2>/dev/null'
}
log_count() { grep -c -- "$1" "$SWAY_DIR/app.log"; }
# replace: `litvorot --replace-selection`, its status in $status; returns once the program says
# the replacement has ended.
replace() {
    local before
    before=$(log_count 'the replacement ended')
    app --replace-selection 2>"$SWAY_DIR/replace.err"
    status=$?
    wait_until 10 eval '[ "$(log_count "the replacement ended")" -gt "$before" ]' ||
        echo "  the replacement did not end" >&2
    # The portal's keys go one after the other, the last (selecting the text again) after the
    # end: the user's keys wait for them.
    if [ "$status" -eq 0 ] && [ -n "${PORTAL_KEYS:-}" ]; then
        portal_done() {
            awk '/the replacement ended/ { ended = NR } /the portal has taken every key/ { keys = NR }
                 END { exit !(keys > ended) }' "$SWAY_DIR/app.log"
        }
        wait_until 10 portal_done || echo "  the portal did not take every key" >&2
    fi
}

# ---- The editor ----
# The focused window's FIELD in sway's tree: app_id (native), class (XWayland), pid.
focused() {
    swaymsg -t get_tree | python3 -c '
import json, sys
field = sys.argv[1]
def find(node):
    if node.get("focused"):
        value = node.get(field) if field != "class" else node.get("window_properties", {}).get("class")
        return "" if value is None else str(value)
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        found = find(child)
        if found is not None:
            return found
    return None
print(find(json.load(sys.stdin)) or "")' "$1"
}
# editor_open BACKEND FILE: mousepad on GDK's BACKEND (wayland or x11), its own process, in front;
# its pid in $EDITOR_PID.
editor_open() {
    swaymsg exec "env GDK_BACKEND=$1 NO_AT_BRIDGE=1 LANG=C.UTF-8 mousepad --disable-server $2 \
        >>$SWAY_DIR/editor.log 2>&1" >/dev/null
    local field=app_id
    [ "$1" = x11 ] && field=class
    in_front() { [ "$(focused "$field" | tr A-Z a-z)" = mousepad ]; }
    wait_until 30 in_front || { echo "FAIL: mousepad did not open" >&2; exit 1; }
    EDITOR_PID=$(focused pid)
}
editor_close() {
    kill "$EDITOR_PID" 2>/dev/null
    wait_until 10 eval '! kill -0 "$EDITOR_PID" 2>/dev/null'
    EDITOR_PID=
}
# saved FILE TEXT: the editor saves (Ctrl+S) and FILE then holds TEXT.
saved() {
    keys ctrl+s
    local expected=$2
    file_is() { [ "$(cat "$1")" = "$expected" ]; }
    wait_until 5 file_is "$1" || { echo "  the file holds '$(cat "$1")'" >&2; return 1; }
}
clipboard_is() {
    wclip_is "$1" || { echo "  the clipboard holds '$(wclip_get)'" >&2; return 1; }
}

# ---- Keys through the virtual keyboard ----
app_start
doc="$SWAY_DIR/native.txt"
printf 'privet, mir\n' >"$doc"
editor_open wayland "$doc"

native_word() {
    wclip_set "the user's text"
    keys ctrl+Home shift+ctrl+Right  # «privet»
    replace
    [ "$status" -eq 0 ] && saved "$doc" 'привет, mir' && clipboard_is "the user's text" &&
        grep -q 'keys through the virtual-keyboard protocol' "$SWAY_DIR/app.log" || return 1
    # The converted word is selected again; the editor's undo brings the original back.
    keys ctrl+z
    saved "$doc" 'privet, mir'
}
check "native window: a Translit word replaced, the clipboard put back, undo" native_word

# The user still holds Shift (the hot key's): the program's keyboard is its own, and Ctrl+C goes
# out as Ctrl+C, not Ctrl+Shift+C.
shift_held() {
    keys ctrl+Home shift+ctrl+Right
    keys down:shift
    replace
    keys up:shift
    [ "$status" -eq 0 ] && saved "$doc" 'привет, mir' || return 1
    keys ctrl+z
    saved "$doc" 'privet, mir'
}
check "native window: a Shift held on the user's keyboard does not join the keys" shift_held

# A window stopped the moment the text is offered, for a second (before it reads it, or between
# reading it and putting it in place, as the moment falls): the clipboard goes back, and the keys
# go on, only once it has the text in place.
slow_window() {
    wclip_set "the user's text"
    keys ctrl+Home shift+ctrl+Right
    local from=$(($(wc -l <"$SWAY_DIR/app.log") + 1))
    (timeout 15 tail -n "+$from" -F "$SWAY_DIR/app.log" 2>/dev/null |
        grep -m 1 -q 'pasting the converted text' &&
        kill -STOP "$EDITOR_PID" && sleep 1 && kill -CONT "$EDITOR_PID") &
    local stopper=$!
    replace
    wait "$stopper"
    [ "$status" -eq 0 ] && saved "$doc" 'привет, mir' && clipboard_is "the user's text" || return 1
    keys ctrl+z
    saved "$doc" 'privet, mir'
}
check "native window stopped as the text is offered: replaced, clipboard put back" slow_window

picture_kept() {
    head -c 3000 /dev/urandom >"$SWAY_DIR/picture.png"
    wl-copy -t image/png <"$SWAY_DIR/picture.png" >/dev/null 2>&1
    keys ctrl+Home shift+ctrl+Right
    replace
    [ "$status" -eq 0 ] && saved "$doc" 'привет, mir' || return 1
    wl-paste --list-types | grep -qx image/png &&
        wl-paste -n -t image/png | cmp -s - "$SWAY_DIR/picture.png" || {
        echo "  the picture is not back: $(wl-paste --list-types | tr '\n' ' ')" >&2
        return 1
    }
    keys ctrl+z
    saved "$doc" 'privet, mir'
}
check "native window: a picture on the clipboard is put back, byte for byte" picture_kept

empty_kept() {
    wl-copy --clear
    wait_until 5 eval '[ -z "$(wl-paste --list-types 2>/dev/null)" ]' || return 1
    keys ctrl+Home shift+ctrl+Right
    replace
    [ "$status" -eq 0 ] && saved "$doc" 'привет, mir' || return 1
    [ -z "$(wl-paste --list-types 2>/dev/null)" ] ||
        { echo "  the clipboard holds: $(wl-paste --list-types | tr '\n' ' ')" >&2; return 1; }
    keys ctrl+z
    saved "$doc" 'privet, mir'
}
check "native window: an empty clipboard is empty again" empty_kept

nothing_selected() {
    wclip_set "the user's text"
    keys ctrl+End
    replace
    [ "$status" -eq 3 ] && saved "$doc" 'privet, mir' && clipboard_is "the user's text"
}
check "native window, nothing selected: status 3, nothing changed" nothing_selected
editor_close

xwayland_window() {
    local doc2="$SWAY_DIR/xwayland.txt"
    printf 'spasibo\n' >"$doc2"
    editor_open x11 "$doc2"
    wclip_set "the user's text"
    keys ctrl+Home shift+End
    replace
    [ "$status" -eq 0 ] && saved "$doc2" 'спасибо' && clipboard_is "the user's text"
    local ok=$?
    editor_close
    return $ok
}
check "XWayland window: replaced, the clipboard put back" xwayland_window

# A terminal in front gets Ctrl+Shift+C, never Ctrl+C, which would interrupt the program running
# in it (here a shell that writes down an interrupt).
terminal_not_interrupted() {
    local mark="$SWAY_DIR/interrupted"
    swaymsg exec "foot sh -c 'trap \"echo > $mark\" INT; echo > $mark.ready; while :; do sleep 0.1; done'" \
        >/dev/null
    wait_until 20 eval '[ -e "$mark.ready" ] && [ "$(focused app_id)" = foot ]' || return 1
    local foot
    foot=$(focused pid)
    replace
    local ok=0
    [ "$status" -eq 3 ] || ok=1
    grep -q 'the window in front: foot (a terminal)' "$SWAY_DIR/app.log" || ok=1
    [ ! -e "$mark" ] || { echo "  the program in the terminal was interrupted" >&2; ok=1; }
    # The check can see an interrupt: Ctrl+C typed there is one.
    keys ctrl+c
    wait_until 5 test -e "$mark" || { echo "  Ctrl+C did not interrupt it" >&2; ok=1; }
    kill "$foot" 2>/dev/null
    return $ok
}
check "a terminal in front: Ctrl+Shift+C, the program in it not interrupted" terminal_not_interrupted
app_stop

# ---- Keys through the desktop portal's remote desktop ----
XDP=/usr/libexec/xdg-desktop-portal
if [ -x "$XDP" ]; then
    mkdir -p "$SWAY_DIR/portals"
    printf '[portal]\nDBusName=org.litvorot.TestRemoteDesktop\nInterfaces=org.freedesktop.impl.portal.RemoteDesktop;\nUseIn=litvorot-test\n' \
        >"$SWAY_DIR/portals/litvorot-test.portal"
    sway_spawn "$PORTAL_BACKEND" --keys "$SWAY_DIR/keys.in" >"$SWAY_DIR/backend.out" 2>&1
    wait_until 10 grep -q '^ready' "$SWAY_DIR/backend.out" || echo "the test backend did not start" >&2
    sway_spawn env XDG_DESKTOP_PORTAL_DIR="$SWAY_DIR/portals" XDG_CURRENT_DESKTOP=litvorot-test \
        "$XDP" --replace 2>"$SWAY_DIR/portal.log"
    portal_up() {
        dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop \
            /org/freedesktop/portal/desktop org.freedesktop.DBus.Properties.Get \
            string:org.freedesktop.portal.RemoteDesktop string:version >/dev/null 2>&1
    }
    wait_until 20 portal_up || echo "the portal has no remote desktop: $(tail -n 3 "$SWAY_DIR/portal.log")" >&2
    backend() {
        dbus-send --session --print-reply --dest=org.litvorot.TestPortal /org/litvorot/TestPortal \
            "org.litvorot.TestPortal.$@" >/dev/null
    }
    # What the program asks the portal for, as the session bus carries it.
    sway_spawn dbus-monitor --session \
        "type='method_call',interface='org.freedesktop.portal.RemoteDesktop',member='SelectDevices'" \
        >"$SWAY_DIR/select.log" 2>&1
    printf 'privet, mir\n' >"$doc"
    editor_open wayland "$doc"
    PORTAL_KEYS=1

    refused_told_once() {
        backend Refuse boolean:true
        app_start LITVOROT_KEYS=portal
        keys ctrl+Home shift+ctrl+Right
        replace
        local first=$status
        replace
        [ "$first" -eq 6 ] && [ "$status" -eq 6 ] || { echo "  status $first, $status" >&2; return 1; }
        [ "$(log_count 'told that keys cannot be sent')" -eq 1 ] &&
            [ "$(log_count 'told before that keys cannot be sent')" -eq 1 ] &&
            [ -e "$STATE/selection-keys-missing" ] &&
            [ "$(grep -c '^remote-desktop refused' "$SWAY_DIR/backend.out")" -eq 1 ] &&
            saved "$doc" 'privet, mir'
    }
    check "portal: refused, told once what still works, asked once a run" refused_told_once
    app_stop

    portal_keys() {
        backend Refuse boolean:false
        app_start LITVOROT_KEYS=portal
        wclip_set "the user's text"
        keys ctrl+Home shift+ctrl+Right
        replace
        [ "$status" -eq 0 ] && saved "$doc" 'привет, mir' && clipboard_is "the user's text" ||
            return 1
        grep -q 'remote-desktop select types=1' "$SWAY_DIR/backend.out" &&
            [ "$(cat "$STATE/remote-desktop-token")" = token-1 ] &&
            [ ! -e "$STATE/selection-keys-missing" ] &&
            grep -A12 'member=SelectDevices' "$SWAY_DIR/select.log" | grep -q 'persist_mode' || return 1
        keys ctrl+z
        saved "$doc" 'privet, mir'
    }
    check "portal: keys through the remote desktop, the restore token kept" portal_keys
    app_stop

    token_shown_again() {
        app_start LITVOROT_KEYS=portal
        keys ctrl+Home shift+ctrl+Right
        replace
        [ "$status" -eq 0 ] && saved "$doc" 'привет, mir' || return 1
        # The call carries the token of the run before; the portal hands out the next one.
        awk '/member=SelectDevices/ { n++ } n == 3' "$SWAY_DIR/select.log" |
            grep -A1 '"restore_token"' | grep -q '"token-1"' &&
            [ "$(cat "$STATE/remote-desktop-token")" = token-2 ]
    }
    check "portal: the next start shows the restore token" token_shown_again
    app_stop
    editor_close
else
    echo "SKIP the portal checks: no xdg-desktop-portal" >&2
fi

checks_done
