// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "event.h"

#include <cstdint>
#include <string>

namespace quorvik {

// Quorvik's own Note that `user` acknowledged `event` with `note` at `now`
// (seconds since 1970), from the console `ownHost`: application "quorvik",
// object "acknowledged", the acknowledgement in Event::acknowledges, and a
// message that names it all:
//   alice acknowledged Warning 09.12.2026 14:02:11, host core-router-1,
//   application IF-MIB, object linkDown: Interface 2 down. Note: new optic
// (fields the event does not have are left out, as is a note not given).
Event acknowledgementEvent(const Event &event, const std::string &user, const std::string &note,
                           std::int64_t now, const std::string &ownHost);

std::string acknowledgementText(const Acknowledgement &acknowledgement);

// The acknowledged event as the acknowledgement names it: level, date,
// host, application, object and message; nullptr level for a level name
// that is none.
Event acknowledgedEvent(const Acknowledgement &acknowledgement);

// The login name of the user running the program; "unknown" when the
// system knows none.
std::string loginName();

} // namespace quorvik
