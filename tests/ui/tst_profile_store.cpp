#include "ui/profile_store.h"
#include "tests/unprivileged.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace quorvik;

// The geometry write on quit, in a configuration folder the user may not write.
class TestProfileStore : public QObject {
    Q_OBJECT

private slots:
    void lockInReadOnlyFolderSaysWhy();
};

void TestProfileStore::lockInReadOnlyFolderSaysWhy() {
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0555) == 0);
    ProfileStore store(dir.filePath(QStringLiteral("quorvik.cfg")));
    QString error;
    {
        quorvik::testing::Unprivileged asUser;
        error = store.update([](std::string content) { return content + "[Global]\n"; });
    }
    QCOMPARE(
        error,
        QStringLiteral("cannot create the lock file %1.lock: Permission denied").arg(store.path()));
}

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profile_store.moc"
