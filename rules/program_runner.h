// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"
#include "core/event_sink.h"
#include "core/program_command.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvik {

class ProgramWorker;

// The bounds of running programs; tests make them small.
struct ProgramRunnerOptions {
    int maxRunning = 4;           // at once
    std::size_t maxWaiting = 100; // more are not run, and counted
    int timeoutMs = 30'000;       // then SIGTERM
    int killAfterMs = 5'000;      // after SIGTERM, then SIGKILL
    int noteIntervalS = 60;       // at most one failure note a rule in this time
    // The steady clock of the note interval, in seconds; empty: the system's.
    std::function<std::int64_t()> steadySeconds;
    // Seconds since 1970 of a note; empty: the system's clock.
    std::function<std::int64_t()> wallClock;
};

// A rule's program, as read from the configuration.
struct RuleProgram {
    int rule = 0;
    std::string name;
    RunCommand command; // an executable program and its argument templates
};

// Runs the programs of rules for events, never through a shell: the program
// with its argument list, the event's values in the environment and as JSON
// on standard input, standard output discarded. Its own thread starts and
// watches the processes, so that neither the road nor the window waits for
// one. At most maxRunning run at once and maxWaiting wait; what does not fit
// is counted, per rule, as not run. A program that runs longer than
// timeoutMs gets SIGTERM, and SIGKILL killAfterMs later. A program that
// can't start, exits non-zero or is ended becomes a Note of quorvik's own
// (handed to `notes`), at most one a rule per noteIntervalS; the failures
// left unsaid are counted in the next.
//
// As the road's programs sink it runs, for each event, the program of every
// rule the rules step listed in the event's actions.
class ProgramRunner : public QObject, public EventSink {
    Q_OBJECT

public:
    // `notes` gets quorvik's own events on the runner's thread.
    explicit ProgramRunner(std::function<void(Event)> notes, ProgramRunnerOptions options = {},
                           QObject *parent = nullptr);
    // Stops (see stop()).
    ~ProgramRunner() override;

    // Programs still running get SIGTERM and at most a second to end, then
    // SIGKILL; what waits is not run, nothing runs from now on, and `notes`
    // is not called again.
    void stop();

    // The programs from now on; a program already started runs on.
    void setPrograms(const std::vector<RuleProgram> &programs);
    // Starts rule `rule`'s program for `event`, or queues it. Safe from any
    // thread; never waits for a process. A rule without a program is ignored.
    void run(int rule, const Event &event);
    // The programs sink: each event's rules' programs.
    void take(const EventBatch &batch) override;

    // Not run for want of room, over all rules, since the start or the last
    // clearCounts().
    std::uint64_t notRun() const;
    // The rules whose programs were not run, one a line:
    // "Rule 2 (Core links): 12 not run".
    QString notRunText() const;
    void clearCounts();
    // Running and waiting now.
    std::size_t running() const;
    std::size_t waiting() const;

signals:
    // The not-run counts changed (at most a few times a second).
    void statusChanged();

private:
    friend class ProgramWorker;
    struct Job {
        std::shared_ptr<const RuleProgram> program;
        Event event;
    };
    struct Shared {
        mutable std::mutex mutex;
        std::map<int, std::shared_ptr<const RuleProgram>> programs;
        std::deque<Job> waiting;  // oldest first
        std::size_t inFlight = 0; // running and waiting
        std::map<int, std::uint64_t> notRun;
        bool statusPending = false;
        bool stopping = false;
    };

    ProgramRunnerOptions m_options;
    std::shared_ptr<Shared> m_shared;
    QThread m_thread;
    ProgramWorker *m_worker = nullptr; // lives on m_thread
};

} // namespace quorvik
