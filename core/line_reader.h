// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// Reads a text file line by line through a buffer of its own, so that a
// file of any size is never held whole. Lines end in LF or CR LF; the line
// end is not part of the line. A last line without a line end counts.
class LineReader {
public:
    // A line longer than this comes cut to this length (cut() says so), and
    // the rest of it up to its line end is skipped: one line stays one line.
    static constexpr std::size_t kMaxLine = 1 << 20;

    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    // Opens the file for reading; false with error() when it can't (missing,
    // a folder, no permission).
    bool open(const std::string &path);
    void close();

    // The next line, valid until the next call; nullopt at the end of the
    // file or on a read error (then error() says why).
    std::optional<std::string_view> next();

    // Whether the line next() returned last was cut at kMaxLine.
    bool cut() const { return m_cut; }

    const std::string &error() const { return m_error; }
    // Bytes consumed so far and the file's size when it was opened.
    std::uint64_t position() const { return m_consumed; }
    std::uint64_t size() const { return m_size; }

private:
    bool fill();
    bool skipRestOfLine();

    int m_fd = -1;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0, m_end = 0; // unread bytes in m_buffer
    bool m_eof = false;
    bool m_cut = false;
    std::uint64_t m_consumed = 0, m_size = 0;
    std::string m_error;
};

} // namespace quorvik
