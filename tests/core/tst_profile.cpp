// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/profile.h"
#include "core/settings.h"
#include "profile_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <unistd.h>

using namespace quorvik;
using quorvik::testing::setProfileKey;

namespace {

QByteArray bytes(const std::string &text) {
    return QByteArray::fromStdString(text);
}
std::string str(const QByteArray &text) {
    return text.toStdString();
}

QByteArray fileContent(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void write_data();
    void write();
    void leadingNumber_data();
    void leadingNumber();
    void roundHalfEven_data();
    void roundHalfEven();
    void colour_data();
    void colour();
    void settings_data();
    void settings();
    void settingsDefaults();
    void geometry();
    void unreadableValuesNamedAndNeverWrittenOver();
    void missingFileGivesDefaults();
    void writersKeepEachOthersKeys();
    void writeIntoMissingFolderFails();
    void unreadableFileIsLeftAlone();
};

void TestProfile::read_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("buffer");
    QTest::addColumn<QByteArray>("value");
    const QByteArray file = "[Global]\r\nKey=v\r\n";

    QTest::newRow("found") << file << QByteArray("Global") << QByteArray("Key") << 256
                           << QByteArray("v");
    QTest::newRow("empty content")
        << QByteArray() << QByteArray("Global") << QByteArray("Key") << 256 << QByteArray("dflt");
    QTest::newRow("missing section")
        << file << QByteArray("Sound") << QByteArray("Key") << 256 << QByteArray("dflt");
    QTest::newRow("missing key") << file << QByteArray("Global") << QByteArray("Other") << 256
                                 << QByteArray("dflt");
    QTest::newRow("letter case") << QByteArray("[gLoBaL]\nkEY=v\n") << QByteArray("GLOBAL")
                                 << QByteArray("key") << 256 << QByteArray("v");
    QTest::newRow("blanks and tabs")
        << QByteArray("  [ Global ]  \n \tKey \t= \t a b \t\n") << QByteArray("Global")
        << QByteArray("Key") << 256 << QByteArray("a b");
    QTest::newRow("double quotes") << QByteArray("[G]\nK= \" a \" \n") << QByteArray("G")
                                   << QByteArray("K") << 256 << QByteArray(" a ");
    QTest::newRow("single quotes") << QByteArray("[G]\nK='a'\n") << QByteArray("G")
                                   << QByteArray("K") << 256 << QByteArray("a");
    QTest::newRow("one pair of quotes only") << QByteArray("[G]\nK=\"\"a\"\"\n") << QByteArray("G")
                                             << QByteArray("K") << 256 << QByteArray("\"a\"");
    QTest::newRow("unmatched quotes stay") << QByteArray("[G]\nK=\"a'\n") << QByteArray("G")
                                           << QByteArray("K") << 256 << QByteArray("\"a'");
    QTest::newRow("lone quote stays") << QByteArray("[G]\nK=\"\n") << QByteArray("G")
                                      << QByteArray("K") << 256 << QByteArray("\"");
    QTest::newRow("empty value is no default")
        << QByteArray("[G]\nK=\n") << QByteArray("G") << QByteArray("K") << 256 << QByteArray();
    QTest::newRow("equals sign in value") << QByteArray("[G]\nK=a=b\n") << QByteArray("G")
                                          << QByteArray("K") << 256 << QByteArray("a=b");
    QTest::newRow("CR LF without final line end")
        << QByteArray("[G]\r\nA=1\r\nK=2") << QByteArray("G") << QByteArray("K") << 256
        << QByteArray("2");
    QTest::newRow("CR-only line ends") << QByteArray("[G]\rA=1\rK=2\r") << QByteArray("G")
                                       << QByteArray("K") << 256 << QByteArray("2");
    QTest::newRow("key of another section") << QByteArray("[A]\nK=1\n[B]\nX=2\n") << QByteArray("B")
                                            << QByteArray("K") << 256 << QByteArray("dflt");
    QTest::newRow("key before any section") << QByteArray("K=1\n[G]\n") << QByteArray("G")
                                            << QByteArray("K") << 256 << QByteArray("dflt");
    QTest::newRow("first key wins") << QByteArray("[G]\nK=1\nK=2\n") << QByteArray("G")
                                    << QByteArray("K") << 256 << QByteArray("1");
    QTest::newRow("section repeated later")
        << QByteArray("[G]\nA=1\n[H]\n[G]\nK=2\n") << QByteArray("G") << QByteArray("K") << 256
        << QByteArray("2");
    QTest::newRow("comment line") << QByteArray("[G]\n;K=1\n") << QByteArray("G") << QByteArray("K")
                                  << 256 << QByteArray("dflt");
    QTest::newRow("key is a prefix") << QByteArray("[G]\nKey=1\n") << QByteArray("G")
                                     << QByteArray("K") << 256 << QByteArray("dflt");
    QTest::newRow("cut to buffer") << QByteArray("[G]\nK=1234567890abc\n") << QByteArray("G")
                                   << QByteArray("K") << 10 << QByteArray("123456789");
    QTest::newRow("default cut to buffer")
        << QByteArray() << QByteArray("G") << QByteArray("K") << 3 << QByteArray("df");
    // A UTF-8 byte order mark, as some editors write one, is no part of the
    // first line.
    QTest::newRow("byte order mark before the first section")
        << QByteArray("\xEF\xBB\xBF[Global]\r\nPopuplevel=2\r\n") << QByteArray("Global")
        << QByteArray("Popuplevel") << 256 << QByteArray("2");
}

