// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Pelmacor: custom actions that an installation package calls when it finishes, to open the
// product's read-me and to start the installed program. The package names the files through
// its properties; the folder is that of an installed component's key file.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#else
#include "native_layer.h"
#endif

// The custom-action form: the handle of the running installation in, a status code out. Both
// report success whatever happened, so that they never fail the installation.
extern "C" UINT WINAPI LaunchReadMe(MSIHANDLE hInstall);
extern "C" UINT WINAPI LaunchProgram(MSIHANDLE hInstall);

namespace pelmacor {

// Every value is read into a buffer of this many characters, terminator included.
constexpr DWORD kBufferSize = 260;

// The last backslash of the text, found by stepping character by character so that a trail byte
// of a double-byte character is never taken for one; null when there is none.
LPSTR FindLastBackslash(LPSTR text);

// Appends a backslash unless the last character already is one; "" becomes "\".
void EnsureTrailingBackslash(LPSTR path);

// dest = folder, a backslash unless the folder ends in one, then file. dest may be folder; it must
// have room for the result. Always true.
bool JoinPath(LPSTR dest, LPCSTR folder, LPCSTR file);

} // namespace pelmacor
