// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Pelmacor actions built against the in-memory installer and shell. Run with one group name
// (readme, program, paths, multibyte, overlong, layer); exits non-zero when a check fails.
#include "pelmacor.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <type_traits>

namespace {

int failures = 0;

void check(bool ok, const char *what, const char *file, int line) {
    if (!ok) {
        std::printf("  FAIL %s:%d: %s\n", file, line, what);
        ++failures;
    }
}

template <typename T> std::string describe(const T &value) {
    if constexpr (std::is_convertible_v<T, std::string>)
        return "\"" + std::string(value) + "\"";
    else
        return std::to_string(value);
}

template <typename A, typename B>
void checkEq(const A &got, const B &want, const char *what, const char *file, int line) {
    if (!(got == want)) {
        std::printf("  FAIL %s:%d: %s\n    got:  %s\n    want: %s\n", file, line, what,
                    describe(got).c_str(), describe(want).c_str());
        ++failures;
    }
}

#define CHECK(cond) check((cond), #cond, __FILE__, __LINE__)
#define CHECK_EQ(got, want) checkEq((got), (want), #got " == " #want, __FILE__, __LINE__)

const std::string kProduct = "{4B2D0C7E-1F0A-4E55-9D3C-6A1B2C3D4E5F}";
const std::string kComponent = "{9E8D7C6B-5A49-4837-A625-1403F2E1D0C9}";
const auto kHandle = native::kInstallHandle;

// A fresh installation whose one component has the given key path.
void install(const std::string &keyPath) {
    native::reset();
    native::set_property("ProductCode", kProduct);
    native::set_property("LAUNCHPREADMECOMPCODE", kComponent);
    native::set_property("LAUNCHPROGRAMCOMPCODE", kComponent);
    native::set_component_path(kProduct, kComponent, keyPath);
}

// The one file the read-me action asked the shell to open, or "<n calls>" when not exactly one.
std::string openedReadMe() {
    const auto &calls = native::shell_calls();
    if (calls.size() != 1 || calls[0].function != "ShellExecuteExA")
        return "<" + std::to_string(calls.size()) + " calls>";
    return calls[0].file;
}

std::string startedProgram() {
    const auto &calls = native::shell_calls();
    if (calls.size() != 1 || calls[0].function != "ShellExecuteA")
        return "<" + std::to_string(calls.size()) + " calls>";
    return calls[0].file;
}

void readmeTests() {
    install("C:\\Apps\\Tool\\support.dll");
    native::set_property("READMEFILETOLAUNCHATEND", "readme.txt");
    native::add_file("C:\\Apps\\Tool\\readme.txt");
    CHECK_EQ(LaunchReadMe(kHandle), 0u);
    CHECK_EQ(openedReadMe(), "C:\\Apps\\Tool\\readme.txt");
    if (native::shell_calls().size() == 1) {
        const auto &c = native::shell_calls()[0];
        CHECK_EQ(c.cb_size, static_cast<DWORD>(sizeof(SHELLEXECUTEINFOA)));
        CHECK_EQ(c.mask, SEE_MASK_FLAG_DDEWAIT);
        CHECK_EQ(c.verb, "open");
        CHECK_EQ(c.show, SW_SHOWNORMAL);
        CHECK(c.hwnd_null && c.params_null && c.dir_null);
    }
    // The reads, in order, each with a buffer of 260.
    const auto &l = native::lookups();
    CHECK_EQ(l.size(), static_cast<size_t>(4));
    if (l.size() == 4) {
        CHECK_EQ(l[0].name, "ProductCode");
        CHECK_EQ(l[1].name, "LAUNCHPREADMECOMPCODE");
        CHECK_EQ(l[2].function, "MsiGetComponentPathA");
        CHECK_EQ(l[2].name, kProduct + "|" + kComponent);
        CHECK_EQ(l[3].name, "READMEFILETOLAUNCHATEND");
        for (const auto &lookup : l)
            CHECK_EQ(lookup.size_in, static_cast<DWORD>(260));
    }

    // Folders given with the file name are dropped.
    install("C:\\Apps\\Tool\\support.dll");
    native::set_property("READMEFILETOLAUNCHATEND", "docs\\en\\readme.txt");
    CHECK_EQ(LaunchReadMe(kHandle), 0u);
    CHECK_EQ(openedReadMe(), "C:\\Apps\\Tool\\readme.txt");

    // A key path that is a folder ending in a backslash gives that folder.
    install("C:\\Apps\\Tool\\");
    native::set_property("READMEFILETOLAUNCHATEND", "readme.txt");
    CHECK_EQ(LaunchReadMe(kHandle), 0u);
    CHECK_EQ(openedReadMe(), "C:\\Apps\\Tool\\readme.txt");

    // A key path without any backslash stays whole.
    install("support.dll");
    native::set_property("READMEFILETOLAUNCHATEND", "readme.txt");
    CHECK_EQ(LaunchReadMe(kHandle), 0u);
    CHECK_EQ(openedReadMe(), "support.dll\\readme.txt");

    // A failed lookup: the folder is empty, the shell is asked for "\readme.txt" and fails,
    // the result is still success.
    install("C:\\Apps\\Tool\\support.dll");
    native::set_property("LAUNCHPREADMECOMPCODE", "{00000000-0000-0000-0000-000000000000}");
    native::set_property("READMEFILETOLAUNCHATEND", "readme.txt");
    native::add_file("C:\\Apps\\Tool\\readme.txt");
    CHECK_EQ(LaunchReadMe(kHandle), 0u);
    CHECK_EQ(openedReadMe(), "\\readme.txt");

    // A handle the installer does not know reads nothing at all.
    install("C:\\Apps\\Tool\\support.dll");
    native::set_property("READMEFILETOLAUNCHATEND", "readme.txt");
    CHECK_EQ(LaunchReadMe(kHandle + 1), 0u);
    CHECK_EQ(openedReadMe(), "\\");
}

void programTests() {
    // C:\Apps\Tool\support.dll, tool.exe and -x start C:\Apps\Tool\tool.exe -x.
    install("C:\\Apps\\Tool\\support.dll");
    native::set_property("PROGRAMFILETOLAUNCHATEND", "tool.exe");
    native::set_property("CMDLINEFORPROGRAMFILE", "-x");
    native::add_file("C:\\Apps\\Tool\\tool.exe");
    CHECK_EQ(LaunchProgram(kHandle), 0u);
    CHECK_EQ(startedProgram(), "C:\\Apps\\Tool\\tool.exe");
    if (native::shell_calls().size() == 1) {
        const auto &c = native::shell_calls()[0];
        CHECK_EQ(c.verb, "open");
        CHECK_EQ(c.params, "-x");
        CHECK_EQ(c.show, SW_SHOWNORMAL);
        CHECK(c.hwnd_null && !c.params_null && c.dir_null);
    }
    const auto &l = native::lookups();
    CHECK_EQ(l.size(), static_cast<size_t>(5));
    if (l.size() == 5) {
        CHECK_EQ(l[0].name, "ProductCode");
        CHECK_EQ(l[1].name, "LAUNCHPROGRAMCOMPCODE");
        CHECK_EQ(l[2].name, kProduct + "|" + kComponent);
        CHECK_EQ(l[3].name, "PROGRAMFILETOLAUNCHATEND");
        CHECK_EQ(l[4].name, "CMDLINEFORPROGRAMFILE");
        for (const auto &lookup : l)
            CHECK_EQ(lookup.size_in, static_cast<DWORD>(260));
    }

    // Empty and absent command lines both start the program without parameters.
    for (const bool absent : {false, true}) {
        install("C:\\Apps\\Tool\\support.dll");
        native::set_property("PROGRAMFILETOLAUNCHATEND", "bin\\tool.exe");
        if (!absent)
            native::set_property("CMDLINEFORPROGRAMFILE", "");
        CHECK_EQ(LaunchProgram(kHandle), 0u);
        CHECK_EQ(startedProgram(), "C:\\Apps\\Tool\\tool.exe");
        if (native::shell_calls().size() == 1) {
            CHECK_EQ(native::shell_calls()[0].params, "");
            CHECK(!native::shell_calls()[0].params_null);
        }
    }

    // A failed lookup starts "\tool.exe", which fails; the result is still success.
    install("C:\\Apps\\Tool\\support.dll");
    native::set_property("LAUNCHPROGRAMCOMPCODE", "{11111111-1111-1111-1111-111111111111}");
    native::set_property("PROGRAMFILETOLAUNCHATEND", "tool.exe");
    CHECK_EQ(LaunchProgram(kHandle), 0u);
    CHECK_EQ(startedProgram(), "\\tool.exe");
}

void pathTests() {
    char buf[pelmacor::kBufferSize];
    const std::map<std::string, std::string> ensured = {
        {"", "\\"}, {"C:\\a", "C:\\a\\"}, {"C:\\a\\", "C:\\a\\"}, {"a", "a\\"}, {"\\", "\\"}};
    for (const auto &[in, want] : ensured) {
        std::strcpy(buf, in.c_str());
        pelmacor::EnsureTrailingBackslash(buf);
        CHECK_EQ(std::string(buf), want);
    }

    std::strcpy(buf, "C:\\dir");
    CHECK(pelmacor::JoinPath(buf, buf, "file.txt"));
    CHECK_EQ(std::string(buf), "C:\\dir\\file.txt");
    CHECK(pelmacor::JoinPath(buf, "C:\\other\\", "x"));
    CHECK_EQ(std::string(buf), "C:\\other\\x");
    CHECK(pelmacor::JoinPath(buf, "", "x"));
    CHECK_EQ(std::string(buf), "\\x");

    char text[] = "a\\b\\c";
    CHECK(pelmacor::FindLastBackslash(text) == text + 3);
    char none[] = "abc";
    CHECK(pelmacor::FindLastBackslash(none) == nullptr);
}

void multibyteTests() {
    // In code page 932, 0x95 0x5C is one character whose trail byte equals a backslash.
    const std::string hyo = "\x95\x5C";
    native::reset();
    native::set_code_page(932);
    std::string text = "dir\\" + hyo + ".txt";
    CHECK(pelmacor::FindLastBackslash(text.data()) == text.data() + 3);
    char buf[pelmacor::kBufferSize];
    std::strcpy(buf, ("C:\\" + hyo).c_str());
    pelmacor::EnsureTrailingBackslash(buf);
    CHECK_EQ(std::string(buf), "C:\\" + hyo + "\\");

    // The same bytes in a single-byte code page: 0x5C is a backslash there.
    native::set_code_page(1252);
    CHECK(pelmacor::FindLastBackslash(text.data()) == text.data() + 5);
    std::strcpy(buf, ("C:\\" + hyo).c_str());
    pelmacor::EnsureTrailingBackslash(buf);
    CHECK_EQ(std::string(buf), "C:\\" + hyo);

    // The actions: a folder and a file name ending in such a character.
    install("C:\\" + hyo + "\\" + hyo);
    native::set_code_page(932);
    native::set_property("READMEFILETOLAUNCHATEND", hyo + ".txt");
    CHECK_EQ(LaunchReadMe(kHandle), 0u);
    CHECK_EQ(openedReadMe(), "C:\\" + hyo + "\\" + hyo + ".txt");

    install("C:\\Apps\\" + hyo);
    native::set_code_page(932);
    native::set_property("PROGRAMFILETOLAUNCHATEND", "x\\" + hyo);
    CHECK_EQ(LaunchProgram(kHandle), 0u);
    CHECK_EQ(startedProgram(), "C:\\Apps\\" + hyo);

    // The text helpers step by character.
    const char s[] = "a\x95\x5C"
                     "b";
    CHECK(CharNextA(s) == s + 1);
    CHECK(CharNextA(s + 1) == s + 3);
    CHECK(CharPrevA(s, s + 3) == s + 1);
    CHECK(CharPrevA(s, s + 1) == s);
    CHECK(CharPrevA(s, s) == s);
    const char lone[] = "\x95";
    CHECK(CharNextA(lone) == lone + 1); // a lead byte at the end does not swallow the terminator
    CHECK(CharNextA(lone + 1) == lone + 1);
}

void overlongTests() {
    const std::string keyPath = "C:\\A\\key";
    // Folder "C:\A" (4), a backslash and the name must leave room for the terminator.
    for (const auto &[nameLength, opens] : {std::pair{254u, true}, std::pair{255u, false}}) {
        install(keyPath);
        native::set_property("READMEFILETOLAUNCHATEND", std::string(nameLength, 'r'));
        CHECK_EQ(LaunchReadMe(kHandle), 0u);
        CHECK_EQ(native::shell_calls().size(), static_cast<size_t>(opens ? 1 : 0));
    }

    // A file name that did not fit is cut by the installer: neither opened nor started, even when
    // the part after its last backslash would have looked complete.
    const std::string longName = std::string(290, 'd') + "\\readme.txt";
    install(keyPath);
    native::set_property("READMEFILETOLAUNCHATEND", longName);
    native::set_property("PROGRAMFILETOLAUNCHATEND", longName);
    CHECK_EQ(LaunchReadMe(kHandle), 0u);
    CHECK_EQ(LaunchProgram(kHandle), 0u);
    CHECK_EQ(native::shell_calls().size(), static_cast<size_t>(0));

    // The same for a component path, a product code or a component code that did not fit.
    install("C:\\" + std::string(300, 'p') + "\\key");
    native::set_property("READMEFILETOLAUNCHATEND", "readme.txt");
    CHECK_EQ(LaunchReadMe(kHandle), 0u);
    CHECK_EQ(native::shell_calls().size(), static_cast<size_t>(0));
    for (const char *property : {"ProductCode", "LAUNCHPROGRAMCOMPCODE"}) {
        install(keyPath);
        native::set_property(property, std::string(270, '{'));
        native::set_property("PROGRAMFILETOLAUNCHATEND", "tool.exe");
        CHECK_EQ(LaunchProgram(kHandle), 0u);
        CHECK_EQ(native::shell_calls().size(), static_cast<size_t>(0));
    }

    // A component path of exactly 259 characters still fits.
    install("C:\\" + std::string(252, 'p') + "\\key");
    native::set_property("READMEFILETOLAUNCHATEND", "r");
    CHECK_EQ(LaunchReadMe(kHandle), 0u);
    CHECK_EQ(openedReadMe(), "C:\\" + std::string(252, 'p') + "\\r");

    // A command line of 259 characters is passed whole; one of 260 starts nothing.
    for (const auto &[length, starts] : {std::pair{259u, true}, std::pair{260u, false}}) {
        install(keyPath);
        native::set_property("PROGRAMFILETOLAUNCHATEND", "tool.exe");
        native::set_property("CMDLINEFORPROGRAMFILE", std::string(length, 'c'));
        CHECK_EQ(LaunchProgram(kHandle), 0u);
        CHECK_EQ(native::shell_calls().size(), static_cast<size_t>(starts ? 1 : 0));
        if (starts && native::shell_calls().size() == 1)
            CHECK_EQ(native::shell_calls()[0].params, std::string(length, 'c'));
    }
}

void layerTests() {
    native::reset();
    native::set_property("FITS", std::string(259, 'f'));
    native::set_property("LONG", std::string(300, 'l'));
    char buf[260];
    DWORD size = 260;
    CHECK_EQ(MsiGetPropertyA(kHandle, "FITS", buf, &size), ERROR_SUCCESS);
    CHECK_EQ(size, static_cast<DWORD>(259));
    CHECK_EQ(std::string(buf), std::string(259, 'f'));

    // Too long: cut to size - 1 characters, the length it needs in size.
    char small[11];
    std::memset(small, '#', sizeof small);
    size = 10;
    CHECK_EQ(MsiGetPropertyA(kHandle, "LONG", small, &size), ERROR_MORE_DATA);
    CHECK_EQ(size, static_cast<DWORD>(300));
    CHECK_EQ(std::string(small), std::string(9, 'l'));
    CHECK(small[10] == '#'); // nothing written past the given size

    size = 0;
    CHECK_EQ(MsiGetPropertyA(kHandle, "LONG", nullptr, &size), ERROR_SUCCESS);
    CHECK_EQ(size, static_cast<DWORD>(300));
    size = 260;
    CHECK_EQ(MsiGetPropertyA(kHandle, "ABSENT", buf, &size), ERROR_SUCCESS);
    CHECK_EQ(size, static_cast<DWORD>(0));
    CHECK_EQ(std::string(buf), "");
    CHECK_EQ(MsiGetPropertyA(kHandle + 1, "FITS", buf, &size), ERROR_INVALID_HANDLE);

    native::set_component_path("P", "C", "C:\\dir\\key");
    size = 260;
    CHECK_EQ(MsiGetComponentPathA("P", "C", buf, &size), INSTALLSTATE_LOCAL);
    CHECK_EQ(std::string(buf), "C:\\dir\\key");
    size = 5;
    CHECK_EQ(MsiGetComponentPathA("P", "C", small, &size), INSTALLSTATE_MOREDATA);
    CHECK_EQ(size, static_cast<DWORD>(10));
    CHECK_EQ(std::string(small), "C:\\d");
    std::strcpy(buf, "untouched");
    size = 260;
    CHECK_EQ(MsiGetComponentPathA("P", "X", buf, &size), INSTALLSTATE_UNKNOWN);
    CHECK_EQ(std::string(buf), "untouched");

    native::add_file("C:\\there");
    CHECK(reinterpret_cast<std::intptr_t>(
              ShellExecuteA(nullptr, "open", "C:\\there", "", nullptr, SW_SHOWNORMAL)) > 32);
    CHECK(reinterpret_cast<std::intptr_t>(ShellExecuteA(nullptr, "open", "C:\\missing", "", nullptr,
                                                        SW_SHOWNORMAL)) == SE_ERR_FNF);
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.lpFile = "C:\\missing";
    CHECK(!ShellExecuteExA(&info));
    CHECK(reinterpret_cast<std::intptr_t>(info.hInstApp) == SE_ERR_FNF);
    CHECK_EQ(native::shell_calls().size(), static_cast<size_t>(3));

    char joined[16] = "ab";
    CHECK(lstrcatA(joined, "cd") == joined);
    CHECK(lstrcpyA(joined + 4, "ef") == joined + 4);
    CHECK_EQ(std::string(joined), "abcdef");
}

} // namespace

int main(int argc, char **argv) {
    const std::map<std::string, std::function<void()>> groups = {
        {"readme", readmeTests},       {"program", programTests},   {"paths", pathTests},
        {"multibyte", multibyteTests}, {"overlong", overlongTests}, {"layer", layerTests},
    };
    if (argc != 2 || !groups.count(argv[1])) {
        std::printf("usage: %s readme|program|paths|multibyte|overlong|layer\n", argv[0]);
        return 2;
    }
    groups.at(argv[1])();
    std::printf("%s: %s\n", argv[1], failures == 0 ? "all checks passed" : "FAILED");
    return failures == 0 ? 0 : 1;
}
