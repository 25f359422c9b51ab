#include "main_window/event_row.h"

#include <cstring>
#include <new>

namespace quorvik {

// Header of the shared block; the cell bytes follow it.
struct EventRow::Data {
    std::uint32_t references;
    std::uint32_t ends[kCells]; // end offset of each cell in the text
    const Level *level;
    char *text() { return reinterpret_cast<char *>(this + 1); }
};

EventRow::EventRow(const EventRecord &record) {
    const auto fields = record.fields();
    std::size_t total = 0;
    for (const std::string *field : fields)
        total += field->size();
    void *memory = std::malloc(sizeof(Data) + total);
    if (!memory)
        throw std::bad_alloc();
    m_data = new (memory) Data{1, {}, record.level};
    std::size_t offset = 0;
    for (int c = 0; c < kCells; ++c) {
        std::memcpy(m_data->text() + offset, fields[c]->data(), fields[c]->size());
        offset += fields[c]->size();
        m_data->ends[c] = static_cast<std::uint32_t>(offset);
    }
}

const Level &EventRow::level() const { return *m_data->level; }

std::string_view EventRow::bytes(int c) const {
    if (!m_data || c < 0 || c >= kCells)
        return {};
    const std::uint32_t begin = c == 0 ? 0 : m_data->ends[c - 1];
    return {m_data->text() + begin, m_data->ends[c] - begin};
}

QString EventRow::cellText(int c) const {
    if (!m_data)
        return {};
    const std::string_view b = bytes(c);
    QString text = QString::fromLocal8Bit(b.data(), static_cast<qsizetype>(b.size()));
    return c == kCells - 1 ? QLatin1Char(' ') + text : text;
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

} // namespace quorvik
