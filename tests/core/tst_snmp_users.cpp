// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/profile.h"
#include "core/rejection_ledger.h"
#include "core/snmp_users.h"

#include <QtTest>

using namespace quorvik;

class TestSnmpUsers : public QObject {
    Q_OBJECT

private slots:
    void entries_data();
    void entries();
    void usersFromProfile();
    void usersWrittenRenumbered();
    void engineKeptAndBootsRaised();
    void engineIdNeverReplacedWithoutAWord();
    void rejectionRowsOncePerMinute();
    void latestReasonPerSender();
};

void TestSnmpUsers::entries_data() {
    QTest::addColumn<QStringList>("fields"); // user, auth, auth pass, priv, priv pass, engine
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("canonical"); // auth/priv/engine hex of a usable one
    const QString pass = QStringLiteral("12345678");
    QTest::newRow("authPriv, any letter case")
        << QStringList{"alice", "sha-256", pass, "aes-256", pass, ""} << ""
        << "SHA-256/AES-256/";
    QTest::newRow("no auth, no priv") << QStringList{"bob", "NONE", "", "None", "", ""} << ""
                                      << "none/none/";
    QTest::newRow("missing protocols mean none") << QStringList{"bob", "", "", "", "", ""} << ""
                                                 << "none/none/";
    QTest::newRow("engine with 0x")
        << QStringList{"c", "md5", pass, "des", pass, "0x80001f8801"} << ""
        << "MD5/DES/80001F8801";
    QTest::newRow("engine without 0x")
        << QStringList{"c", "SHA", pass, "AES-192", pass, "80001F8801"} << ""
        << "SHA/AES-192/80001F8801";
    QTest::newRow("empty name") << QStringList{"", "SHA", pass, "AES", pass, ""} << "User3 is empty"
                                << "";
    QTest::newRow("short auth password") << QStringList{"d", "SHA", "1234567", "none", "", ""}
                                         << "AuthPass3 is shorter than 8 characters"
                                         << "";
    QTest::newRow("short priv password") << QStringList{"d", "SHA", pass, "AES", "1234567", ""}
                                         << "PrivPass3 is shorter than 8 characters"
                                         << "";
    QTest::newRow("unknown auth") << QStringList{"d", "SHA-1024", pass, "none", "", ""}
                                  << "Auth3 names no known protocol (none, MD5, SHA, SHA-224, "
                                     "SHA-256, SHA-384, SHA-512)"
                                  << "";
    QTest::newRow("unknown priv") << QStringList{"d", "SHA", pass, "3DES", pass, ""}
                                  << "Priv3 names no known protocol (none, DES, AES, AES-192, "
                                     "AES-256)"
                                  << "";
    QTest::newRow("priv without auth") << QStringList{"d", "none", "", "AES", pass, ""}
                                       << "Priv3 needs authentication, but Auth3 is none"
                                       << "";
    QTest::newRow("odd hex") << QStringList{"d", "SHA", pass, "none", "", "0x80001F880"}
                             << "Engine3 is no engine ID (5 to 32 bytes in hex)"
                             << "";
    QTest::newRow("not hex") << QStringList{"d", "SHA", pass, "none", "", "80001F88zz"}
                             << "Engine3 is no engine ID (5 to 32 bytes in hex)"
                             << "";
    QTest::newRow("4 bytes") << QStringList{"d", "SHA", pass, "none", "", "80001F88"}
                             << "Engine3 is no engine ID (5 to 32 bytes in hex)"
                             << "";
    QTest::newRow("33 bytes") << QStringList{"d", "SHA", pass, "none", "", QString(66, 'a')}
                              << "Engine3 is no engine ID (5 to 32 bytes in hex)"
                              << "";
}

void TestSnmpUsers::entries() {
    QFETCH(QStringList, fields);
    QFETCH(QString, problem);
    QFETCH(QString, canonical);
    const SnmpUserCheck check =
        checkSnmpUser({3, fields[0].toStdString(), fields[1].toStdString(), fields[2].toStdString(),
                       fields[3].toStdString(), fields[4].toStdString(), fields[5].toStdString()});
    QCOMPARE(QString::fromStdString(check.problem), problem);
    QCOMPARE(check.user.has_value(), problem.isEmpty());
    if (check.user)
        QCOMPARE(QString::fromStdString(check.user->auth + '/' + check.user->priv + '/' +
                                        hexText(check.user->engineId)),
                 canonical);
    // A reason never shows a password.
    QVERIFY(!problem.contains(QStringLiteral("1234567")));
}

void TestSnmpUsers::usersFromProfile() {
    const Profile profile = Profile::parse("[Global]\r\nUser1=not a user\r\n"
                                           "[snmpv3]\r\nUser1=alice\r\nAuth1=SHA\r\n"
                                           "AuthPass1=alice-pass\r\nPriv1=AES\r\n"
                                           "PrivPass1=alice-priv\r\n"
                                           "User2=bob\r\nAuth2=SHA\r\nAuthPass2=short\r\n"
                                           "User4=carol\r\nUser5=alice\r\n");
    const SnmpUsers users = snmpUsersFromProfile(profile);
    QCOMPARE(users.users.size(), std::size_t(2));
    QCOMPARE(users.users[0].name, std::string("alice"));
    QCOMPARE(users.users[0].privPassword, std::string("alice-priv"));
    QCOMPARE(users.users[1].name, std::string("carol"));
    // A second entry of one name could never be used: the first one holds it.
    QCOMPARE(users.problems,
             (std::vector<std::string>{
                 "SNMPv3 user 2 skipped: AuthPass2 is shorter than 8 characters",
                 "SNMPv3 user 5 skipped: User5 repeats \"alice\", the name of user 1"}));
    QVERIFY(profile.hasSection("SNMPV3"));
    QVERIFY(!Profile::parse("[Global]\r\n").hasSection(kSnmpSection));
}

