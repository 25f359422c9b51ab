// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A rule's program line: split as a shell quotes words and nothing more,
// its program found once, and the event's values given to it as exactly
// one argument each, in the environment and as JSON.

#include "core/program_command.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvik;

Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

std::vector<std::string> words(std::initializer_list<const char *> list) {
    return {list.begin(), list.end()};
}

QString shown(const std::vector<std::string> &list) {
    QStringList parts;
    for (const std::string &word : list)
        parts << QLatin1Char('[') + QString::fromStdString(word) + QLatin1Char(']');
    return parts.join(QLatin1Char(' '));
}

// An event whose fields hold what a shell would act on.
Event hostileEvent() {
    Event event;
    event.level = &levelByIndex(2);
    event.date = "10.12.2026 08:00:00";
    event.host = "$(touch pwned)";
    event.application = "`id`; rm -rf /tmp/x | cat";
    event.object = "-rf";
    event.message = "line one\nline two \"quoted\" 'single' {host}";
    event.sender = "192.0.2.7";
    event.source = Source::Syslog;
    event.receivedAt = 1'765'000'000;
    return event;
}

bool makeProgram(const QString &path, QFileDevice::Permissions permissions) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    return file.setPermissions(permissions);
}

} // namespace

class TestProgramCommand : public QObject {
    Q_OBJECT

private slots:
    void splitting_data();
    void splitting();
    void quotedWordsSplitBack();
    void programFound();
    void valuesStayOneArgumentEach();
    void environmentAndJsonCarryEveryValue();
};

