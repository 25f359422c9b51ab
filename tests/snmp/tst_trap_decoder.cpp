// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/ber_length.h"
#include "snmp/net_snmp_decoder.h"

#include <QtTest>

#include <atomic>
#include <initializer_list>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace quorvik;

namespace {

// BER by hand, so that the tests can also build what no agent sends.
std::string tlv(unsigned char tag, const std::string &content) {
    std::string out(1, char(tag));
    const std::size_t n = content.size();
    if (n < 0x80) {
        out += char(n);
    } else {
        std::string length;
        for (std::size_t v = n; v > 0; v >>= 8)
            length.insert(length.begin(), char(v & 0xFF));
        out += char(0x80 | length.size());
        out += length;
    }
    return out + content;
}

std::string integer(long long value, unsigned char tag = 0x02) {
    std::string bytes;
    do {
        bytes.insert(bytes.begin(), char(value & 0xFF));
        value >>= 8;
    } while (value != 0 && value != -1);
    if ((value == 0) != ((static_cast<unsigned char>(bytes[0]) & 0x80) == 0))
        bytes.insert(bytes.begin(), char(value == 0 ? 0 : 0xFF));
    return tlv(tag, bytes);
}

std::string unsignedValue(unsigned long long value, unsigned char tag) {
    std::string bytes;
    do {
        bytes.insert(bytes.begin(), char(value & 0xFF));
        value >>= 8;
    } while (value != 0);
    if (static_cast<unsigned char>(bytes[0]) & 0x80)
        bytes.insert(bytes.begin(), '\0');
    return tlv(tag, bytes);
}

std::string objectId(std::initializer_list<unsigned> subids) {
    auto it = subids.begin();
    const unsigned first = *it++;
    std::string content(1, char(first * 40 + *it++));
    for (; it != subids.end(); ++it) {
        std::string part(1, char(*it & 0x7F));
        for (unsigned v = *it >> 7; v > 0; v >>= 7)
            part.insert(part.begin(), char(0x80 | (v & 0x7F)));
        content += part;
    }
    return tlv(0x06, content);
}

std::string octets(const std::string &text) {
    return tlv(0x04, text);
}

std::string binding(const std::string &name, const std::string &value) {
    return tlv(0x30, name + value);
}

std::string bindings(std::initializer_list<std::string> list) {
    std::string all;
    for (const std::string &b : list)
        all += b;
    return tlv(0x30, all);
}

const std::string kUpTime =
    binding(objectId({1, 3, 6, 1, 2, 1, 1, 3, 0}), unsignedValue(4200, 0x43));

std::string trapOid(std::initializer_list<unsigned> trap) {
    return binding(objectId({1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}), objectId(trap));
}

// A community message (version 0: v1, 1: v2c) around a PDU.
std::string message(int version, unsigned char pduTag, const std::string &pduBody) {
    return tlv(0x30, integer(version) + octets("public") + tlv(pduTag, pduBody));
}

// A v2c PDU: request id, error status and index, bindings.
std::string v2(unsigned char pduTag, const std::string &varbinds, int errorStatus = 0) {
    return message(1, pduTag, integer(1234567) + integer(errorStatus) + integer(0) + varbinds);
}

std::string v1Trap(std::initializer_list<unsigned> enterprise, int generic, int specific,
                   const std::string &varbinds) {
    return message(0, 0xA4,
                   objectId(enterprise) + tlv(0x40, std::string("\xC0\x00\x02\x01", 4)) +
                       integer(generic) + integer(specific) + unsignedValue(99, 0x43) + varbinds);
}

const std::string kLinkDown =
    v2(0xA7, bindings({kUpTime, trapOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3}),
                       binding(objectId({1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 2}), integer(2)),
                       binding(objectId({1, 3, 6, 1, 2, 1, 2, 2, 1, 7, 2}), integer(1)),
                       binding(objectId({1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 2}), integer(2))}));

