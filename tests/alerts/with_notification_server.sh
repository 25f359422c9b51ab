#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs a test on a private session bus beside a real notification server:
# dunst, on a private Xvfb display of its own. With --tray, a real system tray
# (trayer) runs on that display too, and the test runs there, not offscreen.
#
#   with_notification_server.sh [--tray] <dunstrc> <test> [arguments...]
set -euo pipefail

if [ -z "${QUORVIK_PRIVATE_BUS:-}" ]; then
    exec env QUORVIK_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@"
fi
tray=0
if [ "$1" = --tray ]; then
    tray=1
    shift
fi
config=$1
shift

source "$(dirname "$0")/../private_display.sh"
# dunst draws on that display; the test itself stays offscreen.
DISPLAY=$display dunst -config "$config" >"$work/dunst.log" 2>&1 &
pids+=($!)
owner() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null |
        grep -q true
}
for _ in $(seq 100); do owner && break; sleep 0.1; done
owner || { echo "dunst did not take the notification service:" >&2; cat "$work/dunst.log" >&2; exit 1; }

if [ "$tray" = 1 ]; then
    DISPLAY=$display trayer --edge top --align right --widthtype pixel --width 200 \
        --height 40 >"$work/trayer.log" 2>&1 &
    pids+=($!)
    export DISPLAY=$display QT_QPA_PLATFORM=xcb
fi

"$@"
