// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/event_filter.h"

#include "core/visible_text.h"

#include <set>
#include <tuple>
#include <utility>

namespace quorvik {

namespace {

constexpr unsigned char foldAscii(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + 32) : u;
}

bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The prefixes that restrict a word, with the field each names.
struct FieldPrefix {
    std::string_view name;
    int field;
};
constexpr FieldPrefix kPrefixes[] = {
    {"level:", EventFilter::kLevelField}, {"host:", 2}, {"app:", 3}, {"obj:", 4}, {"msg:", 5}};

// The words of `query`: split at blanks outside double quotes, the quotes
// themselves dropped. Within quotes, \" stands for a quote and \\ for a
// backslash; any other backslash is itself.
std::vector<std::string> splitWords(std::string_view query) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (std::size_t at = 0; at < query.size(); ++at) {
        const char c = query[at];
        if (quoted && c == '\\' && at + 1 < query.size() &&
            (query[at + 1] == '"' || query[at + 1] == '\\')) {
            word += query[++at];
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord)
                words.push_back(std::exchange(word, {}));
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

// Whether `folded` (ASCII letters in lower case) occurs in `text` with
// ASCII letters of either case.
bool containsFolded(std::string_view text, std::string_view folded) {
    const std::size_t n = folded.size();
    if (n > text.size())
        return false;
    const auto first = static_cast<unsigned char>(folded[0]);
    const unsigned char firstUpper =
        first >= 'a' && first <= 'z' ? static_cast<unsigned char>(first - 32) : first;
    for (std::size_t at = 0, last = text.size() - n; at <= last; ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c != first && c != firstUpper)
            continue;
        std::size_t k = 1;
        while (k < n && foldAscii(text[at + k]) == static_cast<unsigned char>(folded[k]))
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

// Whether `folded` occurs in `text` as the operator reads it (visibleText):
// a control shown by its code, "[U+202E]", is found by that code.
bool containsShown(std::string_view text, std::string_view folded) {
    if (containsFolded(text, folded))
        return true;
    // Only a shown code can hold an ASCII word that the bytes don't; the
    // texts beyond ASCII that a legacy encoding gives hold no ASCII at all.
    if (text.find_first_of("\r\n\xE2") == std::string_view::npos || !changedWhenShown(text))
        return false;
    return containsFolded(visibleText(text), folded);
}

// Whether a word restricted to the level means `level`: one letter is the
// level's letter; a longer word is the start of its name (no two names start
// alike), letter case ignored.
bool meansLevel(const Level &level, std::string_view folded) {
    if (folded.size() == 1)
        return level.letter != '\0' && static_cast<char>(foldAscii(level.letter)) == folded[0];
    return lowerAscii(level.name).starts_with(folded);
}

} // namespace

EventFilter::EventFilter(std::string_view query, WideSearch wideSearch)
    : m_wideSearch(std::move(wideSearch)) {
    // A word given twice asks the same of every row twice: it is kept once
    // (a pasted text repeats most of its words).
    std::set<std::tuple<int, bool, std::string>> seen;
    for (std::string_view word : splitWords(query)) {
        Term term;
        if (word.size() > 1 && word.front() == '-') {
            term.exclude = true;
            word.remove_prefix(1);
        }
        const std::string lower = lowerAscii(word);
        for (const FieldPrefix &prefix : kPrefixes)
            if (std::string_view(lower).substr(0, prefix.name.size()) == prefix.name) {
                term.field = prefix.field;
                word.remove_prefix(prefix.name.size());
                break;
            }
        if (word.empty() || word == "-")
            continue; // still being typed
        term.text = std::string(word);
        term.folded = lowerAscii(word);
        term.ascii = isAscii(word);
        // An ASCII word is looked for with letter case ignored, a wider one
        // as typed (the wide search decides about its case).
        if (seen.emplace(term.field, term.exclude, term.ascii ? term.folded : term.text).second)
            m_terms.push_back(std::move(term));
    }
}

void EventFilter::setLevelShown(int levelIndex, bool shown) {
    if (levelIndex >= 0 && levelIndex < kLevelCount)
        m_hiddenLevels.set(std::size_t(levelIndex), !shown);
}

bool EventFilter::levelShown(int levelIndex) const {
    return levelIndex < 0 || levelIndex >= kLevelCount ||
           !m_hiddenLevels.test(std::size_t(levelIndex));
}

bool EventFilter::contains(std::string_view text, const Term &term) const {
    // An ASCII word is found by its ASCII letters whatever the other bytes
    // are; only a word beyond ASCII needs the decoded texts.
    if (term.ascii || !m_wideSearch)
        return containsShown(text, term.folded);
    return m_wideSearch(text, term.text);
}

bool EventFilter::found(const Term &term, const Level &level, const FilterFields &fields,
                        bool withLevel) const {
    if (term.field == kLevelField)
        return meansLevel(level, term.folded);
    if (term.field >= 0)
        return contains(fields[std::size_t(term.field)], term);
    for (std::size_t f = withLevel ? 0 : 1; f < fields.size(); ++f)
        if (contains(fields[f], term))
            return true;
    return false;
}

bool EventFilter::matches(const Level &level, const FilterFields &fields, bool withLevel) const {
    if (!levelShown(level.index))
        return false;
    for (const Term &term : m_terms)
        if (found(term, level, fields, withLevel) == term.exclude)
            return false;
    return true;
}

std::string filterWord(std::string_view prefix, std::string_view value) {
    std::string word(prefix);
    word += ':';
    if (value.find_first_of(" \t\"") == std::string_view::npos) {
        word += value;
        return word;
    }
    word += '"';
    for (const char c : value) {
        if (c == '"' || c == '\\')
            word += '\\';
        word += c;
    }
    word += '"';
    return word;
}

} // namespace quorvik
