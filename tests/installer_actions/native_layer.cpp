// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "native_layer.h"

#include <cstring>
#include <map>
#include <set>
#include <utility>

namespace {

struct State {
    std::map<std::string, std::string> properties;
    std::map<std::pair<std::string, std::string>, std::string> components;
    std::set<std::string> files;
    unsigned code_page = 1252;
    std::vector<native::Lookup> lookups;
    std::vector<native::ShellCall> shell_calls;
};

State &state() {
    static State s;
    return s;
}

// The installer's rule for handing a text out: the size is in characters without the
// terminator. A value that fits is copied whole and its length is returned in *size; one that
// does not fit is copied cut to *size - 1 characters, and *size tells the length it needs.
bool copy_out(const std::string &value, LPSTR buffer, LPDWORD size) {
    const auto length = static_cast<DWORD>(value.size());
    const bool fits = length < *size;
    if (buffer && *size > 0) {
        const DWORD n = fits ? length : *size - 1;
        std::memcpy(buffer, value.data(), n);
        buffer[n] = '\0';
    }
    *size = length;
    return fits;
}

std::string text_or_empty(LPCSTR s) {
    return s ? s : "";
}

} // namespace

UINT MsiGetPropertyA(MSIHANDLE hInstall, LPCSTR name, LPSTR value, LPDWORD size) {
    if (hInstall != native::kInstallHandle)
        return ERROR_INVALID_HANDLE;
    if (!name || (value && !size))
        return ERROR_INVALID_PARAMETER;
    state().lookups.push_back({"MsiGetPropertyA", name, size ? *size : 0});
    if (!size)
        return ERROR_SUCCESS;
    const auto found = state().properties.find(name);
    const std::string text = found == state().properties.end() ? "" : found->second;
    // Asking for the length alone (no buffer) is not a shortage.
    return copy_out(text, value, size) || !value ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

INSTALLSTATE MsiGetComponentPathA(LPCSTR product, LPCSTR component, LPSTR path, LPDWORD size) {
    if (!product || !component || (path && !size))
        return INSTALLSTATE_INVALIDARG;
    state().lookups.push_back(
        {"MsiGetComponentPathA", std::string(product) + "|" + component, size ? *size : 0});
    const auto found = state().components.find({product, component});
    if (found == state().components.end())
        return INSTALLSTATE_UNKNOWN;
    if (size && !copy_out(found->second, path, size) && path)
        return INSTALLSTATE_MOREDATA;
    return INSTALLSTATE_LOCAL;
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA *info) {
    native::ShellCall call;
    call.function = "ShellExecuteExA";
    call.cb_size = info->cbSize;
    call.mask = info->fMask;
    call.hwnd_null = info->hwnd == nullptr;
    call.verb_null = info->lpVerb == nullptr;
    call.file_null = info->lpFile == nullptr;
    call.params_null = info->lpParameters == nullptr;
    call.dir_null = info->lpDirectory == nullptr;
    call.verb = text_or_empty(info->lpVerb);
    call.file = text_or_empty(info->lpFile);
    call.params = text_or_empty(info->lpParameters);
    call.dir = text_or_empty(info->lpDirectory);
    call.show = info->nShow;
    state().shell_calls.push_back(call);
    const bool ok = state().files.count(call.file) > 0;
    // Like the shell: a value above 32 in hInstApp means success.
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(ok ? 42 : SE_ERR_FNF));
    return ok ? 1 : 0;
}

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        int show) {
    native::ShellCall call;
    call.function = "ShellExecuteA";
    call.hwnd_null = hwnd == nullptr;
    call.verb_null = verb == nullptr;
    call.file_null = file == nullptr;
    call.params_null = parameters == nullptr;
    call.dir_null = directory == nullptr;
    call.verb = text_or_empty(verb);
    call.file = text_or_empty(file);
    call.params = text_or_empty(parameters);
    call.dir = text_or_empty(directory);
    call.show = show;
    state().shell_calls.push_back(call);
    const bool ok = state().files.count(call.file) > 0;
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(ok ? 42 : SE_ERR_FNF));
}

LPSTR CharNextA(LPCSTR p) {
    if (*p == '\0')
        return const_cast<LPSTR>(p);
    // A lead byte takes the next byte with it, unless the text ends there.
    if (native::is_lead_byte(static_cast<unsigned char>(*p)) && p[1] != '\0')
        return const_cast<LPSTR>(p + 2);
    return const_cast<LPSTR>(p + 1);
}

LPSTR CharPrevA(LPCSTR start, LPCSTR p) {
    // Trail bytes can look like anything, so the only safe way back is forward from the start.
    while (*start != '\0' && start < p) {
        LPCSTR next = CharNextA(start);
        if (next >= p)
            break;
        start = next;
    }
    return const_cast<LPSTR>(start);
}

LPSTR lstrcpyA(LPSTR dest, LPCSTR src) {
    return std::strcpy(dest, src);
}

LPSTR lstrcatA(LPSTR dest, LPCSTR src) {
    return std::strcat(dest, src);
}

namespace native {

void reset() {
    state() = State{};
}

void set_property(const std::string &name, const std::string &value) {
    state().properties[name] = value;
}

void set_component_path(const std::string &product, const std::string &component,
                        const std::string &path) {
    state().components[{product, component}] = path;
}

void add_file(const std::string &path) {
    state().files.insert(path);
}

void set_code_page(unsigned code_page) {
    state().code_page = code_page;
}

bool is_lead_byte(unsigned char c) {
    return state().code_page == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

const std::vector<Lookup> &lookups() {
    return state().lookups;
}

const std::vector<ShellCall> &shell_calls() {
    return state().shell_calls;
}

} // namespace native
