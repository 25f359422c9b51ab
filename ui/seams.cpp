// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/seams.h"

#include <QColorDialog>
#include <QDateTime>
#include <QFileDialog>
#include <QInputDialog>
#include <QProcess>

namespace quorvik {

bool WidgetMessageBoxes::askOkCancel(QWidget *parent, const QString &title, const QString &text,
                                     QMessageBox::Icon icon) {
    QMessageBox box(icon, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Ok;
}

void WidgetMessageBoxes::report(QWidget *parent, const QString &title, const QString &text,
                                QMessageBox::Icon icon) {
    auto *box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void WidgetMessageBoxes::reportAndWait(QWidget *parent, const QString &title, const QString &text,
                                       QMessageBox::Icon icon) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::optional<QString> WidgetMessageBoxes::askText(QWidget *parent, const QString &title,
                                                   const QString &label) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, label, QLineEdit::Normal, QString(), &ok);
    return ok ? std::optional<QString>(text.trimmed()) : std::nullopt;
}

std::optional<QString> QtFileDialogs::openFile(QWidget *parent, const QString &title,
                                               const QString &preset, const QString &filters) {
    const QString name = QFileDialog::getOpenFileName(parent, title, preset, filters);
    return name.isEmpty() ? std::nullopt : std::optional<QString>(name);
}

std::optional<QString> QtFileDialogs::saveFile(QWidget *parent, const QString &title,
                                               const QString &preset, const QString &filters) {
    // The chosen file is appended to, never replaced: no question about it.
    const QString name = QFileDialog::getSaveFileName(parent, title, preset, filters, nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    return name.isEmpty() ? std::nullopt : std::optional<QString>(name);
}

std::optional<QColor> QtFileDialogs::chooseColour(QWidget *parent, const QColor &initial) {
    const QColor colour = QColorDialog::getColor(initial, parent);
    return colour.isValid() ? std::optional<QColor>(colour) : std::nullopt;
}

QStringList QtFileDialogs::openFiles(QWidget *parent, const QString &title, const QString &folder,
                                     const QString &filters) {
    return QFileDialog::getOpenFileNames(parent, title, folder, filters);
}

std::optional<QString> QtFileDialogs::chooseFolder(QWidget *parent, const QString &title,
                                                   const QString &preset) {
    const QString folder = QFileDialog::getExistingDirectory(parent, title, preset);
    return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
}

QString QtProcessStarter::startDetached(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (process.startDetached())
        return {};
    return process.errorString().isEmpty() ? QStringLiteral("unknown error")
                                           : process.errorString();
}

LocalDateTime systemLocalTime() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

} // namespace quorvik
