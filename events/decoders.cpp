// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "events/decoders.h"

#include "core/text_rules.h"
#include "snmp/ber.h"

#include <chrono>

namespace quorvik {

namespace {

std::int64_t steadyNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void stampReceipt(const RawMessage &message, Event &event) {
    event.sender = message.sender;
    event.senderPort = message.senderPort;
    event.receivedAt = message.receivedAt;
}

} // namespace

bool isSnmpMessage(std::string_view bytes) {
    // The message's start: a SEQUENCE header (its length not held against the
    // datagram's, so that a cut message is still shown as SNMP), then the
    // version as a one-byte INTEGER. No text starts with these control bytes.
    if (bytes.size() < 5 || static_cast<unsigned char>(bytes[0]) != ber::kSequence)
        return false;
    std::size_t at = 2;
    if (const auto first = static_cast<unsigned char>(bytes[1]); first & 0x80) {
        if ((first & 0x7F) > 4)
            return false;
        at += first & 0x7F;
    }
    if (at + 3 > bytes.size())
        return false;
    const char version = bytes[at + 2];
    return bytes[at] == ber::kInteger && bytes[at + 1] == 1 &&
           (version == 0 || version == 1 || version == 3);
}

bool TextDecoder::decode(const RawMessage &message, const LocalDateTime &now, Event &event) {
    const std::string_view text = message.bytes;
    if (hasTags(text)) {
        event = parseEventMessage(text, message.sender, now);
    } else {
        event = Event{};
        event.level = &trapLevel();
        event.host = message.sender;
        event.date = formatGeneratedDate(now);
        event.message = std::string(withoutLineEnd(text));
    }
    event.source = Source::Text;
    stampReceipt(message, event);
    return true;
}

SnmpEventDecoder::SnmpEventDecoder(TrapDecoder *decoder,
                                   std::function<std::int64_t()> steadySeconds)
    : m_decoder(decoder),
      m_steadySeconds(steadySeconds ? std::move(steadySeconds) : std::function(steadyNow)) {}

bool SnmpEventDecoder::decode(const RawMessage &message, const LocalDateTime &now, Event &event) {
    event = Event{};
    event.level = &trapLevel();
    event.host = message.sender;
    event.date = formatGeneratedDate(now);
    event.source = Source::Trap;
    stampReceipt(message, event);
    const std::string_view bytes = message.bytes;
    // A v1 or v2c trap that names itself by sysDescr.0 shows that text.
    if (!isSnmpV3(bytes))
        event.message = sysDescrOf(bytes);
    if (!event.message.empty() || !m_decoder)
        return true;
    Decoded decoded = m_decoder->decode(bytes);
    if (decoded.silent)
        return false;
    if (decoded.rejection.empty()) {
        event.message = std::move(decoded.text);
        event.decrypted = std::move(decoded.decrypted);
        return true;
    }
    m_rejectionsChanged = true;
    if (!m_rejections.note(message.sender, decoded.rejection, m_steadySeconds()))
        return false;
    event.message = "SNMPv3 message rejected: " + decoded.rejection;
    return true;
}

bool Port162Decoder::decode(const RawMessage &message, const LocalDateTime &now, Event &event) {
    if (isSnmpMessage(message.bytes))
        return m_snmp.decode(message, now, event);
    return m_text.decode(message, now, event);
}

} // namespace quorvik
