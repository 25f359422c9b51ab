#include "main_window/profile_store.h"

#include "core/text_file.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace quorvik {

ProfileStore::ProfileStore(QString path) : m_path(std::move(path)) {}

std::string ProfileStore::content() const {
    return readTextFile(m_path.toStdString()).value_or(std::string());
}

QString ProfileStore::update(const std::function<std::string(std::string)> &change) {
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
    QLockFile lock(m_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(5000))
        return QStringLiteral("the file is locked by another program");
    const FileResult result =
        updateTextFile(m_path.toStdString(), [&](const std::string &old) { return change(old); });
    return QString::fromLocal8Bit(result.error);
}

QString defaultProfilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quorvik.cfg");
}

} // namespace quorvik
