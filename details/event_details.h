// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"
#include "core/event_details.h"
#include "core/raw_keeper.h"

#include <QString>

#include <functional>
#include <optional>
#include <string_view>

namespace quorvik {

// Reads an SNMP message's details (TrapDecoder::details); from any thread.
using SnmpDetailer = std::function<DetailLines(std::string_view bytes, std::string_view decrypted)>;

// Where one row came from beyond its fields.
enum class RowOrigin {
    Live,    // received by this copy: its bytes may still be kept
    History, // read back from the log, which keeps only the fields
};

// Everything the details window shows of `event`: its fields, its sender
// and time of receipt, what its decoder reads in the bytes `kept` (the
// syslog header, the SNMP message, by `snmp`), and the bytes as text and
// in hex; for a row whose bytes are no longer kept, that it has none.
// Decodes: run it off the window's thread.
DetailLines eventDetails(const Event &event, RowOrigin origin,
                         const std::optional<RawKeeper::Kept> &kept, const SnmpDetailer &snmp);

// The lines as the window shows them and Copy copies them: "Name: value";
// a value of several lines below its name, indented; a heading alone,
// after an empty line.
QString detailsText(const DetailLines &lines);

} // namespace quorvik
