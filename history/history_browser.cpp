// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_browser.h"

#include "main_window/main_window.h"
#include "core/text_rules.h"
#include "tables/event_row.h"
#include "ui/once_window.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace quorvik {

HistoryBrowser::HistoryBrowser(MainWindow &window, HistoryConfig config, QObject *parent)
    : QObject(parent), m_window(window), m_config(std::move(config)) {
    if (!m_config.clock)
        m_config.clock = systemLocalTime;
    m_progressDelay = new QTimer(this);
    m_progressDelay->setSingleShot(true);
    connect(m_progressDelay, &QTimer::timeout, this, &HistoryBrowser::showProgress);
    connect(&m_replay, &HistoryReplay::rowsReady, &m_window, &MainWindow::takeHistoryRows);
    connect(&m_replay, &HistoryReplay::progressed, this, [this](int permille) {
        if (m_progress)
            m_progress->setValue(permille);
    });
    connect(&m_replay, &HistoryReplay::finished, this, &HistoryBrowser::loadEnded);
    connect(&m_window, &MainWindow::filterRequested, this, &HistoryBrowser::showSearchDialog);
    connect(&m_window, &MainWindow::selectLogFileRequested, this, &HistoryBrowser::selectLogFile);
}

HistoryBrowser::~HistoryBrowser() {
    delete m_dialog.data();
}

SearchDialog *HistoryBrowser::searchDialog() {
    if (!m_dialog) {
        m_dialog = new SearchDialog(m_state, *m_config.boxes, m_config.clock());
        connect(m_dialog, &SearchDialog::reloadRequested, this, &HistoryBrowser::reload);
    }
    return m_dialog;
}

void HistoryBrowser::startUp() {
    searchDialog()->allMessagesBox()->setChecked(false);
    m_state.historySearch.clear();
    processHistory();
}

void HistoryBrowser::showSearchDialog() {
    bringForward(searchDialog());
}

QString HistoryBrowser::logFile() const {
    return QString::fromLocal8Bit(m_window.settings().logFile.c_str());
}

void HistoryBrowser::selectLogFile() {
    const QString preset = QFileInfo(logFile()).dir().filePath(QStringLiteral("quorvik.log"));
    const std::optional<QString> chosen =
        m_config.fileDialogs->openFile(&m_window, QStringLiteral("Select a logfile"), preset,
                                       QStringLiteral("Logfiles (*.log);;All files (*)"));
    if (!chosen)
        return;
    Settings settings = m_window.settings();
    settings.logFile = chosen->toLocal8Bit().toStdString();
    m_window.setSettings(settings);
    reload();
}

void HistoryBrowser::reload() {
    cancelLoad();
    m_window.clearAllTablesQuietly();
    processHistory();
}

void HistoryBrowser::cancelLoad() {
    m_replay.cancel();
}

void HistoryBrowser::processHistory() {
    cancelLoad();
    m_window.hideCurrentView();
    const QString range = searchDialog()->rangeText();
    const QString path = logFile();
    m_window.setWindowTitle(QStringLiteral("History mode: Filter = ") + range + QLatin1Char(' ') +
                            m_state.historySearch + QStringLiteral("  Logfile = ") + path);
    if (!QFileInfo::exists(path)) {
        m_config.boxes->reportAndWait(
            &m_window, QStringLiteral("Quorvik"),
            QStringLiteral("Log-File ") + path +
                QStringLiteral(" nicht vorhanden, Programm wird beendet."),
            QMessageBox::Warning);
        m_window.close();
        return;
    }
    const QByteArray search = m_state.historySearch.toLocal8Bit();
    HistoryLineFilter filter({m_state.historyFrom, m_state.historyTo, search.toStdString()},
                             shownTextContains);
    if (!m_replay.start(path, std::move(filter))) {
        loadEnded(HistoryReplay::Outcome::Failed);
        return;
    }
    m_progressDelay->start(m_config.progressDelayMs);
}

// A strip with the share read and a Cancel button, in the place of the
// message line, where the operator looks while the tables are hidden.
void HistoryBrowser::showProgress() {
    QLabel *line = m_window.messageLine();
    if (!m_strip) {
        m_strip = new QWidget(line->parentWidget());
        m_strip->setObjectName(QStringLiteral("historyProgress"));
        auto *layout = new QHBoxLayout(m_strip);
        layout->setContentsMargins(0, 0, 0, 0);
        m_progress = new QProgressBar(m_strip);
        m_progress->setRange(0, 1000);
        m_progress->setFormat(QStringLiteral("Reading the log file: %p %"));
        m_cancel = new QPushButton(QStringLiteral("Cancel"), m_strip);
        m_cancel->setObjectName(QStringLiteral("historyCancel"));
        m_cancel->setToolTip(QStringLiteral("Stop reading; the messages read so far stay"));
        layout->addWidget(m_progress, 1);
        layout->addWidget(m_cancel);
        connect(m_cancel, &QPushButton::clicked, this, &HistoryBrowser::cancelLoad);
    }
    m_strip->setGeometry(line->geometry());
    m_progress->setValue(m_replay.permille());
    m_strip->show();
    m_strip->raise();
}

void HistoryBrowser::loadEnded(HistoryReplay::Outcome outcome) {
    m_progressDelay->stop();
    if (m_strip)
        m_strip->hide();
    m_window.fitColumnsToRows();
    m_window.refreshViews();
    m_window.showCurrentView();
    if (outcome == HistoryReplay::Outcome::Failed)
        m_config.boxes->report(
            &m_window, QStringLiteral("Quorvik"),
            QStringLiteral("Cannot read the log file %1: %2").arg(logFile(), m_replay.error()),
            QMessageBox::Warning);
    else
        tellRowLimitCut();
    emit loadFinished(outcome);
}

// The tables keep the newest events up to the row limit: what matched
// beyond them is left out, and the operator is told so and how to see it.
void HistoryBrowser::tellRowLimitCut() {
    const std::uint64_t matched = m_replay.matched();
    const auto held = std::uint64_t(m_window.eventsHeld());
    if (matched <= held)
        return;
    const auto count = [](std::uint64_t n) { return QString::fromStdString(withThousands(n)); };
    m_config.boxes->report(
        &m_window, QStringLiteral("Quorvik"),
        QStringLiteral("%1 lines of the log file match; the row limit shows the newest %2 and "
                       "leaves out %3 older ones. To see them, narrow the search or the dates "
                       "with \"Filter ...\", or raise \"Max. Lines per Tab\" in File > Options.")
            .arg(count(matched), count(held), count(matched - held)),
        QMessageBox::Information);
}

} // namespace quorvik
