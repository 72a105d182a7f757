#include "client/platform/dialler.h"
#include "client/platform/dialupentries.h"
#include "client/platform/windowsdialler.h"

#include <QtTest>

#include <cstring>

#include <windows.h>

#include <ras.h>
#include <raserror.h>

// The Windows back ends: what the dialling calls answer reaches the client unchanged, and the
// entry listings grow their buffers as the phone book asks. wine's own calls answer success and
// list nothing, so the answers of a real modem come from fakes; the real calls run as well.
class TestWindowsDialler : public QObject {
    Q_OBJECT
private slots:
    void dialResultIsTheDialError_data();
    void dialResultIsTheDialError();
    void connectionNameGoesInTheAnsiCodePage();
    void hangUpResultIsPassedOn();
    void entryNamesGrowUntilTheyFit();
    void entryListThatKeepsGrowingOrFailsGivesNoNames();
    void phoneBookRecordsFollowTheWindowsVersion();
    void phoneBookGrowsUntilItFits();
    void systemCallsAnswerUnderThisSystem();
};

namespace {
WindowsDialCalls dialAnswering(quint32 result, QByteArray* dialledName = nullptr) {
    WindowsDialCalls calls;
    calls.dial = [=](const QByteArray& name, quintptr* connection) {
        if (dialledName)
            *dialledName = name;
        *connection = result == 0 ? 42 : 0;
        return result;
    };
    calls.hangUp = [=](quintptr) { return result; };
    calls.listEntries = [](void*, quint32*, quint32* count) {
        *count = 0;
        return quint32(0);
    };
    return calls;
}

// A phone book of RASENTRYNAMEW records whose entries the next call finds.
struct WidePhoneBook {
    QList<QStringList> answers; // one list of names per call; the last one stays
    int calls = 0;

    quint32 list(void* buffer, quint32* bytes, quint32* count) {
        const QStringList names = answers.value(calls, answers.last());
        ++calls;
        const quint32 needed = quint32(names.size() * sizeof(RASENTRYNAMEW));
        *count = quint32(names.size());
        if (*bytes < needed) {
            *bytes = needed;
            return ERROR_BUFFER_TOO_SMALL;
        }
        auto* records = static_cast<RASENTRYNAMEW*>(buffer);
        for (int i = 0; i < names.size(); ++i) {
            const int length = names[i].toWCharArray(records[i].szEntryName);
            records[i].szEntryName[length] = 0;
        }
        return 0;
    }
};

// RasEnumEntriesA's records: a size field, then the name in the ANSI code page.
struct AnsiPhoneBook {
    QList<QStringList> answers;
    quint32 recordSize = 0; // as the caller set it in the first record
    int calls = 0;

    quint32 list(void* buffer, quint32* bytes, quint32* count) {
        const QStringList names = answers.value(calls, answers.last());
        ++calls;
        std::memcpy(&recordSize, buffer, sizeof recordSize);
        const quint32 needed = quint32(names.size()) * recordSize;
        *count = quint32(names.size());
        if (*bytes < needed) {
            *bytes = needed;
            return 603;
        }
        char* out = static_cast<char*>(buffer);
        for (int i = 0; i < names.size(); ++i)
            qstrcpy(out + i * recordSize + 4, names[i].toLocal8Bit().constData());
        return 0;
    }
};
} // namespace

void TestWindowsDialler::dialResultIsTheDialError_data() {
    QTest::addColumn<quint32>("result");
    QTest::addColumn<QString>("text");
    QTest::newRow("no connection") << 668u << "No Connection";
    QTest::newRow("no dial tone") << 631u << "No Dial Tone, or User Canceled";
    QTest::newRow("invalid parameter") << 87u << "ERROR_INVALID_PARAMETER";
    QTest::newRow("no such phone-book entry") << 623u << "<invalid>Connection may be blank";
    QTest::newRow("line busy") << 676u << "<invalid>Connection may be blank";
}

void TestWindowsDialler::dialResultIsTheDialError() {
    QFETCH(quint32, result);
    QFETCH(QString, text);
    WindowsDialler dialler(dialAnswering(result));
    Dialler::Handle handle = 7;
    QCOMPARE(dialler.dial("Store Modem", &handle), result);
    QCOMPARE(handle, Dialler::Handle(7)); // a failed dial hands out no connection
    QCOMPARE(DialErrorText(result), text);

    WindowsDialler up(dialAnswering(0));
    QCOMPARE(up.dial("Store Modem", &handle), 0u);
    QCOMPARE(handle, Dialler::Handle(42));
}

void TestWindowsDialler::connectionNameGoesInTheAnsiCodePage() {
    QByteArray dialled;
    WindowsDialler dialler(dialAnswering(0, &dialled));
    Dialler::Handle handle = 0;
    dialler.dial(QStringLiteral("B\u00fcro Modem"), &handle);
    // The dialling call is the ANSI one: the name in the system's code page, as Windows has it.
    QCOMPARE(dialled, QStringLiteral("B\u00fcro Modem").toLocal8Bit());
    if (GetACP() == 1252)
        QCOMPARE(dialled, QByteArray("B\xfcro Modem"));
}

