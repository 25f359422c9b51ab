#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The real chain: Wine's msiexec installs the demo package silently in a fresh Wine prefix; at the
# end of the installation the package runs Pelmacor.dll's two actions, which open the read-me and
# start record_args.exe. The read-me's file type is registered to record_args.exe too, so both
# show up as lines in record_args.log: "[readme <file>]" and "[<parameters>]".
# Usage: wine_install_test.sh PACKAGE.msi WORKDIR
set -euo pipefail
msi=$1 work=$2
[ -f "$msi" ] || { echo "FAIL: no package at $msi"; exit 1; }

export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY # nothing here needs a window
rm -rf "$work"
mkdir -p "$work"
wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }

msi_win="Z:${msi//\//\\}"
dir_win='C:\Program Files\Pelmacor Demo'
dir="$WINEPREFIX/drive_c/Program Files/Pelmacor Demo"
log="$dir/record_args.log"
readme_line="[readme \"$dir_win\\ReadMe.pmreadme\"]"
passed=0 failed=0

wine reg add 'HKCR\.pmreadme' /ve /d Pelmacor.ReadMe /f >/dev/null 2>&1
wine reg add 'HKCR\Pelmacor.ReadMe\shell\open\command' /ve \
    /d "\"$dir_win\\record_args.exe\" readme \"%1\"" /f >/dev/null 2>&1

# msiexec with its arguments; waits until every process it started has ended.
msiexec() {
    local rc=0
    wine msiexec "$@" /qn >>"$work/msiexec.log" 2>&1 || rc=$?
    wineserver -w
    return $rc
}

# expect NAME WANT: the lines logged since the last call, sorted, must be WANT.
expect() {
    local got=""
    if [ -f "$log" ]; then
        got=$(tr -d '\r' <"$log" | sort) # the program writes Windows line ends
        rm -f "$log"
    fi
    if [ "$got" = "$2" ]; then
        echo "ok: $1"
        passed=$((passed + 1))
    else
        printf 'FAIL: %s\n  got:  %s\n  want: %s\n' "$1" "${got//$'\n'/ | }" "${2//$'\n'/ | }"
        failed=$((failed + 1))
    fi
}

check() { # check NAME COMMAND...
    if "${@:2}"; then
        echo "ok: $1"
        passed=$((passed + 1))
    else
        echo "FAIL: $1"
        failed=$((failed + 1))
    fi
}

# 1. A plain installation opens the read-me (given as docs\ReadMe.pmreadme, found beside the
#    component's key file) and starts the program with CMDLINEFORPROGRAMFILE.
check "installation succeeds" msiexec /i "$msi_win"
check "component installed" test -f "$dir/support.dat"
expect "read-me opened and program started" "$(printf '%s\n%s' '[-x "two words"]' "$readme_line")"
check "uninstallation succeeds" msiexec /x "$msi_win"
expect "uninstalling launches nothing" ""

# 2. A read-me name longer than the installer's buffer: the cut name is not opened, the
#    program still starts, the installation still succeeds.
long_name="$(printf 'd%.0s' {1..300})\\ReadMe.pmreadme"
check "installation with an over-long read-me name succeeds" \
    msiexec /i "$msi_win" READMEFILETOLAUNCHATEND="$long_name" CMDLINEFORPROGRAMFILE=second
expect "only the program started" "[second]"
check "uninstallation succeeds" msiexec /x "$msi_win"

# 3. A command line longer than the buffer: the program is not started with a cut one; the
#    read-me still opens.
check "installation with an over-long command line succeeds" \
    msiexec /i "$msi_win" CMDLINEFORPROGRAMFILE="$(printf 'c%.0s' {1..300})"
expect "only the read-me opened" "$readme_line"

echo "$passed passed, $failed failed"
[ $failed -eq 0 ] || { echo "--- msiexec output"; cat "$work/msiexec.log"; exit 1; }