void TestProgramCommand::splitting_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::vector<std::string>>("expected");
    QTest::addColumn<QString>("error");
    const auto row = [](const char *name, const char *text, std::vector<std::string> expected,
                        const char *error = "") {
        QTest::newRow(name) << QString::fromUtf8(text) << expected << QString::fromUtf8(error);
    };
    row("blanks and tabs", "  /bin/ticket\t-p  high ", words({"/bin/ticket", "-p", "high"}));
    row("single quotes keep all", R"(/bin/t 'a "b" \n $(x)')",
        words({"/bin/t", R"(a "b" \n $(x))"}));
    row("double quotes escape four", R"(/bin/t "a \" \\ \$ \` \n b")",
        words({"/bin/t", R"(a " \ $ ` \n b)"}));
    row("backslash outside quotes", R"(/bin/t a\ b \'c \\)", words({"/bin/t", "a b", "'c", "\\"}));
    row("quotes join a word", R"(/bin/t --to='ops team'"@"x)",
        words({"/bin/t", "--to=ops team@x"}));
    row("empty quoted words", R"(/bin/t '' "")", words({"/bin/t", "", ""}));
    row("no shell syntax", "/bin/t $(touch x) `id` a;b c|d && e > f * ~",
        words({"/bin/t", "$(touch", "x)", "`id`", "a;b", "c|d", "&&", "e", ">", "f", "*", "~"}));
    row("placeholders kept for later", "/bin/t {host} '{msg}'",
        words({"/bin/t", "{host}", "{msg}"}));
    row("open single quote", "/bin/t 'abc", {}, "a single quote (') is not closed");
    row("open double quote", R"(/bin/t "abc\")", {}, "a double quote (\") is not closed");
    row("trailing backslash", "/bin/t abc\\", {}, "it ends in a backslash, which escapes nothing");
    row("empty", "", {}, "it names no program");
    row("only blanks", " \t ", {}, "it names no program");
}

void TestProgramCommand::splitting() {
    QFETCH(QString, text);
    QFETCH(std::vector<std::string>, expected);
    QFETCH(QString, error);
    const CommandSplit split = splitCommandLine(text.toStdString());
    QCOMPARE(QString::fromStdString(split.error), error);
    QCOMPARE(shown(split.words), shown(expected));
}

void TestProgramCommand::quotedWordsSplitBack() {
    const std::vector<std::string> list = {"/bin/t", "it's", "a b", "", "\"\\$`", "'''"};
    std::string line;
    for (const std::string &word : list)
        line += quotedWord(word) + ' ';
    QCOMPARE(shown(splitCommandLine(line).words), shown(list));
}

void TestProgramCommand::programFound() {
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(makeProgram(bin + QStringLiteral("/ticket"),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(makeProgram(bin + QStringLiteral("/plain"), QFile::ReadOwner | QFile::WriteOwner));
    const std::string path = "/nonexistent:relative:" + bin.toStdString();

    RunCommand found = parseRunCommand("ticket --queue ops", path);
    QCOMPARE(QString::fromStdString(found.error), QString());
    QCOMPARE(QString::fromStdString(found.program), bin + QStringLiteral("/ticket"));
    QCOMPARE(shown(found.arguments), shown(words({"--queue", "ops"})));
    found = parseRunCommand((bin + QStringLiteral("/ticket")).toStdString(), "");
    QCOMPARE(QString::fromStdString(found.program), bin + QStringLiteral("/ticket"));

    const std::pair<std::string, QString> refused[] = {
        {"ticket", QStringLiteral("ticket is not an executable program in any folder of PATH "
                                  "(/usr/bin:/bin)")},
        {"plain", QStringLiteral("plain is not an executable program in any folder of PATH")},
        {"./ticket", QStringLiteral("./ticket is a relative path: give the program's absolute "
                                    "path (starting with /) or a name found on PATH")},
        {bin.toStdString() + "/plain", bin + QStringLiteral("/plain is not executable")},
        {bin.toStdString(), bin + QStringLiteral(" is not a file")},
        {bin.toStdString() + "/missing",
         bin + QStringLiteral("/missing: No such file or directory")},
        {"'/bin/t", QStringLiteral("The program line can't be read: a single quote (') is not "
                                   "closed")},
    };
    for (const auto &[text, error] : refused) {
        const RunCommand command =
            parseRunCommand(text, text == "ticket" ? std::string("/usr/bin:/bin") : path);
        QVERIFY2(QString::fromStdString(command.error).startsWith(error), command.error.c_str());
        QVERIFY(command.program.empty());
    }
}

void TestProgramCommand::valuesStayOneArgumentEach() {
    const ProgramValues values = programValues(hostileEvent(), 2, "Core links");
    const std::vector<std::string> templates = {
        "{host}", "--app={app}",     "{obj}", "{msg}", "{level}/{source}/{rule}/{sender}",
        "{date}", "{unknown} {host", "{"};
    const std::vector<std::string> arguments = expandArguments(templates, values);
    QCOMPARE(shown(arguments),
             shown({"$(touch pwned)", "--app=`id`; rm -rf /tmp/x | cat", "-rf",
                    "line one\nline two \"quoted\" 'single' {host}", "Critical/syslog/2/192.0.2.7",
                    "10.12.2026 08:00:00", "{unknown} {host", "{"}));

    // Bytes that are not UTF-8 are read as Windows-1252; NUL can't be in an argument.
    Event legacy = hostileEvent();
    legacy.message = std::string("caf\xE9 \x80 a\0b", 10);
    QCOMPARE(QString::fromStdString(expandArguments({"{msg}"}, programValues(legacy, 1, "")).at(0)),
             QStringLiteral("café € a[U+0000]b"));
}

void TestProgramCommand::environmentAndJsonCarryEveryValue() {
    Event event = hostileEvent();
    event.host = std::string("h\xFF\x01\"\\", 5); // not UTF-8, a control, JSON's own characters
    const ProgramValues values = programValues(event, 12, "Core \"links\"");
    const auto environment = programEnvironment(values);
    QStringList names;
    for (const auto &[name, value] : environment)
        names << QString::fromStdString(name + '=' + value);
    QCOMPARE(names, (QStringList{
                        QStringLiteral("QUORVIK_LEVEL=Critical"),
                        QStringLiteral("QUORVIK_DATE=10.12.2026 08:00:00"),
                        QString::fromUtf8("QUORVIK_HOST=hÿ\x01\"\\"),
                        QStringLiteral("QUORVIK_APP=`id`; rm -rf /tmp/x | cat"),
                        QStringLiteral("QUORVIK_OBJ=-rf"),
                        QStringLiteral("QUORVIK_MSG=line one\nline two \"quoted\" 'single' {host}"),
                        QStringLiteral("QUORVIK_SENDER=192.0.2.7"),
                        QStringLiteral("QUORVIK_SOURCE=syslog"),
                        QStringLiteral("QUORVIK_RULE=12"),
                        QStringLiteral("QUORVIK_RULE_NAME=Core \"links\""),
                        QStringLiteral("QUORVIK_RECEIVED=1765000000"),
                    }));

    const std::string json = programJson(values);
    QVERIFY(json.ends_with("}\n"));
    QCOMPARE(json.find('\n'), json.size() - 1); // one line
    QJsonParseError error{};
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray::fromStdString(json), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(object.value(QStringLiteral("rule")).toInt(), 12);
    QCOMPARE(object.value(QStringLiteral("ruleName")).toString(), QStringLiteral("Core \"links\""));
    QCOMPARE(object.value(QStringLiteral("host")).toString(), QString::fromUtf8("hÿ\x01\"\\"));
    QCOMPARE(object.value(QStringLiteral("msg")).toString(),
             QStringLiteral("line one\nline two \"quoted\" 'single' {host}"));
    QCOMPARE(object.value(QStringLiteral("source")).toString(), QStringLiteral("syslog"));
    QCOMPARE(object.value(QStringLiteral("received")).toInteger(), 1'765'000'000);
    QCOMPARE(object.keys().size(), 11);
}

QTEST_APPLESS_MAIN(TestProgramCommand)
#include "tst_program_command.moc"
