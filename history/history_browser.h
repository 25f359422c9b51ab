// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "history/history_replay.h"
#include "history/search_dialog.h"
#include "ui/seams.h"

#include <QObject>
#include <QPointer>

class QProgressBar;
class QPushButton;

namespace quorvik {

class MainWindow;

// What the history side of a history copy is given.
struct HistoryConfig {
    MessageBoxes *boxes = nullptr;
    FileDialogs *fileDialogs = nullptr;
    Clock clock; // empty: the system clock
    int progressDelayMs = 300;
};

// History mode of a main window: the filter state, the search dialog, and
// the loads that replay the log file through the window's intake. It answers
// the window's btnFilter and btnSelLog.
class HistoryBrowser : public QObject {
    Q_OBJECT

public:
    HistoryBrowser(MainWindow &window, HistoryConfig config, QObject *parent = nullptr);
    ~HistoryBrowser() override;

    // The first load of a history copy: the dialog's state with the default
    // range, an empty search, then the load.
    void startUp();
    // btnFilter: shows the dialog, without an owner, not modal.
    void showSearchDialog();
    // btnSelLog: another log file, then a reload; Cancel changes nothing.
    void selectLogFile();
    // Empties the tables without a question and loads again; a running load
    // stops first.
    void reload();
    // Loads the log file into the tables (the caption shows filter and file).
    void processHistory();
    void cancelLoad();

    // The dialog, created with the default range when it doesn't exist.
    SearchDialog *searchDialog();
    // The tests make its slices small (to cancel a load midway) and ask
    // whether it runs.
    HistoryReplay &replay() { return m_replay; }

signals:
    void loadFinished(HistoryReplay::Outcome outcome);

private:
    void showProgress();
    void loadEnded(HistoryReplay::Outcome outcome);
    void tellRowLimitCut();
    QString logFile() const;

    MainWindow &m_window;
    HistoryConfig m_config;
    HistoryFilterState m_state;
    QPointer<SearchDialog> m_dialog;
    HistoryReplay m_replay;
    QTimer *m_progressDelay = nullptr;
    QWidget *m_strip = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace quorvik
