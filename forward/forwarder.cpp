// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "forward/forwarder.h"

#include "core/text_rules.h"
#include "forward/forward_link.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QHostInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace quorvik {

namespace {

constexpr int kStatusIntervalMs = 250;
constexpr int kTestTimeoutMs = 10'000;
// Longer than a link waits before it looks for refused datagrams.
constexpr int kUdpRefusalWaitMs = 1000;

} // namespace

// The forwarder's side on its thread: the links, fed from the inbox.
class ForwardWorker : public QObject {
    Q_OBJECT

public:
    ForwardWorker(ForwarderOptions options, std::shared_ptr<Forwarder::Shared> shared)
        : m_shared(std::move(shared)), m_limits{options.queueLimit, options.byteLimit,
                                                options.firstRetryMs, options.lastRetryMs} {
        m_statusTimer = new QTimer(this);
        m_statusTimer->setSingleShot(true);
        connect(m_statusTimer, &QTimer::timeout, this, &ForwardWorker::publish);
    }

    void setTargets(const std::vector<ForwardTarget> &targets, std::vector<int> numbers) {
        m_numbers = std::move(numbers);
        std::vector<ForwardLink *> kept;
        for (const ForwardTarget &target : targets) {
            const auto same = std::find_if(m_links.begin(), m_links.end(), [&](ForwardLink *l) {
                return l && l->target() == target;
            });
            if (same != m_links.end()) {
                kept.push_back(std::exchange(*same, nullptr));
                continue;
            }
            auto *link = new ForwardLink(target, m_limits, this);
            connect(link, &ForwardLink::changed, this, &ForwardWorker::notify);
            kept.push_back(link);
        }
        for (ForwardLink *gone : m_links)
            delete gone;
        m_links = std::move(kept);
        publish();
    }

    void takeInbox() {
        std::vector<EventBatch> batches;
        {
            std::lock_guard lock(m_shared->mutex);
            batches.swap(m_shared->inbox);
        }
        for (std::size_t l = 0; l < m_links.size(); ++l) {
            ForwardLink *link = m_links[l];
            const int number = l < m_numbers.size() ? m_numbers[l] : int(l) + 1;
            for (const EventBatch &batch : batches)
                for (const Event &event : *batch) {
                    if (event.relayed) // another quorvik's: sending it on could loop
                        continue;
                    // A rule's targets take the event whatever their level;
                    // the others don't take it.
                    const std::optional<std::vector<int>> &chosen = event.actions.forwardTo;
                    if (!chosen)
                        link->take(event);
                    else if (std::find(chosen->begin(), chosen->end(), number) != chosen->end())
                        link->take(event, true);
                }
            link->flush();
        }
        notify();
    }

    // Sends one Information event to `target` and says what happened.
    // Over UDP nothing answers: the event counts as sent once no refusal
    // came back for a while.
    void test(const ForwardTarget &target, std::function<void(const QString &)> done) {
        auto *link = new ForwardLink(target, m_limits, this);
        auto *timeout = new QTimer(link);
        const QString url = QString::fromStdString(target.url());
        auto finished = std::make_shared<bool>(false);
        auto finish = [link, done, finished](const QString &outcome) {
            if (std::exchange(*finished, true))
                return;
            link->disconnect();
            link->deleteLater();
            done(outcome);
        };
        connect(link, &ForwardLink::failed, link, [finish, url](const QString &error) {
            finish(QStringLiteral("Cannot send to %1: %2").arg(url, error));
        });
        const bool udp = target.transport == ForwardTarget::Transport::Udp;
        connect(link, &ForwardLink::changed, link, [link, finish, url, udp] {
            if (link->sent() == 0)
                return;
            if (!udp) {
                finish(QStringLiteral("Sent one Information event to %1.").arg(url));
                return;
            }
            QTimer::singleShot(kUdpRefusalWaitMs, link, [finish, url] {
                finish(QStringLiteral("Sent one Information event to %1. UDP gives no answer: "
                                      "no refusal came back, but only the collector can show "
                                      "that it arrived.")
                           .arg(url));
            });
        });
        connect(timeout, &QTimer::timeout, link, [finish, url] {
            finish(QStringLiteral("Cannot send to %1: no answer within %2 s")
                       .arg(url)
                       .arg(kTestTimeoutMs / 1000));
        });
        timeout->start(kTestTimeoutMs);
        Event event;
        event.level = &levelByIndex(5);
        event.date = QDateTime::currentDateTime()
                         .toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))
                         .toStdString();
        event.host = QHostInfo::localHostName().toStdString();
        event.application = "quorvik";
        event.message = "Test message from quorvik";
        link->take(event);
        link->flush();
    }

    // Sends what is queued until every link is drained or `deadline`
    // passes, then closes the links and ends the thread. A link waiting to
    // try a failed connection again is not waited for.
    void finish(QDeadlineTimer deadline) {
        const bool drained = std::all_of(m_links.begin(), m_links.end(), [](ForwardLink *link) {
            return link->drained() || link->waitingToRetry();
        });
        if (!drained && !deadline.hasExpired()) {
            QTimer::singleShot(10, this, [this, deadline] { finish(deadline); });
            return;
        }
        publish(); // what is left, for the quit's last word
        for (ForwardLink *link : m_links)
            delete link;
        m_links.clear();
        thread()->quit();
    }