// SNMPv3 messages as net-snmp's tools sent them: a linkDown trap (ifIndex.2)
// of user "fuzz" (SHA-256 with "fuzz-auth-pass", AES with "fuzz-priv-pass")
// from engine 80001F8880AABBCCDD, and snmpinform's engine discovery.
const std::string
    kV3Trap("\x30\x81\xbb\x02\x01\x03\x30\x11\x02\x04\x54\x12\xaa\xa7\x02\x03\x00\xff\xe3"
            "\x04\x01\x03\x02\x01\x03\x04\x3f\x30\x3d\x04\x09\x80\x00\x1f\x88\x80\xaa\xbb"
            "\xcc\xdd\x02\x01\x01\x02\x03\x03\x37\x3c\x04\x04\x66\x75\x7a\x7a\x04\x18\x38"
            "\x71\xc9\x9b\xd0\x57\x4d\x84\x8e\x16\x4a\xee\xaa\xe3\xcb\x78\xca\x6e\x42\x17"
            "\x45\x28\x99\xcd\x04\x08\xcc\x83\x79\xdb\x0a\x77\x2a\x4b\x04\x62\xa7\xf0\xf4"
            "\xee\xfe\x32\xaf\x16\x7b\xf7\xe1\xe3\xa5\xbb\x8d\xc6\x78\x29\x9c\xc8\x8d\x63"
            "\x38\x9c\xaa\x58\x19\xb6\x92\xba\xb9\xed\x0d\x2c\x17\xd3\x2c\xe7\x34\x77\x10"
            "\x7c\x3c\x12\xec\x68\x99\x7e\xf1\x0e\x4b\x37\x39\x26\xfe\x15\x66\x52\x2a\x93"
            "\xbb\x21\x83\x6d\x0e\x9e\xe5\x45\xab\x52\x69\x95\x1e\x02\xa6\x58\x22\x38\xf9"
            "\x55\x2e\x66\x1f\x17\xed\x18\x42\x81\x32\x77\xd0\x35\x38\x0f\xa2\x65\x7b\x89",
            190);
const std::string
    kV3Discovery("\x30\x4f\x02\x01\x03\x30\x11\x02\x04\x33\x49\x4c\x9d\x02\x03\x00\xff\xe3\x04"
                 "\x01\x04\x02\x01\x03\x04\x10\x30\x0e\x04\x00\x02\x01\x00\x02\x01\x00\x04\x00"
                 "\x04\x00\x04\x00\x30\x25\x04\x11\x80\x00\x1f\x88\x80\x94\x4c\x0f\x14\xda\x7a"
                 "\x19\x6b\x00\x00\x00\x00\x04\x00\xa0\x0e\x02\x04\x5f\x7d\x1d\x78\x02\x01\x00"
                 "\x02\x01\x00\x30\x00",
                 81);

NetSnmpDecoder &decoder() {
    static NetSnmpDecoder instance(QUORVIK_MIB_DIR);
    return instance;
}

QString describe(const std::string &datagram) {
    return QString::fromStdString(decoder().describe(datagram));
}

} // namespace

class TestTrapDecoder : public QObject {
    Q_OBJECT

private slots:
    void describes_data();
    void describes();
    void everyValueType();
    void boundedOneLine();
    void repeatsDescribedByWhatTheyShow();
    void malformedGivesNothing();
    void malformedValueCostsOnlyItself();
    void lengthsReadAsNetSnmpReadsThem();
    void answersWellFormedInformsOnly();
    void snmpv3ByItsUsers();
    void answersWhileTheRoadDecodes();
    void informDecryptedOnce();
};

