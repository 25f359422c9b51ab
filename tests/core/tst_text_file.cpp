// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/profile.h"
#include "profile_file.h"
#include "test_files.h"
#include "tests/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace quorvik;
using quorvik::testing::setProfileKey;
using quorvik::testing::Unprivileged;

namespace {

struct stat statOf(const QString &path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

} // namespace

// The configuration write on quit, on files the operator has set up himself.
class TestTextFile : public QObject {
    Q_OBJECT

private slots:
    void linkIsWrittenThrough();
    void readOnlyFileIsNotReplaced();
    void ownerAndModeAreKept();
};

void TestTextFile::linkIsWrittenThrough() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("shared"));
    QVERIFY(QDir(dir.path()).mkdir("config"));
    const QString target = dir.filePath("shared/quorvik.cfg");
    const QString link = dir.filePath("config/quorvik.cfg");
    putFile(target, "[Global]\nMaxLines=50\n");
    QVERIFY(QFile::link("../shared/quorvik.cfg", link));
    QVERIFY(setProfileKey(link.toStdString(), "Global", "WinTop", "120").ok());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(fileContent(target), QByteArray("[Global]\nMaxLines=50\nWinTop=120\n"));
    // The temporary file lived beside the target, and went.
    QCOMPARE(QDir(dir.filePath("config")).entryList(QDir::System | QDir::Files | QDir::Hidden),
             QStringList{"quorvik.cfg"});
    QCOMPARE(QDir(dir.filePath("shared")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"quorvik.cfg"});

    // A link to a file that doesn't exist yet creates the target.
    const QString dangling = dir.filePath("config/new.cfg");
    QVERIFY(QFile::link(dir.filePath("shared/new.cfg"), dangling));
    QVERIFY(setProfileKey(dangling.toStdString(), "Global", "WinTop", "1").ok());
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(fileContent(dir.filePath("shared/new.cfg")), QByteArray("[Global]\r\nWinTop=1\r\n"));
}

void TestTextFile::readOnlyFileIsNotReplaced() {
    QTemporaryDir dir;
    // The folder lets anybody rename files in it; the file itself is 0444.
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
    const QString path = dir.filePath("quorvik.cfg");
    putFile(path, "[Global]\nWinTop=5\n");
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
    FileResult result;
    {
        Unprivileged asUser;
        result = setProfileKey(path.toStdString(), "Global", "WinTop", "120");
    }
    QCOMPARE(QByteArray::fromStdString(result.error), QByteArray("Permission denied"));
    QCOMPARE(fileContent(path), QByteArray("[Global]\nWinTop=5\n"));
    QCOMPARE(statOf(path).st_mode & 07777, 0444u);
}

void TestTextFile::ownerAndModeAreKept() {
    if (::geteuid() != 0)
        QSKIP("only root may write another user's file into its place");
    QTemporaryDir dir;
    const QString path = dir.filePath("quorvik.cfg");
    putFile(path, "[Global]\n");
    const QByteArray name = QFile::encodeName(path);
    QVERIFY(::chown(name.constData(), 65534, 65534) == 0);
    QVERIFY(::chmod(name.constData(), 0640) == 0);
    QVERIFY(setProfileKey(path.toStdString(), "Global", "WinTop", "120").ok());
    QCOMPARE(fileContent(path), QByteArray("[Global]\nWinTop=120\n"));
    const struct stat info = statOf(path);
    QCOMPARE(info.st_uid, uid_t(65534));
    QCOMPARE(info.st_gid, gid_t(65534));
    QCOMPARE(info.st_mode & 07777, 0640u);
}

QTEST_APPLESS_MAIN(TestTextFile)
#include "tst_text_file.moc"
