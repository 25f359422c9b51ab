// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/log_writer.h"

#include "core/log_file.h"
#include "core/text_rules.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvik {

namespace {

long systemWrite(int fd, const char *data, std::size_t size) {
    return long(::write(fd, data, size));
}

std::string headerLine() {
    return std::string(kLogHeader) + std::string(kLogLineEnd);
}

// How a write at the end of a file ended.
struct Written {
    FileResult result;
    bool endsAsBefore = false; // failed with none of `data` left in the file
    bool cutFailed = false;    // failed, and part of a line is left in the file
};

// Writes all of `data` at the end of the file, which was `oldSize` bytes
// long. When the write stops short the file is cut back behind the last
// whole line that went in.
Written writeWholeLines(int fd, off_t oldSize, std::string_view data,
                        const LogWriter::WriteFunction &write) {
    std::size_t written = 0;
    while (written < data.size()) {
        const long n = write(fd, data.data() + written, data.size() - written);
        if (n > 0) {
            written += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int error = n == 0 ? ENOSPC : errno; // no progress without a reason: a full disk
        const std::size_t lineEnd = data.substr(0, written).rfind('\n');
        const std::size_t keep = lineEnd == std::string_view::npos ? 0 : lineEnd + 1;
        const bool cutFailed = keep < written && ::ftruncate(fd, oldSize + off_t(keep)) != 0;
        return {{errorText(error)}, keep == 0 && !cutFailed, cutFailed};
    }
    return {};
}

} // namespace

LogWriter::LogWriter(WriteFunction write)
    : m_write(write ? std::move(write) : WriteFunction(systemWrite)) {}

LogWriter::~LogWriter() {
    close();
}

void LogWriter::setPath(const std::string &path) {
    if (path == m_path)
        return;
    close();
    m_path = path;
}

void LogWriter::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_endsMidLine = false;
}

bool LogWriter::stillAtPath() const {
    struct stat atPath {
    }, open{};
    return ::stat(m_path.c_str(), &atPath) == 0 && ::fstat(m_fd, &open) == 0 &&
           atPath.st_dev == open.st_dev && atPath.st_ino == open.st_ino;
}

FileResult LogWriter::open() {
    if (m_fd >= 0 && !stillAtPath())
        close();
    if (m_fd >= 0)
        return {};
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return {errorText(errno)};
    return {};
}

FileResult LogWriter::append(std::string_view lines) {
    if (lines.empty())
        return {};
    if (FileResult opened = open(); !opened.ok())
        return opened;
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        const int error = errno;
        close();
        return {errorText(error)};
    }
    std::string prefixed;
    if (info.st_size == 0)
        prefixed = headerLine();
    else if (m_endsMidLine)
        prefixed = std::string(kLogLineEnd);
    if (!prefixed.empty()) {
        prefixed += lines;
        lines = prefixed;
    }
    const Written written = writeWholeLines(m_fd, info.st_size, lines, m_write);
    if (!written.endsAsBefore)
        m_endsMidLine = written.cutFailed;
    return written.result;
}

FileResult createMissingLogFile(const std::string &path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST ? FileResult{} : FileResult{errorText(errno)};
    FileResult result = writeWholeLines(fd, 0, headerLine(), systemWrite).result;
    if (::close(fd) != 0 && result.ok())
        result = {errorText(errno)};
    return result;
}

} // namespace quorvik
