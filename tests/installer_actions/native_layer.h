// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The installer and shell functions the Pelmacor actions call, for builds that are not Windows.
//
// The actions are written against the Windows Installer and shell API. On this machine they are
// compiled against this layer instead: it declares the few types, constants and functions the
// actions use, with the same names and the same rules (buffer sizes in characters, more-data
// results when a value does not fit), and keeps an installation and a shell in memory that a test
// fills in and inspects through the `native` namespace below.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#define WINAPI

using UINT = unsigned int;
using DWORD = std::uint32_t;
using BOOL = int;
using CHAR = char;
using LPSTR = char *;
using LPCSTR = const char *;
using LPDWORD = DWORD *;
using MSIHANDLE = std::uint32_t;
using HWND = struct HWND__ *;
using HINSTANCE = struct HINSTANCE__ *;
using HKEY = struct HKEY__ *;
using HANDLE = void *;
using LPVOID = void *;

constexpr UINT ERROR_SUCCESS = 0;
constexpr UINT ERROR_INVALID_HANDLE = 6;
constexpr UINT ERROR_INVALID_PARAMETER = 87;
constexpr UINT ERROR_MORE_DATA = 234;

enum INSTALLSTATE : int {
    INSTALLSTATE_MOREDATA = -3,
    INSTALLSTATE_INVALIDARG = -2,
    INSTALLSTATE_UNKNOWN = -1,
    INSTALLSTATE_ABSENT = 2,
    INSTALLSTATE_LOCAL = 3,
};

constexpr int SW_SHOWNORMAL = 1;
constexpr DWORD SEE_MASK_FLAG_DDEWAIT = 0x100;
constexpr int SE_ERR_FNF = 2;

struct SHELLEXECUTEINFOA {
    DWORD cbSize;
    DWORD fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpFile;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void *lpIDList;
    LPCSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
};

UINT MsiGetPropertyA(MSIHANDLE hInstall, LPCSTR name, LPSTR value, LPDWORD size);
INSTALLSTATE MsiGetComponentPathA(LPCSTR product, LPCSTR component, LPSTR path, LPDWORD size);
BOOL ShellExecuteExA(SHELLEXECUTEINFOA *info);
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        int show);
LPSTR CharNextA(LPCSTR p);
LPSTR CharPrevA(LPCSTR start, LPCSTR p);
LPSTR lstrcpyA(LPSTR dest, LPCSTR src);
LPSTR lstrcatA(LPSTR dest, LPCSTR src);

// The in-memory installation and shell behind the functions above.
namespace native {

// The handle the installation answers to; any other handle reads nothing.
constexpr MSIHANDLE kInstallHandle = 42;

// One property read or component lookup, as the action asked for it.
struct Lookup {
    std::string function; // "MsiGetPropertyA" or "MsiGetComponentPathA"
    std::string name;     // property name, or "product|component"
    DWORD size_in;        // the buffer size the caller gave
};

// One call to the shell.
struct ShellCall {
    std::string function; // "ShellExecuteExA" or "ShellExecuteA"
    DWORD cb_size = 0;
    DWORD mask = 0;
    bool hwnd_null = true;
    bool verb_null = true, file_null = true, params_null = true, dir_null = true;
    std::string verb, file, params, dir;
    int show = 0;
};

// Forgets every property, component, file and recorded call; the code page goes back to 1252.
void reset();

void set_property(const std::string &name, const std::string &value);
// The key path of an installed component of a product.
void set_component_path(const std::string &product, const std::string &component,
                        const std::string &path);
// A file the shell can open or start; opening anything else fails with SE_ERR_FNF.
void add_file(const std::string &path);

// The code page the text helpers step by: 1252 (one byte per character) or 932 (double-byte:
// 0x81-0x9F and 0xE0-0xFC are lead bytes followed by one trail byte).
void set_code_page(unsigned code_page);
bool is_lead_byte(unsigned char c);

const std::vector<Lookup> &lookups();
const std::vector<ShellCall> &shell_calls();

} // namespace native
