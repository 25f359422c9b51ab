// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "rules/program_runner.h"

#include "core/text_rules.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSysInfo>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <utility>

namespace quorvik {

namespace {

constexpr int kStatusIntervalMs = 250;
constexpr int kQuitWaitMs = 1000;
// Of a program's standard error only the first line is kept, and of that
// at most this much; the rest is read and dropped so that the program
// never waits on a full pipe.
constexpr qsizetype kErrorLineLimit = 512;

// "Rule 2 (Core links)", or "Rule 2" for a rule without a name.
std::string ruleTitle(const RuleProgram &program) {
    std::string title = "Rule " + std::to_string(program.rule);
    if (!program.name.empty())
        title += " (" + program.name + ')';
    return title;
}

// The child starts with the default action for every signal quorvik
// ignores and nothing blocked, whatever thread started it. Runs between
// fork and exec: async-signal-safe calls only.
void resetSignals() {
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
}

} // namespace

// The runner's side on its thread: the processes, fed from the queue.
class ProgramWorker : public QObject {
    Q_OBJECT

public:
    ProgramWorker(const ProgramRunnerOptions &options,
                  std::shared_ptr<ProgramRunner::Shared> shared, std::function<void(Event)> notes)
        : m_options(options), m_shared(std::move(shared)), m_notes(std::move(notes)),
          m_environment(QProcessEnvironment::systemEnvironment()) {
        m_statusTimer = new QTimer(this);
        m_statusTimer->setSingleShot(true);
        m_statusTimer->setInterval(kStatusIntervalMs);
        connect(m_statusTimer, &QTimer::timeout, this, [this] {
            {
                std::lock_guard lock(m_shared->mutex);
                m_shared->statusPending = false;
            }
            emit statusChanged();
        });
    }

    // Starts waiting programs while there is room.
    void startWaiting() {
        for (;;) {
            ProgramRunner::Job job;
            {
                std::lock_guard lock(m_shared->mutex);
                if (m_shared->stopping || m_processes.size() >= std::size_t(m_options.maxRunning) ||
                    m_shared->waiting.empty())
                    return;
                job = std::move(m_shared->waiting.front());
                m_shared->waiting.pop_front();
            }
            start(std::move(job));
        }
    }

    void statusSoon() {
        if (!m_statusTimer->isActive())
            m_statusTimer->start();
    }

    // Quitting: SIGTERM to all, a second for them to end, then SIGKILL.
    void stopAll() {
        const std::vector<QProcess *> processes(m_processes.begin(), m_processes.end());
        for (QProcess *process : processes)
            process->terminate();
        QDeadlineTimer deadline(kQuitWaitMs);
        for (QProcess *process : processes) {
            process->disconnect(this);
            if (!process->waitForFinished(int(deadline.remainingTime())))
                process->kill();
            process->waitForFinished(kQuitWaitMs);
            delete process;
        }
        m_processes.clear();
    }

signals:
    void statusChanged();

private:
    struct Run {
        std::shared_ptr<const RuleProgram> program;
        QByteArray errorLine; // the first line of standard error, so far
        bool errorLineDone = false;
        bool timedOut = false;
        bool done = false;
    };

    void start(ProgramRunner::Job job) {
        const ProgramValues values = programValues(job.event, job.program->rule, job.program->name);
        QStringList arguments;
        for (const std::string &argument : expandArguments(job.program->command.arguments, values))
            arguments << QString::fromStdString(argument);
        QProcessEnvironment environment = m_environment;
        for (const auto &[name, value] : programEnvironment(values))
            environment.insert(QString::fromLatin1(name), QString::fromStdString(value));

        auto *process = new QProcess(this);
        m_processes.push_back(process);
        auto run = std::make_shared<Run>();
        run->program = job.program;
        process->setProgram(QFile::decodeName(job.program->command.program.c_str()));
        process->setArguments(arguments);
        process->setProcessEnvironment(environment);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setChildProcessModifier(resetSignals);
        connect(process, &QProcess::readyReadStandardError, this,
                [process, run] { keepErrorLine(*process, *run); });
        connect(process, &QProcess::errorOccurred, this,
                [this, process, run](QProcess::ProcessError e) {
                    if (e == QProcess::FailedToStart)
                        finish(process, *run,
                               " could not be started: " + process->errorString().toStdString());
                });
        connect(process, &QProcess::finished, this,
                [this, process, run](int code, QProcess::ExitStatus status) {
                    keepErrorLine(*process, *run);
                    std::string failure;
                    if (run->timedOut)
                        failure =
                            " ran longer than " + seconds(m_options.timeoutMs) + " and was ended";
                    else if (status == QProcess::CrashExit)
                        failure = " was ended by a signal";
                    else if (code != 0)
                        failure = " exited with " + std::to_string(code);
                    if (!failure.empty() && !run->errorLine.isEmpty())
                        failure += ": " + run->errorLine.toStdString();
                    finish(process, *run, failure);
                });
        // Ended after the time limit: SIGTERM, and SIGKILL if that is not enough.
        QPointer<QProcess> watched(process);
        QTimer::singleShot(m_options.timeoutMs, process, [this, watched, run] {
            if (!watched || run->done)
                return;
            run->timedOut = true;
            watched->terminate();
            QTimer::singleShot(m_options.killAfterMs, watched, [watched, run] {
                if (watched && !run->done)
                    watched->kill();
            });
        });
        process->start(QIODevice::ReadWrite);
        if (run->done)
            return;
        const std::string json = programJson(values);
        process->write(json.data(), qint64(json.size()));
        process->closeWriteChannel();
    }

    static std::string seconds(int ms) {
        return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
    }

