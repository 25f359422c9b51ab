// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "text_file.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quorvik {

// The live copy's log appender. It keeps one descriptor open in append mode
// and writes each batch of lines with one write, so an event costs no open
// and close. Before every batch it checks that the descriptor is still the
// file at the path (same device and inode): a log that was renamed, replaced
// or deleted is reopened at its path, so rotation and a history copy reading
// the file keep working and nothing goes into a renamed file once the rename
// is noticed. A file found missing or empty gets the header line first.
//
// A batch goes in as whole lines: when the disk fills up mid-write the file
// is cut back behind its last whole line, so the next append never glues its
// event to half a line.
class LogWriter {
public:
    // write(2) by default; tests hand in one that writes short.
    using WriteFunction = std::function<long(int fd, const char *data, std::size_t size)>;

    explicit LogWriter(WriteFunction write = {});
    ~LogWriter();
    LogWriter(const LogWriter &) = delete;
    LogWriter &operator=(const LogWriter &) = delete;

    // The file to append to; another path closes the current one.
    void setPath(const std::string &path);
    const std::string &path() const { return m_path; }

    // Appends `lines`, whole lines each ended by CR LF. On failure the reason
    // is returned and the file ends in a whole line: the lines of the batch
    // that went in completely stay, the cut one is taken out again.
    FileResult append(std::string_view lines);

    void close();

private:
    bool stillAtPath() const;
    FileResult open();

    WriteFunction m_write;
    std::string m_path;
    int m_fd = -1;
    // The last append was cut and could not be taken back: the file ends in
    // part of a line, so the next append starts on a new line.
    bool m_endsMidLine = false;
};

// Start-up's rule: a missing log is created with its header line; an existing
// one is not opened at all (a history copy may only have read access).
FileResult createMissingLogFile(const std::string &path);

} // namespace quorvik