void TestProfile::read() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(int, buffer);
    QTEST(bytes(Profile::parse(str(content)).value(str(section), str(key), "dflt", buffer)),
          "value");
}

void TestProfile::write_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << QByteArray("Global") << QByteArray("WinTop")
                              << QByteArray("10") << QByteArray("[Global]\r\nWinTop=10\r\n");
    QTest::newRow("replace in place")
        << QByteArray("; mine\r\n[Global]\r\nA=1\r\nK=old\r\nB=2\r\n[X]\r\nK=x\r\n")
        << QByteArray("global") << QByteArray("k") << QByteArray("new")
        << QByteArray("; mine\r\n[Global]\r\nA=1\r\nK=new\r\nB=2\r\n[X]\r\nK=x\r\n");
    QTest::newRow("LF file stays LF")
        << QByteArray("[G]\nK=1\n") << QByteArray("G") << QByteArray("K") << QByteArray("2")
        << QByteArray("[G]\nK=2\n");
    QTest::newRow("new key after the section's last key")
        << QByteArray("[G]\nA=1\n\n[H]\nB=2\n") << QByteArray("G") << QByteArray("K")
        << QByteArray("v") << QByteArray("[G]\nA=1\nK=v\n\n[H]\nB=2\n");
    QTest::newRow("new key in empty section")
        << QByteArray("[G]\r\n[H]\r\n") << QByteArray("G") << QByteArray("K") << QByteArray("v")
        << QByteArray("[G]\r\nK=v\r\n[H]\r\n");
    QTest::newRow("new section, no final line end")
        << QByteArray("[G]\nA=1") << QByteArray("Sound") << QByteArray("S0") << QByteArray("")
        << QByteArray("[G]\nA=1\n[Sound]\nS0=\n");
    QTest::newRow("replace last line without line end")
        << QByteArray("[G]\r\nK=1") << QByteArray("G") << QByteArray("K") << QByteArray("22")
        << QByteArray("[G]\r\nK=22\r\n");
    QTest::newRow("last line ends in a lone CR")
        << QByteArray("[G]\r\nA=1\r\n[C\r") << QByteArray("c") << QByteArray("K") << QByteArray("v")
        << QByteArray("[G]\r\nA=1\r\n[C\r\nK=v\r\n");
    QTest::newRow("CR-only file stays CR-only")
        << QByteArray("[G]\rA=1\r[H]\rB=2") << QByteArray("G") << QByteArray("K") << QByteArray("v")
        << QByteArray("[G]\rA=1\rK=v\r[H]\rB=2\r");
    QTest::newRow("new section in a CR-only file")
        << QByteArray("[H]\rB=2\r") << QByteArray("Global") << QByteArray("WinTop")
        << QByteArray("5") << QByteArray("[H]\rB=2\r[Global]\rWinTop=5\r");
    QTest::newRow("surrounding blanks kept in quotes")
        << QByteArray("[G]\r\nK=1\r\n") << QByteArray("G") << QByteArray("K")
        << QByteArray(" pass word\t") << QByteArray("[G]\r\nK=\" pass word\t\"\r\n");
    QTest::newRow("enclosing quotes kept in quotes")
        << QByteArray() << QByteArray("G") << QByteArray("K") << QByteArray("'secret'")
        << QByteArray("[G]\r\nK=\"'secret'\"\r\n");
    QTest::newRow("line break in value is dropped")
        << QByteArray() << QByteArray("G") << QByteArray("K") << QByteArray("a\r\nX=1")
        << QByteArray("[G]\r\nK=a\r\n");
    QTest::newRow("byte order mark kept")
        << QByteArray("\xEF\xBB\xBF[Global]\nA=1\n") << QByteArray("Global") << QByteArray("A")
        << QByteArray("2") << QByteArray("\xEF\xBB\xBF[Global]\nA=2\n");
    QTest::newRow("byte order mark alone")
        << QByteArray("\xEF\xBB\xBF") << QByteArray("G") << QByteArray("K") << QByteArray("v")
        << QByteArray("\xEF\xBB\xBF[G]\r\nK=v\r\n");
}

