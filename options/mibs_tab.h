// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/seams.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace quorvik {

// What a reading of the MIBs found, as the tab shows it.
struct MibsShown {
    bool reading = false;                              // a reading is under way
    std::vector<std::pair<QString, QString>> modules;  // name, file
    std::vector<std::pair<QString, QString>> failures; // file, reason
};

// The MIBs tab of the options: the folders whose MIB files are read (the
// operator's own first, then those of [SNMP] MibDirs=), "Add MIB files…"
// that copies files into the own folder, the modules loaded and the files
// that failed with their reasons, and "Reload".
class MibsTab : public QWidget {
    Q_OBJECT

public:
    struct Hooks {
        QString ownFolder;
        FileDialogs *dialogs = nullptr;
        MessageBoxes *boxes = nullptr;
        // Reads the MIBs again with these MibDirs folders (after the own one).
        std::function<void(const QStringList &)> reload;
    };
    explicit MibsTab(Hooks hooks, QWidget *parent = nullptr);

    void setFolders(const QStringList &mibDirs);
    QStringList folders() const; // the MibDirs folders, without the own one
    bool changed() const { return folders() != m_shownFolders; }
    void clearMark() { m_shownFolders = folders(); }

    // What the latest reading found, or that one is under way.
    void showMibs(const MibsShown &mibs);

private:
    void addFolder();
    void removeFolder();
    void addFiles();

    Hooks m_hooks;
    QStringList m_shownFolders;
    QListWidget *m_folders = nullptr;
    QPushButton *m_remove = nullptr;
    QTreeWidget *m_modules = nullptr;
    QListWidget *m_failures = nullptr;
    QLabel *m_state = nullptr;
};

} // namespace quorvik
