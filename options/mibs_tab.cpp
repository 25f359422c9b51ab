// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "options/mibs_tab.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quorvik {

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &caption) {
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// Copies `from` into `folder`, replacing a file of the same name there.
// The reason in words when it could not.
QString copyInto(const QString &from, const QString &folder) {
    if (!QDir().mkpath(folder))
        return QStringLiteral("Cannot make the folder %1").arg(folder);
    const QString to = folder + QLatin1Char('/') + QFileInfo(from).fileName();
    if (QFileInfo::exists(to) &&
        QFileInfo(from).canonicalFilePath() == QFileInfo(to).canonicalFilePath())
        return {}; // already there
    const QString part = to + QStringLiteral(".part");
    QFile::remove(part);
    QFile source(from);
    if (!source.copy(part))
        return QStringLiteral("Cannot copy %1 into %2: %3").arg(from, folder, source.errorString());
    QFile::remove(to);
    QFile copied(part);
    if (!copied.rename(to)) {
        const QString error = copied.errorString();
        QFile::remove(part);
        return QStringLiteral("Cannot copy %1 into %2: %3").arg(from, folder, error);
    }
    return {};
}

} // namespace

MibsTab::MibsTab(Hooks hooks, QWidget *parent) : QWidget(parent), m_hooks(std::move(hooks)) {
    setObjectName(QStringLiteral("tabMibs"));
    m_folders = new QListWidget(this);
    m_folders->setObjectName(QStringLiteral("lstMibDirs"));
    m_folders->setToolTip(QStringLiteral("Searched in this order: of two files with one "
                                         "module's name, the earlier folder's is read"));
    QPushButton *addFolder = button(this, "cmdMibDirAdd", QStringLiteral("Add…"));
    m_remove = button(this, "cmdMibDirRemove", QStringLiteral("Remove"));
    QPushButton *addFiles = button(this, "cmdMibAdd", QStringLiteral("Add MIB files…"));
    addFiles->setToolTip(QStringLiteral("Copies the files into %1").arg(m_hooks.ownFolder));
    QPushButton *reload = button(this, "cmdMibReload", QStringLiteral("Reload"));
    reload->setToolTip(QStringLiteral("Reads the MIBs of these folders again; events keep "
                                      "coming in, named by the MIBs before until then"));

    m_modules = new QTreeWidget(this);
    m_modules->setObjectName(QStringLiteral("lstMibModules"));
    m_modules->setHeaderLabels({QStringLiteral("Module"), QStringLiteral("File")});
    m_modules->setRootIsDecorated(false);
    m_modules->setUniformRowHeights(true);
    m_modules->header()->setStretchLastSection(true);
    m_failures = new QListWidget(this);
    m_failures->setObjectName(QStringLiteral("lstMibFailures"));
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("lblMibState"));
    m_state->setWordWrap(true);

    auto *folderButtons = new QVBoxLayout;
    folderButtons->addWidget(addFolder);
    folderButtons->addWidget(m_remove);
    folderButtons->addStretch();
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folders, 1);
    folderRow->addLayout(folderButtons);
    auto *actions = new QHBoxLayout;
    actions->addWidget(addFiles);
    actions->addStretch();
    actions->addWidget(reload);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Folders:"), this));
    layout->addLayout(folderRow, 2);
    layout->addLayout(actions);
    layout->addWidget(new QLabel(QStringLiteral("Modules loaded:"), this));
    layout->addWidget(m_modules, 3);
    layout->addWidget(new QLabel(QStringLiteral("Not loaded:"), this));
    layout->addWidget(m_failures, 2);
    layout->addWidget(m_state);

    connect(addFolder, &QPushButton::clicked, this, &MibsTab::addFolder);
    connect(m_remove, &QPushButton::clicked, this, &MibsTab::removeFolder);
    connect(addFiles, &QPushButton::clicked, this, &MibsTab::addFiles);
    connect(reload, &QPushButton::clicked, this, [this] {
        if (m_hooks.reload)
            m_hooks.reload(folders());
    });
    connect(m_folders, &QListWidget::currentRowChanged, this,
            [this](int row) { m_remove->setEnabled(row > 0); });
    setFolders({});
}

void MibsTab::setFolders(const QStringList &mibDirs) {
    m_folders->clear();
    // The own folder is always read first and can't be removed.
    auto *own = new QListWidgetItem(m_hooks.ownFolder + QStringLiteral("  (yours)"), m_folders);
    own->setFlags(own->flags() & ~Qt::ItemIsSelectable);
    m_folders->addItems(mibDirs);
    m_remove->setEnabled(false);
    m_shownFolders = folders();
}

QStringList MibsTab::folders() const {
    QStringList dirs;
    for (int row = 1; row < m_folders->count(); ++row)
        dirs << m_folders->item(row)->text();
    return dirs;
}

void MibsTab::showMibs(const MibsShown &mibs) {
    if (mibs.reading) {
        m_state->setText(QStringLiteral("Reading the MIBs…"));
        return;
    }
    m_modules->clear();
    QList<QTreeWidgetItem *> rows;
    rows.reserve(qsizetype(mibs.modules.size()));
    for (const auto &[name, file] : mibs.modules)
        rows << new QTreeWidgetItem(QStringList{name, file});
    m_modules->addTopLevelItems(rows);
    m_modules->resizeColumnToContents(0);
    m_failures->clear();
    for (const auto &[file, reason] : mibs.failures) {
        auto *item = new QListWidgetItem(reason, m_failures);
        item->setToolTip(file);
    }
    m_state->setText(QStringLiteral("%1 modules loaded, %2 not.")
                         .arg(mibs.modules.size())
                         .arg(mibs.failures.size()));
}

void MibsTab::addFolder() {
    const std::optional<QString> chosen =
        m_hooks.dialogs->chooseFolder(this, QStringLiteral("Folder of MIB files"), QString());
    if (!chosen || chosen->isEmpty() || folders().contains(*chosen))
        return;
    m_folders->addItem(QDir::cleanPath(*chosen));
    m_folders->setCurrentRow(m_folders->count() - 1);
}

void MibsTab::removeFolder() {
    const int row = m_folders->currentRow();
    if (row > 0)
        delete m_folders->takeItem(row);
}

void MibsTab::addFiles() {
    const QStringList chosen =
        m_hooks.dialogs->openFiles(this, QStringLiteral("Add MIB files"), QString(),
                                   QStringLiteral("MIB files (*.mib *.my *.txt);;All files (*)"));
    if (chosen.isEmpty())
        return;
    QStringList failures;
    int copied = 0;
    for (const QString &file : chosen) {
        if (const QString error = copyInto(file, m_hooks.ownFolder); !error.isEmpty())
            failures << error;
        else
            ++copied;
    }
    m_state->setText(QStringLiteral("%1 of %2 files copied into %3; \"Reload\" reads them.")
                         .arg(copied)
                         .arg(chosen.size())
                         .arg(m_hooks.ownFolder));
    if (!failures.isEmpty())
        m_hooks.boxes->report(this, QStringLiteral("Quorvik Optionen"),
                              failures.join(QLatin1Char('\n')), QMessageBox::Warning);
}

} // namespace quorvik
