// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/line_reader.h"

#include "core/text_rules.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace quorvik {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

} // namespace

LineReader::~LineReader() {
    close();
}

bool LineReader::open(const std::string &path) {
    close();
    m_error.clear();
    m_begin = m_end = 0;
    m_eof = false;
    m_consumed = m_size = 0;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = errorText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        m_error = errorText(S_ISDIR(info.st_mode) ? EISDIR : errno);
        close();
        return false;
    }
    m_size = static_cast<std::uint64_t>(info.st_size);
    m_buffer.resize(kChunk + kMaxLine);
    return true;
}

void LineReader::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

// Moves the unread rest to the front and reads behind it; false at the end
// of the file or on an error.
bool LineReader::fill() {
    if (m_eof || m_fd < 0)
        return false;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (got > 0) {
            m_end += static_cast<std::size_t>(got);
            return true;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            m_error = errorText(errno);
        m_eof = true;
        return false;
    }
}

// Consumes the rest of a cut line, its line end included; false when the
// file ends first or a read fails.
bool LineReader::skipRestOfLine() {
    for (;;) {
        const char *start = m_buffer.data() + m_begin;
        const auto *lf = static_cast<const char *>(std::memchr(start, '\n', m_end - m_begin));
        const std::size_t skipped = lf ? std::size_t(lf - start) + 1 : m_end - m_begin;
        m_begin += skipped;
        m_consumed += skipped;
        if (lf)
            return true;
        if (!fill())
            return false;
    }
}

std::optional<std::string_view> LineReader::next() {
    if (std::exchange(m_cut, false) && !skipRestOfLine())
        return std::nullopt;
    std::size_t searched = m_begin;
    for (;;) {
        const char *start = m_buffer.data() + m_begin;
        const char *lf = static_cast<const char *>(
            std::memchr(m_buffer.data() + searched, '\n', m_end - searched));
        std::size_t length = 0, consumed = 0;
        if (lf) {
            length = static_cast<std::size_t>(lf - start);
            consumed = length + 1;
            if (length > 0 && start[length - 1] == '\r')
                --length;
        } else if (m_end - m_begin <= kMaxLine + 1) { // may still end in CR LF within bounds
            searched = m_end;
            const std::size_t before = m_begin;
            if (fill()) {
                searched -= before;
                continue;
            }
            if (!m_error.empty() || m_begin == m_end)
                return std::nullopt;
            length = consumed = m_end - m_begin; // the last line, without a line end
        } else {
            length = m_end - m_begin;
        }
        if (length > kMaxLine) {
            length = consumed = kMaxLine;
            m_cut = true;
        }
        m_begin += consumed;
        m_consumed += consumed;
        return std::string_view(start, length);
    }
}

} // namespace quorvik