private:
    void notify() {
        if (!m_statusTimer->isActive())
            m_statusTimer->start(kStatusIntervalMs);
    }

    void publish() {
        std::vector<ForwardStatus> status;
        for (const ForwardLink *link : m_links)
            status.push_back({QString::fromStdString(link->target().url()), link->sent(),
                              link->notForwarded(), link->refused(), link->queued(),
                              link->lastError()});
        {
            std::lock_guard lock(m_shared->mutex);
            if (status.size() == m_shared->status.size() &&
                std::equal(status.begin(), status.end(), m_shared->status.begin(),
                           [](const ForwardStatus &a, const ForwardStatus &b) {
                               return a.url == b.url && a.sent == b.sent &&
                                      a.notForwarded == b.notForwarded && a.refused == b.refused &&
                                      a.queued == b.queued && a.lastError == b.lastError;
                           }))
                return;
            m_shared->status = std::move(status);
        }
        emit statusChanged();
    }

signals:
    void statusChanged();

private:
    std::shared_ptr<Forwarder::Shared> m_shared;
    ForwardLink::Limits m_limits;
    std::vector<ForwardLink *> m_links;
    std::vector<int> m_numbers; // each link's N in [Forward]
    QTimer *m_statusTimer = nullptr;
};

Forwarder::Forwarder(ForwarderOptions options, QObject *parent)
    : QObject(parent), m_options(options), m_shared(std::make_shared<Shared>()) {
    m_thread.setObjectName(QStringLiteral("forward"));
    m_worker = new ForwardWorker(options, m_shared);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &ForwardWorker::statusChanged, this, &Forwarder::statusChanged);
    m_thread.start();
}

Forwarder::~Forwarder() {
    stop();
}

void Forwarder::setTargets(const std::vector<ForwardTarget> &targets, std::vector<int> numbers) {
    if (!m_thread.isRunning())
        return;
    m_hasTargets = !targets.empty();
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, targets, numbers = std::move(numbers)] {
        worker->setTargets(targets, numbers);
    });
}

void Forwarder::take(const EventBatch &batch) {
    if (!batch || batch->empty() || !m_hasTargets || !m_thread.isRunning())
        return;
    bool wake = false;
    {
        std::lock_guard lock(m_shared->mutex);
        wake = m_shared->inbox.empty();
        m_shared->inbox.push_back(batch);
    }
    if (wake)
        QMetaObject::invokeMethod(m_worker, &ForwardWorker::takeInbox, Qt::QueuedConnection);
}

std::vector<ForwardStatus> Forwarder::status() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->status;
}

std::uint64_t Forwarder::notForwarded() const {
    std::uint64_t total = 0;
    for (const ForwardStatus &target : status())
        total += target.notForwarded + target.refused;
    return total;
}

QString Forwarder::statusText() const {
    QStringList lines;
    for (const ForwardStatus &target : status()) {
        QString line = QStringLiteral("%1: %2 sent, %3 not forwarded, %4 waiting")
                           .arg(target.url)
                           .arg(target.sent)
                           .arg(target.notForwarded)
                           .arg(target.queued);
        if (target.refused > 0)
            line += QStringLiteral(", %1 refused").arg(target.refused);
        if (!target.lastError.isEmpty())
            line += QStringLiteral("; last error: ") + target.lastError;
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QString Forwarder::failingText() const {
    QStringList failing;
    for (const ForwardStatus &target : status())
        if (!target.lastError.isEmpty())
            failing << QStringLiteral("%1: %2, %3 waiting")
                           .arg(target.url, target.lastError,
                                QString::fromStdString(withThousands(target.queued)));
    return failing.join(QStringLiteral("; "));
}

QString Forwarder::waitingText() const {
    QStringList waiting;
    for (const ForwardStatus &target : status()) {
        if (target.queued == 0)
            continue;
        QString line =
            QStringLiteral("%1 %2 for %3")
                .arg(QString::fromStdString(withThousands(target.queued)),
                     target.queued == 1 ? QStringLiteral("event") : QStringLiteral("events"),
                     target.url);
        if (!target.lastError.isEmpty())
            line += QStringLiteral(" (") + target.lastError + QLatin1Char(')');
        waiting << line;
    }
    return waiting.join(QStringLiteral("; "));
}

void Forwarder::test(const ForwardTarget &target, std::function<void(const QString &)> done) {
    if (!m_thread.isRunning())
        return;
    QPointer<Forwarder> self(this);
    auto answer = [self, done](const QString &outcome) {
        if (self)
            QMetaObject::invokeMethod(self.data(), [done, outcome] { done(outcome); });
    };
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, target, answer] { worker->test(target, answer); });
}

void Forwarder::stop(int timeoutMs) {
    if (!m_thread.isRunning())
        return;
    const QDeadlineTimer deadline(timeoutMs);
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, deadline] {
        worker->takeInbox();
        worker->finish(deadline);
    });
    if (!m_thread.wait(QDeadlineTimer(timeoutMs + 1000))) {
        m_thread.quit();
        m_thread.wait();
    }
}

} // namespace quorvik

#include "forwarder.moc"
