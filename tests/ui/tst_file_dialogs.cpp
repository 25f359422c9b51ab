// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real file dialogs behind the seam, driven as an operator does.
#include "ui/seams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace quorvik;

class TestFileDialogs : public QObject {
    Q_OBJECT

private slots:
    // Choosing an existing file to write into asks nothing: it is added to,
    // not replaced.
    void existingFileChosenWithoutAQuestion() {
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("events.log"));
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QStringList questions;
        QTimer driver;
        driver.setInterval(20);
        connect(&driver, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                questions << box->text();
                box->button(QMessageBox::Yes)->click();
            } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (name && name->text() != QStringLiteral("events.log")) {
                    name->setFocus();
                    name->selectAll();
                    QTest::keyClicks(name, QStringLiteral("events.log"));
                    // Pressed from a slot of its own: a question would run its
                    // loop there, and this driver answers it.
                    QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
                }
            }
        });
        driver.start();
        QtFileDialogs dialogs;
        const std::optional<QString> chosen =
            dialogs.saveFile(nullptr, QStringLiteral("Save As"), dir.filePath(QStringLiteral("x")),
                             QStringLiteral("Logfiles (*.log);;All files (*)"));
        driver.stop();
        QCOMPARE(chosen, std::optional<QString>(existing));
        QCOMPARE(questions, QStringList());
    }
};

QTEST_MAIN(TestFileDialogs)
#include "tst_file_dialogs.moc"
