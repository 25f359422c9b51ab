// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/event_filter.h"

#include "core/visible_text.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
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

struct Word {
    std::string text;
    bool pattern = false; // ends in a regular expression between slashes
};

// Whether `word` so far is what may stand before a regular expression:
// nothing, "-", a prefix ("msg:") or both ("-msg:").
bool beforePattern(std::string_view word) {
    if (!word.empty() && word.front() == '-')
        word.remove_prefix(1);
    if (word.empty())
        return true;
    if (word.back() != ':')
        return false;
    word.remove_suffix(1);
    for (const char c : word)
        if (foldAscii(c) < 'a' || foldAscii(c) > 'z')
            return false;
    return !word.empty();
}

// Where the regular expression that starts with the slash at `open` ends:
// the next slash, not after a backslash, that a blank or the end of the
// query follows; npos when there is none.
std::size_t patternEnd(std::string_view query, std::size_t open) {
    for (std::size_t at = open + 1; at < query.size(); ++at) {
        if (query[at] == '\\') {
            ++at;
            continue;
        }
        if (query[at] == '/' && at > open + 1 &&
            (at + 1 == query.size() || query[at + 1] == ' ' || query[at + 1] == '\t'))
            return at;
    }
    return std::string_view::npos;
}

// The words of `query`: split at blanks outside double quotes and outside
// regular expressions between slashes, the quotes themselves dropped.
// Within quotes, \" stands for a quote and \\ for a backslash; any other
// backslash is itself.
std::vector<Word> splitWords(std::string_view query) {
    std::vector<Word> words;
    Word word;
    bool quoted = false, inWord = false;
    for (std::size_t at = 0; at < query.size(); ++at) {
        const char c = query[at];
        if (quoted && c == '\\' && at + 1 < query.size() &&
            (query[at + 1] == '"' || query[at + 1] == '\\')) {
            word.text += query[++at];
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && c == '/' && beforePattern(word.text) &&
                   patternEnd(query, at) != std::string_view::npos) {
            const std::size_t end = patternEnd(query, at);
            word.text += query.substr(at, end + 1 - at);
            word.pattern = true;
            words.push_back(std::exchange(word, {}));
            inWord = false;
            at = end;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord)
                words.push_back(std::exchange(word, {}));
            inWord = false;
        } else {
            word.text += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

constexpr std::string_view kSourceNames[] = {"text", "trap", "syslog", "quorvik"};

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

// Whether `folded` could be found in a text only as the operator reads it:
// a code shown for a control ("[u+202e]", folded) holds brackets, "u", "+"
// and hex digits, so a word that meets one holds a bracket or is made of
// those alone.
bool mayMeetShownCode(std::string_view folded) {
    if (folded.find_first_of("[]") != std::string_view::npos)
        return true;
    for (const char c : folded)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == 'u' || c == '+'))
            return false;
    return true;
}

// Whether `text` holds a byte that visibleText may show as a code: a line
// break, or the first byte of a UTF-8 format control.
bool mayHoldControls(std::string_view text) {
    for (const char c : text)
        if (c == '\r' || c == '\n' || c == '\xE2')
            return true;
    return false;
}

// Whether `folded` occurs in `text` as the operator reads it (visibleText):
// a control shown by its code, "[U+202E]", is found by that code.
// `meetsCodes`: mayMeetShownCode(folded).
bool containsShown(std::string_view text, std::string_view folded, bool meetsCodes) {
    if (containsFolded(text, folded))
        return true;
    // Only a shown code can hold an ASCII word that the bytes don't; the
    // texts beyond ASCII that a legacy encoding gives hold no ASCII at all.
    if (!meetsCodes || !mayHoldControls(text) || !changedWhenShown(text))
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

// One regular expression, compiled once; matching needs no state of its own
// (each thread has its match data), so copies of a filter share it.
class EventFilter::Pattern {
public:
    explicit Pattern(pcre2_code *code) : m_code(code) {}
    ~Pattern() { pcre2_code_free(m_code); }
    Pattern(const Pattern &) = delete;
    Pattern &operator=(const Pattern &) = delete;

    // The expression compiled, or why it can't be.
    static std::shared_ptr<const Pattern> compile(std::string_view text, std::string &problem) {
        int error = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                         PCRE2_CASELESS, &error, &offset, nullptr);
        if (!code) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(error, message, sizeof message);
            problem = reinterpret_cast<const char *>(message);
            problem += " at offset " + std::to_string(offset);
            return nullptr;
        }
        // Without JIT on this machine the interpreter matches, slower.
        pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
        return std::make_shared<const Pattern>(code);
    }

    bool foundIn(std::string_view text) const {
        // One pair of offsets is all a yes or no needs, whatever the pattern.
        thread_local const std::unique_ptr<pcre2_match_data, void (*)(pcre2_match_data *)> data(
            pcre2_match_data_create(1, nullptr), pcre2_match_data_free);
        return pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                           data.get(), nullptr) >= 0;
    }

