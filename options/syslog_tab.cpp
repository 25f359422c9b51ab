// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "options/syslog_tab.h"

#include "ui/seams.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace quorvik {

namespace {

QSpinBox *portBox(const char *name) {
    auto *box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(0, 65535);
    box->setSpecialValueText(QStringLiteral("off"));
    return box;
}

QLineEdit *pathEdit(const char *name) {
    auto *edit = new QLineEdit;
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(QStringLiteral("path of a PEM file"));
    return edit;
}

QString fromLocal(const std::string &text) {
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

std::string toLocal(const QLineEdit *edit) {
    return edit->text().trimmed().toLocal8Bit().toStdString();
}

} // namespace

SyslogTab::SyslogTab(FileDialogs *dialogs, QWidget *parent) : QWidget(parent), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("tabSyslog"));
    auto *form = new QFormLayout(this);
    m_udp = portBox("syslogUdpPort");
    m_tcp = portBox("syslogTcpPort");
    m_tls = portBox("syslogTlsPort");
    m_certificate = pathEdit("syslogTlsCert");
    m_key = pathEdit("syslogTlsKey");
    m_authority = pathEdit("syslogTlsCa");
    m_authority->setPlaceholderText(QStringLiteral("empty: clients show no certificate"));
    form->addRow(QStringLiteral("UDP port:"), m_udp);
    form->addRow(QStringLiteral("TCP port:"), m_tcp);
    form->addRow(QStringLiteral("TLS port:"), m_tls);
    form->addRow(QStringLiteral("TLS certificate:"), fileRow(m_certificate, "cmdSyslogTlsCert"));
    form->addRow(QStringLiteral("TLS key:"), fileRow(m_key, "cmdSyslogTlsKey"));
    form->addRow(QStringLiteral("Client CA:"), fileRow(m_authority, "cmdSyslogTlsCa"));
    const QString portTip = QStringLiteral("\"off\" switches the listener off");
    m_udp->setToolTip(portTip + QStringLiteral("; 514 is usual"));
    m_tcp->setToolTip(portTip + QStringLiteral("; 514 is usual"));
    m_tls->setToolTip(portTip + QStringLiteral("; 6514 is usual, with a certificate and key"));
    m_authority->setToolTip(QStringLiteral("When set, a sender must present a certificate "
                                           "that chains to this authority"));
}

// `edit` with a "..." button beside it that chooses its file; leaving the
// dialog without choosing keeps what the field holds.
QWidget *SyslogTab::fileRow(QLineEdit *edit, const char *buttonName) {
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *choose = new QPushButton(QStringLiteral("..."));
    choose->setObjectName(QLatin1String(buttonName));
    choose->setEnabled(m_dialogs != nullptr);
    layout->addWidget(edit);
    layout->addWidget(choose);
    connect(choose, &QPushButton::clicked, this, [this, edit] {
        const std::optional<QString> chosen =
            m_dialogs->openFile(this, QStringLiteral("Open"), edit->text().trimmed(),
                                QStringLiteral("PEM files (*.pem *.crt *.key);;All files (*)"));
        if (chosen)
            edit->setText(*chosen);
    });
    return row;
}

void SyslogTab::setSettings(const SyslogSettings &syslog) {
    m_udp->setValue(syslog.udpPort);
    m_tcp->setValue(syslog.tcpPort);
    m_tls->setValue(syslog.tlsPort);
    m_certificate->setText(fromLocal(syslog.tlsCertificate));
    m_key->setText(fromLocal(syslog.tlsKey));
    m_authority->setText(fromLocal(syslog.tlsCa));
    m_shown = settings();
}

SyslogSettings SyslogTab::settings() const {
    SyslogSettings syslog;
    syslog.udpPort = m_udp->value();
    syslog.tcpPort = m_tcp->value();
    syslog.tlsPort = m_tls->value();
    syslog.tlsCertificate = toLocal(m_certificate);
    syslog.tlsKey = toLocal(m_key);
    syslog.tlsCa = toLocal(m_authority);
    return syslog;
}

} // namespace quorvik
