// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/syslog_framer.h"

#include "core/syslog_message.h"

#include <algorithm>

namespace quorvik {

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";
// More digits than a frame of the limit needs would be no length.
constexpr std::size_t kMaxLengthDigits = 9;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool endsLine(char c) { return c == '\n' || c == '\0'; }

} // namespace

void SyslogFramer::feed(std::string_view bytes, std::vector<std::string> &frames) {
    while (!bytes.empty()) {
        std::size_t used = 0;
        switch (m_mode) {
        case Mode::Start:
            if (endsLine(bytes[0]) || bytes[0] == '\r') {
                used = 1; // an empty line, or the line end after a counted frame
            } else {
                m_mode = isDigit(bytes[0]) && bytes[0] != '0' ? Mode::Length : Mode::Line;
            }
            break;
        case Mode::Length:
            used = feedLength(bytes);
            break;
        case Mode::Counted:
            used = feedCounted(bytes, frames);
            break;
        case Mode::Line:
            used = feedLine(bytes, frames);
            break;
        case Mode::Skip:
            if (m_remaining > 0) {
                used = std::min(m_remaining, bytes.size());
                m_remaining -= used;
                if (m_remaining == 0)
                    m_mode = Mode::Start;
            } else {
                const auto end = std::find_if(bytes.begin(), bytes.end(), endsLine);
                used = std::size_t(end - bytes.begin());
                if (end != bytes.end()) {
                    ++used;
                    m_mode = Mode::Start;
                }
            }
            break;
        }
        bytes.remove_prefix(used);
    }
}

std::size_t SyslogFramer::feedLength(std::string_view bytes) {
    std::size_t used = 0;
    while (used < bytes.size() && isDigit(bytes[used]) && m_frame.size() < kMaxLengthDigits)
        m_frame += bytes[used++];
    if (used == bytes.size())
        return used;
    if (bytes[used] == ' ') {
        m_remaining = std::stoul(m_frame);
        m_frame.clear();
        m_mode = m_remaining > 0 ? Mode::Counted : Mode::Start;
        return used + 1;
    }
    m_mode = Mode::Line; // not a length: the digits start a line
    return used;
}

std::size_t SyslogFramer::feedCounted(std::string_view bytes, std::vector<std::string> &frames) {
    const std::size_t used = std::min(m_remaining, bytes.size());
    m_remaining -= used;
    const std::size_t room = m_maxFrame - m_frame.size();
    if (used <= room) {
        m_frame.append(bytes.substr(0, used));
        if (m_remaining == 0)
            pushFrame(frames);
        return used;
    }
    m_frame.append(bytes.substr(0, room));
    cut(frames);
    m_mode = m_remaining > 0 ? Mode::Skip : Mode::Start;
    return used;
}

std::size_t SyslogFramer::feedLine(std::string_view bytes, std::vector<std::string> &frames) {
    const auto end = std::find_if(bytes.begin(), bytes.end(), endsLine);
    const std::size_t length = std::size_t(end - bytes.begin());
    // A line begun with digits may hold more of them than a tiny limit.
    const std::size_t room = m_maxFrame - std::min(m_maxFrame, m_frame.size());
    if (length > room) {
        m_frame.append(bytes.substr(0, room));
        cut(frames);
        m_remaining = 0;
        m_mode = Mode::Skip;
        return room;
    }
    m_frame.append(bytes.substr(0, length));
    if (end == bytes.end())
        return length;
    if (!m_frame.empty() && m_frame.back() == '\r')
        m_frame.pop_back();
    pushFrame(frames);
    return length + 1;
}

void SyslogFramer::pushFrame(std::vector<std::string> &frames) {
    if (m_frame.size() > m_maxFrame) // length digits beyond a tiny limit
        cut(frames);
    else if (!m_frame.empty())
        frames.push_back(std::move(m_frame));
    m_frame.clear();
    m_mode = Mode::Start;
}

void SyslogFramer::cut(std::vector<std::string> &frames) {
    ++m_cut;
    const std::string_view whole = cutForDatagram(m_frame, m_maxFrame - kEllipsis.size());
    m_frame.resize(whole.size());
    m_frame += kEllipsis;
    frames.push_back(std::move(m_frame));
    m_frame.clear();
}

void SyslogFramer::finish(std::vector<std::string> &frames) {
    if (m_mode == Mode::Length || m_mode == Mode::Line || m_mode == Mode::Counted) {
        if (!m_frame.empty() && m_frame.back() == '\r')
            m_frame.pop_back();
        pushFrame(frames);
    }
    m_mode = Mode::Start;
}

} // namespace quorvik
