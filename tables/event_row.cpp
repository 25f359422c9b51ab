// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tables/event_row.h"

#include "core/log_file.h"
#include "core/visible_text.h"

#include <QStringList>

#include <algorithm>
#include <cstring>
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

// Header of the shared block; the cell bytes follow it. Every cell but the
// message comes from one datagram field or a short default, so 16 bits hold
// its length; the message has the rest of `total`.
struct EventRow::Data {
    std::uint32_t references;
    std::uint32_t total;
    std::uint16_t lengths[kCells - 1];
    std::uint8_t level;
    std::uint8_t source; // a Source
    char *text() { return reinterpret_cast<char *>(this + 1); }
};

EventRow::EventRow(const Event &record)
    : EventRow(*record.level,
               {record.date, record.host, record.application, record.object, record.message}) {
    m_data->source = static_cast<std::uint8_t>(record.source);
}

EventRow::EventRow(const Level &level, const std::array<std::string_view, kCells> &cells) {
    std::size_t total = 0;
    for (const std::string_view cell : cells)
        total += cell.size();
    void *memory = std::malloc(sizeof(Data) + total);
    if (!memory)
        throw std::bad_alloc();
    m_data = new (memory) Data{1,
                               static_cast<std::uint32_t>(total),
                               {},
                               levelCode(level),
                               static_cast<std::uint8_t>(Source::Text)};
    std::size_t offset = 0;
    for (int c = 0; c < kCells; ++c) {
        std::size_t length = cells[std::size_t(c)].size();
        if (c < kCells - 1) {
            length = std::min<std::size_t>(length, UINT16_MAX);
            m_data->lengths[c] = static_cast<std::uint16_t>(length);
        }
        std::memcpy(m_data->text() + offset, cells[std::size_t(c)].data(), length);
        offset += length;
    }
    m_data->total = static_cast<std::uint32_t>(offset);
}

const Level &EventRow::level() const {
    return levelOfCode(m_data->level);
}

Source EventRow::source() const {
    return m_data ? static_cast<Source>(m_data->source) : Source::Text;
}

std::string_view EventRow::bytes(int c) const {
    if (!m_data || c < 0 || c >= kCells)
        return {};
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
    return c == kCells - 1 ? QLatin1Char(' ') + text : text;
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
    return fields;
}

Event EventRow::event() const {
    Event record;
    if (!m_data)
        return record;
    record.level = &level();
    record.source = source();
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

void EventRow::retain() noexcept {
    if (m_data)
        ++m_data->references;
}

void EventRow::release() noexcept {
    if (m_data && --m_data->references == 0) {
        m_data->~Data();
        std::free(m_data);
    }
    m_data = nullptr;
}

bool shownTextContains(std::string_view text, std::string_view search) {
    return shownText(text).contains(shownText(search), Qt::CaseInsensitive);
}

} // namespace quorvik
