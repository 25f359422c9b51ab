// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <functional>
#include <string>

namespace quorvik {

// The configuration file on disk. Every access reads or writes the whole
// file and closes it again. Writes are read-modify-write under a lock file
// shared by every copy of the program, and replace the file atomically, so
// two copies quitting together never drop each other's keys.
class ProfileStore {
public:
    explicit ProfileStore(QString path);

    const QString &path() const { return m_path; }

    // The file's content; empty when it doesn't exist or can't be read.
    std::string content() const;

    // Applies `change` to the current content and stores the result.
    // Returns an error text, empty on success. Waits up to `lockWaitMs` for
    // another program's lock; `locked`, when given, tells whether that was
    // the failure.
    QString update(const std::function<std::string(std::string)> &change, int lockWaitMs = 5000,
                   bool *locked = nullptr);

private:
    QString m_path;
};

// Where the configuration lives: $XDG_CONFIG_HOME, else ~/.config, and the
// file name quorvik.cfg.
QString defaultProfilePath();

} // namespace quorvik