void TestTrapDecoder::describes_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const std::string &datagram, const char *expected) {
        QTest::newRow(name) << QByteArray::fromStdString(datagram) << QString(expected);
    };
    row("v2c linkDown", kLinkDown,
        "IF-MIB::linkDown ifIndex.2=2 ifAdminStatus.2=up ifOperStatus.2=down");
    row("v2c inform", v2(0xA6, bindings({kUpTime, trapOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 1})})),
        "SNMPv2-MIB::coldStart");
    row("v2c without snmpTrapOID", v2(0xA7, bindings({kUpTime})),
        "SNMP Trap sysUpTime.0=0:0:00:42.00");
    row("v1 coldStart", v1Trap({1, 3, 6, 1, 4, 1, 8072, 3, 2, 10}, 0, 0, bindings({})),
        "SNMPv2-MIB::coldStart enterprise=NET-SNMP-TC::linux generic=0 agent=192.0.2.1");
    row("v1 unknown enterprise",
        v1Trap({1, 3, 6, 1, 4, 1, 99999}, 6, 17,
               bindings({binding(objectId({1, 3, 6, 1, 4, 1, 99999, 1, 0}), octets("up"))})),
        "1.3.6.1.4.1.99999.0.17 enterprise=1.3.6.1.4.1.99999 specific=17 agent=192.0.2.1 "
        "1.3.6.1.4.1.99999.1.0=\"up\"");
    row("GetRequest",
        v2(0xA0, bindings({binding(objectId({1, 3, 6, 1, 2, 1, 1, 5, 0}), tlv(0x05, ""))})),
        "SNMP GetRequest sysName.0=NULL");
    row("SNMPv3 of another security model",
        tlv(0x30, integer(3) +
                      tlv(0x30, integer(1) + integer(65507) + octets("\x04") + integer(4)) +
                      octets("") + tlv(0x30, octets("") + octets("") + tlv(0xA0, ""))),
        "SNMPv3 message, not decoded");
    row("SNMPv3 without its security parameters",
        tlv(0x30, integer(3) +
                      tlv(0x30, integer(1) + integer(65507) + octets("\x04") + integer(3)) +
                      octets("") + tlv(0x30, octets("") + octets("") + tlv(0xA0, ""))),
        "");
}

void TestTrapDecoder::describes() {
    QFETCH(QByteArray, datagram);
    QFETCH(QString, expected);
    QCOMPARE(describe(datagram.toStdString()), expected);
}

void TestTrapDecoder::everyValueType() {
    const auto at = [](unsigned n) { return objectId({1, 3, 6, 1, 4, 1, 99999, n}); };
    const std::string trap = v2(
        0xA7,
        bindings(
            {kUpTime, trapOid({1, 3, 6, 1, 4, 1, 99999, 0, 1}), binding(at(1), integer(-5)),
             binding(at(2), unsignedValue(4294967295, 0x41)),
             binding(at(3), unsignedValue(7, 0x42)), binding(at(4), unsignedValue(8640000, 0x43)),
             binding(at(5), tlv(0x40, std::string("\x0A\x00\x00\x01", 4))),
             binding(at(6), objectId({1, 3, 6, 1, 2, 1, 2, 2, 1, 8})),
             binding(at(7), octets("a \"b\"")),
             binding(at(8), octets(std::string("\x00\xFF\x10", 3))), binding(at(9), tlv(0x05, "")),
             binding(at(10), tlv(0x80, "")), binding(at(11), tlv(0x81, "")),
             binding(at(12), tlv(0x82, "")), binding(at(13), unsignedValue(1ULL << 40, 0x46)),
             binding(objectId({1, 3, 6, 1, 2, 1, 1, 1, 0}), integer(3))}));
    QCOMPARE(describe(trap),
             QString("1.3.6.1.4.1.99999.0.1 1.3.6.1.4.1.99999.1=-5 1.3.6.1.4.1.99999.2=4294967295 "
                     "1.3.6.1.4.1.99999.3=7 1.3.6.1.4.1.99999.4=1:0:00:00.00 "
                     "1.3.6.1.4.1.99999.5=10.0.0.1 1.3.6.1.4.1.99999.6=IF-MIB::ifOperStatus "
                     "1.3.6.1.4.1.99999.7=\"a \"b\"\" 1.3.6.1.4.1.99999.8=00:FF:10 "
                     "1.3.6.1.4.1.99999.9=NULL 1.3.6.1.4.1.99999.10=noSuchObject "
                     "1.3.6.1.4.1.99999.11=noSuchInstance 1.3.6.1.4.1.99999.12=endOfMibView "
                     "1.3.6.1.4.1.99999.13=1099511627776 "
                     "sysDescr.0=Wrong Type (should be OCTET STRING): 3"));
}

