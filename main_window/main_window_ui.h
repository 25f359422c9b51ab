#pragma once

#include "core/level.h"
#include "main_window/main_layout.h"

#include <array>
#include <cstdint>

class QAction;
class QLabel;
class QMainWindow;
class QPushButton;
class QTabWidget;
class QWidget;

namespace quorvik {

class EventGrid;

// The main window's controls, each with its form name as object name: the
// button strip, the seven level tables on tabs, the full list, the message
// line, the lost count and the menus. Behaviour is connected by the window.
struct MainWindowUi {
    void setupUi(QMainWindow *window);

    // Places every control where `layout` says.
    void applyLayout(const MainLayout &layout);
    // What the layout depends on, but the window's own sizes.
    LayoutInput layoutInput() const;
    // "1,234 lost" in the button strip, hidden while nothing is lost.
    void showLost(std::uint64_t lost);

    QWidget *toolbar = nullptr;
    QPushButton *viewButton = nullptr, *clearButton = nullptr, *sendButton = nullptr,
                *filterButton = nullptr, *logFileButton = nullptr, *historyButton = nullptr,
                *exitButton = nullptr;
    QTabWidget *tabStrip = nullptr;
    std::array<EventGrid *, kLevelCount> levelGrids{};
    EventGrid *fullList = nullptr;
    QLabel *messageLine = nullptr;
    QLabel *lostLabel = nullptr;
    QAction *optionsAction = nullptr, *quitAction = nullptr, *fullListAction = nullptr,
            *tabbedListAction = nullptr, *aboutAction = nullptr;

private:
    void createButtons();
    void createTables(QWidget *client);
    void createMenus(QMainWindow *window);
};

} // namespace quorvik
