// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tables/event_row.h"

#include "core/log_file.h"
#include "core/visible_text.h"

#include <QStringList>

#include <algorithm>
#include <new>

namespace quorvik {

namespace {

// Levels by a one-byte code: 0..6 the level tables, then Trap and Unknown.
constexpr std::uint8_t kTrapCode = kLevelCount, kUnknownCode = kLevelCount + 1;

std::uint8_t levelCode(const Level &level) {
    if (&level == &trapLevel())
        return kTrapCode;
    if (&level == &unknownLevel())
        return kUnknownCode;
    return static_cast<std::uint8_t>(level.index);
}

const Level &levelOfCode(std::uint8_t code) {
    if (code == kTrapCode)
        return trapLevel();
    if (code == kUnknownCode)
        return unknownLevel();
    return levelByIndex(code);
}

} // namespace

// Header of the shared block; the cell bytes follow it, then the sender's
// address. Every cell but the message comes from one datagram field or a
// short default, so 16 bits hold its length; the message has the rest of
// `total`.
struct EventRow::Data {
    std::uint32_t references;
    std::uint32_t total;
    std::uint16_t lengths[kCells - 1];
    std::uint8_t level;
    std::uint8_t source; // a Source
    std::uint8_t tables; // the tables holding it
    std::uint8_t senderLength;
    std::uint16_t senderPort;
    RowAlarm *alarm; // nullptr until it folds, clears or is acknowledged
    std::int64_t receivedAt;
    std::uint64_t rawId;
    char *text() { return reinterpret_cast<char *>(this + 1); }
};

namespace {

// An address text is at most 45 bytes (IPv6 with an IPv4 tail).
constexpr std::size_t kMaxSender = 64;

} // namespace

EventRow::EventRow(const Event &record)
    : EventRow(*record.level,
               {record.date, record.host, record.application, record.object, record.message},
               Origin{record.source, record.sender, record.senderPort, record.receivedAt,
                      record.rawId}) {}

EventRow::EventRow(const Level &level, const std::array<std::string_view, kCells> &cells,
                   const Origin &origin)
    : EventRow(level, cells, origin.sender) {
    m_data->source = static_cast<std::uint8_t>(origin.source);
    m_data->senderPort = origin.senderPort;
    m_data->receivedAt = origin.receivedAt;
    m_data->rawId = origin.rawId;
}

EventRow::EventRow(const Level &level, const std::array<std::string_view, kCells> &cells,
                   std::string_view sender) {
    std::size_t total = 0;
    for (const std::string_view cell : cells)
        total += cell.size();
    sender = sender.substr(0, kMaxSender);
    void *memory = std::malloc(sizeof(Data) + total + sender.size());
    if (!memory)
        throw std::bad_alloc();
    m_data = new (memory) Data{1,
                               static_cast<std::uint32_t>(total),
                               {},
                               levelCode(level),
                               static_cast<std::uint8_t>(Source::Text),
                               0,
                               static_cast<std::uint8_t>(sender.size()),
                               0,
                               nullptr,
                               0,
                               0};
    std::size_t offset = 0;
    for (int c = 0; c < kCells; ++c) {
        std::size_t length = cells[std::size_t(c)].size();
        if (c < kCells - 1) {
            length = std::min<std::size_t>(length, UINT16_MAX);
            m_data->lengths[c] = static_cast<std::uint16_t>(length);
        }
        std::copy_n(cells[std::size_t(c)].data(), length, m_data->text() + offset);
        offset += length;
    }
    m_data->total = static_cast<std::uint32_t>(offset);
    // copy_n, not memcpy: an empty view may hold a null pointer.
    std::copy_n(sender.data(), sender.size(), m_data->text() + offset);
}

const Level &EventRow::level() const {
    return levelOfCode(m_data->level);
}

Source EventRow::source() const {
    return m_data ? static_cast<Source>(m_data->source) : Source::Text;
}

std::string_view EventRow::sender() const {
    return m_data ? std::string_view(m_data->text() + m_data->total, m_data->senderLength)
                  : std::string_view();
}

std::uint16_t EventRow::senderPort() const {
    return m_data ? m_data->senderPort : 0;
}

std::int64_t EventRow::receivedAt() const {
    return m_data ? m_data->receivedAt : 0;
}

std::uint64_t EventRow::rawId() const {
    return m_data ? m_data->rawId : 0;
}

std::string_view EventRow::bytes(int c) const {
    if (!m_data || c < 0 || c >= kCells)
        return {};
    if (c == 0 && m_data->alarm && !m_data->alarm->newestDate.empty())
        return m_data->alarm->newestDate;
    std::size_t begin = 0;
    for (int k = 0; k < c; ++k)
        begin += m_data->lengths[k];
    const std::size_t length = c < kCells - 1 ? m_data->lengths[c] : m_data->total - begin;
    return {m_data->text() + begin, length};
}
QString EventRow::cellText(int c) const {
    if (!m_data)
        return {};
    const QString text = shownText(bytes(c));
    if (c != kCells - 1)
        return text;
    if (m_data->alarm && m_data->alarm->count > 1)
        return QStringLiteral(" \u00D7%1 ").arg(m_data->alarm->count) + text;
    return QLatin1Char(' ') + text;
}

QString shownText(std::string_view bytes) {
    if (!changedWhenShown(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const std::string shown = visibleText(bytes);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

FilterFields EventRow::filterFields() const {
    FilterFields fields;
    if (!m_data)
        return fields;
    fields[0] = level().name;
    std::size_t begin = 0;
    for (int c = 0; c < kCells; ++c) {
        const std::size_t length = c < kCells - 1 ? m_data->lengths[c] : m_data->total - begin;
        fields[std::size_t(c) + 1] = {m_data->text() + begin, length};
        begin += length;
    }
    fields[1] = bytes(0);
    return fields;
}

Event EventRow::event() const {
    Event record;
    if (!m_data)
        return record;
    record.level = &level();
    record.source = source();
    record.sender = sender();
    record.senderPort = senderPort();
    record.receivedAt = receivedAt();
    record.rawId = rawId();
    const FilterFields fields = filterFields();
    std::string *texts[] = {&record.date, &record.host, &record.application, &record.object,
                            &record.message};
    for (std::size_t c = 0; c < std::size(texts); ++c)
        texts[c]->assign(fields[c + 1]);
    return record;
}

QString EventRow::copyLine() const {
    if (!m_data)
        return {};
    std::string line = formatLogLine(event());
    line.resize(line.size() - kLogLineEnd.size());
    QStringList shown;
    for (const std::string_view field : splitLogFields(line))
        shown << shownText(field);
    return shown.join(QLatin1Char(';'));
}

const RowAlarm *EventRow::alarm() const {
    return m_data ? m_data->alarm : nullptr;
}

int EventRow::count() const {
    return m_data && m_data->alarm ? m_data->alarm->count : 1;
}

std::string_view EventRow::firstDate() const {
    return m_data ? std::string_view(m_data->text(), m_data->lengths[0]) : std::string_view();
}

RowAlarm &EventRow::alarmToChange() {
    if (!m_data->alarm)
        m_data->alarm = new RowAlarm;
    return *m_data->alarm;
}

void EventRow::fold(const Event &repeat) {
    if (!m_data)
        return;
    RowAlarm &alarm = alarmToChange();
    ++alarm.count;
    alarm.newestDate = repeat.date;
}

void EventRow::clear(const Event &by) {
    if (!m_data)
        return;
    RowAlarm &alarm = alarmToChange();
    alarm.cleared = true;
    QString what = shownText(by.level->name) + QStringLiteral(" from ") + shownText(by.host);
    for (const std::string *field : {&by.application, &by.object})
        if (!field->empty())
            what += QLatin1Char(' ') + shownText(*field);
    alarm.clearedBy = what + QStringLiteral(": ") + shownText(by.message);
    alarm.clearedAt = shownText(by.date);
}

void EventRow::acknowledge(const QString &who, const QString &when, const QString &note) {
    if (!m_data)
        return;
    RowAlarm &alarm = alarmToChange();
    alarm.acknowledged = true;
    alarm.acknowledgedBy = who;
    alarm.acknowledgedAt = when;
    alarm.note = note;
}

QString EventRow::toolTip() const {
    const RowAlarm *alarm = this->alarm();
    if (!alarm)
        return {};
    QStringList lines;
    if (alarm->count > 1)
        lines << QStringLiteral("%1 events, first %2, last %3")
                     .arg(alarm->count)
                     .arg(shownText(firstDate()), shownText(bytes(0)));
    if (alarm->cleared)
        lines << QStringLiteral("Cleared at %1 by %2").arg(alarm->clearedAt, alarm->clearedBy);
    if (alarm->acknowledged) {
        QString line = QStringLiteral("Acknowledged by %1 at %2")
                           .arg(alarm->acknowledgedBy, alarm->acknowledgedAt);
        if (!alarm->note.isEmpty())
            line += QStringLiteral(": ") + alarm->note;
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

int EventRow::tablesHolding() const {
    return m_data ? m_data->tables : 0;
}

void EventRow::held(int by) noexcept {
    if (m_data)
        m_data->tables = static_cast<std::uint8_t>(m_data->tables + by);
}

void EventRow::retain() noexcept {
    if (m_data)
        ++m_data->references;
}

void EventRow::release() noexcept {
    if (m_data && --m_data->references == 0) {
        delete m_data->alarm;
        m_data->~Data();
        std::free(m_data);
    }
    m_data = nullptr;
}

bool shownTextContains(std::string_view text, std::string_view search) {
    return shownText(text).contains(shownText(search), Qt::CaseInsensitive);
}

} // namespace quorvik
