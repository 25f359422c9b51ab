// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Retransmitted informs: the same inform (request id and content) from the
// same sender within a minute is a repeat; other senders, other ids, other
// informs with a known id and old ones are not.
#include "snmp/inform_repeats.h"

#include <QtTest>

using namespace quorvik;
using namespace std::chrono_literals;

namespace {

// An SNMPv2c InformRequest with `id` and `bindings` (none by default).
std::string inform(std::int32_t id, const std::string &bindings = std::string("\x30\x00", 2)) {
    std::string pdu = "\x02\x04";
    for (int shift = 24; shift >= 0; shift -= 8)
        pdu += char((std::uint32_t(id) >> shift) & 0xFF);
    pdu += std::string("\x02\x01\x00\x02\x01\x00", 6) + bindings;
    const std::string body =
        std::string("\x02\x01\x01\x04\x06public\xA6", 12) + char(pdu.size()) + pdu;
    return "\x30" + std::string(1, char(body.size())) + body;
}

} // namespace

class InformRepeatsTest : public QObject {
    Q_OBJECT

private slots:
    void requestIdRead() {
        QCOMPARE(communityRequestId(inform(1234567)), std::optional<std::int64_t>(1234567));
        QCOMPARE(communityRequestId(inform(-2)), std::optional<std::int64_t>(-2));
        QCOMPARE(communityRequestId("$LEVL$:N$MSG$:text"), std::nullopt);
        QCOMPARE(communityRequestId(inform(7).substr(0, 20)), std::nullopt); // cut short
    }

    void repeatsKnown() {
        InformRepeats repeats;
        const auto start = InformRepeats::Clock::now();
        QVERIFY(!repeats.repeated("10.0.0.1", inform(5), start));
        QVERIFY(repeats.repeated("10.0.0.1", inform(5), start + 1s));
        QVERIFY(repeats.repeated("10.0.0.1", inform(5), start + 2s));
        QVERIFY(!repeats.repeated("10.0.0.2", inform(5), start + 2s)); // another sender
        QVERIFY(!repeats.repeated("10.0.0.1", inform(6), start + 2s)); // another id
        // Another inform with that id (the sender counts anew): no repeat.
        const std::string other = inform(5, std::string("\x30\x06\x30\x04\x06\x02\x2B\x06", 8));
        QVERIFY(!repeats.repeated("10.0.0.1", other, start + 2s));
        QVERIFY(repeats.repeated("10.0.0.1", other, start + 3s));
        QVERIFY(!repeats.repeated("10.0.0.1", "not SNMP", start + 2s));
        QVERIFY(!repeats.repeated("10.0.0.1", "not SNMP", start + 2s));
        // Forgotten after a minute or so.
        QVERIFY(!repeats.repeated("10.0.0.1", inform(5), start + InformRepeats::kMemory + 2s));
    }

    void oldestIdsForgotten() {
        InformRepeats repeats;
        const auto now = InformRepeats::Clock::now();
        for (std::int32_t id = 0; id <= std::int32_t(InformRepeats::kIdsPerSender); ++id)
            QVERIFY(!repeats.repeated("h", inform(id), now));
        QVERIFY(!repeats.repeated("h", inform(0), now));
        QVERIFY(repeats.repeated("h", inform(2), now));
    }
};

QTEST_APPLESS_MAIN(InformRepeatsTest)
#include "tst_inform_repeats.moc"