void TestProfile::write() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    Profile profile = Profile::parse(str(before));
    profile.setValue(str(section), str(key), str(value));
    const std::string after = profile.text();
    QTEST(bytes(after), "after");
    // What was written reads back.
    const std::string written = str(value).substr(0, str(value).find_first_of("\r\n"));
    QCOMPARE(bytes(Profile::parse(after).value(str(section), str(key), "<none>")), bytes(written));
}

void TestProfile::leadingNumber_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << QByteArray("1230") << 1230.0;
    QTest::newRow("trailing blank") << QByteArray("1230 ") << 1230.0;
    QTest::newRow("trailing letters") << QByteArray("1230abc") << 1230.0;
    QTest::newRow("leading blanks") << QByteArray("  12") << 12.0;
    QTest::newRow("no number") << QByteArray("abc") << 0.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("negative") << QByteArray("-3") << -3.0;
    QTest::newRow("plus sign") << QByteArray("+7") << 7.0;
    QTest::newRow("fraction") << QByteArray("1.5") << 1.5;
    QTest::newRow("second point stops") << QByteArray("1.5.2") << 1.5;
    QTest::newRow("point first") << QByteArray(".25x") << 0.25;
    QTest::newRow("sign only") << QByteArray("-") << 0.0;
}

void TestProfile::leadingNumber() {
    QFETCH(QByteArray, text);
    QTEST(quorvik::leadingNumber(str(text)), "value");
}

void TestProfile::roundHalfEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("rounded");
    QTest::newRow("half down to even") << 2.5 << 2;
    QTest::newRow("half up to even") << 3.5 << 4;
    QTest::newRow("negative half") << -2.5 << -2;
    QTest::newRow("above half") << 2.51 << 3;
    QTest::newRow("below half") << 2.49 << 2;
    QTest::newRow("saturates high") << 1e12 << INT_MAX;
    QTest::newRow("saturates low") << -1e12 << INT_MIN;
}

void TestProfile::roundHalfEven() {
    QFETCH(double, value);
    QTEST(quorvik::roundHalfEven(value), "rounded");
}

void TestProfile::colour_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("colour");
    QTest::newRow("decimal") << QByteArray("255") << true << 255u;
    QTest::newRow("hexadecimal") << QByteArray("&HFF") << true << 255u;
    QTest::newRow("lower-case hex") << QByteArray("&hff00") << true << 0xFF00u;
    QTest::newRow("blanks around") << QByteArray(" 65535 ") << true << 65535u;
    QTest::newRow("half to even down") << QByteArray("254.5") << true << 254u;
    QTest::newRow("half to even up") << QByteArray("255.5") << true << 256u;
    QTest::newRow("trailing letters") << QByteArray("12abc") << false << 0u;
    QTest::newRow("no digits") << QByteArray("&H") << false << 0u;
    QTest::newRow("bad hex digit") << QByteArray("&HFG") << false << 0u;
    QTest::newRow("word") << QByteArray("red") << false << 0u;
    QTest::newRow("empty") << QByteArray("") << false << 0u;
    QTest::newRow("too large") << QByteArray("99999999999") << false << 0u;
}

void TestProfile::colour() {
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    const std::optional<Colour> colour = parseColour(str(text));
    QCOMPARE(colour.has_value(), valid);
    if (valid)
        QTEST(uint(*colour), "colour");
}

