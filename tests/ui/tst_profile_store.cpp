// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/unprivileged.h"
#include "ui/profile_store.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace quorvik;

// The geometry write on quit, in a configuration folder the user may not write.
class TestProfileStore : public QObject {
    Q_OBJECT

private slots:
    void lockInReadOnlyFolderSaysWhy();
    void readOnlyFileNeverReplaced();
};

void TestProfileStore::lockInReadOnlyFolderSaysWhy() {
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0555) == 0);
    ProfileStore store(dir.filePath(QStringLiteral("quorvik.cfg")));
    QString error;
    {
        quorvik::testing::Unprivileged asUser;
        error = store.update([](std::string content) { return content + "[Global]\n"; });
    }
    QCOMPARE(
        error,
        QStringLiteral("cannot create the lock file %1.lock: Permission denied").arg(store.path()));
}

// Mode 0444 is kept by whoever runs the program, root included.
void TestProfileStore::readOnlyFileNeverReplaced() {
    QTemporaryDir dir;
    ProfileStore store(dir.filePath(QStringLiteral("quorvik.cfg")));
    QFile file(store.path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Global]\r\nKept=1\r\n");
    file.close();
    QVERIFY(::chmod(QFile::encodeName(store.path()).constData(), 0444) == 0);
    QCOMPARE(store.update([](std::string content) { return content + "Added=1\r\n"; }),
             QStringLiteral("Permission denied"));
    QCOMPARE(store.content(), std::string("[Global]\r\nKept=1\r\n"));
    struct stat info {};
    QVERIFY(::stat(QFile::encodeName(store.path()).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0444));
}

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profile_store.moc"