private:
    pcre2_code *m_code;
};

EventFilter::EventFilter(std::string_view query, WideSearch wideSearch)
    : m_wideSearch(std::move(wideSearch)) {
    // A word given twice asks the same of every row twice: it is kept once
    // (a pasted text repeats most of its words).
    std::set<std::tuple<int, int, bool, std::string>> seen;
    for (const Word &split : splitWords(query)) {
        std::string_view word = split.text;
        Term term;
        if (word.size() > 1 && word.front() == '-') {
            term.exclude = true;
            word.remove_prefix(1);
        }
        const std::string lower = lowerAscii(word);
        bool source = false;
        if (lower.starts_with("source:")) {
            source = true;
            word.remove_prefix(7);
        } else {
            for (const FieldPrefix &prefix : kPrefixes)
                if (std::string_view(lower).substr(0, prefix.name.size()) == prefix.name) {
                    term.field = prefix.field;
                    word.remove_prefix(prefix.name.size());
                    break;
                }
        }
        if (word.empty() || word == "-")
            continue; // still being typed
        if (split.pattern && term.field != kLevelField && !source) {
            std::string problem;
            term.kind = Term::Kind::Pattern;
            term.pattern = Pattern::compile(word.substr(1, word.size() - 2), problem);
            if (!term.pattern) {
                m_problems.push_back(std::string(word) + ": " + problem);
                continue;
            }
        } else if (source) {
            const std::string name = lowerAscii(word);
            const auto known = std::find(std::begin(kSourceNames), std::end(kSourceNames), name);
            if (known == std::end(kSourceNames)) {
                m_problems.push_back("source:" + std::string(word) +
                                     ": the source is trap, syslog, text or quorvik");
                continue;
            }
            term.kind = Term::Kind::Source;
            term.source = static_cast<Source>(known - std::begin(kSourceNames));
        } else if (term.field == kLevelField) {
            term.kind = Term::Kind::Level;
        }
        term.text = std::string(word);
        term.folded = lowerAscii(word);
        term.ascii = isAscii(word);
        term.meetsCodes = mayMeetShownCode(term.folded);
        // An ASCII word is looked for with letter case ignored, a wider one
        // as typed (the wide search decides about its case).
        if (seen.emplace(int(term.kind), term.field, term.exclude,
                         term.ascii ? term.folded : term.text)
                .second)
            m_terms.push_back(std::move(term));
    }
    // The cheap words first: an event that fails one is not looked at further.
    std::stable_sort(m_terms.begin(), m_terms.end(), [](const Term &a, const Term &b) {
        const auto cost = [](const Term &t) {
            return t.kind == Term::Kind::Pattern ? 3
                   : t.kind == Term::Kind::Word  ? 1 + (t.field < 0)
                                                 : 0;
        };
        return cost(a) < cost(b);
    });
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
        return containsShown(text, term.folded, term.meetsCodes);
    return m_wideSearch(text, term.text);
}

bool EventFilter::found(const Term &term, const Level &level, const FilterFields &fields,
                        bool withLevel, Source source) const {
    switch (term.kind) {
    case Term::Kind::Level:
        return meansLevel(level, term.folded);
    case Term::Kind::Source:
        return source == term.source;
    case Term::Kind::Pattern:
        if (term.field >= 0)
            return term.pattern->foundIn(fields[std::size_t(term.field)]);
        for (std::size_t f = withLevel ? 0 : 1; f < fields.size(); ++f)
            if (term.pattern->foundIn(fields[f]))
                return true;
        return false;
    case Term::Kind::Word:
        break;
    }
    if (term.field >= 0)
        return contains(fields[std::size_t(term.field)], term);
    for (std::size_t f = withLevel ? 0 : 1; f < fields.size(); ++f)
        if (contains(fields[f], term))
            return true;
    return false;
}

bool EventFilter::matches(const Level &level, const FilterFields &fields, bool withLevel,
                          Source source) const {
    if (!levelShown(level.index))
        return false;
    for (const Term &term : m_terms)
        if (found(term, level, fields, withLevel, source) == term.exclude)
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
