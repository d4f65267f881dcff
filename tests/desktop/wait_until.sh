#!/usr/bin/env bash
# wait_until TIMEOUT_SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds; false when
# the time is up. Shared by the X11 and the Wayland test desktops.
wait_until() {
    local timeout=$1
    shift
    local deadline=$((SECONDS + timeout))
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then return 1; fi
        sleep 0.05
    done
}
