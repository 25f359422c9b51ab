// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/level.h"
#include "core/log_file.h"
#include "core/text_file.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace quorvik;

namespace {

QByteArray bytes(const std::string &text) {
    return QByteArray::fromStdString(text);
}
QByteArray bytes(std::string_view text) {
    return QByteArray(text.data(), text.size());
}

Event record(const Level &level, std::string application, std::string message) {
    Event r;
    r.level = &level;
    r.date = "07.12.2026 20:41:05";
    r.host = "srv7";
    r.application = std::move(application);
    r.object = "disk 2";
    r.message = std::move(message);
    return r;
}

const QByteArray kHeaderLine = "Level;Date;Processor;Application;Object;Message\r\n";

} // namespace

class TestLogFile : public QObject {
    Q_OBJECT

private slots:
    void levels_data();
    void levels();
    void levelTable();
    void formatLine_data();
    void formatLine();
    void splitLine_data();
    void splitLine();
    void createMissingFile();
    void createKeepsExistingContent_data();
    void createKeepsExistingContent();
    void createIntoMissingFolderFails();
    void readTextFile();
    void atomicWriteReplacesAndCleansUp();
    void atomicWriteFailure();
};

void TestLogFile::levels_data() {
    QTest::addColumn<QByteArray>("letter");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("name");
    const char *names[] = {"Emergency", "Panic",       "Critical", "Alert",
                           "Warning",   "Information", "Note"};
    const char letters[] = "EPCAWIN";
    for (int i = 0; i < 7; ++i)
        QTest::newRow(names[i]) << QByteArray(1, letters[i]) << i << QByteArray(names[i]);
    QTest::newRow("X is a trap") << QByteArray("X") << 4 << QByteArray("Trap");
    QTest::newRow("lower case") << QByteArray("w") << 4 << QByteArray("Unknown");
    QTest::newRow("digit") << QByteArray("4") << 4 << QByteArray("Unknown");
    QTest::newRow("empty") << QByteArray() << 4 << QByteArray("Unknown");
    QTest::newRow("two letters") << QByteArray("EE") << 4 << QByteArray("Unknown");
    QTest::newRow("zero byte") << QByteArray(1, '\0') << 4 << QByteArray("Unknown");
}

void TestLogFile::levels() {
    QFETCH(QByteArray, letter);
    QFETCH(QByteArray, name);
    const Level &level = levelForLetter(std::string_view(letter.constData(), letter.size()));
    QTEST(level.index, "index");
    QCOMPARE(bytes(level.name), name);
    QCOMPARE(bytes(level.logLabel()), name + ';');
}

void TestLogFile::levelTable() {
    const LevelColours expected = {255, 8421631, 33023, 65535, 16776960, 8454016, 14737632};
    QVERIFY(defaultLevelColours() == expected);
    QCOMPARE(unknownLevel().letter, '\0');
    QCOMPARE(trapLevel().letter, 'X');
    QCOMPARE(&levelByIndex(7), &unknownLevel());
    QCOMPARE(&levelByIndex(-1), &unknownLevel());
}

void TestLogFile::formatLine_data() {
    QTest::addColumn<int>("kind"); // 0..6 by index, 7 Trap, 8 Unknown
    QTest::addColumn<QByteArray>("application");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("warning")
        << 4 << QByteArray("backup") << QByteArray("quota reached")
        << QByteArray("Warning;07.12.2026 20:41:05;srv7;backup;disk 2;quota reached\r\n");
    QTest::newRow("trap") << 7 << QByteArray("a") << QByteArray("m")
                          << QByteArray("Trap;07.12.2026 20:41:05;srv7;a;disk 2;m\r\n");
    QTest::newRow("unknown") << 8 << QByteArray("a") << QByteArray("m")
                             << QByteArray("Unknown;07.12.2026 20:41:05;srv7;a;disk 2;m\r\n");
    QTest::newRow("empty fields") << 6 << QByteArray() << QByteArray()
                                  << QByteArray("Note;07.12.2026 20:41:05;srv7;;disk 2;\r\n");
    // One event stays one line of six fields: line breaks anywhere and ";"
    // before the message are written as their codes; the message keeps ";".
    QTest::newRow("semicolon before the message coded")
        << 0 << QByteArray("x;y") << QByteArray("a;b")
        << QByteArray("Emergency;07.12.2026 20:41:05;srv7;x[U+003B]y;disk 2;a;b\r\n");
    QTest::newRow("line breaks coded")
        << 5 << QByteArray("a\r\nb") << QByteArray("one\ntwo\r\n")
        << QByteArray("Information;07.12.2026 20:41:05;srv7;a[U+000D][U+000A]b;disk 2;"
                      "one[U+000A]two[U+000D][U+000A]\r\n");
}

