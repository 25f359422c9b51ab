#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Starts quorvik. Port 162 is below 1024: Linux lets a process bind it only as
# root or with CAP_NET_BIND_SERVICE, so the built binary gets that capability
# where we are allowed to give it.
set -u
bin=$1; shift
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "quorvik is a desktop program and needs a display: set DISPLAY (or run it under xvfb-run)." >&2
  exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
  if command -v setcap >/dev/null; then
    setcap cap_net_bind_service=+ep "$bin" 2>/dev/null \
      || sudo -n setcap cap_net_bind_service=+ep "$bin" 2>/dev/null \
      || echo "Note: could not give $bin the right to bind port 162; run as root or: sudo setcap cap_net_bind_service=+ep $bin" >&2
  fi
fi
exec "$bin" "$@"
