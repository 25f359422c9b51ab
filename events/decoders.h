// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"
#include "core/rejection_ledger.h"
#include "core/syslog_parser.h"
#include "snmp/trap_decoder.h"

#include <cstdint>
#include <functional>
#include <utility>

namespace quorvik {

// Makes one event of one raw message, or none. Runs on the road's thread.
class MessageDecoder {
public:
    virtual ~MessageDecoder() = default;
    // False when the message makes no event (an SNMP discovery, a refused
    // message already shown within the minute). `now` is the local time of
    // receipt, for a text without a date.
    virtual bool decode(const RawMessage &message, const LocalDateTime &now, Event &event) = 0;
};

// A text with tags ($LEVL$:W$HOST$:srv7$MSG$:…), or a plain text, which is
// kept whole as the message.
class TextDecoder : public MessageDecoder {
public:
    bool decode(const RawMessage &message, const LocalDateTime &now, Event &event) override;
};

// An SNMP message: always a Trap row from its sender, named by the decoder
// seam, whatever its strings hold (they are never read for tags). Refused
// SNMPv3 messages are counted in the ledger; the first of each sender and
// reason within a minute becomes a row.
class SnmpEventDecoder : public MessageDecoder {
public:
    // `steadySeconds`: the clock of the ledger's minute; empty: the steady clock.
    explicit SnmpEventDecoder(TrapDecoder *decoder,
                              std::function<std::int64_t()> steadySeconds = {});
    bool decode(const RawMessage &message, const LocalDateTime &now, Event &event) override;

    const RejectionLedger &rejections() const { return m_rejections; }
    void clearRejectionCount() {
        m_rejections.clearCount();
        m_rejectionsChanged = true;
    }
    // Whether the ledger changed since the last call.
    bool takeRejectionsChanged() { return std::exchange(m_rejectionsChanged, false); }

private:
    TrapDecoder *m_decoder;
    std::function<std::int64_t()> m_steadySeconds;
    RejectionLedger m_rejections;
    bool m_rejectionsChanged = false;
};

// A syslog message (RFC 5424 or the older forms devices send).
class SyslogDecoder : public MessageDecoder {
public:
    bool decode(const RawMessage &message, const LocalDateTime &now, Event &event) override {
        event = m_reader.read(message.bytes, message, now);
        return true;
    }

private:
    SyslogReader m_reader;
};

// What arrives on port 162: an SNMP message goes to the SNMP decoder,
// anything else is a text.
class Port162Decoder : public MessageDecoder {
public:
    explicit Port162Decoder(SnmpEventDecoder &snmp) : m_snmp(snmp) {}
    bool decode(const RawMessage &message, const LocalDateTime &now, Event &event) override;

private:
    SnmpEventDecoder &m_snmp;
    TextDecoder m_text;
};

// Whether `bytes` is an SNMP message: a BER sequence that starts with the
// version 0 (v1), 1 (v2c) or 3.
bool isSnmpMessage(std::string_view bytes);

} // namespace quorvik
