// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/text_file.h"

#include "core/text_rules.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvik {

namespace {

// Writes all of `content` to `fd`, retrying after interruptions.
bool writeAll(int fd, const std::string &content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// The permission bits the new file gets: those of the file it replaces, or
// what a plainly created file would get under the current umask.
mode_t modeFor(const std::string &path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0)
        return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Flushes the folder entry of a rename to disk; a failure here loses
// nothing that the rename didn't already settle, so it is not reported.
void syncFolder(const std::string &folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The file that `path` finally names: symbolic links are followed to their
// target, also to one that doesn't exist yet, so that a write goes through
// the link instead of replacing it. Empty after too many links (a loop).
std::string followLinks(const std::string &path) {
    std::filesystem::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error)))
            return current.string();
        const std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error)
            return current.string();
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return {};
}

// Why the user may not write the existing file, or empty. Its folder may
// still allow a rename to replace it, but the file's own permissions say no.
// Root may write any file, so for root a file that nobody may write (mode
// 0444, say) is protected too, as the system grants root execution only of
// a file with an execute bit.
std::string writeProtection(const std::string &path) {
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        return errno == ENOENT ? std::string() : errorText(errno);
    struct stat info {};
    if (::geteuid() == 0 && ::stat(path.c_str(), &info) == 0 &&
        (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return errorText(EACCES);
    return {};
}

// Gives the new file the owner and group of the one it replaces. Where the
// system doesn't allow it (a user can't give a file away; root can) the new
// file is the writer's, as any file he creates.
void keepOwner(int fd, const std::string &path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0)
        return;
    if (existing.st_uid == ::geteuid() && existing.st_gid == ::getegid())
        return;
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0)
        return; // not allowed: the file becomes the writer's
}

std::string folderOf(const std::string &path) {
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

// Writes `content` into the open temporary file and closes it; the error
// text on failure.
std::string fillAndClose(int fd, const std::string &content, mode_t mode) {
    std::string error;
    if (!writeAll(fd, content) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        error = errorText(errno);
    if (::close(fd) != 0 && error.empty())
        error = errorText(errno);
    return error;
}

} // namespace

std::optional<std::string> readTextFile(const std::string &path, std::string *error) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (error)
            *error = errorText(errno);
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    const std::string reason = failed ? errorText(errno) : std::string();
    std::fclose(file);
    if (failed) {
        if (error)
            *error = reason;
        return std::nullopt;
    }
    return content;
}

FileResult writeFileAtomically(const std::string &linkOrPath, const std::string &content,
                               bool ownerOnly) {
    const std::string path = followLinks(linkOrPath);
    if (path.empty())
        return {errorText(ELOOP)};
    if (std::string error = writeProtection(path); !error.empty())
        return {error};
    const std::string folder = folderOf(path);
    const std::string name = std::filesystem::path(path).filename().string();
    std::string temp = folder + "/." + name + ".XXXXXX";
    std::vector<char> pattern(temp.begin(), temp.end());
    pattern.push_back('\0');
    const mode_t mode = ownerOnly ? S_IRUSR | S_IWUSR : modeFor(path);
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return {errorText(errno)};
    temp = pattern.data();
    keepOwner(fd, path);
    std::string error = fillAndClose(fd, content, mode);
    if (error.empty() && std::rename(temp.c_str(), path.c_str()) != 0)
        error = errorText(errno);
    if (!error.empty()) {
        ::unlink(temp.c_str());
        return {error};
    }
    syncFolder(folder);
    return {};
}

FileResult updateTextFile(const std::string &path,
                          const std::function<std::string(const std::string &)> &change,
                          const std::function<bool(const std::string &)> &ownerOnly) {
    std::string error;
    const std::optional<std::string> content = readTextFile(path, &error);
    std::error_code unused;
    if (!content && std::filesystem::exists(path, unused))
        return {error};
    const std::string changed = change(content.value_or(std::string()));
    return writeFileAtomically(path, changed, ownerOnly && ownerOnly(changed));
}

} // namespace quorvik
