#include "client/foundation/replacingfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList names(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestReplacingFile : public QObject {
    Q_OBJECT
private slots:
    void commitReplacesKeepingPermissions();
    void withoutCommitNothingChanges();
    void readOnlyOrHeldTargetIsReplaced();
};

void TestReplacingFile::commitReplacesKeepingPermissions() {
    QTemporaryDir dir;
    const QString target = dir.filePath("pack.zip");
    ReplacingFile fresh(target);
#ifndef Q_OS_WIN
    // A new file gets the mode of every new file in its folder: with a group's umask, the
    // group may write it too.
    const mode_t umaskBefore = ::umask(002);
#endif
    QVERIFY(fresh.open());
    QCOMPARE(fresh.write("first", 5), qint64(5));
    QVERIFY2(fresh.commit(), qPrintable(fresh.errorString()));
    QCOMPARE(readFile(target), QByteArray("first"));
#ifndef Q_OS_WIN
    ::umask(umaskBefore);
    QVERIFY(QFileInfo(target).permissions() & QFileDevice::WriteGroup);
#endif
    // Not private like a temporary file.
    QVERIFY(QFileInfo(target).permissions() & QFileDevice::ReadOther);

    QFile::setPermissions(target,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ReplacingFile second(target);
    QVERIFY(second.open());
    QCOMPARE(readFile(target), QByteArray("first"));
    QCOMPARE(second.write("second", 6), qint64(6));
    QVERIFY2(second.commit(), qPrintable(second.errorString()));
    QCOMPARE(readFile(target), QByteArray("second"));
#ifndef Q_OS_WIN // where files have no execute permission of their own
    QVERIFY(QFileInfo(target).permissions() & QFileDevice::ExeOwner);
#endif
    QCOMPARE(names(dir.path()), QStringList({"pack.zip"}));
}

void TestReplacingFile::withoutCommitNothingChanges() {
    QTemporaryDir dir;
    const QString target = dir.filePath("down.bin");
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    {
        ReplacingFile cancelled(target);
        QVERIFY(cancelled.open());
        cancelled.write("half", 4);
        cancelled.cancelWriting();
        ReplacingFile dropped(target);
        QVERIFY(dropped.open());
        dropped.write("half", 4);
    }
    QCOMPARE(readFile(target), QByteArray("old"));
    QCOMPARE(names(dir.path()), QStringList({"down.bin"}));

    // A target in a missing folder fails at open, with a reason.
    ReplacingFile nowhere(dir.filePath("missing/file.txt"));
    QVERIFY(!nowhere.open());
    QVERIFY(!nowhere.errorString().isEmpty());
}

namespace {
bool replace(const QString& target, const QByteArray& content, QString* error) {
    ReplacingFile file(target);
    const bool ok =
        file.open() && file.write(content.constData(), content.size()) >= 0 && file.commit();
    *error = file.errorString();
    return ok;
}
} // namespace

// Linux replaces both; Windows refuses to, unless the read-only attribute goes first and the
// other program lets go meanwhile.
void TestReplacingFile::readOnlyOrHeldTargetIsReplaced() {
    QTemporaryDir dir;
    const QString target = dir.filePath("skyvane.new");
    QString error;
    QVERIFY(replace(target, "old", &error));
    QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    QVERIFY2(replace(target, "new", &error), qPrintable(error));
    QCOMPARE(readFile(target), QByteArray("new"));
#ifdef Q_OS_WIN
    // Held as a scanner holds a file: others may read and write it, not delete it.
    const auto hold = [&] {
        return CreateFileW(reinterpret_cast<const wchar_t*>(target.utf16()), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    HANDLE held = hold();
    std::thread letGo([held] {
        Sleep(300);
        CloseHandle(held);
    });
    const bool replaced = replace(target, "newer", &error);
    letGo.join();
    QVERIFY2(replaced, qPrintable(error));
    held = hold();
    QVERIFY(!replace(target, "never", &error));
    CloseHandle(held);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readFile(target), QByteArray("newer"));
#endif
    QCOMPARE(names(dir.path()), QStringList({"skyvane.new"}));
}

QTEST_GUILESS_MAIN(TestReplacingFile)
#include "test_replacingfile.moc"
