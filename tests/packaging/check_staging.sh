#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs the build into a staging folder and checks what lands there: exactly
# the listed files, a valid desktop entry and AppStream data, and a manual page
# that renders without a warning. Usage: check_staging.sh <build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

cmake --install "$1" --prefix "$stage" >/dev/null
diff -u --label expected --label installed "$here/installed-files.txt" \
    <(cd "$stage" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)

# Both validators print hints they don't fail on: any output counts.
desktop=$(desktop-file-validate "$stage/share/applications/org.quorvik.Quorvik.desktop" 2>&1) ||
    { echo "$desktop"; exit 1; }
[ -z "$desktop" ] || { echo "desktop-file-validate: $desktop"; exit 1; }
appstreamcli validate --no-net "$stage/share/metainfo/org.quorvik.Quorvik.metainfo.xml"

warnings=$(MANWIDTH=80 man --warnings -l "$stage/share/man/man1/quorvik.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "man: $warnings"; exit 1; }
echo "staging install: $(wc -l <"$here/installed-files.txt") files as listed, all valid"
