#include "client/platform/nmclidialler.h"

#include <QtTest>

// The Linux dialler: NetworkManager's command-line client, played by a shell script.
class TestNmcliDialler : public QObject {
    Q_OBJECT
private slots:
    void nmcliExitCodesMapOntoThreeCodes_data();
    void nmcliExitCodesMapOntoThreeCodes();
    void nmcliDialsAndHangsUpOnlyWhatItBroughtUp();
    void nmcliListsDialUpConnections();

private:
    QString fakeNmcli(const QTemporaryDir& dir, int exitCode, const QByteArray& output = {});
};

void TestNmcliDialler::nmcliExitCodesMapOntoThreeCodes_data() {
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<bool>("crashed");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<quint32>("code");
    QTest::newRow("up") << true << true << false << 0 << 0u;
    QTest::newRow("no such connection") << true << true << false << 10 << 87u;
    QTest::newRow("bad arguments") << true << true << false << 2 << 87u;
    QTest::newRow("activation failed") << true << true << false << 4 << 668u;
    QTest::newRow("manager not running") << true << true << false << 8 << 668u;
    QTest::newRow("nmcli timeout") << true << true << false << 3 << 631u;
    QTest::newRow("we gave up waiting") << true << false << false << 0 << 631u;
    QTest::newRow("killed") << true << true << true << 0 << 631u;
    QTest::newRow("no nmcli") << false << false << false << 0 << 668u;
}

void TestNmcliDialler::nmcliExitCodesMapOntoThreeCodes() {
    QFETCH(bool, started);
    QFETCH(bool, finished);
    QFETCH(bool, crashed);
    QFETCH(int, exitCode);
    QFETCH(quint32, code);
    QCOMPARE(NmcliDialler::codeForRun(
                 started, finished, crashed ? QProcess::CrashExit : QProcess::NormalExit, exitCode),
             code);
}

QString TestNmcliDialler::fakeNmcli(const QTemporaryDir& dir, int exitCode,
                                    const QByteArray& output) {
    const QString path = dir.filePath("nmcli");
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    QFile out(dir.filePath("output"));
    if (out.open(QIODevice::WriteOnly))
        out.write(output);
    script.write("#!/bin/sh\n"
                 "echo \"$*\" >> \"$(dirname \"$0\")/calls\"\n"
                 "cat \"$(dirname \"$0\")/output\"\n"
                 "exit " +
                 QByteArray::number(exitCode) + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void TestNmcliDialler::nmcliDialsAndHangsUpOnlyWhatItBroughtUp() {
    QTemporaryDir dir;
    NmcliDialler dialler(fakeNmcli(dir, 0));
    // Nothing dialled: a hang-up must not take any connection down.
    QCOMPARE(dialler.hangUp(0), 87u);
    Dialler::Handle handle = 0;
    QCOMPARE(dialler.dial("Store Modem", &handle), 0u);
    QVERIFY(handle != 0);
    QCOMPARE(dialler.hangUp(handle), 0u);
    QCOMPARE(dialler.hangUp(handle), 87u); // already down
    QFile calls(dir.filePath("calls"));
    QVERIFY(calls.open(QIODevice::ReadOnly));
    QCOMPARE(calls.readAll(), QByteArray("connection up id Store Modem\n"
                                         "connection down id Store Modem\n"));

    QTemporaryDir failing;
    NmcliDialler refused(fakeNmcli(failing, 10));
    handle = 0;
    QCOMPARE(refused.dial("Nowhere", &handle), 87u);
    QCOMPARE(handle, Dialler::Handle(0));
    QCOMPARE(NmcliDialler(dir.filePath("missing-nmcli")).dial("Store Modem", &handle), 668u);
}

void TestNmcliDialler::nmcliListsDialUpConnections() {
    QTemporaryDir dir;
    NmcliDialler dialler(fakeNmcli(dir, 0,
                                   "Wired connection 1:802-3-ethernet\n"
                                   "Office VPN:vpn\n"
                                   "Mobile\\:2:gsm\n"
                                   "lo:loopback\n"));
    QCOMPARE(dialler.connections(), QStringList({"Office VPN", "Mobile:2"}));
}

QTEST_GUILESS_MAIN(TestNmcliDialler)
#include "test_nmclidialler.moc"