void TestLogFile::formatLine() {
    QFETCH(int, kind);
    QFETCH(QByteArray, application);
    QFETCH(QByteArray, message);
    const Level &level = kind == 7 ? trapLevel() : kind == 8 ? unknownLevel() : levelByIndex(kind);
    const Event r = record(level, application.toStdString(), message.toStdString());
    QTEST(bytes(formatLogLine(r)), "line");
}

void TestLogFile::splitLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QList<QByteArray>>("fields");
    using L = QList<QByteArray>;
    QTest::newRow("plain") << QByteArray("Note;d;p;a;o;m") << L{"Note", "d", "p", "a", "o", "m"};
    QTest::newRow("semicolon in message")
        << QByteArray("Note;d;p;a;o;a;b") << L{"Note", "d", "p", "a", "o", "a;b"};
    QTest::newRow("semicolon in application shifts")
        << QByteArray("Note;d;p;x;y;o;m") << L{"Note", "d", "p", "x", "y", "o;m"};
    QTest::newRow("empty fields") << QByteArray("Note;d;p;;;text")
                                  << L{"Note", "d", "p", "", "", "text"};
    QTest::newRow("too few separators") << QByteArray("Note;d") << L{"Note", "d", "", "", "", ""};
    QTest::newRow("empty line") << QByteArray() << L{"", "", "", "", "", ""};
    QTest::newRow("only separators") << QByteArray(";;;;;;") << L{"", "", "", "", "", ";"};
    QTest::newRow("zero bytes") << QByteArray("a\0;b;c;d;e;f", 12)
                                << L{QByteArray("a\0", 2), "b", "c", "d", "e", "f"};
}

void TestLogFile::splitLine() {
    QFETCH(QByteArray, line);
    QFETCH(QList<QByteArray>, fields);
    const auto got = splitLogFields(std::string_view(line.constData(), line.size()));
    QList<QByteArray> actual;
    for (const std::string_view field : got)
        actual << bytes(field);
    QCOMPARE(actual, fields);
}

void TestLogFile::createMissingFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("quorvik.log");
    QVERIFY(createLogFileWithHeader(path.toStdString()).ok());
    QCOMPARE(fileContent(path), kHeaderLine);
    QVERIFY(createLogFileWithHeader(path.toStdString()).ok());
    QCOMPARE(fileContent(path), kHeaderLine);
}

void TestLogFile::createKeepsExistingContent_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("empty file gets the header") << QByteArray() << kHeaderLine;
    QTest::newRow("lines stay") << QByteArray("Note;d;p;a;o;m\r\n")
                                << QByteArray("Note;d;p;a;o;m\r\n");
    QTest::newRow("foreign text stays") << QByteArray("x") << QByteArray("x");
}

void TestLogFile::createKeepsExistingContent() {
    QFETCH(QByteArray, before);
    QTemporaryDir dir;
    const QString path = dir.filePath("quorvik.log");
    putFile(path, before);
    QVERIFY(createLogFileWithHeader(path.toStdString()).ok());
    QTEST(fileContent(path), "after");
}

void TestLogFile::createIntoMissingFolderFails() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("gone/quorvik.log").toStdString();
    QCOMPARE(bytes(createLogFileWithHeader(path).error), QByteArray("No such file or directory"));
    QVERIFY(!createLogFileWithHeader(dir.path().toStdString()).ok());
}

void TestLogFile::readTextFile() {
    QTemporaryDir dir;
    std::string error;
    QVERIFY(!quorvik::readTextFile(dir.filePath("none").toStdString(), &error));
    QCOMPARE(bytes(error), QByteArray("No such file or directory"));
    const QByteArray content = QByteArray("a\0b\r\n", 5) + QByteArray(100000, 'z');
    putFile(dir.filePath("f"), content);
    const auto read = quorvik::readTextFile(dir.filePath("f").toStdString());
    QVERIFY(read);
    QCOMPARE(bytes(*read), content);
}

void TestLogFile::atomicWriteReplacesAndCleansUp() {
    QTemporaryDir dir;
    const QString path = dir.filePath("quorvik.cfg");
    putFile(path, "old content that is longer");
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadGroup));
    const std::string content("new\0x", 5);
    QVERIFY(writeFileAtomically(path.toStdString(), content).ok());
    QCOMPARE(fileContent(path), bytes(content));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"quorvik.cfg"});
    struct stat info {};
    QCOMPARE(::stat(path.toLocal8Bit().constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0640u);
}

void TestLogFile::atomicWriteFailure() {
    QTemporaryDir dir;
    const std::string missing = dir.filePath("gone/x.cfg").toStdString();
    QCOMPARE(bytes(writeFileAtomically(missing, "x").error),
             QByteArray("No such file or directory"));
    // The target is a folder: the rename fails and the temporary file goes.
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(QFile::exists(dir.filePath("folder")));
    putFile(dir.filePath("folder/inner"), "x");
    QVERIFY(!writeFileAtomically(dir.filePath("folder").toStdString(), "x").ok());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

QTEST_APPLESS_MAIN(TestLogFile)
#include "tst_log_file.moc"
