#include "core/profile.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace quorvik {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

// One line of the file: its text without the line end, and the whole line
// with it, so that untouched lines are written back byte for byte.
struct Line {
    std::string_view text;
    std::string_view raw;
};

std::vector<Line> splitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        end = end == std::string_view::npos ? content.size() : end + 1;
        std::string_view raw = content.substr(start, end - start);
        std::string_view text = raw;
        if (!text.empty() && text.back() == '\n')
            text.remove_suffix(1);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        lines.push_back({text, raw});
        start = end;
    }
    return lines;
}

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

bool isKeyLine(std::string_view line, std::string_view key) {
    const std::optional<std::size_t> at = equalsSign(line);
    return at && equalsIgnoringCase(trimBlanks(line.substr(0, *at)), key);
}

// Where a key sits in the lines: the index of its line, or of the line after
// which a new key goes, or nothing when the section is missing.
struct KeyPlace {
    std::optional<std::size_t> keyLine;
    std::optional<std::size_t> lastLineOfSection;
};

KeyPlace findKey(const std::vector<Line> &lines, std::string_view section, std::string_view key) {
    KeyPlace place;
    bool inSection = false;
    bool inFirstSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines[i].text)) {
            inSection = equalsIgnoringCase(*name, section);
            inFirstSection = inSection && !place.lastLineOfSection;
            if (inFirstSection)
                place.lastLineOfSection = i;
            continue;
        }
        if (inSection && isKeyLine(lines[i].text, key)) {
            place.keyLine = i;
            return place;
        }
        if (inFirstSection && !trimBlanks(lines[i].text).empty())
            place.lastLineOfSection = i;
    }
    return place;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string_view lineEndOf(std::string_view content) {
    const std::size_t lf = content.find('\n');
    if (lf != std::string_view::npos && (lf == 0 || content[lf - 1] != '\r'))
        return "\n";
    return "\r\n";
}

std::string_view withoutLineBreaks(std::string_view value) {
    return value.substr(0, value.find_first_of("\r\n"));
}

std::string joinLines(const std::vector<std::string> &lines) {
    std::string result;
    for (const std::string &line : lines)
        result += line;
    return result;
}

} // namespace

std::string readProfileString(std::string_view content, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t bufferSize) {
    const std::vector<Line> lines = splitLines(content);
    const KeyPlace place = findKey(lines, section, key);
    std::string_view value = defaultValue;
    if (place.keyLine) {
        const std::string_view line = lines[*place.keyLine].text;
        value = unquote(trimBlanks(line.substr(*equalsSign(line) + 1)));
    }
    const std::size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    return std::string(value.substr(0, limit));
}

std::string writeProfileString(std::string_view content, std::string_view section,
                               std::string_view key, std::string_view value) {
    const std::string_view lineEnd = lineEndOf(content);
    value = withoutLineBreaks(value);
    const std::vector<Line> lines = splitLines(content);
    const KeyPlace place = findKey(lines, section, key);
    std::vector<std::string> out;
    for (const Line &line : lines)
        out.emplace_back(line.raw);
    // A last line without its line end gets one; a lone CR there is the
    // start of a CR LF and only needs its LF.
    if (!out.empty() && out.back().back() != '\n')
        out.back() += out.back().back() == '\r' ? std::string_view("\n") : lineEnd;
    const std::string keyLine = std::string(key) + "=" + std::string(value) + std::string(lineEnd);
    if (place.keyLine) {
        const std::string_view old = lines[*place.keyLine].text;
        std::string &target = out[*place.keyLine];
        target = std::string(old.substr(0, *equalsSign(old) + 1)) + std::string(value) +
                 target.substr(old.size());
    } else if (place.lastLineOfSection) {
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(*place.lastLineOfSection + 1),
                   keyLine);
    } else {
        out.push_back("[" + std::string(section) + "]" + std::string(lineEnd));
        out.push_back(keyLine);
    }
    return joinLines(out);
}

std::string readProfileFile(const std::string &path, std::string_view section, std::string_view key,
                            std::string_view defaultValue, std::size_t bufferSize) {
    const std::optional<std::string> content = readTextFile(path);
    return readProfileString(content.value_or(std::string()), section, key, defaultValue,
                             bufferSize);
}

FileResult writeProfileFile(const std::string &path, std::string_view section, std::string_view key,
                            std::string_view value) {
    return updateTextFile(path, [&](const std::string &content) {
        return writeProfileString(content, section, key, value);
    });
}

} // namespace quorvik
