// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "details/event_details.h"

#include "core/local_time.h"
#include "core/syslog_parser.h"
#include "core/visible_text.h"

#include <QStringList>

namespace quorvik {

namespace {

std::string sourceName(Source source) {
    switch (source) {
    case Source::Text:
        return "tagged or plain text";
    case Source::Trap:
        return "SNMP";
    case Source::Syslog:
        return "syslog";
    case Source::Quorvik:
        return "quorvik's own event";
    }
    return {};
}

// Received bytes as the operator reads them, line ends kept; every other
// control byte (binary data) a '.'.
std::string readable(std::string_view bytes) {
    std::string out;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        std::string line(bytes.substr(start, end == std::string_view::npos ? std::string_view::npos
                                                                           : end - start));
        for (char &c : line)
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F)
                c = '.';
        if (start > 0)
            out += '\n';
        out += visibleText(line);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return out;
}

} // namespace

DetailLines eventDetails(const Event &event, RowOrigin origin,
                         const std::optional<RawKeeper::Kept> &kept, const SnmpDetailer &snmp) {
    DetailLines lines{{{}, "Event"}};
    lines.push_back({"Level", event.level ? std::string(event.level->name) : std::string()});
    lines.push_back({"Date", visibleText(event.date)});
    lines.push_back({"Processor", visibleText(event.host)});
    lines.push_back({"Application", visibleText(event.application)});
    lines.push_back({"Object", visibleText(event.object)});
    lines.push_back({"Message", visibleText(event.message)});
    if (origin == RowOrigin::History) {
        lines.push_back({"Received bytes", "none: the log line holds only the fields above"});
        return lines;
    }
    lines.push_back({"Kind", sourceName(event.source)});
    if (event.source == Source::Quorvik)
        return lines;
    lines.push_back({{}, "Receipt"});
    lines.push_back({"Sender", event.sender});
    lines.push_back({"Sender port", event.senderPort ? std::to_string(event.senderPort) : "-"});
    if (event.receivedAt != 0)
        lines.push_back({"Received", formatGeneratedDate(LocalTimeCache().at(event.receivedAt)) +
                                         " (" + std::to_string(event.receivedAt) +
                                         " s since 1970, UTC)"});
    if (!kept) {
        lines.push_back({"Received bytes",
                         "no longer kept: only the newest events' bytes are, 64 MiB at most"});
        return lines;
    }
    if (event.source == Source::Syslog) {
        lines.push_back({{}, "Syslog"});
        const DetailLines syslog = syslogDetails(kept->bytes);
        lines.insert(lines.end(), syslog.begin(), syslog.end());
    } else if (event.source == Source::Trap && snmp) {
        lines.push_back({{}, "SNMP"});
        const DetailLines message = snmp(kept->bytes, kept->decrypted);
        for (const DetailLine &line : message)
            lines.push_back({line.name, readable(line.value)});
    }
    lines.push_back({{}, "Received bytes (" + std::to_string(kept->bytes.size()) + ")"});
    lines.push_back({"Text", readable(kept->bytes)});
    lines.push_back({"Hex", hexDump(kept->bytes)});
    return lines;
}

QString detailsText(const DetailLines &lines) {
    QStringList out;
    for (const DetailLine &line : lines) {
        const QString value = QString::fromUtf8(line.value.data(), qsizetype(line.value.size()));
        if (line.name.empty()) {
            if (!out.isEmpty())
                out << QString();
            out << value;
            continue;
        }
        const QString name = QString::fromUtf8(line.name.data(), qsizetype(line.name.size()));
        if (!value.contains(QLatin1Char('\n'))) {
            out << name + QStringLiteral(": ") + value;
            continue;
        }
        out << name + QLatin1Char(':');
        for (const QString &part : value.split(QLatin1Char('\n')))
            out << QStringLiteral("    ") + part;
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace quorvik
