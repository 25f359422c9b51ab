# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by the test runners that need a display of their own: a work folder
# ($work), the processes to stop at the end ($pids, stopped with the folder
# removed on exit), and a private Xvfb display ($display, e.g. ":3").

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
display=":$(cat "$work/display")"