void TestWindowsDialler::hangUpResultIsPassedOn() {
    QCOMPARE(WindowsDialler(dialAnswering(0)).hangUp(42), 0u);
    QCOMPARE(WindowsDialler(dialAnswering(668)).hangUp(42), 668u);
}

void TestWindowsDialler::entryNamesGrowUntilTheyFit() {
    // An entry is added between the call that asks for the size and the one that reads.
    WidePhoneBook book{{{"Store Modem", "Backup"}, {"Store Modem", "Backup", "ISDN"}}};
    WindowsDialCalls calls = dialAnswering(0);
    calls.listEntries = [&](void* b, quint32* bytes, quint32* count) {
        return book.list(b, bytes, count);
    };
    QCOMPARE(WindowsDialler(calls).connections(), QStringList({"Store Modem", "Backup", "ISDN"}));
    QVERIFY(book.calls >= 2);
}

void TestWindowsDialler::entryListThatKeepsGrowingOrFailsGivesNoNames() {
    WindowsDialCalls calls = dialAnswering(0);
    int growing = 1;
    calls.listEntries = [&](void*, quint32* bytes, quint32* count) {
        *count = quint32(growing *= 4);
        *bytes = quint32(growing * sizeof(RASENTRYNAMEW));
        return quint32(ERROR_BUFFER_TOO_SMALL);
    };
    QCOMPARE(WindowsDialler(calls).connections(), QStringList());
    calls.listEntries = [](void*, quint32*, quint32*) { return quint32(ERROR_CANNOT_OPEN_PHONEBOOK); };
    QCOMPARE(WindowsDialler(calls).connections(), QStringList());
}

void TestWindowsDialler::phoneBookRecordsFollowTheWindowsVersion() {
    struct Row {
        int version;
        quint32 recordSize;
    };
    for (const Row row : {Row{4, 264}, Row{5, 532}, Row{6, 532}, Row{10, 532}}) {
        AnsiPhoneBook book{{{"Store Modem", "Caf\u00e9"}}};
        RasListCalls calls{[&](void* b, quint32* bytes, quint32* count) {
                               return book.list(b, bytes, count);
                           },
                           [&] { return row.version; }};
        const DialupEntryLister::Result r = RasEntryLister(calls).listEntries();
        QCOMPARE(r.outcome, DialupEntryLister::Outcome::Listed);
        QCOMPARE(r.names, QStringList({"Store Modem", "Caf\u00e9"}));
        QCOMPARE(book.recordSize, row.recordSize);
    }
    RasListCalls unknown{[](void*, quint32*, quint32*) { return quint32(0); }, [] { return 3; }};
    const DialupEntryLister::Result r = RasEntryLister(unknown).listEntries();
    QCOMPARE(r.outcome, DialupEntryLister::Outcome::UnknownSystem);
    QCOMPARE(r.systemVersion, 3);
}

void TestWindowsDialler::phoneBookGrowsUntilItFits() {
    AnsiPhoneBook book{{{"A"}, {"A", "B", "C"}, {"A", "B", "C", "D"}}};
    RasListCalls calls{[&](void* b, quint32* bytes, quint32* count) {
                           return book.list(b, bytes, count);
                       },
                       [] { return 10; }};
    DialupEntryLister::Result r = RasEntryLister(calls).listEntries();
    QCOMPARE(r.outcome, DialupEntryLister::Outcome::Listed);
    QCOMPARE(r.names, QStringList({"A", "B", "C", "D"}));

    RasListCalls failing{[](void*, quint32*, quint32*) { return quint32(ERROR_CANNOT_OPEN_PHONEBOOK); },
                         [] { return 10; }};
    r = RasEntryLister(failing).listEntries();
    QCOMPARE(r.outcome, DialupEntryLister::Outcome::ListFailed);
    QVERIFY(r.names.isEmpty());
}

void TestWindowsDialler::systemCallsAnswerUnderThisSystem() {
    // The real calls (wine's under wine): each returns without asking anybody anything.
    WindowsDialler dialler;
    Dialler::Handle handle = 0;
    const quint32 result = dialler.dial(QStringLiteral("No Such Entry Here"), &handle);
    if (result == 0)
        QCOMPARE(dialler.hangUp(handle), 0u);
    else
        QVERIFY(!DialErrorText(result).isEmpty());
    QVERIFY(!dialler.connections().contains(QStringLiteral("No Such Entry Here")));
    QVERIFY(GetWindowsVersion() >= 5);
    const DialupEntryLister::Result listed = RasEntryLister().listEntries();
    QCOMPARE(listed.outcome, DialupEntryLister::Outcome::Listed);
}

QTEST_GUILESS_MAIN(TestWindowsDialler)
#include "test_windowsdialler.moc"
