// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_sink.h"
#include "core/level.h"
#include "main_window/main_layout.h"

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <utility>

class QAction;
class QLabel;
class QMainWindow;
class QPushButton;
class QTabWidget;
class QWidget;

namespace quorvik {

class EventGrid;
class FilterBar;

// The main window's controls, each with its form name as object name: the
// button strip, the filter bar, the seven level tables on tabs, the full
// list, the message line, the lost count and the menus. Tab goes through
// them in reading order. Behaviour is connected by the window.
struct MainWindowUi {
    // Names, titles and fills `window` ("Form1") with the controls.
    void setupUi(QMainWindow *window);

    // Every row as tall as the header, which grows to its text; as many rows
    // as fill the design height. The full list starts hidden.
    void setUpRows();
    // The buttons of the live copy or of the history copy.
    void showButtonsFor(bool historyMode);
    // Shows the full list or the tabs, with the menu's marks and the View
    // button's tool tip in step.
    void showView(bool fullList);
    // The full list or the tabs.
    QWidget *view(bool fullList) const;

    // Places every control where `layout` says.
    void applyLayout(const MainLayout &layout);
    // What the layout depends on, but the window's own sizes.
    LayoutInput layoutInput() const;
    // "1,234 lost" in the button strip, hidden while nothing is lost.
    void showLost(const IntakeLosses &lost);
    // "12 not run" after it: events whose rule's program found no room (the
    // rules and their counts as tool tip); hidden while none are.
    void showNotRun(std::uint64_t count, const QString &rules);
    // "12 not forwarded" after it, then the failing targets; hidden while
    // nothing is dropped and every target works.
    void showNotForwarded(std::uint64_t count, const QString &failing, const QString &targets);
    // "12 rejected" beside it, hidden while none are; its tool tip names the
    // latest reason of each sender.
    void showRejected(std::uint64_t rejected,
                      const std::list<std::pair<std::string, std::string>> &reasons);
    // A tab whose level has events the operator has not seen: bold caption.
    void markTab(int index, bool marked);
    bool isTabMarked(int index) const;

    QWidget *toolbar = nullptr;
    QPushButton *viewButton = nullptr, *clearButton = nullptr, *sendButton = nullptr,
                *filterButton = nullptr, *logFileButton = nullptr, *historyButton = nullptr,
                *exitButton = nullptr;
    FilterBar *filterBar = nullptr;
    QTabWidget *tabStrip = nullptr;
    std::array<EventGrid *, kLevelCount> levelGrids{};
    EventGrid *fullList = nullptr;
    QLabel *messageLine = nullptr;
    QLabel *lostLabel = nullptr;
    QLabel *notRunLabel = nullptr;
    QLabel *notForwardedLabel = nullptr;
    QLabel *rejectedLabel = nullptr;
    QAction *acknowledgeAction = nullptr; // live copy only
    QAction *optionsAction = nullptr, *quitAction = nullptr, *copyAction = nullptr,
            *detailsAction = nullptr, *fullListAction = nullptr, *tabbedListAction = nullptr,
            *filterAction = nullptr, *aboutAction = nullptr;

private:
    void createButtons();
    void createTables(QWidget *client);
    void createMenus(QMainWindow *window);
    void lineUpCounts();
};

} // namespace quorvik