void TestTrapDecoder::boundedOneLine() {
    // Line breaks in a value and a 60 KB binding: one line of 4 KiB at most.
    const std::string trap =
        v2(0xA7, bindings({kUpTime, trapOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 1}),
                           binding(objectId({1, 3, 6, 1, 2, 1, 1, 6, 0}), octets("room\r\n7\t")),
                           binding(objectId({1, 3, 6, 1, 2, 1, 1, 4, 0}),
                                   octets(std::string(60000, 'x')))}));
    QVERIFY(trap.size() > 60000);
    const std::string text = decoder().describe(trap);
    QCOMPARE(text.size(), NetSnmpDecoder::kMaxDescription);
    QVERIFY(
        text.starts_with("SNMPv2-MIB::coldStart sysLocation.0=\"room  7 \" sysContact.0=\"xxx"));
    QVERIFY(text.ends_with("xxx\xE2\x80\xA6"));
}

// Descriptions are kept by what they show: repeats that differ only in what
// is never shown share one, any shown difference gets its own.
void TestTrapDecoder::repeatsDescribedByWhatTheyShow() {
    const auto upTime = [](unsigned long long ticks) {
        return binding(objectId({1, 3, 6, 1, 2, 1, 1, 3, 0}), unsignedValue(ticks, 0x43));
    };
    const auto linkDown = [&](unsigned long long ticks, int requestId, int operStatus) {
        return message(1, 0xA7,
                       integer(requestId) + integer(0) + integer(0) +
                           bindings({upTime(ticks), trapOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3}),
                                     binding(objectId({1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 2}),
                                             integer(operStatus))}));
    };
    QCOMPARE(describe(linkDown(100, 1, 2)), QString("IF-MIB::linkDown ifOperStatus.2=down"));
    QCOMPARE(describe(linkDown(900, 2, 2)), QString("IF-MIB::linkDown ifOperStatus.2=down"));
    QCOMPARE(describe(linkDown(900, 2, 1)), QString("IF-MIB::linkDown ifOperStatus.2=up"));
    // Without the trap's name sysUpTime is shown, so its value counts.
    QCOMPARE(describe(v2(0xA7, bindings({upTime(4200)}))),
             QString("SNMP Trap sysUpTime.0=0:0:00:42.00"));
    QCOMPARE(describe(v2(0xA7, bindings({upTime(9900)}))),
             QString("SNMP Trap sysUpTime.0=0:0:01:39.00"));
}

