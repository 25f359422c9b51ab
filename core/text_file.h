// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quorvik {

// Outcome of a file operation: empty on success, else the reason in words
// an operator understands ("Permission denied", ...).
struct FileResult {
    std::string error;
    bool ok() const { return error.empty(); }
};

// The whole file as bytes; nullopt when it doesn't exist or can't be read
// (then `error`, if given, says why).
std::optional<std::string> readTextFile(const std::string &path, std::string *error = nullptr);

// Replaces the file's content atomically: a temporary file in the same
// folder, flushed, then renamed over the old one. A crash leaves either the
// old or the new content, never a mix. A symbolic link is written through
// to its target, in the target's folder; the file keeps its mode and, where
// the system allows, its owner. A file the user may not write is not
// replaced ("Permission denied"). `ownerOnly` gives it mode 0600 instead.
FileResult writeFileAtomically(const std::string &path, const std::string &content,
                               bool ownerOnly = false);

// Reads the file (a missing file counts as empty), applies `change` and
// writes the result atomically, with mode 0600 when `ownerOnly` says so of
// the new content. A file that exists but can't be read is left alone.
FileResult updateTextFile(const std::string &path,
                          const std::function<std::string(const std::string &)> &change,
                          const std::function<bool(const std::string &)> &ownerOnly = {});

} // namespace quorvik
