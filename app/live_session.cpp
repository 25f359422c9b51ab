// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/live_session.h"

#include "alerts/sound_gate.h"
#include "app/details_wiring.h"
#include "core/acknowledgement.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QTimer>

#include <functional>
#include <tuple>

namespace quorvik {

namespace {

// No desktop notifications and no tray.
class NoNotifier : public EventNotifier {
public:
    void setHandlers(Handlers) override {}
    void setLevelColours(const LevelColours &) override {}
    void countAway(int) override {}
    void notify(const Notice &) override {}
    void windowActivated() override {}
    void closeAll() override {}
};

} // namespace

LiveSession::LiveSession(LiveSessionConfig config)
    : m_config(std::move(config)), m_snmp(m_config.trapDecoder) {
    useDefault<SoundGate>(m_config.sounds, m_ownSounds);
    useDefault<AlertPopups>(m_config.popup, m_ownPopup);
    useDefault<NoNotifier>(m_config.notifier, m_ownNotifier);
    m_window = std::make_unique<MainWindow>(MainWindowConfig{
        false, m_config.profilePath, m_config.defaultLogFile, m_config.boxes, m_config.processes});
    MainWindow *window = m_window.get();
    DetailsConfig details{RowOrigin::Live, &m_raw, {}};
    if (TrapDecoder *decoder = m_config.trapDecoder)
        details.snmp = [decoder](std::string_view bytes, std::string_view decrypted) {
            return decoder->details(bytes, decrypted);
        };
    wireDetails(*window, std::move(details));
    // A program's failure is a Note of quorvik's own, on the road like any event.
    m_programs = std::make_unique<ProgramRunner>(
        [this](Event note) {
            if (m_pipeline)
                m_pipeline->takeOwn(std::move(note));
        },
        m_config.programs);
    ProgramRunner *programs = m_programs.get();
    // The silent hosts are remembered beside the configuration.
    SilentHosts::Options silentOptions;
    if (!m_config.profilePath.isEmpty())
        silentOptions.statePath =
            QFile::encodeName(QFileInfo(m_config.profilePath)
                                  .dir()
                                  .filePath(QStringLiteral("quorvik-silent-hosts")))
                .toStdString();
    m_silent = std::make_unique<SilentHosts>(
        [this, hostName = QSysInfo::machineHostName().toStdString()](Event event) {
            if (event.host.empty())
                event.host = hostName;
            if (m_pipeline)
                m_pipeline->takeOwn(std::move(event));
        },
        silentOptions);
    m_rules.setSilentHosts(m_silent.get());
    QObject::connect(programs, &ProgramRunner::statusChanged, window, [window, programs] {
        window->showNotRun(programs->notRun(), programs->notRunText());
    });
    QObject::connect(window, &MainWindow::countsCleared, programs, &ProgramRunner::clearCounts,
                     Qt::DirectConnection);
    m_alerts = std::make_unique<EventAlerts>(EventAlerts::Seams{
        m_config.popup, m_config.notifier, m_config.sounds, [window] { return window->isAway(); }});
    EventNotifier *notifier = m_config.notifier;
    notifier->setHandlers(
        {[window](int level) { window->comeForward(level); }, [window] { window->close(); }});
    // Each acknowledged event becomes a Note of quorvik's own on the road:
    // logged, forwarded, and back at the views, which mark its rows.
    QObject::connect(window, &MainWindow::acknowledgeRequested, window,
                     [this, user = loginName(), host = QSysInfo::machineHostName().toStdString()](
                         const std::vector<Event> &events, const QString &note) {
                         if (!m_pipeline)
                             return;
                         const std::string text = note.toUtf8().toStdString();
                         for (const Event &event : events)
                             m_pipeline->takeOwn(
                                 acknowledgementEvent(event, user, text, now(), host));
                     });
    QObject::connect(window, &MainWindow::activated, window,
                     [notifier] { notifier->windowActivated(); });
    QObject::connect(window, &MainWindow::closing, window, [this] {
        if (m_receiver)
            QMetaObject::invokeMethod(
                m_receiver, [receiver = m_receiver] { receiver->close(); },
                m_thread.isRunning() ? Qt::BlockingQueuedConnection : Qt::DirectConnection);
        closeSyslog();
        m_config.popup->closeAll();
        m_config.notifier->closeAll();
    });
}

namespace {

// Runs `work` on `object`'s thread and waits for it.
void runOn(QObject *object, const std::function<void()> &work) {
    const bool elsewhere =
        object->thread()->isRunning() && object->thread() != QThread::currentThread();
    QMetaObject::invokeMethod(object, work,
                              elsewhere ? Qt::BlockingQueuedConnection : Qt::DirectConnection);
}

} // namespace

LiveSession::~LiveSession() {
    // No program runs and no note comes from here on; the road may still
    // hand events to the runner, which ignores them.
    m_programs->stop();
    if (m_syslogTcp) {
        runOn(m_syslogTcp, [this] {
            delete m_syslogTcp;
            delete m_syslogTls;
        });
        m_streamThread.quit();
        m_streamThread.wait();
    }
    if (m_thread.isRunning()) {
        // The road's objects end on their thread, then the thread.
        QMetaObject::invokeMethod(
            m_pipeline,
            [this] {
                delete m_receiver;
                delete m_syslogUdp;
                delete m_pipeline;
                delete m_log;
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    } else {
        delete m_receiver;
        delete m_syslogUdp;
        delete m_pipeline;
        delete m_log;
    }
    // The road has stopped: the hosts as they were at the end.
    m_pipeline = nullptr;
    m_silent->save();
}

std::int64_t LiveSession::now() const {
    return m_config.receiver.wallClock ? m_config.receiver.wallClock()
                                       : QDateTime::currentSecsSinceEpoch();
}

bool LiveSession::start(const Profile &profile) {
    m_lock = std::make_unique<QLockFile>(m_config.liveLockPath);
    m_lock->setStaleLockTime(0); // a dead owner's lock is taken over by process id
    if (!m_lock->tryLock(0)) {
        const QString name = m_config.executableName;
        m_config.boxes->reportAndWait(nullptr, QStringLiteral("Error while loading ") + name,
                                      name + QStringLiteral(" already running"),
                                      QMessageBox::Warning);
        m_window->refuseToStart();
        return false;
    }
    const bool logReady = m_window->load(profile);
    setSettings(m_window->settings());
    std::vector<std::string> problems;
    m_ruleProblems = setRules(readRules(profile, problems));
    for (const std::string &problem : problems)
        m_ruleProblems << QString::fromLocal8Bit(problem.data(), qsizetype(problem.size()));
    buildRoad(logReady);
    if (m_config.listenForSyslog) {
        buildSyslog();
        m_syslogProblems = applySyslog(m_window->settings().syslog);
    }
    return true;
}

void LiveSession::buildRoad(bool logReady) {
    m_receiver = new Receiver(m_config.receiver);
    m_log = new LogSink;
    m_log->setPath(m_window->settings().logFile);
    if (!logReady)
        m_log->startFailing();
    MainWindow *window = m_window.get();
    m_pipeline = new EventPipeline(
        {m_log, m_forward, window, m_alerts.get(), window, window, m_programs.get()}, &m_rules);
    m_pipeline->setSnmpDecoder(&m_snmp);
    m_pipeline->setRawKeeper(&m_raw);
    // Silences are looked for on the road's thread, where the rules step runs.
    m_silent->load(now());
    auto *silenceCheck = new QTimer(m_pipeline);
    silenceCheck->setInterval(m_config.silentCheckMs);
    QObject::connect(silenceCheck, &QTimer::timeout, m_pipeline, [this] { m_rules.tick(now()); });
    silenceCheck->start();
    Receiver *receiver = m_receiver;
    m_port162Source = m_pipeline->addSource(&m_port162, [receiver] { return receiver->lost(); });
    QObject::connect(
        m_receiver, &Receiver::datagramsReceived, m_pipeline,
        [this](const std::vector<RawMessage> &batch) { m_pipeline->take(m_port162Source, batch); });
    QObject::connect(m_log, &LogSink::failed, window, &MainWindow::reportLogError);
    QObject::connect(window, &MainWindow::countsCleared, m_pipeline, &EventPipeline::clearCounts);
    if (m_config.udpPort != 0)
        if (const QString error = m_receiver->bind(m_config.udpPort); !error.isEmpty())
            m_config.boxes->report(window, QStringLiteral("Quorvik"), error, QMessageBox::Warning);
    if (m_config.listenForSyslog) {
        ReceiverOptions syslogOptions = m_config.receiver;
        syslogOptions.responder = {}; // nothing on 514 is answered
        syslogOptions.answeredBefore = {};
        m_syslogUdp = new Receiver(syslogOptions);
        m_syslogUdp->setObjectName(QStringLiteral("syslogUdp"));
    }
    if (!m_config.roadThread)
        return;
    // Bound first, then moved: the receiver's timer starts on the road's thread.
    m_thread.setObjectName(QStringLiteral("road"));
    for (QObject *object :
         {static_cast<QObject *>(m_receiver), static_cast<QObject *>(m_log),
          static_cast<QObject *>(m_pipeline), static_cast<QObject *>(m_syslogUdp)})
        if (object)
            object->moveToThread(&m_thread);
    m_thread.start();
}

// The syslog sources on the road: UDP datagrams, and the messages of TCP and
// TLS connections, all read by one decoder on the road's thread.
void LiveSession::buildSyslog() {
    StreamListenerOptions options;
    options.wallClock = m_config.receiver.wallClock;
    m_syslogTcp = new StreamListener(options);
    m_syslogTcp->setObjectName(QStringLiteral("syslogTcp"));
    m_syslogTls = new StreamListener(options);
    m_syslogTls->setObjectName(QStringLiteral("syslogTls"));
    Receiver *udp = m_syslogUdp;
    StreamListener *tcp = m_syslogTcp, *tls = m_syslogTls;
    m_syslogUdpSource = m_pipeline->addSource(&m_syslog, [udp] { return udp->lost(); });
    m_syslogStreamSource = m_pipeline->addSource(&m_syslog, [tcp, tls] {
        IntakeLosses losses = tcp->losses();
        losses += tls->losses();
        return losses;
    });
    QObject::connect(udp, &Receiver::datagramsReceived, m_pipeline,
                     [this](const std::vector<RawMessage> &batch) {
                         m_pipeline->take(m_syslogUdpSource, batch);
                     });
    for (StreamListener *listener : {tcp, tls})
        QObject::connect(listener, &StreamListener::messagesReceived, m_pipeline,
                         [this](const std::vector<RawMessage> &batch) {
                             m_pipeline->take(m_syslogStreamSource, batch);
                         });
    m_streamThread.setObjectName(QStringLiteral("syslog"));
    tcp->moveToThread(&m_streamThread);
    tls->moveToThread(&m_streamThread);
    m_streamThread.start();
}

// Listens on the ports of `syslog` where they changed; returns what failed.
QStringList LiveSession::applySyslog(const SyslogSettings &syslog) {
    QStringList problems;
    const SyslogSettings before = m_syslogInForce.value_or(SyslogSettings{0, 0, 0, {}, {}, {}});
    if (syslog.udpPort != before.udpPort)
        runOn(m_syslogUdp, [&] {
            m_syslogUdp->close();
            if (syslog.udpPort != 0)
                problems << m_syslogUdp->bind(quint16(syslog.udpPort));
        });
    if (syslog.tcpPort != before.tcpPort)
        runOn(m_syslogTcp, [&] {
            m_syslogTcp->close();
            if (syslog.tcpPort != 0)
                problems << m_syslogTcp->listen(quint16(syslog.tcpPort));
        });
    const auto tlsOf = [](const SyslogSettings &s) {
        return std::tie(s.tlsPort, s.tlsCertificate, s.tlsKey, s.tlsCa);
    };
    if (tlsOf(syslog) != tlsOf(before))
        runOn(m_syslogTls, [&] {
            m_syslogTls->close();
            if (syslog.tlsPort == 0)
                return;
            const TlsFiles files{QString::fromStdString(syslog.tlsCertificate),
                                 QString::fromStdString(syslog.tlsKey),
                                 QString::fromStdString(syslog.tlsCa)};
            problems << m_syslogTls->listen(quint16(syslog.tlsPort), files);
        });
    m_syslogInForce = syslog;
    problems.removeAll(QString());
    return problems;
}

void LiveSession::closeSyslog() {
    if (!m_syslogTcp)
        return;
    runOn(m_syslogUdp, [this] { m_syslogUdp->close(); });
    runOn(m_syslogTcp, [this] {
        m_syslogTcp->close();
        m_syslogTls->close();
    });
    m_syslogInForce.reset();
}

void LiveSession::setSettings(const Settings &settings) {
    m_window->setSettings(settings);
    m_alerts->setSettings(settings);
    m_config.notifier->setLevelColours(settings.levelColours);
    if (m_log)
        m_log->setPath(settings.logFile);
    if (m_syslogInForce && settings.syslog != *m_syslogInForce)
        if (const QStringList problems = applySyslog(settings.syslog); !problems.isEmpty()) {
            const QString text = problems.join(QStringLiteral("; "));
            m_window->showNotice(text);
            qWarning("%s", qPrintable(text));
        }
}

QStringList LiveSession::setRules(RuleSet rules) {
    QStringList problems;
    std::vector<RuleProgram> programs;
    const std::string path = qEnvironmentVariable("PATH").toStdString();
    for (const Rule &rule : rules) {
        if (rule.run.empty())
            continue;
        RunCommand command = parseRunCommand(rule.run, path);
        if (!command.error.empty()) {
            const std::string problem =
                rule.label() + ": Run" + std::to_string(rule.number) + ": " + command.error;
            problems << QString::fromLocal8Bit(problem.data(), qsizetype(problem.size()));
            continue;
        }
        programs.push_back({rule.number, rule.name, std::move(command)});
    }
    m_programs->setPrograms(programs);
    m_rules.setRules(std::move(rules));
    return problems;
}

void LiveSession::take(const std::vector<RawMessage> &batch) {
    m_pipeline->take(m_port162Source, batch);
}

} // namespace quorvik
