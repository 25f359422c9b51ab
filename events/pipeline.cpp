// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "events/pipeline.h"

#include <QThread>

namespace quorvik {

EventPipeline::EventPipeline(Sinks sinks, RulesStep *rules, QObject *parent)
    : QObject(parent), m_sinks(sinks), m_rules(rules) {}

int EventPipeline::addSource(MessageDecoder *decoder, std::function<IntakeLosses()> lost) {
    m_sources.push_back({decoder, std::move(lost)});
    return int(m_sources.size()) - 1;
}

void EventPipeline::take(int source, const std::vector<RawMessage> &batch) {
    MessageDecoder &decoder = *m_sources.at(std::size_t(source)).decoder;
    std::vector<Event> events;
    events.reserve(batch.size());
    for (const RawMessage &message : batch) {
        // Decoded in its place: an event is too large to move for nothing.
        Event &event = events.emplace_back();
        if (!decoder.decode(message, m_localTime.at(message.receivedAt), event)) {
            events.pop_back();
            continue;
        }
        if (m_raw)
            event.rawId = m_raw->keep(message.bytes, event.decrypted);
        event.decrypted = {};
    }
    carry(std::move(events));
}

void EventPipeline::takeOwn(Event event) {
    QMetaObject::invokeMethod(this, [this, event = std::move(event)]() mutable {
        if (event.date.empty())
            event.date = formatGeneratedDate(m_localTime.at(event.receivedAt));
        std::vector<Event> events;
        events.push_back(std::move(event));
        carry(std::move(events));
    });
}

void EventPipeline::carry(std::vector<Event> events) {
    if (m_rules)
        m_rules->apply(events);
    auto shared = std::make_shared<const std::vector<Event>>(std::move(events));
    if (!shared->empty()) {
        if (m_sinks.log)
            m_sinks.log->take(shared);
        if (m_sinks.forward)
            m_sinks.forward->take(shared);
        if (m_sinks.programs)
            m_sinks.programs->take(shared);
    }
    toViews(std::move(shared), status());
}

IntakeStatus EventPipeline::status() {
    IntakeStatus status;
    for (const SourceEntry &source : m_sources)
        if (source.lost)
            status.lost += source.lost();
    status.lost = status.lost.since(m_lostCleared);
    if (m_snmp) {
        status.rejected = m_snmp->rejections().count();
        if (m_snmp->takeRejectionsChanged())
            status.rejections =
                std::make_shared<const std::list<std::pair<std::string, std::string>>>(
                    m_snmp->rejections().latestReasons());
    }
    return status;
}

// The views' and alerts' share, on their thread: at once when the road runs
// there, else queued in order behind the batches before it.
void EventPipeline::toViews(EventBatch batch, IntakeStatus status) {
    const auto deliver = [sinks = m_sinks, batch = std::move(batch), status = std::move(status)] {
        if (!batch->empty()) {
            if (sinks.views)
                sinks.views->take(batch);
            if (sinks.alerts)
                sinks.alerts->take(batch);
        }
        if (sinks.status)
            sinks.status->showStatus(status);
    };
    QObject *context = m_sinks.viewContext;
    if (!context || context->thread() == QThread::currentThread())
        deliver();
    else
        QMetaObject::invokeMethod(context, deliver, Qt::QueuedConnection);
}

void EventPipeline::clearCounts() {
    QMetaObject::invokeMethod(this, [this] {
        m_lostCleared = {};
        for (const SourceEntry &source : m_sources)
            if (source.lost)
                m_lostCleared += source.lost();
        if (m_snmp)
            m_snmp->clearRejectionCount();
        toViews(std::make_shared<const std::vector<Event>>(), status());
    });
}

} // namespace quorvik
