// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/profile.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// [SNMP] MibDirs=: the folders of MIB files the operator adds to the own
// one, separated by ';', in the order they are searched.
inline constexpr std::string_view kMibSection = "SNMP";
inline constexpr std::string_view kMibDirsKey = "MibDirs";

// The folders, each trimmed; empty entries are left out.
std::vector<std::string> mibDirsFromProfile(const Profile &profile);
// Writes the folders; none removes the key.
void writeMibDirs(Profile &profile, const std::vector<std::string> &dirs);

} // namespace quorvik
