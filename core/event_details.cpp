// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/event_details.h"

namespace quorvik {

namespace {

constexpr char kDigits[] = "0123456789abcdef";

void appendHex(std::string &out, unsigned char byte) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

} // namespace

std::string hexDump(std::string_view bytes) {
    constexpr std::size_t kPerLine = 16;
    std::string out;
    out.reserve((bytes.size() / kPerLine + 1) * 76);
    const int top = bytes.size() > 0x10000 ? 28 : 12; // 8 or 4 digits of offset
    for (std::size_t line = 0; line < bytes.size(); line += kPerLine) {
        if (line > 0)
            out += '\n';
        for (int shift = top; shift >= 0; shift -= 4)
            out += kDigits[(line >> shift) & 0x0F];
        out += ' ';
        for (std::size_t i = 0; i < kPerLine; ++i) {
            out += i == kPerLine / 2 ? "  " : " ";
            if (line + i < bytes.size())
                appendHex(out, static_cast<unsigned char>(bytes[line + i]));
            else
                out += "  ";
        }
        out += "  ";
        for (std::size_t i = line; i < line + kPerLine && i < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            out += byte >= 0x20 && byte < 0x7F ? char(byte) : '.';
        }
    }
    return out;
}

std::string hexDigits(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes)
        appendHex(out, static_cast<unsigned char>(c));
    return out;
}

} // namespace quorvik
