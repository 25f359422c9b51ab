#include "alerts/alert_popup.h"

#include "core/visible_text.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <cmath>

namespace quorvik {

namespace {

// The window's layout is given in twips; the screen has 15 twips per pixel.
constexpr int kTwipsPerPixel = 15;

int pixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

QRect twipsRect(int left, int top, int width, int height) {
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

constexpr int kClientWidth = 5115;
constexpr int kClientHeight = 3540;
constexpr int kRowTop = 720;
constexpr int kRowStep = 240;

const char *const kCaptions[AlertPopup::kFieldCount] = {"Date", "Host", "Application", "Object",
                                                        "Message"};

QPointer<AlertPopup> &instance() {
    static QPointer<AlertPopup> popup;
    return popup;
}

// A received text as the operator may read it (see visibleText).
QString visible(const QString &received) {
    const QByteArray utf8 = received.toUtf8();
    const std::string_view bytes(utf8.constData(), std::size_t(utf8.size()));
    return hasBidiControls(bytes) ? QString::fromStdString(visibleText(bytes)) : received;
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
    setFixedSize(pixels(kClientWidth), pixels(kClientHeight));
    QFont textFont = font();
    textFont.setPointSizeF(8.25);
    textFont.setBold(true);
    setFont(textFont);
    createControls();
}

void AlertPopup::createControls() {
    warnstufe_ = plainLabel(QStringLiteral("warnstufe"), this);
    warnstufe_->setGeometry(twipsRect(0, 120, 5175, 495));
    warnstufe_->setAlignment(Qt::AlignCenter);
    QFont levelFont = warnstufe_->font();
    levelFont.setPointSize(18);
    levelFont.setBold(false);
    warnstufe_->setFont(levelFont);
    QPalette red = warnstufe_->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    warnstufe_->setPalette(red);

    for (int i = 0; i < kFieldCount; ++i) {
        QLabel *caption = plainLabel(QStringLiteral("Label2_%1").arg(i), this);
        caption->setGeometry(twipsRect(120, kRowTop + kRowStep * i, 972, 252));
        caption->setText(QString::fromLatin1(kCaptions[i]));

        QLabel *value = plainLabel(QStringLiteral("popmeld_%1").arg(i), this);
        value->setGeometry(twipsRect(1200, kRowTop + kRowStep * i, 3375, 255));
        value->setFrameStyle(QFrame::Box | QFrame::Plain);
        value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        value->setBackgroundRole(QPalette::Base);
        value->setAutoFillBackground(true);
        popmeld_[i] = value;
    }
    popmeld_[4]->setGeometry(twipsRect(1200, 1680, 3375, 1095));
    popmeld_[4]->setWordWrap(true);

    command1_ = new QPushButton(QStringLiteral("OK"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(twipsRect(3480, 3000, 1092, 375));
    connect(command1_, &QPushButton::clicked, this, &AlertPopup::confirm);

    // Interval 0 and stopped: the level name does not blink until the popup
    // has become the active window.
    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(0);
    connect(timer1_, &QTimer::timeout, this, &AlertPopup::toggleLevelName);
}

void AlertPopup::setEventTexts(const QString &levelName, const QStringList &fields) {
    warnstufe_->setText(levelName);
    for (int i = 0; i < kFieldCount; ++i)
        popmeld_[i]->setText(visible(fields.value(i)));
}

QLabel *AlertPopup::popmeld(int index) const {
    return index >= 0 && index < kFieldCount ? popmeld_[index] : nullptr;
}

bool AlertPopup::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate)
        becameActive();
    return QWidget::event(event);
}

// A window manager may not activate a new window; the first show counts as
// becoming active, so the popup is centred and blinks in any case.
void AlertPopup::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        becameActive();
}

// "OK" is the popup's only control: Return and Enter press it, wherever the
// focus is (the button passes keys it doesn't use on to its window).
void AlertPopup::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        command1_->click();
    else
        QWidget::keyPressEvent(event);
}

void AlertPopup::closeEvent(QCloseEvent *event) {
    QWidget::closeEvent(event);
    if (!event->isAccepted())
        return;
    timer1_->stop();
    // The window is deleted later; the next alert must create a fresh one.
    if (instance() == this)
        instance().clear();
}

void AlertPopup::becameActive() {
    centreOnScreen();
    timer1_->setInterval(kBlinkIntervalMs);
    timer1_->start();
}

void AlertPopup::centreOnScreen() {
    const QScreen *target = screen();
    if (!target)
        return;
    const QRect area = target->geometry();
    const QSize outer = frameGeometry().size();
    const double left = area.x() + (area.width() - outer.width()) / 2.0;
    const double top = area.y() + (area.height() - outer.height()) / 2.0;
    move(static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)));
}

void AlertPopup::toggleLevelName() {
    warnstufe_->setHidden(!warnstufe_->isHidden());
}

void AlertPopup::confirm() {
    timer1_->stop();
    timer1_->setInterval(0);
    close();
}

void ShowAlertPopup(const QString &levelName, const QStringList &fields) {
    QPointer<AlertPopup> &popup = instance();
    if (!popup)
        popup = new AlertPopup;
    popup->setEventTexts(levelName, fields);
    popup->show();
    popup->raise();
    popup->activateWindow();
}

AlertPopup *currentAlertPopup() {
    return instance().data();
}

void closeAlertPopup() {
    if (AlertPopup *popup = instance())
        popup->close();
}

} // namespace quorvik
