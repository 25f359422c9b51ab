// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

namespace quorvik {

// Received text as the operator is shown it, in UTF-8. A text that is not
// valid UTF-8 comes from a sender of a legacy encoding and is read as
// Windows-1252. The bidirectional embedding, override and isolate controls
// (U+202A to U+202E, U+2066 to U+2069) would let a sender reorder what is
// read ("reversed" shown as "desrever"), and a line break (CR, LF) would
// start a second line of one event, so each is shown by its code in
// brackets, as "[U+202E]" and "[U+000A]". The log keeps the received bytes.
std::string visibleText(std::string_view bytes);

// Whether visibleText would change anything; cheap for the common text.
bool changedWhenShown(std::string_view bytes);

// `bytes` read as Windows-1252, in UTF-8: how a text that is not UTF-8 is
// shown (its five unassigned bytes stay the C1 controls of their value).
std::string windows1252ToUtf8(std::string_view bytes);

// Whether `bytes` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// The bracketed code of a character, "[U+000A]".
std::string visibleCode(char32_t code);

} // namespace quorvik