void TestTrapDecoder::malformedGivesNothing() {
    // Every truncation of a good trap, lengths past the end or beyond any
    // size, deep nesting, a tagged text: no description, no answer.
    std::vector<std::string> bad;
    for (std::size_t n = 0; n < kLinkDown.size(); ++n)
        bad.push_back(kLinkDown.substr(0, n));
    bad.push_back(std::string("\x30\x84\xFF\xFF\xFF\xFF\x02\x01\x01", 9));
    bad.push_back(std::string("\x30\x89\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 11));
    std::string inner = kLinkDown.substr(2);
    bad.push_back(std::string("\x30\x7F", 2) + inner); // length past the end
    std::string nested = integer(1);
    for (int i = 0; i < 10000; ++i)
        nested = tlv(0x30, nested);
    bad.push_back(nested);
    bad.push_back(message(1, 0xA7, tlv(0x30, tlv(0x30, tlv(0x30, tlv(0x30, ""))))));
    bad.push_back("trapo$LEVL$:W$MSG$:hello");
    // The community ends the message: no PDU tag to read (found by the fuzzer).
    bad.push_back(std::string("\x30\x0B\x02\x01\x01\x04\x06public", 13));
    for (const std::string &datagram : bad) {
        QCOMPARE(describe(datagram), QString());
        QVERIFY(!decoder().informResponse(datagram));
    }
}

// A value that net-snmp can't read (or reads but can't print, as a 3-byte
// IpAddress) is shown in hex with its tag and length, its name where that
// reads; the rest of the message is shown as ever, and an inform with one is
// acknowledged, as it is shown.
void TestTrapDecoder::malformedValueCostsOnlyItself() {
    const auto at = [](unsigned n) { return objectId({1, 3, 6, 1, 4, 1, 99999, n}); };
    const std::string varbinds =
        bindings({kUpTime, trapOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3}),
                  binding(objectId({1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 2}), integer(2)),
                  binding(at(1), tlv(0x40, std::string("\x0A\x00\x01", 3))), // a 3-byte IpAddress
                  binding(at(2), tlv(0x02, std::string(16, '\x11'))),        // a 16-byte INTEGER
                  binding(at(3), tlv(0x49, "\x01")),                         // an unknown tag
                  tlv(0x30, tlv(0x06, "")),                                  // no name, no value
                  binding(objectId({1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 2}), integer(2))});
    const QString shown = "ifIndex.2=2 1.3.6.1.4.1.99999.1=(malformed) 40:03:0A:00:01 "
                          "1.3.6.1.4.1.99999.2=(malformed) 02:10" +
                          QString(":11").repeated(16) +
                          " 1.3.6.1.4.1.99999.3=(malformed) 49:01:01 (malformed) 30:02:06:00 "
                          "ifOperStatus.2=down";
    QCOMPARE(describe(v2(0xA7, varbinds)), "IF-MIB::linkDown " + shown);
    QCOMPARE(describe(v2(0xA6, varbinds)), "IF-MIB::linkDown " + shown);
    QCOMPARE(decoder().informResponse(v2(0xA6, varbinds)), v2(0xA2, varbinds));
    const std::string v1 =
        v1Trap({1, 3, 6, 1, 4, 1, 99999}, 6, 17, bindings({binding(at(4), tlv(0x49, "\x01"))}));
    QCOMPARE(describe(v1), QString("1.3.6.1.4.1.99999.0.17 enterprise=1.3.6.1.4.1.99999 "
                                   "specific=17 agent=192.0.2.1 "
                                   "1.3.6.1.4.1.99999.4=(malformed) 49:01:01"));
}

// core's length reader (the sysDescr rule, the SNMPv3 header walk) and
// net-snmp's, which reads every message, take the same long forms as
// lengths: with leading zero digits, up to as many digits as a long holds.
void TestTrapDecoder::lengthsReadAsNetSnmpReadsThem() {
    const std::string body = kLinkDown.substr(2);
    QVERIFY(static_cast<unsigned char>(kLinkDown[1]) == body.size()); // the short form
    const std::string ifIndex = objectId({1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 2});
    for (std::size_t digits = 1; digits <= 12; ++digits) {
        const std::string zeros(digits - 1, '\0');
        const char head = static_cast<char>(0x80 | digits);
        const std::string outer = "\x30" + (head + zeros) + static_cast<char>(body.size()) + body;
        QCOMPARE(describe(outer).isEmpty(), !readBerLength(outer, 1));
        const std::string value = "\x02" + (head + zeros) + "\x01\x05";
        const QString shown =
            describe(v2(0xA7, bindings({kUpTime, trapOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3}),
                                        binding(ifIndex, value)})));
        QCOMPARE(shown == QString("IF-MIB::linkDown ifIndex.2=5"), bool(readBerLength(value, 1)));
        QCOMPARE(shown.contains("(malformed)"), !readBerLength(value, 1));
    }
}

