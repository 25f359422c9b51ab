// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/settings.h"

#include <QWidget>

class QLineEdit;
class QSpinBox;

namespace quorvik {

class FileDialogs;

// The Syslog tab of the options: the UDP, TCP and TLS ports (0: off) and
// the TLS certificate, key and client authority files, typed or chosen
// with "..." (through `dialogs`).
class SyslogTab : public QWidget {
    Q_OBJECT

public:
    explicit SyslogTab(FileDialogs *dialogs, QWidget *parent = nullptr);

    void setSettings(const SyslogSettings &syslog);
    SyslogSettings settings() const;
    // Whether the operator changed anything since setSettings or clearMark.
    bool changed() const { return settings() != m_shown; }
    void clearMark() { m_shown = settings(); }

private:
    QWidget *fileRow(QLineEdit *edit, const char *buttonName);

    FileDialogs *m_dialogs;
    SyslogSettings m_shown;
    QSpinBox *m_udp = nullptr, *m_tcp = nullptr, *m_tls = nullptr;
    QLineEdit *m_certificate = nullptr, *m_key = nullptr, *m_authority = nullptr;
};

} // namespace quorvik
