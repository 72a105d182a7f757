#include "client/platform/dialler.h"
#include "client/platform/dialupentries.h"
#include "tests/support/tempprogramfolder.h"

#include <QFile>
#include <QtTest>

#ifndef Q_OS_WIN
#include "client/platform/nmclidialler.h"
#endif

class TestDialupEntries : public QObject {
    Q_OBJECT
private slots:
    void listsDialOnDemandConnectionsOfNmcli();
    void withoutNmcliTheListIsEmpty();
};

#ifndef Q_OS_WIN
namespace {
QString writeScript(const TempProgramFolder& folder, const QByteArray& body) {
    const QString path = folder.file("nmcli");
    folder.write("nmcli", "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

DialupEntryLister::Result listWith(const QString& program) {
    DiallerEntryLister lister(std::make_unique<NmcliDialler>(program, 10000));
    return lister.listEntries();
}
} // namespace
#endif

void TestDialupEntries::listsDialOnDemandConnectionsOfNmcli() {
#ifdef Q_OS_WIN
    QSKIP("the Windows phone book is read instead");
#else
    TempProgramFolder folder;
    const QString script =
        writeScript(folder, "case \"$*\" in *'connection show'*) ;; *) exit 2 ;; esac\n"
                            "printf 'Wired connection 1:802-3-ethernet\\nStore Modem:gsm\\n'\n"
                            "printf 'Head\\\\:Office:vpn\\nlo:loopback\\nDSL:pppoe\\n'\n");
    const DialupEntryLister::Result r = listWith(script);
    QCOMPARE(r.outcome, DialupEntryLister::Outcome::Listed);
    QCOMPARE(r.names, QStringList({"Store Modem", "Head:Office", "DSL"}));
#endif
}

void TestDialupEntries::withoutNmcliTheListIsEmpty() {
#ifdef Q_OS_WIN
    QSKIP("the Windows phone book is read instead");
#else
    TempProgramFolder folder;
    const DialupEntryLister::Result r = listWith(folder.file("no-such-nmcli"));
    QCOMPARE(r.outcome, DialupEntryLister::Outcome::Listed);
    QVERIFY(r.names.isEmpty());
#endif
}

QTEST_GUILESS_MAIN(TestDialupEntries)
#include "test_dialupentries.moc"
