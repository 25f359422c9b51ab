#include "about/about_box.h"

#include "core/units.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QSvgRenderer>

#include <cmath>

namespace quorvik {

namespace {

QRect twipsRect(int left, int top, int width, int height) {
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}

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
    m_version = textLabel("lblVersion", QStringLiteral("Version 1.01.02"), 1800, this);
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

AboutBox *AboutBox::showOver(QWidget *mainWindow) {
    auto *box = mainWindow
                    ? mainWindow->findChild<AboutBox *>(QString(), Qt::FindDirectChildrenOnly)
                    : nullptr;
    if (!box)
        box = new AboutBox(mainWindow);
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}

bool AboutBox::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate)
        becameActive();
    return QDialog::event(event);
}

// A window manager may not activate a new window; the first show counts as
// becoming active, so the box is centred in any case.
void AboutBox::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        becameActive();
}

// The main window hides (not spontaneously) only when it closes: the box goes
// with it rather than staying behind on its own.
bool AboutBox::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parentWidget() && event->type() == QEvent::Hide && !event->spontaneous())
        close();
    return QDialog::eventFilter(watched, event);
}

void AboutBox::becameActive() {
    centreOverMainWindow();
    centreControls();
}

void AboutBox::centreOverMainWindow() {
    const QWidget *mainWindow = parentWidget();
    if (!mainWindow)
        return;
    const QRect outer = mainWindow->frameGeometry();
    const QSize own = frameGeometry().size();
    const double left = outer.x() + (outer.width() - own.width()) / 2.0;
    const double top = outer.y() + (outer.height() - own.height()) / 2.0;
    move(static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)));
}

void AboutBox::centreControls() {
    const int outerWidth = frameGeometry().width();
    for (QWidget *control :
         {static_cast<QWidget *>(m_logo), static_cast<QWidget *>(m_title),
          static_cast<QWidget *>(m_version), static_cast<QWidget *>(m_description),
          static_cast<QWidget *>(m_okButton)})
        control->move((outerWidth - control->width()) / 2, control->y());
}

QIcon applicationIcon() {
    return QIcon(kIconResource);
}

} // namespace quorvik