void TestTrapDecoder::answersWellFormedInformsOnly() {
    const std::string varbinds = bindings({kUpTime, trapOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3})});
    const std::optional<std::string> answer =
        decoder().informResponse(v2(0xA6, varbinds) + "trailing");
    QVERIFY(answer);
    QCOMPARE(*answer, v2(0xA2, varbinds));
    // Lengths in the long form before the PDU (a community of 200 bytes).
    const std::string longCommunity =
        tlv(0x30, integer(1) + octets(std::string(200, 'c')) +
                      tlv(0xA6, integer(7) + integer(0) + integer(0) + varbinds));
    QVERIFY(decoder().informResponse(longCommunity));
    for (const std::string &other :
         {kLinkDown, v2(0xA0, varbinds), v2(0xA6, varbinds, 5),
          message(0, 0xA6, integer(1) + integer(0) + integer(0) + varbinds)})
        QVERIFY(!decoder().informResponse(other));
}

// A trap is read with its user's keys for the sender's engine, refused with
// wrong ones; an engine discovery makes no event and, once this receiver
// has an engine of its own, is answered with a Report that names it.
void TestTrapDecoder::snmpv3ByItsUsers() {
    NetSnmpDecoder &d = decoder();
    // Another user beside, with an engine of its own: replacing the users
    // frees each entry once.
    const SnmpUser other{"other", "MD5", "other-pass", "none", {}, "\x80\x00\x00\x00\x01"};
    d.setUsers({other, {"fuzz", "SHA-256", "wrong-password", "AES", "fuzz-priv-pass", {}}});
    QCOMPARE(d.decode(kV3Trap).rejection, std::string("wrong digest for user \"fuzz\""));
    d.setUsers({{"fuzz", "SHA-256", "fuzz-auth-pass", "AES", "wrong-password", {}}, other});
    QCOMPARE(d.decode(kV3Trap).rejection, std::string("decryption failed for user \"fuzz\""));
    d.setUsers({{"fuzz", "SHA-256", "fuzz-auth-pass", "AES", "fuzz-priv-pass", {}}});
    QCOMPARE(d.decode(kV3Trap).text, std::string("IF-MIB::linkDown ifIndex.2=2"));
    QVERIFY(!d.informResponse(kV3Trap)); // a trap expects nothing

    QVERIFY(d.decode(kV3Discovery).silent);
    QVERIFY(!d.informResponse(kV3Discovery)); // no engine of its own yet
    const std::string engine("\x80\x00\x1F\x88\x05\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11", 13);
    d.setEngine(engine, 7);
    const std::optional<std::string> report = d.informResponse(kV3Discovery);
    QVERIFY(report);
    const std::string unknownEngineIds("\x2B\x06\x01\x06\x03\x0F\x01\x01\x04\x00", 10);
    QVERIFY(report->find(unknownEngineIds) != std::string::npos);
    QVERIFY(report->find(engine) != std::string::npos);
    QVERIFY(!d.informResponse(*report)); // a Report expects nothing
    d.setUsers({});
    QCOMPARE(d.decode(kV3Trap).rejection, std::string("unknown user \"fuzz\""));
}

