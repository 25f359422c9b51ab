#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Reads Pelmacor.dll's PE headers: it must export LaunchReadMe and LaunchProgram under exactly
# those names, be named Pelmacor.dll, and import only the system's own libraries.
# Usage: check_exports.sh OBJDUMP DLL
set -euo pipefail
objdump=$1 dll=$2
headers=$("$objdump" -p "$dll")
failed=0
fail() { echo "FAIL: $*"; failed=1; }

grep -q "file format pei-x86-64" <<<"$headers" || fail "not a 64-bit Windows image"
grep -Eq "^Name[[:space:]]+[0-9a-f]+ Pelmacor\.dll$" <<<"$headers" || fail "export name is not Pelmacor.dll"

# The named exports, as listed under [Ordinal/Name Pointer] Table.
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
          sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
[ "$exports" = "LaunchProgram LaunchReadMe " ] || fail "exports are <$exports>"

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
for needed in msi.dll shell32.dll user32.dll kernel32.dll; do
    grep -qw "$needed" <<<"$imports" || fail "does not import $needed (imports: $imports)"
done
for dll_name in $imports; do
    case $dll_name in
    msi.dll | shell32.dll | user32.dll | kernel32.dll | msvcrt.dll | api-ms-win-*) ;;
    *) fail "imports $dll_name, which is not a system library" ;;
    esac
done
for fn in MsiGetPropertyA MsiGetComponentPathA ShellExecuteExA ShellExecuteA CharNextA CharPrevA \
    lstrcpyA lstrcatA; do
    grep -Eq "[[:space:]]$fn$" <<<"$headers" || fail "does not import $fn"
done

[ $failed -eq 0 ] && echo "Pelmacor.dll: exports LaunchProgram, LaunchReadMe; imports $imports"
exit $failed
