// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ring of received bytes against a plain model: messages of random
// sizes (some empty, some with a decrypted text, some larger than the whole
// bound) into small rings, so that every way of going round it is taken.
// What is found is what was kept, the numbers found are the newest ones
// without a gap, the newest always among them, and the bytes held add up.

#include "core/raw_keeper.h"

#include <QtTest>

#include <map>
#include <random>

using namespace quorvik;

class RawKeeperTest : public QObject {
    Q_OBJECT

private slots:
    void ringAgainstModel();
};

void RawKeeperTest::ringAgainstModel() {
    std::mt19937 random(162);
    for (int trial = 0; trial < 100; ++trial) {
        const std::size_t bound = 40 + random() % 400;
        RawKeeper keeper(bound);
        std::map<std::uint64_t, RawKeeper::Kept> sent; // the last 200
        for (int i = 0; i < 1000; ++i) {
            RawKeeper::Kept message{std::string(random() % (bound / 3 + 2), char('a' + i % 26)),
                                    std::string(random() % 4 ? 0 : random() % 9, 'D')};
            if (random() % 40 == 0)
                message.bytes.assign(bound + 1, 'z');
            const std::uint64_t id = keeper.keep(message.bytes, message.decrypted);
            sent[id] = message;
            if (sent.size() > 200)
                sent.erase(sent.begin());
            bool found = false;
            std::size_t held = 0;
            for (const auto &[number, was] : sent) {
                const std::optional<RawKeeper::Kept> kept = keeper.find(number);
                QVERIFY2(kept || !found, "a gap among the numbers kept");
                if (!kept)
                    continue;
                found = true;
                QCOMPARE(kept->bytes, was.bytes);
                QCOMPARE(kept->decrypted, was.decrypted);
                held += was.bytes.size() + was.decrypted.size();
            }
            QCOMPARE(keeper.find(id).has_value(),
                     message.bytes.size() + message.decrypted.size() <= bound);
            QVERIFY(keeper.heldBytes() <= bound);
            if (!keeper.find(sent.begin()->first)) // all kept are among the last 200
                QCOMPARE(keeper.heldBytes(), held);
        }
    }
}

QTEST_GUILESS_MAIN(RawKeeperTest)
#include "tst_raw_keeper.moc"
