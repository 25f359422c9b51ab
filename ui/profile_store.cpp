// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/profile_store.h"

#include "core/profile.h"
#include "core/snmp_users.h"
#include "core/text_file.h"
#include "core/text_rules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <cerrno>

#include <fcntl.h>

#include <unistd.h>

namespace quorvik {

namespace {

// Why the lock file could not be taken, in the operator's words. Another
// copy holding it is one reason; a folder he may not write (or a read-only
// file system) is another, which QLockFile only classifies, so the folder
// is asked for the exact cause.
QString lockFailure(const QLockFile &lock, const QString &lockPath) {
    if (lock.error() == QLockFile::LockFailedError)
        return QStringLiteral("the file is locked by another program");
    const QByteArray folder = QFile::encodeName(QFileInfo(lockPath).absolutePath());
    const QString reason = ::faccessat(AT_FDCWD, folder.constData(), W_OK, AT_EACCESS) != 0
                               ? QString::fromLocal8Bit(errorText(errno).c_str())
                               : QStringLiteral("unknown error");
    return QStringLiteral("cannot create the lock file %1: %2").arg(lockPath, reason);
}

} // namespace

ProfileStore::ProfileStore(QString path) : m_path(std::move(path)) {}

std::string ProfileStore::content() const {
    return readTextFile(m_path.toStdString()).value_or(std::string());
}

QString ProfileStore::update(const std::function<std::string(std::string)> &change,
                             int lockWaitMs, bool *locked) {
    if (locked)
        *locked = false;
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
    const QString lockPath = m_path + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(lockWaitMs)) {
        if (locked)
            *locked = lock.error() == QLockFile::LockFailedError;
        return lockFailure(lock, lockPath);
    }
    // SNMPv3 passwords are for the owner's eyes only.
    const FileResult result = updateTextFile(
        m_path.toStdString(), [&](const std::string &old) { return change(old); },
        [](const std::string &text) { return Profile::parse(text).hasSection(kSnmpSection); });
    return QString::fromLocal8Bit(result.error);
}

QString defaultProfilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quorvik.cfg");
}

} // namespace quorvik
