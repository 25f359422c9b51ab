// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/mib_dirs.h"

namespace quorvik {

namespace {

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::vector<std::string> mibDirsFromProfile(const Profile &profile) {
    // A list of paths: longer than the usual bound of a value.
    const std::string all = profile.value(kMibSection, kMibDirsKey, "", 65536);
    std::vector<std::string> dirs;
    std::string_view rest = all;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        if (const std::string_view dir = trimmed(rest.substr(0, end)); !dir.empty())
            dirs.emplace_back(dir);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return dirs;
}

void writeMibDirs(Profile &profile, const std::vector<std::string> &dirs) {
    if (dirs.empty()) {
        profile.removeKey(kMibSection, kMibDirsKey);
        return;
    }
    std::string all;
    for (const std::string &dir : dirs) {
        if (!all.empty())
            all += ';';
        all += dir;
    }
    profile.setValue(kMibSection, kMibDirsKey, all);
}

} // namespace quorvik
