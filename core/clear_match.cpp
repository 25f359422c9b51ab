// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/clear_match.h"

#include "core/event_filter.h"

#include <array>
#include <utility>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace quorvik {

namespace {

constexpr std::array<std::string_view, 6> kFieldNames = {"level", "date", "host",
                                                         "app",   "obj",  "msg"};

std::string_view fieldOf(const Event &event, int field) {
    switch (field) {
    case 0:
        return event.level ? event.level->name : std::string_view();
    case 1:
        return event.date;
    case 2:
        return event.host;
    case 3:
        return event.application;
    case 4:
        return event.object;
    default:
        return event.message;
    }
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

} // namespace

// One regular expression of a "{field:/…/}", compiled once, letter case
// ignored as in the filter.
class ClearMatch::Expression {
public:
    explicit Expression(pcre2_code *code) : m_code(code) {}
    ~Expression() { pcre2_code_free(m_code); }
    Expression(const Expression &) = delete;
    Expression &operator=(const Expression &) = delete;

    static std::shared_ptr<const Expression> compile(std::string_view text, std::string &problem) {
        int error = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                         PCRE2_CASELESS, &error, &offset, nullptr);
        if (!code) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(error, message, sizeof message);
            problem = "/" + std::string(text) + "/: " + reinterpret_cast<const char *>(message) +
                      " at offset " + std::to_string(offset);
            return nullptr;
        }
        return std::make_shared<const Expression>(code);
    }

    // The first group's text, or the whole match without a group.
    std::optional<std::string> find(std::string_view value) const {
        const std::unique_ptr<pcre2_match_data, void (*)(pcre2_match_data *)> data(
            pcre2_match_data_create_from_pattern(m_code, nullptr), pcre2_match_data_free);
        const int found = pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(value.data()),
                                      value.size(), 0, 0, data.get(), nullptr);
        if (found < 0)
            return std::nullopt;
        const PCRE2_SIZE *offsets = pcre2_get_ovector_pointer(data.get());
        const int group = found > 1 && offsets[2] != PCRE2_UNSET ? 1 : 0;
        return std::string(
            value.substr(offsets[2 * group], offsets[2 * group + 1] - offsets[2 * group]));
    }

private:
    pcre2_code *m_code;
};

std::optional<ClearMatch> ClearMatch::read(std::string_view text, std::string &problem) {
    ClearMatch match;
    match.m_text = std::string(text);
    Piece literal;
    Context context = Context::Word;
    bool inWord = false;
    bool failed = false;
    // A value at `at` ("{name}" or "{name:/expression/}") into `value`: the
    // characters it takes, 0 for none.
    const auto takeValue = [&](std::size_t at, Piece &value) -> std::size_t {
        const std::string_view rest = text.substr(at + 1);
        for (std::size_t f = 0; f < kFieldNames.size(); ++f) {
            const std::string_view name = kFieldNames[f];
            if (!rest.starts_with(name))
                continue;
            const std::string_view after = rest.substr(name.size());
            value.field = int(f);
            if (after.starts_with("}"))
                return name.size() + 2;
            if (!after.starts_with(":/"))
                continue;
            const std::size_t end = after.find("/}", 2);
            if (end == std::string_view::npos)
                continue;
            value.expression = Expression::compile(after.substr(2, end - 2), problem);
            failed = !value.expression;
            return name.size() + end + 3;
        }
        return 0;
    };
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '{') {
            Piece value;
            if (const std::size_t used = takeValue(i, value)) {
                if (failed)
                    return std::nullopt;
                if (!literal.literal.empty())
                    match.m_pieces.push_back(std::exchange(literal, Piece{}));
                value.context = inWord ? context : Context::Word;
                match.m_pieces.push_back(std::move(value));
                inWord = true;
                i += used;
                continue;
            }
        }
        if (!inWord) {
            if (isBlank(c)) {
                literal.literal += c;
                ++i;
                continue;
            }
            // A word starts: what it is, as the filter splits words, after
            // its "-" and "prefix:".
            inWord = true;
            std::size_t j = i;
            if (text[j] == '-')
                ++j;
            std::size_t k = j;
            while (k < text.size() && text[k] >= 'a' && text[k] <= 'z')
                ++k;
            if (k > j && k < text.size() && text[k] == ':')
                j = k + 1;
            if (j < text.size() && (text[j] == '"' || text[j] == '/')) {
                context = text[j] == '"' ? Context::Phrase : Context::Pattern;
                literal.literal.append(text.substr(i, j + 1 - i));
                i = j + 1;
            } else {
                context = Context::Word;
                literal.literal.append(text.substr(i, j - i));
                i = j;
            }
            continue;
        }
        if (c == '\\' && context != Context::Word && i + 1 < text.size()) {
            literal.literal.append(text.substr(i, 2));
            i += 2;
            continue;
        }
        // A quote anywhere in a word starts or ends a phrase.
        if (context == Context::Word && c == '"')
            context = Context::Phrase;
        else if (context == Context::Phrase && c == '"')
            context = Context::Word;
        else if ((context == Context::Word && isBlank(c)) ||
                 (context == Context::Pattern && c == '/' &&
                  (i + 1 == text.size() || isBlank(text[i + 1]))))
            inWord = false;
        literal.literal += c;
        ++i;
    }
    if (!literal.literal.empty())
        match.m_pieces.push_back(std::move(literal));

    // Filled in with a plain value, it must be a match.
    std::string filled;
    for (const Piece &piece : match.m_pieces)
        filled += piece.field < 0 ? piece.literal : std::string("0");
    const EventFilter filter(filled);
    if (!filter.problems().empty()) {
        problem = filter.problems().front();
        return std::nullopt;
    }
    if (filter.isEmpty()) {
        problem = "holds no word to match";
        return std::nullopt;
    }
    return match;
}

std::optional<std::string> ClearMatch::textFor(const Event &event) const {
    std::string text;
    for (const Piece &piece : m_pieces) {
        if (piece.field < 0) {
            text += piece.literal;
            continue;
        }
        std::string value(fieldOf(event, piece.field));
        if (piece.expression) {
            std::optional<std::string> found = piece.expression->find(value);
            if (!found)
                return std::nullopt;
            value = std::move(*found);
        }
        // In a bare word a value with a blank, quote or backslash becomes a
        // phrase of its own.
        const bool quote =
            piece.context == Context::Word && value.find_first_of(" \t\"\\") != std::string::npos;
        if (quote)
            text += '"';
        for (const char c : value) {
            if (((quote || piece.context == Context::Phrase) && (c == '"' || c == '\\')) ||
                (piece.context == Context::Pattern && !isWordChar(c) &&
                 static_cast<unsigned char>(c) < 0x80))
                text += '\\';
            text += c;
        }
        if (quote)
            text += '"';
    }
    return text;
}

} // namespace quorvik
