// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A stand-in for an installed program: appends the parameters it was started with, as one line,
// to record_args.log beside itself, so that a test can see what the installer's actions started.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
    // The command line as the process got it: the program's name (maybe quoted), blanks, and then
    // the parameters exactly as given.
    const char *p = GetCommandLineA();
    if (*p == '"') {
        p = std::strchr(p + 1, '"');
        p = p ? p + 1 : "";
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;

    char log[MAX_PATH + 32];
    const DWORD n = GetModuleFileNameA(nullptr, log, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    char *slash = std::strrchr(log, '\\');
    std::strcpy(slash ? slash + 1 : log, "record_args.log");

    FILE *out = std::fopen(log, "a");
    if (!out)
        return 1;
    std::fprintf(out, "[%s]\n", p);
    std::fclose(out);
    return 0;
}