void TestProfile::settings_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("popupLevel");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<int>("startTab");
    QTest::addColumn<bool>("fullList");
    QTest::addColumn<uint>("alertColour");

    QTest::newRow("numbers with letters")
        << QByteArray("[Global]\nMaxLines=1200abc\n") << 4 << 1200 << 3 << false << 65535u;
    QTest::newRow("MaxLines below 2")
        << QByteArray("[Global]\nMaxLines=1\n") << 4 << 2 << 3 << false << 65535u;
    QTest::newRow("StartTab too high")
        << QByteArray("[Global]\nStartTab=9\n") << 4 << 1000 << 6 << false << 65535u;
    QTest::newRow("StartTab negative")
        << QByteArray("[Global]\nStartTab=-1\n") << 4 << 1000 << 0 << false << 65535u;
    QTest::newRow("Popuplevel 0 and rounding")
        << QByteArray("[Global]\nPopuplevel=0\nStartTab=2.5\n") << 0 << 1000 << 2 << false
        << 65535u;
    QTest::newRow("Popuplevel cut to 9 characters")
        << QByteArray("[Global]\nPopuplevel=0000000091\n") << 9 << 1000 << 3 << false << 65535u;
    QTest::newRow("IniGrid yes") << QByteArray("[Global]\nIniGrid=yes\n") << 4 << 1000 << 3 << true
                                 << 65535u;
    QTest::newRow("IniGrid 0") << QByteArray("[Global]\nIniGrid=0\n") << 4 << 1000 << 3 << false
                               << 65535u;
    QTest::newRow("colour none") << QByteArray("[Color]\nC3=*none\n") << 4 << 1000 << 3 << false
                                 << 65535u;
    QTest::newRow("colour hex") << QByteArray("[color]\nc3=&HFF\n") << 4 << 1000 << 3 << false
                                << 255u;
    QTest::newRow("colour not a number")
        << QByteArray("[Color]\nC3=12abc\n") << 4 << 1000 << 3 << false << 65535u;
}

void TestProfile::settings() {
    QFETCH(QByteArray, content);
    const Settings s = settingsFromProfile(Profile::parse(str(content)), "/var/x.log");
    QTEST(s.popupLevel, "popupLevel");
    QTEST(s.maxLines, "maxLines");
    QTEST(s.startTab, "startTab");
    QTEST(s.startInFullList, "fullList");
    QTEST(uint(s.levelColours[3]), "alertColour");
}

void TestProfile::settingsDefaults() {
    const std::string content = "[Sound]\nS1=/snd/a.wav\nS2=\n[Global]\nLogfile=/l/q.log\n"
                                "[Color]\nC0=&HFF00\nC6=16\n";
    const Settings s = settingsFromProfile(Profile::parse(content), "/var/x.log");
    QCOMPARE(bytes(s.logFile), QByteArray("/l/q.log"));
    QCOMPARE(bytes(s.levelSounds[1]), QByteArray("/snd/a.wav"));
    QVERIFY(s.levelSounds[2].empty());
    QVERIFY(s.levelSounds[0].empty());
    const LevelColours expected = {0xFF00, 8421631, 33023, 65535, 16776960, 8454016, 16};
    QVERIFY(s.levelColours == expected);
    QCOMPARE(bytes(settingsFromProfile(Profile::parse(""), "/var/x.log").logFile),
             QByteArray("/var/x.log"));
    QVERIFY(s.notify); // notifications are on unless Notify is "0"
    QVERIFY(!settingsFromProfile(Profile::parse("[Global]\nNotify=0\n"), "").notify);
    QVERIFY(settingsFromProfile(Profile::parse("[Global]\nNotify=yes\n"), "").notify);
    QCOMPARE(
        bytes(settingsFromProfile(Profile::parse("[Global]\nLogfile=  \n"), "/var/x.log").logFile),
        QByteArray("/var/x.log")); // an empty value names no file
}

void TestProfile::geometry() {
    const WindowGeometry current{1, 2, 3, 4};
    const std::string content = "[Global]\nWinLeft=150.5\nWinWidth=9000px\n";
    const WindowGeometry read = geometryFromProfile(Profile::parse(content), current);
    QCOMPARE(read.top, 1L);
    QCOMPARE(read.left, 150L);
    QCOMPARE(read.height, 3L);
    QCOMPARE(read.width, 9000L);
    Profile written = Profile::parse("[Sound]\nS0=a\n");
    writeGeometry(written, {-15, 30, 4500, 6000});
    const WindowGeometry back = geometryFromProfile(Profile::parse(written.text()), current);
    QCOMPARE(back.top, -15L);
    QCOMPARE(back.left, 30L);
    QCOMPARE(back.height, 4500L);
    QCOMPARE(back.width, 6000L);
    QCOMPARE(bytes(written.value("Sound", "S0", "")), QByteArray("a"));
}

