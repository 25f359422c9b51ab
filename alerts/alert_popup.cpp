// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/alert_popup.h"

#include "core/units.h"
#include "core/visible_text.h"
#include "ui/once_window.h"
#include "ui/twips_rect.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTextLayout>
#include <QTimer>

namespace quorvik {

namespace {

constexpr int kClientWidth = 5115;
constexpr int kClientHeight = 3540;
constexpr int kRowTop = 720;
constexpr int kRowStep = 240;

const char *const kCaptions[AlertPopup::kFieldCount] = {"Date", "Host", "Application", "Object",
                                                        "Message"};

// A received text as the operator may read it (see visibleText).
QString visible(const QString &received) {
    const QByteArray utf8 = received.toUtf8();
    const std::string_view bytes(utf8.constData(), std::size_t(utf8.size()));
    return changedWhenShown(bytes) ? QString::fromStdString(visibleText(bytes)) : received;
}

// Where `label` draws its text: inside its frame and, with a frame, half an
// "x" in from the aligned edges, as QLabel does.
QRect textArea(const QLabel &label) {
    QRect area = label.contentsRect();
    const int indent =
        label.indent() >= 0 ? label.indent()
        : label.frameWidth() > 0 ? label.fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2
                                 : 0;
    return area.adjusted(indent, indent, 0, 0); // aligned left and top
}

// `text` as far as it fits on one line of `label`, ending in "…" when cut.
QString oneLine(const QLabel &label, const QString &text) {
    return label.fontMetrics().elidedText(text, Qt::ElideRight, textArea(label).width());
}

// `text` in the lines that fit whole into the word-wrapping `label`, the last
// of them ending in "…" when the text goes on: no line is drawn half.
QString wholeLines(const QLabel &label, const QString &text) {
    const QFontMetrics metrics = label.fontMetrics();
    const QRect area = textArea(label);
    const int fitting = std::max(1, area.height() / metrics.lineSpacing());
    QTextLayout layout(text, label.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    if (lines.size() <= fitting)
        return text;
    lines.resize(fitting);
    const qsizetype restStart = [&] {
        qsizetype at = 0;
        for (int k = 0; k + 1 < fitting; ++k)
            at += lines[k].size();
        return at;
    }();
    for (QString &line : lines)
        line = line.trimmed();
    lines.back() = metrics.elidedText(text.mid(restStart), Qt::ElideRight, area.width());
    return lines.join(QLatin1Char('\n'));
}

QLabel *plainLabel(const QString &name, QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

AlertPopup::AlertPopup(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("popup"));
    setWindowTitle(QStringLiteral("Quorvik Event"));
    setAttribute(Qt::WA_DeleteOnClose);
    // It comes forward without the keyboard: what the operator types goes on
    // going where it went, until he chooses the popup.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));
    QFont textFont = font();
    textFont.setPointSizeF(8.25);
    textFont.setBold(true);
    setFont(textFont);
    createControls();
    centreWhenActive(this, nullptr); // over the screen
}

void AlertPopup::createControls() {
    m_levelLabel = plainLabel(QStringLiteral("warnstufe"), this);
    m_levelLabel->setGeometry(twipsRect(0, 120, 5175, 495));
    m_levelLabel->setAlignment(Qt::AlignCenter);
    QFont levelFont = m_levelLabel->font();
    levelFont.setPointSize(18);
    levelFont.setBold(false);
    m_levelLabel->setFont(levelFont);
    QPalette red = m_levelLabel->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    m_levelLabel->setPalette(red);

    for (int i = 0; i < kFieldCount; ++i) {
        QLabel *caption = plainLabel(QStringLiteral("Label2_%1").arg(i), this);
        // Up to the value field, so that "Application" reads whole in the
        // system sans, which is wider than the 8-point font of the design.
        caption->setGeometry(twipsRect(120, kRowTop + kRowStep * i, 1080, 252));
        caption->setText(QString::fromLatin1(kCaptions[i]));

        QLabel *value = plainLabel(QStringLiteral("popmeld_%1").arg(i), this);
        value->setGeometry(twipsRect(1200, kRowTop + kRowStep * i, 3375, 255));
        value->setFrameStyle(QFrame::Box | QFrame::Plain);
        value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        value->setBackgroundRole(QPalette::Base);
        value->setAutoFillBackground(true);
        m_fieldLabels[i] = value;
    }
    m_fieldLabels[4]->setGeometry(twipsRect(1200, 1680, 3375, 1095));
    m_fieldLabels[4]->setWordWrap(true);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("Command1"));
    m_okButton->setGeometry(twipsRect(3480, 3000, 1092, 375));
    connect(m_okButton, &QPushButton::clicked, this, &AlertPopup::confirm);

    // Interval 0 and stopped: the level name does not blink until the popup
    // is shown.
    m_blinkTimer = new QTimer(this);
    m_blinkTimer->setObjectName(QStringLiteral("Timer1"));
    m_blinkTimer->setInterval(0);
    connect(m_blinkTimer, &QTimer::timeout, this, &AlertPopup::toggleLevelName);
}

void AlertPopup::setEventTexts(const QString &levelName, const QStringList &fields) {
    m_levelLabel->setText(levelName);
    // A text too long for its field is cut with "…"; its tool tip has it whole.
    for (int i = 0; i < kFieldCount; ++i) {
        QLabel *label = m_fieldLabels[std::size_t(i)];
        const QString text = visible(fields.value(i));
        const QString shown = i == kFieldCount - 1 ? wholeLines(*label, text) : oneLine(*label, text);
        label->setText(shown);
        label->setToolTip(shown == text ? QString() : text);
    }
}

bool AlertPopup::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate)
        becameActive();
    return QWidget::event(event);
}

// The popup is shown without being activated: it starts blinking when shown,
// and again whenever the operator activates it.
void AlertPopup::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        becameActive();
}

// "OK" is the popup's only control: Return and Enter press it, wherever the
// focus is (the button passes keys it doesn't use on to its window). The
// keys reach the popup only once the operator has chosen it.
void AlertPopup::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        m_okButton->click();
    else
        QWidget::keyPressEvent(event);
}

void AlertPopup::closeEvent(QCloseEvent *event) {
    QWidget::closeEvent(event);
    if (!event->isAccepted())
        return;
    m_blinkTimer->stop();
    emit closed(); // deleted later: the next alert must not reuse it
}

void AlertPopup::becameActive() {
    m_blinkTimer->setInterval(kBlinkIntervalMs);
    m_blinkTimer->start();
}

void AlertPopup::toggleLevelName() {
    m_levelLabel->setHidden(!m_levelLabel->isHidden());
}

void AlertPopup::confirm() {
    m_blinkTimer->stop();
    m_blinkTimer->setInterval(0);
    close();
}

AlertDisplay::~AlertDisplay() = default;

AlertPopups::~AlertPopups() {
    delete m_popup.data();
}

// Shown and raised, never activated (see AlertPopup).
void AlertPopups::show(const QString &levelName, const QStringList &fields) {
    if (!isOpen(m_popup))
        m_popup = new AlertPopup;
    m_popup->setEventTexts(levelName, fields);
    m_popup->show();
    m_popup->raise();
}

void AlertPopups::closeAll() {
    if (m_popup)
        m_popup->close();
}

} // namespace quorvik
