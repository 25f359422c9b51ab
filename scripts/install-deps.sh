#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs the Debian packages that building, running and testing Quorvik need.
# Does nothing when they are all present; uses sudo when not run as root.
set -euo pipefail

packages=(
  cmake ninja-build ccache g++ clang clang-tidy libclang-rt-14-dev
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev libgl-dev
  libsnmp-dev libsnmp-base libpcre2-dev
  xvfb xauth snmp snmptrapd libcap2-bin iproute2 pulseaudio pulseaudio-utils
  dbus dunst trayer openbox xdotool x11-utils systemd
  rsyslog rsyslog-gnutls openssl
  librsvg2-bin desktop-file-utils appstream man-db lintian reuse
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 msitools wixl wine64 wine
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
