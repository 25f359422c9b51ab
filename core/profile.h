// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvik {

// INI profile text, as the configuration file holds it, parsed once. Section
// and key names match without regard to letter case; values lose surrounding
// blanks and one pair of enclosing quotes. CR LF, LF and lone CR all end a
// line. A UTF-8 byte order mark at the start is no part of the first line
// and is kept. Lines nobody changes are rendered back byte for byte.
class Profile {
public:
    Profile();
    Profile(const Profile &other);
    Profile &operator=(const Profile &other);
    Profile(Profile &&) noexcept;
    Profile &operator=(Profile &&) noexcept;
    ~Profile();

    static Profile parse(std::string_view text);

    // The value of `key` in `section`, or `defaultValue` when the section or
    // the key is missing. At most bufferSize - 1 characters are returned, as
    // a fixed-size read buffer would give them.
    std::string value(std::string_view section, std::string_view key,
                      std::string_view defaultValue = {}, std::size_t bufferSize = 256) const;
    bool contains(std::string_view section, std::string_view key) const;
    // The names of the keys in `section`, each once as first written, in no
    // particular order.
    std::vector<std::string> keys(std::string_view section) const;
    bool hasSection(std::string_view section) const;

    // Sets `key` in `section` to `value` (each cut at its first line break);
    // a value with surrounding blanks or enclosing quotes of its own is
    // written in double quotes, so that it reads back as it was.
    // An existing value is replaced in place, a new key goes after the last
    // line of the section's first occurrence, a new section to the end. New
    // lines end as the file's first line does (CR LF for a new file).
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // Takes the line of `key` out of `section`; nothing when there is none.
    void removeKey(std::string_view section, std::string_view key);

    // The whole text. A last line without its line end gets one (a lone CR
    // in a CR LF file only its LF), so that a key appended later stays whole.
    std::string text() const;

private:
    // A line's text lies in the parsed source, or in `own` once changed.
    struct Line {
        std::string_view text; // without its line end
        std::string_view end;  // "\r\n", "\n", "\r" or "" (last line only)
        std::string own;
    };
    using Lines = std::list<Line>;
    struct NameHash {
        std::size_t operator()(std::string_view name) const;
    };
    struct NameEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };
    template <typename T>
    using ByName = std::unordered_map<std::string_view, T, NameHash, NameEqual>;
    struct Section {
        Lines::iterator lastLine;     // of its first occurrence: where a new key goes
        ByName<Lines::iterator> keys; // first line of each key
    };

    std::string rawText() const;
    const Lines::iterator *findKey(std::string_view section, std::string_view key) const;
    Lines::iterator insertLine(Lines::iterator before, std::string text);
    void completeLastLine();

    std::unique_ptr<std::string> m_source; // the lines point into it
    Lines m_lines;
    ByName<Section> m_sections; // names point into the lines
    std::string_view m_lineEnd = "\r\n";
    bool m_byteOrderMark = false;
};

} // namespace quorvik
