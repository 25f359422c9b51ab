// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "alerts/event_alerts.h"
#include "core/raw_keeper.h"
#include "events/decoders.h"
#include "events/log_sink.h"
#include "events/pipeline.h"
#include "intake/receiver.h"
#include "intake/stream_listener.h"
#include "main_window/main_window.h"
#include "rules/program_runner.h"
#include "rules/rule_walk.h"

#include <QThread>

#include <memory>
#include <optional>

class QLockFile;

namespace quorvik {

// What a live copy is built from; tests hand in their seams.
struct LiveSessionConfig {
    QString executableName = QStringLiteral("quorvik");
    QString profilePath;    // the configuration file
    QString defaultLogFile; // Logfile when the configuration names none
    QString liveLockPath;   // held by the live copy for its lifetime
    quint16 udpPort = 162;  // 0: no socket (tests hand batches in themselves)
    MessageBoxes *boxes = nullptr;
    ProcessStarter *processes = nullptr;
    SoundPlayer *sounds = nullptr;     // empty: the level sounds through a SoundGate
    AlertDisplay *popup = nullptr;     // empty: the alert popup
    EventNotifier *notifier = nullptr; // empty: no notifications and no tray
    ReceiverOptions receiver;          // buffer, queue, read-time clock, responder
    // Names SNMP messages; none: a message that carries no sysDescr gets an
    // empty text.
    TrapDecoder *trapDecoder = nullptr;
    // The road on a thread of its own; tests keep it on theirs, so that a
    // batch handed in is in the tables when take() returns.
    bool roadThread = true;
    // Syslog listeners on the ports of [Syslog]; tests that don't test them
    // leave the ports alone.
    bool listenForSyslog = false;
    // The bounds of the rules' programs (tests make them small).
    ProgramRunnerOptions programs;
    // How often the silences of hosts are looked for.
    int silentCheckMs = 1000;
};

// A live copy: the window, the receiver on port 162, the road with its
// log, forwarding (when added), the rules' programs, views and alerts, wired
// once.
class LiveSession {
public:
    explicit LiveSession(LiveSessionConfig config);
    ~LiveSession();

    // Takes the live copy's lock, loads the window and binds the socket.
    // False when another live copy runs: the operator has been told and the
    // window must not be shown.
    bool start(const Profile &profile);

    MainWindow &window() { return *m_window; }
    // The received bytes of the newest events, for their details.
    const RawKeeper &rawKeeper() const { return m_raw; }
    Receiver &receiver() { return *m_receiver; }
    EventPipeline &pipeline() { return *m_pipeline; }
    // Runs the rules' programs; only a live copy has one.
    ProgramRunner &programs() { return *m_programs; }
    // The settings in force, for the window, the alerts and the log.
    void setSettings(const Settings &settings);
    // Forwarding's place on the road (before start()).
    void setForwarder(EventSink *forward) { m_forward = forward; }
    // A batch as the receiver hands it on (tests).
    void take(const std::vector<RawMessage> &batch);
    // What the syslog listeners could not do at the start, for the operator.
    const QStringList &syslogProblems() const { return m_syslogProblems; }
    // The rules of [Rules] that could not be read at the start, each named.
    const QStringList &ruleProblems() const { return m_ruleProblems; }
    // The rules in force from the next batch on (the options applied).
    // Their programs go to the runner; one that can't run is named in the
    // returned problems and not run.
    QStringList setRules(RuleSet rules);

private:
    void buildRoad(bool logReady);
    std::int64_t now() const;
    void buildSyslog();
    QStringList applySyslog(const SyslogSettings &syslog);
    void closeSyslog();

    LiveSessionConfig m_config;
    RawKeeper m_raw; // outlives the road and the window, which read it
    std::unique_ptr<SoundPlayer> m_ownSounds;
    std::unique_ptr<AlertDisplay> m_ownPopup;
    std::unique_ptr<EventNotifier> m_ownNotifier;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<EventAlerts> m_alerts;
    std::unique_ptr<ProgramRunner> m_programs;
    std::unique_ptr<SilentHosts> m_silent; // the rules' watched hosts
    RuleWalk m_rules;
    QStringList m_ruleProblems;
    SnmpEventDecoder m_snmp;
    Port162Decoder m_port162{m_snmp};
    EventSink *m_forward = nullptr;
    // Built by buildRoad(); with a road thread they live there.
    Receiver *m_receiver = nullptr;
    LogSink *m_log = nullptr;
    EventPipeline *m_pipeline = nullptr;
    int m_port162Source = 0;
    QThread m_thread;
    // Syslog: UDP on the road's thread, TCP and TLS on a thread of their own.
    SyslogDecoder m_syslog;
    Receiver *m_syslogUdp = nullptr;
    StreamListener *m_syslogTcp = nullptr;
    StreamListener *m_syslogTls = nullptr;
    int m_syslogUdpSource = 0, m_syslogStreamSource = 0;
    std::optional<SyslogSettings> m_syslogInForce;
    QStringList m_syslogProblems;
    QThread m_streamThread;
};

} // namespace quorvik
