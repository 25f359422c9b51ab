// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/profile.h"

#include "core/text_rules.h"

#include <algorithm>
#include <utility>

namespace quorvik {

namespace {

constexpr std::string_view kCrLf = "\r\n", kLf = "\n", kCr = "\r";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The name of a section line "[name]", or nullopt for any other line.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trimBlanks(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    return trimBlanks(line.substr(0, line.find(']')));
}

// A key line "key=value" outside comments: the offset of its "=".
std::optional<std::size_t> equalsSign(std::string_view line) {
    const std::string_view trimmed = trimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
        return std::nullopt;
    const std::size_t at = line.find('=');
    if (at == std::string_view::npos || trimBlanks(line.substr(0, at)).empty())
        return std::nullopt;
    return at;
}

std::optional<std::string_view> keyName(std::string_view line) {
    const std::optional<std::size_t> at = equalsSign(line);
    if (!at)
        return std::nullopt;
    return trimBlanks(line.substr(0, *at));
}

std::string_view toLineBreak(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::size_t Profile::NameHash::operator()(std::string_view name) const {
    std::size_t hash = 1469598103934665603ull;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(foldAscii(c))) * 1099511628211ull;
    return hash;
}

bool Profile::NameEqual::operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    return true;
}

Profile::Profile() = default;
Profile::Profile(Profile &&) noexcept = default;
Profile &Profile::operator=(Profile &&) noexcept = default;
Profile::~Profile() = default;

// The lines and the index point into the storage, so a copy parses the text
// anew; that reproduces the same lines, index and line ending.
Profile::Profile(const Profile &other) : Profile(parse(other.rawText())) {}

Profile &Profile::operator=(const Profile &other) {
    if (this != &other)
        *this = parse(other.rawText());
    return *this;
}

Profile Profile::parse(std::string_view text) {
    Profile profile;
    profile.m_source = std::make_unique<std::string>(text);
    std::string_view source = *profile.m_source;
    if (source.starts_with(kByteOrderMark)) {
        profile.m_byteOrderMark = true;
        source.remove_prefix(kByteOrderMark.size());
    }
    bool endSeen = false;
    Section *current = nullptr;
    bool firstOccurrence = false;
    for (std::size_t start = 0; start < source.size();) {
        const std::size_t stop = std::min(source.find_first_of("\r\n", start), source.size());
        std::string_view end;
        if (stop < source.size())
            end = source.compare(stop, 2, kCrLf) == 0 ? kCrLf : source[stop] == '\n' ? kLf : kCr;
        if (!end.empty() && !std::exchange(endSeen, true))
            profile.m_lineEnd = end;
        const std::string_view line = source.substr(start, stop - start);
        const auto at = profile.m_lines.insert(profile.m_lines.end(), Line{line, end, {}});
        start = stop + end.size();

        if (const auto name = sectionName(line)) {
            const auto [entry, isNew] = profile.m_sections.try_emplace(*name);
            current = &entry->second;
            firstOccurrence = isNew;
            if (isNew)
                current->lastLine = at;
            continue;
        }
        if (!current)
            continue;
        if (const auto key = keyName(line))
            current->keys.try_emplace(*key, at);
        if (firstOccurrence && !trimBlanks(line).empty())
            current->lastLine = at;
    }
    return profile;
}

const Profile::Lines::iterator *Profile::findKey(std::string_view section,
                                                 std::string_view key) const {
    const auto found = m_sections.find(section);
    if (found == m_sections.end())
        return nullptr;
    const auto line = found->second.keys.find(key);
    return line == found->second.keys.end() ? nullptr : &line->second;
}

std::string Profile::value(std::string_view section, std::string_view key,
                           std::string_view defaultValue, std::size_t bufferSize) const {
    std::string_view value = defaultValue;
    if (const Lines::iterator *line = findKey(section, key)) {
        const std::string_view text = (*line)->text;
        value = unquote(trimBlanks(text.substr(*equalsSign(text) + 1)));
    }
    const std::size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    return std::string(value.substr(0, limit));
}

void Profile::removeKey(std::string_view section, std::string_view key) {
    const auto found = m_sections.find(section);
    if (found == m_sections.end())
        return;
    Section &entry = found->second;
    const auto line = entry.keys.find(key);
    if (line == entry.keys.end())
        return;
    const Lines::iterator at = line->second;
    entry.keys.erase(line); // its name points into the line
    if (entry.lastLine == at)
        entry.lastLine = std::prev(at); // the section's line at least
    m_lines.erase(at);
}

bool Profile::hasSection(std::string_view section) const {
    return m_sections.contains(section);
}

std::vector<std::string> Profile::keys(std::string_view section) const {
    std::vector<std::string> names;
    if (const auto found = m_sections.find(section); found != m_sections.end())
        for (const auto &[name, line] : found->second.keys)
            names.emplace_back(name);
    return names;
}

bool Profile::contains(std::string_view section, std::string_view key) const {
    return findKey(section, key) != nullptr;
}

void Profile::completeLastLine() {
    if (m_lines.empty())
        return;
    std::string_view &end = m_lines.back().end;
    if (end.empty() || (end == kCr && m_lineEnd == kCrLf))
        end = m_lineEnd;
}

Profile::Lines::iterator Profile::insertLine(Lines::iterator before, std::string text) {
    if (before == m_lines.end())
        completeLastLine();
    const auto line = m_lines.insert(before, Line{{}, m_lineEnd, std::move(text)});
    line->text = line->own;
    return line;
}

void Profile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    section = toLineBreak(section);
    key = toLineBreak(key);
    value = toLineBreak(value);
    // The reader takes off surrounding blanks and one pair of enclosing
    // quotes: a value that would lose either is written in double quotes.
    std::string quoted;
    if (unquote(trimBlanks(value)) != value) {
        quoted = '"' + std::string(value) + '"';
        value = quoted;
    }
    auto found = m_sections.find(section);
    if (found != m_sections.end()) {
        const auto keyLine = found->second.keys.find(key);
        if (keyLine != found->second.keys.end()) {
            // The index names the key by a view into the line: index it anew.
            const Lines::iterator line = keyLine->second;
            std::string text(line->text.substr(0, *equalsSign(line->text) + 1));
            text += value;
            found->second.keys.erase(keyLine);
            line->own = std::move(text);
            line->text = line->own;
            found->second.keys.try_emplace(*keyName(line->text), line);
            return;
        }
    }
    if (found == m_sections.end()) {
        const auto header = insertLine(m_lines.end(), "[" + std::string(section) + "]");
        found = m_sections.try_emplace(*sectionName(header->text)).first;
        found->second.lastLine = header;
    }
    Section &target = found->second;
    const auto line =
        insertLine(std::next(target.lastLine), std::string(key) + "=" + std::string(value));
    target.lastLine = line;
    if (const auto name = keyName(line->text))
        target.keys.try_emplace(*name, line);
}

std::string Profile::rawText() const {
    std::string result(m_byteOrderMark ? kByteOrderMark : std::string_view());
    for (const Line &line : m_lines) {
        result += line.text;
        result += line.end;
    }
    return result;
}

std::string Profile::text() const {
    std::string result = rawText();
    if (!m_lines.empty()) {
        const std::string_view end = m_lines.back().end;
        if (end.empty())
            result += m_lineEnd;
        else if (end == kCr && m_lineEnd == kCrLf)
            result += kLf;
    }
    return result;
}

} // namespace quorvik
