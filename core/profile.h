#pragma once

#include "text_file.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvik {

// INI profile text, as the configuration file holds it. Section and key
// names match without regard to letter case; values lose surrounding blanks
// and one pair of enclosing quotes. CR LF and LF files read alike.

// The value of `key` in `section`, or `defaultValue` when the section or the
// key is missing. At most bufferSize - 1 characters are returned, as a
// fixed-size read buffer would give them.
std::string readProfileString(std::string_view content, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t bufferSize = 256);

// `content` with `key` in `section` set to `value`. Every other line stays as
// it is; an existing value is replaced in place, a new key goes to the end of
// its section, a new section to the end of the file. The file's line ending
// (CR LF or LF) is kept; a new file gets CR LF.
std::string writeProfileString(std::string_view content, std::string_view section,
                               std::string_view key, std::string_view value);

// The same read on a file: a missing or unreadable file gives the default.
std::string readProfileFile(const std::string &path, std::string_view section, std::string_view key,
                            std::string_view defaultValue, std::size_t bufferSize = 256);

// Sets one key in the file: reads it (a missing file counts as empty),
// changes the key and replaces the file atomically. A file that exists but
// can't be read is left alone. Copies that share the file hold a lock around
// the call, so that no copy drops another's keys.
FileResult writeProfileFile(const std::string &path, std::string_view section, std::string_view key,
                            std::string_view value);

} // namespace quorvik
