// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>

class QLabel;
class QPushButton;
class QTimer;

namespace quorvik {

// The alert window: one event with its level name blinking in red until the
// operator confirms it with "OK". Closing it destroys it.
class AlertPopup : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFieldCount = 5;
    static constexpr int kBlinkIntervalMs = 400;

    explicit AlertPopup(QWidget *parent = nullptr);

    // Shows `levelName` in warnstufe and the field texts (date, processor,
    // application, object, message) in popmeld 0..4; missing fields are empty.
    // Bidirectional controls in the fields are shown by their codes.
    void setEventTexts(const QString &levelName, const QStringList &fields);

signals:
    // The popup was closed; it is deleted once control returns to the event loop.
    void closed();

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void becameActive();
    void toggleLevelName();
    void confirm();

    QLabel *m_levelLabel = nullptr;
    std::array<QLabel *, kFieldCount> m_fieldLabels{};
    QPushButton *m_okButton = nullptr;
    QTimer *m_blinkTimer = nullptr;
};

// Shows serious events to the operator: the seam between the main window
// and the alert popup, so that tests can watch or replace it.
class AlertDisplay {
public:
    virtual ~AlertDisplay();
    // Shows one event and returns at once (the display is modeless).
    virtual void show(const QString &levelName, const QStringList &fields) = 0;
    // Closes whatever is open; the main window is going.
    virtual void closeAll() = 0;
};

// The alert popup, never more than one: an open popup gets the newer event's
// texts and is brought forward; after OK the next event opens a fresh one.
class AlertPopups : public AlertDisplay {
public:
    AlertPopups() = default;
    ~AlertPopups() override;
    AlertPopups(const AlertPopups &) = delete;
    AlertPopups &operator=(const AlertPopups &) = delete;

    void show(const QString &levelName, const QStringList &fields) override;
    void closeAll() override;

private:
    QPointer<AlertPopup> m_popup;
};

} // namespace quorvik
