// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A real MainWindow on temporary configuration and log files, with message boxes
// that answer from a script instead of waiting for the operator.

#include "alerts/sound.h"
#include "app/live_session.h"
#include "core/profile.h"
#include "main_window/filter_bar.h"
#include "main_window/main_window.h"
#include "tests/control.h"
#include "ui/profile_store.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <chrono>
#include <thread>

#include <ctime>
#include <deque>
#include <functional>
#include <memory>

namespace quorvik::testing {

// The main window's controls, by their form names.
inline EventGrid *levelGridOf(const QMainWindow &form, int level) {
    return control<EventGrid>(form.centralWidget(), QStringLiteral("MSFlexGrid1_%1").arg(level));
}
inline EventGrid *fullListOf(const QMainWindow &form) {
    return control<EventGrid>(form.centralWidget(), QStringLiteral("MSFlexGrid2"));
}
inline QTabWidget *tabStripOf(const QMainWindow &form) {
    return control<QTabWidget>(form.centralWidget(), QStringLiteral("SSTab1"));
}
inline FilterBar *filterBarOf(const QMainWindow &form) {
    return control<FilterBar>(form.centralWidget(), QStringLiteral("filterBar"));
}
// lostCount, notForwardedCount, rejectedCount.
inline QLabel *labelOf(const QMainWindow &form, const char *name) {
    return control<QLabel>(form.centralWidget(), QString::fromLatin1(name));
}
inline QLineEdit *queryEditOf(const FilterBar *bar) {
    return control<QLineEdit>(bar, QStringLiteral("filterText"));
}
inline QLabel *countLabelOf(const FilterBar *bar) {
    return control<QLabel>(bar, QStringLiteral("filterCount"));
}

// The centre of view row `viewRow`'s second cell, in the viewport.
inline QPoint cellCentre(EventGrid *grid, int viewRow) {
    return grid->visualRect(grid->model()->index(viewRow, 1)).center();
}

// The row menu of view row `viewRow`, opened by a right click on the
// viewport as the operator opens it; nullptr when none opened.
inline QMenu *openMenu(EventGrid *grid, int viewRow) {
    const QPoint at = grid->viewport()->mapTo(grid->window(), cellCentre(grid, viewRow));
    QTest::mouseClick(grid->window()->windowHandle(), Qt::RightButton, {}, at);
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *menu = qobject_cast<QMenu *>(widget); menu && menu->isVisible())
            return menu;
    return nullptr;
}

struct BoxCall {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

class ScriptedBoxes : public MessageBoxes {
public:
    std::deque<bool> answers;          // next OK/Cancel answers; OK when empty
    std::function<void()> whileAsking; // runs while a question is open
    QList<BoxCall> questions;
    QList<BoxCall> reports;
    std::deque<std::optional<QString>> texts; // next askText answers; an empty text when none
    QStringList textQuestions;                // the labels askText showed

    bool askOkCancel(QWidget *, const QString &title, const QString &text,
                     QMessageBox::Icon icon) override {
        questions.append({title, text, icon});
        if (whileAsking)
            whileAsking();
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void report(QWidget *, const QString &title, const QString &text,
                QMessageBox::Icon icon) override {
        reports.append({title, text, icon});
    }
    void reportAndWait(QWidget *parent, const QString &title, const QString &text,
                       QMessageBox::Icon icon) override {
        report(parent, title, text, icon);
    }
    std::optional<QString> askText(QWidget *, const QString &, const QString &label) override {
        textQuestions.append(label);
        if (texts.empty())
            return QString();
        const std::optional<QString> answer = texts.front();
        texts.pop_front();
        return answer;
    }
};

class RecordingSounds : public SoundPlayer {
public:
    QStringList played;
    void play(const QString &path) override { played.append(path); }
};

// The window of a fixture: a live copy's (its session owns it) or a history
// copy's.
class FormHandle {
public:
    MainWindow *get() const { return m_session ? &m_session->window() : m_history.get(); }
    MainWindow *operator->() const { return get(); }
    MainWindow &operator*() const { return *get(); }
    LiveSession *session() const { return m_session.get(); }
    void reset() {
        m_session.reset();
        m_history.reset();
    }
    void live(const LiveSessionConfig &config) {
        reset();
        m_session = std::make_unique<LiveSession>(config);
    }
    void history(const MainWindowConfig &config) {
        reset();
        m_history = std::make_unique<MainWindow>(config);
    }

private:
    std::unique_ptr<LiveSession> m_session;
    std::unique_ptr<MainWindow> m_history;
};

class FormFixture {
public:
    // `config` is the content of quorvik.cfg; a Logfile line pointing into
    // the temporary folder is added unless the content names one.
    // `lockPath` names the live-copy lock; by default one of its own.
    explicit FormFixture(QByteArray config = {}, bool historyMode = false,
                         const QString &lockPath = {}) {
        if (!config.contains("Logfile"))
            config =
                "[Global]\r\nLogfile=" + logPath().toLocal8Bit() + "\r\nPopuplevel=0\r\n" + config;
        writeConfig(config);
        if (historyMode) {
            form.history({true, configPath(), logPath(), &boxes, nullptr});
            return;
        }
        LiveSessionConfig c =
            windowConfig(lockPath.isEmpty() ? dir.filePath(QStringLiteral("live.lock")) : lockPath);
        c.udpPort = 0;
        form.live(c);
    }

