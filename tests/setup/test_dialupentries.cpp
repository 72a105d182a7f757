#include "setup/dialupentries.h"
#include "tests/support/tempprogramfolder.h"

#include <QFile>
#include <QtTest>

class TestDialupEntries : public QObject {
    Q_OBJECT
private slots:
    void parseKeepsDialOnDemandConnectionsInOrder();
    void listerRunsNmcli();
    void listerWithoutNmcliGivesAnEmptyList();
    void failingNmcliGivesAnEmptyList();
};

void TestDialupEntries::parseKeepsDialOnDemandConnectionsInOrder() {
    const QByteArray out = "Wired connection 1:802-3-ethernet\n"
                           "Store Modem:gsm\n"
                           "Head\\:Office VPN:vpn\n"
                           "lo:loopback\n"
                           "DSL\\\\Line:pppoe\r\n"
                           "Cafe:802-11-wireless\n"
                           "\n"
                           "Phone:bluetooth\n";
    QCOMPARE(parseNmcliConnections(out),
             QStringList({"Store Modem", "Head:Office VPN", "DSL\\Line", "Phone"}));
    QCOMPARE(parseNmcliConnections(QByteArray()), QStringList());
}

#ifndef Q_OS_WIN
namespace {
QString writeScript(const TempProgramFolder& folder, const QByteArray& body) {
    const QString path = folder.file("nmcli");
    folder.write("nmcli", "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}
} // namespace
#endif

void TestDialupEntries::listerRunsNmcli() {
#ifdef Q_OS_WIN
    QSKIP("nmcli is not used on Windows");
#else
    TempProgramFolder folder;
    // The script answers only the question the lister is meant to ask.
    const QString script =
        writeScript(folder, "[ \"$*\" = \"-t -e yes -f NAME,TYPE connection show\" ] || exit 2\n"
                            "printf 'eth:802-3-ethernet\\nDial Out:gsm\\n'\n");
    NmcliEntryLister lister(script);
    const DialupEntryLister::Result r = lister.listEntries();
    QCOMPARE(r.outcome, DialupEntryLister::Outcome::Listed);
    QCOMPARE(r.names, QStringList({"Dial Out"}));
#endif
}

void TestDialupEntries::listerWithoutNmcliGivesAnEmptyList() {
    NmcliEntryLister lister(QStringLiteral("no-such-nmcli-here"));
    const DialupEntryLister::Result r = lister.listEntries();
    QCOMPARE(r.outcome, DialupEntryLister::Outcome::Listed);
    QVERIFY(r.names.isEmpty());
}

void TestDialupEntries::failingNmcliGivesAnEmptyList() {
#ifdef Q_OS_WIN
    QSKIP("nmcli is not used on Windows");
#else
    TempProgramFolder folder;
    const QString script = writeScript(
        folder, "echo 'Modem:gsm'\necho 'Error: NetworkManager is not running.' >&2\nexit 8\n");
    NmcliEntryLister lister(script);
    const DialupEntryLister::Result r = lister.listEntries();
    QCOMPARE(r.outcome, DialupEntryLister::Outcome::Listed);
    QVERIFY(r.names.isEmpty());
#endif
}

QTEST_GUILESS_MAIN(TestDialupEntries)
#include "test_dialupentries.moc"