// As in the live copy: the receiver's thread answers informs while the
// road's thread decodes and the options put new users in force. Each call
// gives what it gives alone (and ThreadSanitizer watches the sharing).
void TestTrapDecoder::answersWhileTheRoadDecodes() {
    NetSnmpDecoder &d = decoder();
    const std::string inform =
        v2(0xA6, bindings({kUpTime, trapOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3})}));
    const std::string linkDown = d.decode(kLinkDown).text;
    QVERIFY(!linkDown.empty());
    constexpr int kRounds = 200;
    int answered = 0;
    std::thread receiver([&] {
        for (int i = 0; i < kRounds; ++i)
            answered += d.informResponse(inform).has_value() && d.informIdentity(inform);
    });
    int decoded = 0;
    for (int i = 0; i < kRounds; ++i) {
        decoded += d.decode(kLinkDown).text == linkDown;
        if (i % 50 == 0)
            d.setUsers({{"fuzz", "SHA-256", "fuzz-auth-pass", "AES", "fuzz-priv-pass", {}}});
    }
    receiver.join();
    QCOMPARE(answered, kRounds);
    QCOMPARE(decoded, kRounds);
    QCOMPARE(d.decode(kV3Trap).text, std::string("IF-MIB::linkDown ifIndex.2=2"));
}

// An SNMPv3 inform is decrypted where it is answered, on the receiver's
// thread; the road shows what was read then, without decrypting it again
// (so also when other passwords came in force in between). snmpinform sends
// it to a loopback socket that the decoder answers, as the receiver does.
void TestTrapDecoder::informDecryptedOnce() {
    NetSnmpDecoder &d = decoder();
    const SnmpUser user{"once", "SHA", "once-auth-pass", "AES", "once-priv-pass", {}};
    d.setUsers({user});
    d.setEngine(std::string("\x80\x00\x1F\x88\x05\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11", 13), 7);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), size) == 0);
    QVERIFY(::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0);
    std::atomic<bool> done = false;
    std::vector<std::string> answered; // informs answered with a Response
    std::thread receiver([&] {
        char buffer[65536];
        pollfd wait{fd, POLLIN, 0};
        while (!done)
            if (::poll(&wait, 1, 50) > 0) {
                sockaddr_in from{};
                socklen_t fromSize = sizeof from;
                const ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0,
                                             reinterpret_cast<sockaddr *>(&from), &fromSize);
                if (n <= 0)
                    continue;
                const std::string_view datagram(buffer, std::size_t(n));
                if (const auto answer = d.informResponse(datagram)) {
                    ::sendto(fd, answer->data(), answer->size(), 0,
                             reinterpret_cast<sockaddr *>(&from), fromSize);
                    if (d.informIdentity(datagram))
                        answered.emplace_back(datagram);
                }
            }
    });
    // Started with posix_spawn: ThreadSanitizer's runtime can't follow
    // QProcess's clone().
    const std::string target = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    std::vector<std::string> arguments = {"snmpinform",
                                          "-m",
                                          "",
                                          "-v",
                                          "3",
                                          "-l",
                                          "authPriv",
                                          "-u",
                                          "once",
                                          "-a",
                                          "SHA",
                                          "-A",
                                          "once-auth-pass",
                                          "-x",
                                          "AES",
                                          "-X",
                                          "once-priv-pass",
                                          "-r",
                                          "0",
                                          "-t",
                                          "10",
                                          target,
                                          "",
                                          "1.3.6.1.6.3.1.1.5.3",
                                          "1.3.6.1.2.1.2.2.1.1.2",
                                          "i",
                                          "2"};
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned =
        ::posix_spawnp(&child, "snmpinform", nullptr, nullptr, argv.data(), environ);
    int status = -1;
    if (spawned == 0)
        ::waitpid(child, &status, 0);
    done = true;
    receiver.join();
    ::close(fd);
    QCOMPARE(spawned, 0);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(answered.size(), std::size_t(1));
    d.setUsers({{"once", "SHA", "other-auth-pass", "AES", "other-priv-pass", {}}});
    QCOMPARE(d.decode(answered[0]).text, std::string("IF-MIB::linkDown ifIndex.2=2"));
    // Once shown, the same bytes are read anew, now with the other passwords.
    QCOMPARE(d.decode(answered[0]).rejection, std::string("wrong digest for user \"once\""));
}

QTEST_GUILESS_MAIN(TestTrapDecoder)
#include "tst_trap_decoder.moc"