    // A live copy on this fixture's files, boxes, sounds and popups, its road
    // on the test's thread, receiving on port 162 unless told otherwise.
    LiveSessionConfig windowConfig(const QString &lockPath) {
        LiveSessionConfig c;
        c.profilePath = configPath();
        c.defaultLogFile = logPath();
        c.liveLockPath = lockPath;
        c.boxes = &boxes;
        c.sounds = &sounds;
        c.popup = &alerts;
        c.roadThread = false;
        return c;
    }
    ~FormFixture() { form.reset(); }

    // The configuration as the program reads it at start.
    Profile profile() const { return Profile::parse(ProfileStore(configPath()).content()); }
    // Loads the window as the program does; false when another live copy runs.
    bool load() {
        if (LiveSession *session = form.session())
            return session->start(profile());
        form->load(profile());
        return true;
    }

    QString configPath() const { return dir.filePath(QStringLiteral("quorvik.cfg")); }
    QString logPath() const { return dir.filePath(QStringLiteral("quorvik.log")); }

    void writeConfig(const QByteArray &content) const {
        QFile file(configPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray readFile(const QString &path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Loads and shows the window, as the program does.
    void start() {
        QVERIFY(load());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    // One datagram into the window as the receiver hands a batch on,
    // received at 07.12.2026 20:41:05 local time.
    void send(const QByteArray &text, const QString &sender = QStringLiteral("10.0.0.9")) {
        std::tm received{};
        received.tm_year = 2026 - 1900;
        received.tm_mon = 11;
        received.tm_mday = 7;
        received.tm_hour = 20;
        received.tm_min = 41;
        received.tm_sec = 5;
        received.tm_isdst = -1;
        const std::vector<RawMessage> batch{
            {text.toStdString(), sender.toStdString(), std::int64_t(std::mktime(&received))}};
        if (LiveSession *session = form.session()) {
            session->take(batch);
        } else { // a history copy takes rows only by its bulk path
            const Event event = parseEventMessage(batch[0].bytes, batch[0].sender, LocalDateTime{});
            form->takeHistoryRows({EventRow(event)});
        }
        form->refreshViews();
    }
    Receiver *receiver() const { return &form.session()->receiver(); }
    // Lets the views catch up with the tables.
    void settle() {
        form->refreshViews();
        for (int i = 0; i < 7; ++i)
            levelGridOf(*form, i)->table()->flushChanges();
        fullListOf(*form)->table()->flushChanges();
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    ScriptedBoxes boxes;
    RecordingSounds sounds;
    AlertPopups alerts;
    FormHandle form;
};

// A window listening on a loopback port of its own, with the read-time clock
// and the receiver's bounds in the test's hands; SNMP messages decoded by
// `traps`, when given.
struct LiveWindow {
    explicit LiveWindow(FormFixture &f, ReceiverOptions options, TrapDecoder *traps = nullptr) {
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        port = probe.localPort();
        probe.close();
        LiveSessionConfig c = f.windowConfig(f.dir.filePath(QStringLiteral("live.lock")));
        c.udpPort = port;
        c.receiver = std::move(options);
        c.trapDecoder = traps;
        form.live(c);
        QVERIFY(form.session()->start(f.profile()));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    Receiver *receiver() const { return &form.session()->receiver(); }
    void send(const QByteArray &text) {
        QCOMPARE(sender.writeDatagram(text, QHostAddress::LocalHost, port), text.size());
    }
    // Sends without letting the window thread run; in chunks that the
    // receiver thread reads before the next, so none is dropped.
    void sendWhileBusy(int first, int count) {
        sendAll(count, [first](int n) { return "$LEVL$:N$MSG$:" + QByteArray::number(first + n); });
    }
    // `count` datagrams, textOf(0) to textOf(count - 1), as sendWhileBusy().
    void sendAll(int count, const std::function<QByteArray(int)> &textOf) {
        const std::uint64_t before = receiver()->readCount();
        for (int n = 1; n <= count; ++n) {
            send(textOf(n - 1));
            if (n % 500 != 0 && n != count)
                continue;
            QDeadlineTimer patience(60'000);
            while (receiver()->readCount() < before + std::uint64_t(n) && !patience.hasExpired())
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    quint16 port = 0;
    QUdpSocket sender;
    FormHandle form;
};

// A click on a check box's box itself, where it takes the click.
inline void clickBox(QWidget *box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace quorvik::testing