    static void keepErrorLine(QProcess &process, Run &run) {
        const QByteArray bytes = process.readAllStandardError();
        if (run.errorLineDone)
            return;
        run.errorLine += bytes;
        const qsizetype end = run.errorLine.indexOf('\n');
        if (end >= 0 || run.errorLine.size() >= kErrorLineLimit) {
            run.errorLine.truncate(end >= 0 ? std::min(end, kErrorLineLimit) : kErrorLineLimit);
            run.errorLineDone = true;
        }
        while (run.errorLine.endsWith('\r'))
            run.errorLine.chop(1);
    }

    // A run ended; `failure` says how it failed, empty when it didn't.
    void finish(QProcess *process, Run &run, const std::string &failure) {
        if (run.done)
            return;
        run.done = true;
        std::erase(m_processes, process);
        process->deleteLater();
        {
            std::lock_guard lock(m_shared->mutex);
            --m_shared->inFlight;
        }
        if (!failure.empty())
            note(*run.program, run.program->command.program + failure);
        startWaiting();
    }

    // A failure note of `program`'s rule, unless one was given within the
    // interval; then it is counted for the next.
    void note(const RuleProgram &program, const std::string &what) {
        const std::int64_t now = m_options.steadySeconds
                                     ? m_options.steadySeconds()
                                     : std::chrono::duration_cast<std::chrono::seconds>(
                                           std::chrono::steady_clock::now().time_since_epoch())
                                           .count();
        NoteState &state = m_noteStates[program.rule];
        if (state.given && now - state.last < m_options.noteIntervalS) {
            ++state.unsaid;
            return;
        }
        std::string message = ruleTitle(program) + ": " + what;
        if (state.unsaid > 0)
            message += " (and " + withThousands(state.unsaid) + " more failure" +
                       (state.unsaid == 1 ? "" : "s") + " since the last note)";
        state = {true, now, 0};
        Event event;
        event.level = &levelByIndex(6); // Note
        event.source = Source::Quorvik;
        event.host = m_hostName;
        event.application = "quorvik";
        event.object = "Rule " + std::to_string(program.rule);
        event.message = std::move(message);
        event.receivedAt =
            m_options.wallClock ? m_options.wallClock() : QDateTime::currentSecsSinceEpoch();
        if (m_notes)
            m_notes(std::move(event));
    }

    struct NoteState {
        bool given = false;
        std::int64_t last = 0;
        std::uint64_t unsaid = 0;
    };

    ProgramRunnerOptions m_options;
    std::shared_ptr<ProgramRunner::Shared> m_shared;
    std::function<void(Event)> m_notes;
    QProcessEnvironment m_environment;
    std::string m_hostName = QSysInfo::machineHostName().toStdString();
    std::vector<QProcess *> m_processes;
    std::map<int, NoteState> m_noteStates;
    QTimer *m_statusTimer = nullptr;
};

ProgramRunner::ProgramRunner(std::function<void(Event)> notes, ProgramRunnerOptions options,
                             QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_shared(std::make_shared<Shared>()) {
    m_worker = new ProgramWorker(m_options, m_shared, std::move(notes));
    connect(m_worker, &ProgramWorker::statusChanged, this, &ProgramRunner::statusChanged);
    m_thread.setObjectName(QStringLiteral("programs"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

ProgramRunner::~ProgramRunner() {
    stop();
}

void ProgramRunner::stop() {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->stopping)
            return;
        m_shared->stopping = true;
        m_shared->waiting.clear();
    }
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->stopAll(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void ProgramRunner::take(const EventBatch &batch) {
    for (const Event &event : *batch)
        for (const int rule : event.actions.run)
            run(rule, event);
}

void ProgramRunner::setPrograms(const std::vector<RuleProgram> &programs) {
    std::map<int, std::shared_ptr<const RuleProgram>> byRule;
    for (const RuleProgram &program : programs)
        byRule[program.rule] = std::make_shared<const RuleProgram>(program);
    std::lock_guard lock(m_shared->mutex);
    m_shared->programs = std::move(byRule);
}

void ProgramRunner::run(int rule, const Event &event) {
    bool start = false, counted = false;
    {
        std::lock_guard lock(m_shared->mutex);
        const auto found = m_shared->programs.find(rule);
        if (m_shared->stopping || found == m_shared->programs.end())
            return;
        // Room for what runs and what waits; a job taken off the queue runs.
        if (m_shared->inFlight < std::size_t(m_options.maxRunning) + m_options.maxWaiting) {
            m_shared->waiting.push_back({found->second, event});
            ++m_shared->inFlight;
            start = true;
        } else {
            ++m_shared->notRun[rule];
            counted = !std::exchange(m_shared->statusPending, true);
        }
    }
    if (start)
        QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->startWaiting(); });
    if (counted)
        QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->statusSoon(); });
}

std::uint64_t ProgramRunner::notRun() const {
    std::lock_guard lock(m_shared->mutex);
    std::uint64_t total = 0;
    for (const auto &[rule, count] : m_shared->notRun)
        total += count;
    return total;
}

QString ProgramRunner::notRunText() const {
    std::lock_guard lock(m_shared->mutex);
    QStringList lines;
    for (const auto &[rule, count] : m_shared->notRun) {
        const auto program = m_shared->programs.find(rule);
        const std::string title = program != m_shared->programs.end()
                                      ? ruleTitle(*program->second)
                                      : "Rule " + std::to_string(rule);
        lines << QString::fromStdString(title + ": " + withThousands(count) + " not run");
    }
    return lines.join(QLatin1Char('\n'));
}

void ProgramRunner::clearCounts() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->notRun.clear();
    }
    emit statusChanged();
}

std::size_t ProgramRunner::running() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->inFlight - m_shared->waiting.size();
}

std::size_t ProgramRunner::waiting() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->waiting.size();
}

} // namespace quorvik

#include "program_runner.moc"
