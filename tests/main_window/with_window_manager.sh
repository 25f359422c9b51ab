#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs a test on a private Xvfb display managed by a real window manager
# (openbox), on the xcb platform: which window is active and where the
# keyboard goes is the window manager's decision, as on a desktop.
#
#   with_window_manager.sh <test> [arguments...]
set -euo pipefail

source "$(dirname "$0")/../private_display.sh"
export DISPLAY=$display

HOME=$work openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
managed() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for _ in $(seq 100); do managed && break; sleep 0.1; done
managed || { echo "openbox did not start:" >&2; cat "$work/openbox.log" >&2; exit 1; }

export QT_QPA_PLATFORM=xcb
"$@"
