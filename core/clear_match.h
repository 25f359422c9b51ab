// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// The match of a clearing rule (ClearsN): the filter language, in which
// "{level}", "{date}", "{host}", "{app}", "{obj}" and "{msg}" stand for the
// clearing event's values, and "{msg:/expression/}" for what the regular
// expression finds in one of them: its first group, or all it matched
// without a group ("{msg:/ifIndex\.(\d+)/}" is "2" for "... ifIndex.2=2 ...").
// A value stays what was received wherever it stands: inside "a phrase" its
// quotes and backslashes are escaped, inside a /regular expression/ every
// character but letters, digits and "_" is. Any other "{…}" stays as written
// ("/\d{2}/" keeps its count).
class ClearMatch {
public:
    // nullopt, and why in `problem`, when it can't be read: an expression
    // that doesn't compile, or a match that isn't one once filled in.
    static std::optional<ClearMatch> read(std::string_view text, std::string &problem);

    // The match with `event`'s values in their places; nullopt when an
    // expression finds nothing in its value (the event clears nothing).
    std::optional<std::string> textFor(const Event &event) const;
    const std::string &text() const { return m_text; }

private:
    class Expression;
    enum class Context : unsigned char { Word, Phrase, Pattern };
    struct Piece {
        std::string literal; // written as is
        int field = -1;      // or a value: 0 level, 1 date, 2 host, 3 app, 4 obj, 5 msg
        Context context = Context::Word;
        std::shared_ptr<const Expression> expression; // the part of the value it finds
    };
    std::string m_text;
    std::vector<Piece> m_pieces;
};

} // namespace quorvik
