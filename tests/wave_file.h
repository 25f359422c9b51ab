// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A sound file for the tests and benchmarks that play level sounds.

#include <QByteArray>
#include <QtEndian>

#include <cmath>

namespace quorvik::testing {

// A mono 16-bit PCM wave file with a tone of `seconds`.
inline QByteArray waveFile(double seconds) {
    const int rate = 22050;
    const int samples = int(rate * seconds);
    QByteArray pcm(samples * 2, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(i * 0.06)), pcm.data() + 2 * i);
    QByteArray header;
    auto u32 = [&](quint32 v) { header.append(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](quint16 v) { header.append(reinterpret_cast<const char *>(&v), 2); };
    header += "RIFF";
    u32(quint32(36 + pcm.size()));
    header += "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(rate), u32(rate * 2), u16(2), u16(16);
    header += "data";
    u32(quint32(pcm.size()));
    return header + pcm;
}

} // namespace quorvik::testing
