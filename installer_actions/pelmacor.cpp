// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pelmacor.h"

#ifdef _WIN32
#include <shellapi.h>
#endif

#include <cstring>

namespace pelmacor {

LPSTR FindLastBackslash(LPSTR text) {
    LPSTR last = nullptr;
    for (LPSTR p = text; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\')
            last = p;
    }
    return last;
}

void EnsureTrailingBackslash(LPSTR path) {
    LPSTR end = path;
    while (*end != '\0')
        end = CharNextA(end);
    if (end == path || *CharPrevA(path, end) != '\\')
        lstrcatA(path, "\\");
}

bool JoinPath(LPSTR dest, LPCSTR folder, LPCSTR file) {
    if (dest != folder)
        lstrcpyA(dest, folder);
    EnsureTrailingBackslash(dest);
    lstrcatA(dest, file);
    return true;
}

} // namespace pelmacor

namespace {

using pelmacor::kBufferSize;
using Buffer = CHAR[kBufferSize];

// Reads a property into buffer. A property that is absent, or a read that fails, leaves the
// buffer empty. False when the value did not fit: the installer then hands out a cut copy,
// which is dropped here, so the buffer is empty and the caller must not act on it.
bool ReadProperty(MSIHANDLE hInstall, LPCSTR name, Buffer &buffer) {
    DWORD size = kBufferSize;
    const UINT result = MsiGetPropertyA(hInstall, name, buffer, &size);
    if (result == ERROR_SUCCESS)
        return true;
    buffer[0] = '\0';
    return result != ERROR_MORE_DATA;
}

// The file named by fileProperty in the folder of the component named by componentProperty.
// A failed component lookup leaves the folder empty, so the path becomes "\" and the file name,
// which the shell then fails to open. False when a value did not fit its buffer, or when the
// joined path would not fit: then path must be neither opened nor started, because a cut path
// may name some other file.
bool ComponentFilePath(MSIHANDLE hInstall, LPCSTR componentProperty, LPCSTR fileProperty,
                       Buffer &path) {
    Buffer product = "";
    Buffer component = "";
    Buffer file = "";
    bool whole = ReadProperty(hInstall, "ProductCode", product);
    whole = ReadProperty(hInstall, componentProperty, component) && whole;

    path[0] = '\0';
    DWORD size = kBufferSize;
    if (MsiGetComponentPathA(product, component, path, &size) == INSTALLSTATE_MOREDATA) {
        path[0] = '\0';
        whole = false;
    }
    whole = ReadProperty(hInstall, fileProperty, file) && whole;
    if (!whole)
        return false;

    // Only the name after the last backslash counts; folders given with it are dropped.
    LPCSTR name = file;
    if (LPSTR backslash = pelmacor::FindLastBackslash(file))
        name = backslash + 1;
    // The key file's name goes, its folder stays (without the final backslash).
    if (LPSTR backslash = pelmacor::FindLastBackslash(path))
        *backslash = '\0';

    if (std::strlen(path) + 1 + std::strlen(name) >= kBufferSize)
        return false;
    return pelmacor::JoinPath(path, path, name);
}

} // namespace

extern "C" UINT WINAPI LaunchReadMe(MSIHANDLE hInstall) {
    Buffer path = "";
    if (!ComponentFilePath(hInstall, "LAUNCHPREADMECOMPCODE", "READMEFILETOLAUNCHATEND", path))
        return 0;

    SHELLEXECUTEINFOA info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_DDEWAIT;
    info.lpVerb = "open";
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&info); // an open that fails is not the installation's failure
    return 0;
}

extern "C" UINT WINAPI LaunchProgram(MSIHANDLE hInstall) {
    Buffer path = "";
    const bool pathWhole =
        ComponentFilePath(hInstall, "LAUNCHPROGRAMCOMPCODE", "PROGRAMFILETOLAUNCHATEND", path);

    Buffer parameters = "";
    lstrcpyA(parameters, "");
    // A command line that did not fit is not cut short: the program is not started at all,
    // rather than with parameters that mean something else.
    const bool parametersWhole = ReadProperty(hInstall, "CMDLINEFORPROGRAMFILE", parameters);

    if (pathWhole && parametersWhole)
        ShellExecuteA(nullptr, "open", path, parameters, nullptr, SW_SHOWNORMAL);
    return 0;
}

#ifdef _WIN32
// The library keeps no state; loading and unloading it needs nothing.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
#endif