// Values the program can't read: each is named with what is used in its
// place, and the user's text stays in the file.
void TestProfile::unreadableValuesNamedAndNeverWrittenOver() {
    Profile profile = Profile::parse("[Global]\nMaxLines=abc\nPopuplevel=-5\nStartTab=99\n"
                                     "WinWidth=abc\nWinHeight=0\nWinTop=-300\n"
                                     "[Color]\nC0=red\nC1=*none\nC2=\n");
    std::vector<std::string> problems;
    const Settings s = settingsFromProfile(profile, "/var/x.log", &problems);
    QCOMPARE(s.maxLines, 1000);
    QCOMPARE(s.popupLevel, 0);
    QCOMPARE(s.startTab, 6);
    QVERIFY(s.levelColours == defaultLevelColours());
    const WindowGeometry read = geometryFromProfile(profile, {1, 2, 3, 4}, &problems);
    QCOMPARE(read.top, -300L);
    QCOMPARE(read.height, 3L);
    QCOMPARE(read.width, 4L);
    QStringList named;
    for (const std::string &problem : problems)
        named << QString::fromStdString(problem);
    QCOMPARE(named, QStringList({
                        "Popuplevel: \"-5\" is below 0; 0 is used",
                        "MaxLines: \"abc\" is not a number; 1000 is used",
                        "StartTab: \"99\" is above 6; 6 is used",
                        "C0: \"red\" is not a colour number; the built-in colour is used",
                        "WinHeight: \"0\" is not above 0; the window's own size is used",
                        "WinWidth: \"abc\" is not a number; the window's own size is used",
                    }));
    problems.clear();
    settingsFromProfile(Profile::parse("[Global]\nMaxLines=1200abc\nPopuplevel=9\n"), "",
                        &problems);
    QVERIFY(problems.empty()); // a number with letters after it reads as that number

    // The options write the colours: C0 keeps its text until a colour is
    // chosen for it.
    SettingsChanges changes;
    changes.colours = defaultLevelColours();
    (*changes.colours)[3] = 0x123456;
    writeSettings(profile, changes);
    QCOMPARE(bytes(profile.value("Color", "C0")), QByteArray("red"));
    QCOMPARE(profile.value("Color", "C3"), std::to_string(0x123456));
    QCOMPARE(profile.value("Color", "C1"), std::to_string(defaultLevelColours()[1]));
    (*changes.colours)[0] = 0x123457;
    writeSettings(profile, changes);
    QCOMPARE(profile.value("Color", "C0"), std::to_string(0x123457));
}

void TestProfile::missingFileGivesDefaults() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("quorvik.cfg").toStdString();
    QCOMPARE(
        bytes(Profile::parse(readTextFile(path).value_or("")).value("Global", "MaxLines", "1000")),
        QByteArray("1000"));
    QVERIFY(setProfileKey(path, "Global", "WinTop", "120").ok());
    QCOMPARE(fileContent(dir.filePath("quorvik.cfg")), QByteArray("[Global]\r\nWinTop=120\r\n"));
}

void TestProfile::writersKeepEachOthersKeys() {
    QTemporaryDir dir;
    const QString file = dir.filePath("quorvik.cfg");
    const std::string path = file.toStdString();
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# kept\n[Global]\nMaxLines=50\n[Other]\nX=1\n");
    }
    // A live copy stores its geometry, then a history copy its own.
    QVERIFY(setProfileKey(path, "Global", "WinTop", "100").ok());
    QVERIFY(setProfileKey(path, "Color", "C0", "255").ok());
    QVERIFY(setProfileKey(path, "Global", "WinTop", "200").ok());
    QCOMPARE(
        fileContent(file),
        QByteArray("# kept\n[Global]\nMaxLines=50\nWinTop=200\n[Other]\nX=1\n[Color]\nC0=255\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"quorvik.cfg"});
}

void TestProfile::writeIntoMissingFolderFails() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("nope/quorvik.cfg").toStdString();
    const FileResult result = setProfileKey(path, "Global", "K", "v");
    QCOMPARE(bytes(result.error), QByteArray("No such file or directory"));
}

void TestProfile::unreadableFileIsLeftAlone() {
    if (::geteuid() == 0)
        QSKIP("root reads every file");
    QTemporaryDir dir;
    const QString file = dir.filePath("quorvik.cfg");
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Global]\nA=1\n");
    }
    QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
    QVERIFY(!setProfileKey(file.toStdString(), "Global", "K", "v").ok());
    QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(fileContent(file), QByteArray("[Global]\nA=1\n"));
}

QTEST_APPLESS_MAIN(TestProfile)
#include "tst_profile.moc"