void TestSnmpUsers::usersWrittenRenumbered() {
    Profile profile = Profile::parse("[SNMPv3]\r\nEngineID=0x8000000001\r\nUser1=a\r\n"
                                     "Auth1=SHA\r\nAuthPass1=aaaaaaaa\r\nUser3=c\r\n"
                                     "Engine3=0x8000000002\r\n[Global]\r\nMaxLines=5\r\n");
    std::vector<SnmpUserFields> users = snmpUserFieldsFromProfile(profile);
    QCOMPARE(users.size(), std::size_t(2));
    QCOMPARE(users[1].number, 3);
    users.erase(users.begin());
    users.push_back({9, "d", "MD5", "dddddddd", "DES", "eeeeeeee", ""});
    writeSnmpUsers(profile, users);
    QCOMPARE(profile.text(), std::string("[SNMPv3]\r\nEngineID=0x8000000001\r\nUser1=c\r\n"
                                         "Engine1=0x8000000002\r\nUser2=d\r\nAuth2=MD5\r\n"
                                         "AuthPass2=dddddddd\r\nPriv2=DES\r\n"
                                         "PrivPass2=eeeeeeee\r\n[Global]\r\nMaxLines=5\r\n"));
}

void TestSnmpUsers::engineKeptAndBootsRaised() {
    Profile profile = Profile::parse("[SNMPv3]\r\nUser1=a\r\n");
    const SnmpEngine first = startSnmpEngine(profile);
    QCOMPARE(first.boots, 1L);
    QCOMPARE(first.engineId.size(), std::size_t(13));
    QCOMPARE(first.engineId.substr(0, 5), std::string("\x80\x00\x1F\x88\x05", 5));
    QCOMPARE(profile.value(kSnmpSection, "EngineBoots"), std::string("1"));
    const SnmpEngine second = startSnmpEngine(profile);
    QCOMPARE(second.engineId, first.engineId);
    QCOMPARE(second.boots, 2L);
    QCOMPARE(profile.value(kSnmpSection, "EngineID"), "0x" + hexText(first.engineId));
    // An unusable ID is made anew; an unusable count starts again at 1.
    profile.setValue(kSnmpSection, "EngineBoots", "x");
    QCOMPARE(startSnmpEngine(profile).boots, 1L);
    profile.setValue(kSnmpSection, "EngineID", "0x80");
    QVERIFY(startSnmpEngine(profile).engineId != first.engineId);
}

// An engine ID as people write it, in groups, is read; one that can't be
// read is never replaced in the file, and the run says what it uses.
void TestSnmpUsers::engineIdNeverReplacedWithoutAWord() {
    Profile profile = Profile::parse("[SNMPv3]\r\nUser1=a\r\n"
                                     "EngineID=0x80 00 1F 88 05 01 02 03\r\nEngineBoots=4\r\n");
    const SnmpEngine grouped = startSnmpEngine(profile);
    QCOMPARE(grouped.engineId, std::string("\x80\x00\x1F\x88\x05\x01\x02\x03", 8));
    QCOMPARE(grouped.boots, 5L);
    QVERIFY(grouped.problem.empty());

    const std::string mistyped = "[SNMPv3]\r\nUser1=a\r\nEngineID=0x80001F8805zz\r\n"
                                 "EngineBoots=4\r\n";
    profile = Profile::parse(mistyped);
    const SnmpEngine made = startSnmpEngine(profile);
    QCOMPARE(made.engineId.size(), std::size_t(13));
    QVERIFY2(made.problem.starts_with("EngineID: \"0x80001F8805zz\" is no engine ID") &&
                 made.problem.find("0x" + hexText(made.engineId)) != std::string::npos,
             made.problem.c_str());
    QCOMPARE(profile.text(), mistyped);
}

void TestSnmpUsers::rejectionRowsOncePerMinute() {
    RejectionLedger ledger;
    QVERIFY(ledger.note("192.0.2.1", "unknown user \"bob\"", 1000));
    QVERIFY(!ledger.note("192.0.2.1", "unknown user \"bob\"", 1001));
    QVERIFY(ledger.note("192.0.2.1", "unknown user \"eve\"", 1002));
    QVERIFY(ledger.note("192.0.2.2", "unknown user \"bob\"", 1003));
    QVERIFY(!ledger.note("192.0.2.1", "unknown user \"bob\"", 1059));
    QVERIFY(ledger.note("192.0.2.1", "unknown user \"bob\"", 1060));
    QCOMPARE(ledger.count(), 6u);
    ledger.clearCount();
    QCOMPARE(ledger.count(), 0u);
    QVERIFY(ledger.latestReasons().empty());
    QVERIFY(!ledger.note("192.0.2.1", "unknown user \"bob\"", 1061)); // the minute still counts
    QCOMPARE(ledger.count(), 1u);
}

void TestSnmpUsers::latestReasonPerSender() {
    RejectionLedger ledger;
    ledger.note("192.0.2.1", "a", 0);
    ledger.note("192.0.2.2", "b", 0);
    ledger.note("192.0.2.1", "c", 0);
    using Reasons = std::list<std::pair<std::string, std::string>>;
    QCOMPARE(ledger.latestReasons(), (Reasons{{"192.0.2.1", "c"}, {"192.0.2.2", "b"}}));
    for (std::size_t i = 0; i < 2 * RejectionLedger::kShownSenders; ++i)
        ledger.note("198.51.100." + std::to_string(i), "d", 0);
    QCOMPARE(ledger.latestReasons().size(), RejectionLedger::kShownSenders);
}

QTEST_GUILESS_MAIN(TestSnmpUsers)
#include "tst_snmp_users.moc"
