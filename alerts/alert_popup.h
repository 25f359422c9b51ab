#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>

class QLabel;
class QPushButton;
class QTimer;

namespace quorvik {

// The alert window: one event with its level name blinking in red until the
// operator confirms it with "OK". At most one exists at a time (see
// showAlertPopup); closing it destroys it.
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

    QLabel *levelLabel() const { return m_levelLabel; }
    QLabel *fieldLabel(int index) const;
    QPushButton *okButton() const { return m_okButton; }
    QTimer *blinkTimer() const { return m_blinkTimer; }

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void becameActive();
    void centreOnScreen();
    void toggleLevelName();
    void confirm();

    QLabel *m_levelLabel = nullptr;
    std::array<QLabel *, kFieldCount> m_fieldLabels{};
    QPushButton *m_okButton = nullptr;
    QTimer *m_blinkTimer = nullptr;
};

// Shows one event in the alert popup, creating the popup if none is open.
// A popup already open gets the newer texts and is brought forward; there is
// never a second one. Returns at once: the popup is modeless.
void showAlertPopup(const QString &levelName, const QStringList &fields);

// The open popup, or nullptr when none is open.
AlertPopup *currentAlertPopup();

// Closes (and so destroys) the open popup, if any.
void closeAlertPopup();

} // namespace quorvik
