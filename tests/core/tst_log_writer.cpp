// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/log_file.h"
#include "core/log_writer.h"
#include "test_files.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace quorvik;

namespace {

const QByteArray kHeaderLine = "Level;Date;Processor;Application;Object;Message\r\n";

std::string line(const char *level, int n, std::size_t messageSize = 10) {
    return std::string(level) + ";07.12.2026 20:41:05;srv7;app;obj;" + std::to_string(n) + ' ' +
           std::string(messageSize, 'm') + "\r\n";
}

QByteArray bytes(const std::string &text) {
    return QByteArray::fromStdString(text);
}

// Every line of a log ends in CR LF and has the six fields of an event.
bool wholeLines(const QByteArray &content) {
    if (!content.endsWith("\r\n"))
        return false;
    const QList<QByteArray> lines = content.chopped(1).split('\n');
    return std::all_of(lines.begin(), lines.end(),
                       [](const QByteArray &l) { return l.endsWith('\r') && l.count(';') == 5; });
}

} // namespace

class TestLogWriter : public QObject {
    Q_OBJECT

private slots:
    void headerWhenMissingOrEmpty();
    void followsRenameReplaceAndDelete();
    void shortWriteKeepsWholeLines();
    void fullFileSystem();
    void startUpCreatesOnlyAMissingLog();
};

void TestLogWriter::headerWhenMissingOrEmpty() {
    QTemporaryDir dir;
    const QString path = dir.filePath("quorvik.log");
    LogWriter writer;
    writer.setPath(path.toStdString());
    QVERIFY(writer.append(line("Note", 1) + line("Alert", 2)).ok());
    QCOMPARE(fileContent(path), kHeaderLine + bytes(line("Note", 1) + line("Alert", 2)));
    // Emptied behind the writer's back (same file, same inode).
    QVERIFY(QFile(path).resize(0));
    QVERIFY(writer.append(line("Note", 3)).ok());
    QCOMPARE(fileContent(path), kHeaderLine + bytes(line("Note", 3)));
}

void TestLogWriter::followsRenameReplaceAndDelete() {
    QTemporaryDir dir;
    const QString path = dir.filePath("quorvik.log");
    putFile(path, kHeaderLine);
    LogWriter writer;
    writer.setPath(path.toStdString());
    QVERIFY(writer.append(line("Note", 1)).ok());

    QVERIFY(QFile::rename(path, path + ".1")); // rotation
    QVERIFY(writer.append(line("Note", 2)).ok());
    QCOMPARE(fileContent(path + ".1"), kHeaderLine + bytes(line("Note", 1)));
    QCOMPARE(fileContent(path), kHeaderLine + bytes(line("Note", 2)));

    putFile(path + ".new", kHeaderLine + "Note;x;x;x;x;x\r\n");
    QVERIFY(QFile::remove(path) && QFile::rename(path + ".new", path)); // replaced
    QVERIFY(writer.append(line("Note", 3)).ok());
    QCOMPARE(fileContent(path), kHeaderLine + "Note;x;x;x;x;x\r\n" + bytes(line("Note", 3)));

    QVERIFY(QFile::remove(path)); // deleted
    QVERIFY(writer.append(line("Note", 4)).ok());
    QCOMPARE(fileContent(path), kHeaderLine + bytes(line("Note", 4)));

    writer.setPath(dir.filePath("other.log").toStdString()); // Logfile changed
    QVERIFY(writer.append(line("Note", 5)).ok());
    QCOMPARE(fileContent(dir.filePath("other.log")), kHeaderLine + bytes(line("Note", 5)));
    QCOMPARE(fileContent(path), kHeaderLine + bytes(line("Note", 4)));

    writer.setPath(dir.filePath("gone/quorvik.log").toStdString());
    QCOMPARE(bytes(writer.append(line("Note", 6)).error), QByteArray("No such file or directory"));
}

// A disk that takes `room` more bytes, then refuses with ENOSPC.
void TestLogWriter::shortWriteKeepsWholeLines() {
    std::size_t room = 0;
    LogWriter writer([&room](int fd, const char *data, std::size_t size) -> long {
        if (room == 0) {
            errno = ENOSPC;
            return -1;
        }
        const std::size_t n = std::min(size, room);
        room -= n;
        return long(::write(fd, data, n));
    });
    QTemporaryDir dir;
    const QString path = dir.filePath("quorvik.log");
    putFile(path, kHeaderLine);
    writer.setPath(path.toStdString());

    const std::string batch = line("Note", 1) + line("Note", 2) + line("Note", 3);
    room = line("Note", 1).size() + 7; // one line and a piece of the next
    QCOMPARE(bytes(writer.append(batch).error), QByteArray("No space left on device"));
    QCOMPARE(fileContent(path), kHeaderLine + bytes(line("Note", 1)));

    room = 5; // only a piece of the one line
    QVERIFY(!writer.append(line("Note", 4)).ok());
    QCOMPARE(fileContent(path), kHeaderLine + bytes(line("Note", 1)));

    room = 1000;
    QVERIFY(writer.append(line("Emergency", 5)).ok());
    QCOMPARE(fileContent(path), kHeaderLine + bytes(line("Note", 1) + line("Emergency", 5)));
}

// The real thing: a 64 KiB tmpfs filled with 1 KB events, then given more
// room. Needs the right to mount (root); the mount lives in a private mount
// namespace of this test process.
void TestLogWriter::fullFileSystem() {
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("cannot mount a tmpfs here (needs root)");
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    const QString path = dir.filePath("quorvik.log");
    LogWriter writer;
    writer.setPath(path.toStdString());
    int failed = 0;
    QString error;
    for (int n = 0; n < 70; ++n) {
        const FileResult result = writer.append(line("Note", n, 1000));
        if (!result.ok()) {
            ++failed;
            error = QString::fromStdString(result.error);
        }
    }
    QVERIFY(failed > 0);
    QCOMPARE(error, QStringLiteral("No space left on device"));
    QVERIFY(wholeLines(fileContent(path)));

    QCOMPARE(::mount("tmpfs", mountPoint.constData(), "tmpfs", MS_REMOUNT, "size=128k"), 0);
    QVERIFY(writer.append(line("Emergency", 99)).ok());
    const QByteArray content = fileContent(path);
    QVERIFY(wholeLines(content));
    QVERIFY(content.endsWith("\r\n" + bytes(line("Emergency", 99))));
    QCOMPARE(content.count("\r\n"), 1 + 70 - failed + 1);
}

void TestLogWriter::startUpCreatesOnlyAMissingLog() {
    QTemporaryDir dir;
    const QString path = dir.filePath("quorvik.log");
    QVERIFY(createMissingLogFile(path.toStdString()).ok());
    QCOMPARE(fileContent(path), kHeaderLine);
    // An existing file is not opened at all: even an empty one stays empty
    // (the first append gives it its header).
    putFile(path, QByteArray());
    QVERIFY(createMissingLogFile(path.toStdString()).ok());
    QCOMPARE(fileContent(path), QByteArray());
    QCOMPARE(bytes(createMissingLogFile(dir.filePath("gone/x.log").toStdString()).error),
             QByteArray("No such file or directory"));
}

QTEST_APPLESS_MAIN(TestLogWriter)
#include "tst_log_writer.moc"
