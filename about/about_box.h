// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>

class QLabel;
class QPushButton;

namespace quorvik {

// The about box: the program's logo, name, version and one-line description.
// Modeless, at most one (see showOver); closing destroys it. It centres over
// the main window whenever it becomes active.
class AboutBox : public QDialog {
    Q_OBJECT

public:
    // The size the logo is drawn at, in pixels.
    static constexpr QSize kLogoSize{174, 62};

    explicit AboutBox(QWidget *mainWindow);

    // Shows the about box in `box` over `mainWindow`, creating it when none
    // is open; an open box is brought forward instead of opening a second one.
    static AboutBox *showOver(QPointer<AboutBox> &box, QWidget *mainWindow);

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void centreControls();

    QLabel *m_logo = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_description = nullptr;
    QPushButton *m_okButton = nullptr;
};

// The about box's caption of the build's version: "1.1.2" is shown as
// "Version 1.01.02", minor and patch in two digits.
QString versionCaption(const QString &version);

// The program's icon (the same artwork as the installed one), for every window.
QIcon applicationIcon();

} // namespace quorvik
