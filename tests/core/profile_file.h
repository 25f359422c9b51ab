// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Sets one key in a configuration file the way the program's writers do:
// read, change, replace atomically.

#include "core/profile.h"
#include "core/text_file.h"

namespace quorvik::testing {

inline FileResult setProfileKey(const std::string &path, std::string_view section,
                                std::string_view key, std::string_view value) {
    return updateTextFile(path, [&](const std::string &content) {
        Profile profile = Profile::parse(content);
        profile.setValue(section, key, value);
        return profile.text();
    });
}

} // namespace quorvik::testing
