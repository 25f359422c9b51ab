#pragma once

#include <string>
#include <string_view>

namespace quorvik {

// Received text as the operator is shown it. The bidirectional embedding,
// override and isolate controls (U+202A to U+202E, U+2066 to U+2069) would
// let a sender reorder what is read ("reversed" shown as "desrever"), so
// each is shown by its code in brackets, as "[U+202E]". Everything else,
// invalid UTF-8 included, stays as it is; the log keeps the received bytes.
std::string visibleText(std::string_view utf8);

// Whether visibleText would change anything; cheap for the common text.
bool hasBidiControls(std::string_view utf8);

} // namespace quorvik
