#!/usr/bin/env bash
# The Wine environment of the Windows program's tests, shared by the fixture and the runner.
# Source it with the build directory: source tests/win32/wine-env.sh build/mingw
#
# Everything lives under BUILD/wine: the prefix (never ~/.wine), TMPDIR, logs, and "state", which
# the fixture writes while its desktop runs (DISPLAY and the pids it started).

wine_env() {
    local build=$1
    WINE_STATE_DIR=$(cd "$build" && pwd)/wine
    mkdir -p "$WINE_STATE_DIR/tmp"
    export WINEPREFIX=$WINE_STATE_DIR/prefix
    export TMPDIR=$WINE_STATE_DIR/tmp
    export WINEDEBUG=${LITVOROT_WINEDEBUG:--all}
    # No Mono or Gecko prompts (a run may ask for other overrides), no menu entries written into
    # the home directory.
    export WINEDLLOVERRIDES=${LITVOROT_WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
    export WINEARCH=win64
    # A fixed locale: the ANSI code page (1252) does not depend on the host.
    export LC_ALL=C.UTF-8
    unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
    if [ -f "$WINE_STATE_DIR/state" ]; then
        # shellcheck disable=SC1091
        source "$WINE_STATE_DIR/state"
        export DISPLAY
    fi
}

# Creates the prefix once (11-16 s): no crash dialog, which would block a test forever.
wine_prefix_ready() {
    [ -f "$WINEPREFIX/.litvorot-ready" ] && return 0
    (
        flock 9
        [ -f "$WINEPREFIX/.litvorot-ready" ] && exit 0
        {
            wineboot --init && wineserver -w &&
                wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
                wineserver -w
        } </dev/null >"$WINE_STATE_DIR/prefix.log" 2>&1 9>&- || {
            cat "$WINE_STATE_DIR/prefix.log" >&2
            exit 1
        }
        touch "$WINEPREFIX/.litvorot-ready"
    ) 9>"$WINE_STATE_DIR/prefix.lock"
}

# Keeps one Wine process alive in the background, its output away from the caller's pipes: Wine
# starts its services with the first process, and they would otherwise hold a test's output open.
wine_keep_alive() {
    local idle=$1 pidfile=$WINE_STATE_DIR/idle.pid
    (
        flock 9
        if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then exit 0; fi
        setsid wine "$idle" </dev/null >"$WINE_STATE_DIR/idle.log" 2>&1 9>&- &
        echo $! >"$pidfile"
        # Wait for the session (wineserver and the services) to be up, started with harmless
        # output; the first start of a prefix takes some seconds.
        wine cmd.exe /c exit </dev/null >>"$WINE_STATE_DIR/idle.log" 2>&1 9>&- || true
        # ... and for the idle process's first window, which starts the desktop process.
        local i
        for ((i = 0; i < 100; i++)); do
            grep -q '^ready' "$WINE_STATE_DIR/idle.log" 2>/dev/null && break
            sleep 0.1
        done
    ) 9>"$WINE_STATE_DIR/idle.lock"
}

# wine_tray_app_start EXE NAME: copies the program into a fresh DESKTOP_DIR (removed at exit, the
# program ended with it), starts it on the tests' desktop and waits for its icon to dock. Wine's
# tray icons are windows of explorer.exe embedded in trayer; this program's is the only one.
wine_tray_app_start() {
    DESKTOP_DIR=$(mktemp -d "$TMPDIR/litvorot-$2.XXXXXX")
    trap '[ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null; rm -rf "$DESKTOP_DIR"' EXIT
    cp "$1" "$DESKTOP_DIR/litvorot.exe"
    TRAY_APP_CLASS=litvorot.exe
    TRAY_ICON_CLASS=explorer.exe
    wine "$DESKTOP_DIR/litvorot.exe" </dev/null >"$DESKTOP_DIR/app.log" 2>&1 &
    APP_PID=$!
    wait_until 30 tray_icon_centre explorer.exe || fail "the tray icon did not dock"
}
