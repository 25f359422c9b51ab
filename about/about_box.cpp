// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/about_box.h"

#include "core/units.h"
#include "ui/once_window.h"
#include "ui/twips_rect.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>
#include <QSvgRenderer>

namespace quorvik {

namespace {

const QString kLogoResource = QStringLiteral(":/quorvik/quorvik_logo.svg");
const QString kIconResource = QStringLiteral(":/quorvik/org.quorvik.Quorvik.svg");

QPixmap renderLogo(qreal devicePixelRatio) {
    QPixmap pixmap(AboutBox::kLogoSize * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(kLogoResource);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(AboutBox::kLogoSize)));
    return pixmap;
}

QLabel *textLabel(const char *name, const QString &text, int topTwips, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->adjustSize();
    label->move(0, toPixels(topTwips));
    return label;
}

} // namespace

AboutBox::AboutBox(QWidget *mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Quorvik"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(toPixels(4350), toPixels(2970));
    createControls();
    centreControls();
    centreWhenActive(this, mainWindow);
    if (mainWindow)
        mainWindow->installEventFilter(this);
}

void AboutBox::createControls() {
    m_logo = new QLabel(this);
    m_logo->setObjectName(QStringLiteral("picIcon"));
    m_logo->setGeometry(twipsRect(0, 120, 2670, 990));
    m_logo->setAlignment(Qt::AlignCenter);
    m_logo->setPixmap(renderLogo(devicePixelRatioF()));

    QFont titleFont = font();
    titleFont.setPointSize(18);
    titleFont.setBold(true);
    m_title = textLabel("lblTitle", QStringLiteral("Quorvik"), 1200, this);
    m_title->setFont(titleFont);
    m_title->adjustSize();
    m_version =
        textLabel("lblVersion", versionCaption(QStringLiteral(QUORVIK_VERSION)), 1800, this);
    m_description =
        textLabel("lblDescription", QStringLiteral("SNMP - Listener for Linux"), 2040, this);
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    m_title->setPalette(black);
    m_description->setPalette(black);

    auto *rule = new QFrame(this);
    rule->setObjectName(QStringLiteral("Line1"));
    rule->setGeometry(0, toPixels(2400), toPixels(5555), 1);
    rule->setAutoFillBackground(true);
    QPalette grey = rule->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    rule->setPalette(grey);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("cmdOK"));
    m_okButton->setGeometry(twipsRect(0, 2520, 1260, 345));
    // Enter presses the default button; Escape rejects, which closes the box too.
    m_okButton->setDefault(true);
    m_okButton->setFocus();
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

AboutBox *AboutBox::showOver(QPointer<AboutBox> &box, QWidget *mainWindow) {
    return showOnce(box, [mainWindow] { return new AboutBox(mainWindow); });
}

// The controls centre in the frame's width, which is known once the window
// manager framed the box.
bool AboutBox::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate)
        centreControls();
    return QDialog::event(event);
}

void AboutBox::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        centreControls();
}

// The main window hides (not spontaneously) only when it closes: the box goes
// with it rather than staying behind on its own.
bool AboutBox::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parentWidget() && event->type() == QEvent::Hide && !event->spontaneous())
        close();
    return QDialog::eventFilter(watched, event);
}

void AboutBox::centreControls() {
    const int outerWidth = frameGeometry().width();
    for (QWidget *control :
         {static_cast<QWidget *>(m_logo), static_cast<QWidget *>(m_title),
          static_cast<QWidget *>(m_version), static_cast<QWidget *>(m_description),
          static_cast<QWidget *>(m_okButton)})
        control->move((outerWidth - control->width()) / 2, control->y());
}

QString versionCaption(const QString &version) {
    const QStringList parts = version.split(QLatin1Char('.'));
    QString caption = QStringLiteral("Version ") + parts.value(0);
    for (int i = 1; i < 3; ++i)
        caption += QLatin1Char('.') +
                   parts.value(i, QStringLiteral("0")).rightJustified(2, QLatin1Char('0'));
    return caption;
}

QIcon applicationIcon() {
    return QIcon(kIconResource);
}

} // namespace quorvik
