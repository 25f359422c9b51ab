// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// Cuts one connection's syslog stream into messages, decided per frame: a
// digit first means octet counting ("LEN SP MSG"), anything else a line
// ended by LF (a CR before it is dropped) or NUL. A length that isn't
// digits and a blank makes the frame a line instead, so a sender that
// starts lines with digits keeps its connection. A frame longer than the
// limit is cut, ends in "…", and the rest of it is skipped up to its end.
class SyslogFramer {
public:
    static constexpr std::size_t kMaxFrame = 64 * 1024;

    explicit SyslogFramer(std::size_t maxFrame = kMaxFrame) : m_maxFrame(maxFrame) {}

    // Appends the messages that `bytes` completes to `frames`.
    void feed(std::string_view bytes, std::vector<std::string> &frames);
    // The connection ended: a frame begun and not ended is a message too.
    void finish(std::vector<std::string> &frames);

    // Frames cut at the limit so far.
    std::uint64_t cutCount() const { return m_cut; }

private:
    enum class Mode { Start, Length, Counted, Line, Skip };

    void pushFrame(std::vector<std::string> &frames);
    void cut(std::vector<std::string> &frames);
    std::size_t feedLength(std::string_view bytes);
    std::size_t feedCounted(std::string_view bytes, std::vector<std::string> &frames);
    std::size_t feedLine(std::string_view bytes, std::vector<std::string> &frames);

    std::size_t m_maxFrame;
    Mode m_mode = Mode::Start;
    std::string m_frame;          // the frame so far (in Length mode: its digits)
    std::size_t m_remaining = 0;  // Counted: bytes still to come; Skip: to skip (0: to a line end)
    std::uint64_t m_cut = 0;
};

} // namespace quorvik
