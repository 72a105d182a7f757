#include "client/foundation/prompter.h"
#include "setup/dialupentries.h"
#include "setup/frmpass.h"
#include "setup/frmsetup.h"
#include "tests/support/tempprogramfolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

class FakeLister : public DialupEntryLister {
public:
    Result result;
    Result listEntries() override {
        return result;
    }
};

DialupEntryLister::Result listed(const QStringList& names) {
    DialupEntryLister::Result r;
    r.names = names;
    return r;
}

template <typename T> T* child(QWidget* w, const char* name) {
    T* found = w->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QString text(QWidget* w, const char* name) {
    return child<QLineEdit>(w, name)->text();
}

void retype(QWidget* w, const char* name, const QString& value) {
    QLineEdit* box = child<QLineEdit>(w, name);
    box->selectAll();
    QTest::keyClicks(box, value);
    if (value.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
}

} // namespace

class TestSetupWindows : public QObject {
    Q_OBJECT
private slots:
    void passAcceptsCodeInCapitalsByEnter();
    void passRefusesTrailingBlankAndEmpty_data();
    void passRefusesTrailingBlankAndEmpty();
    void passLayout();

    void missingFileShowsDefaultsAndSaveCreatesSevenKeys();
    void lanInMixedCaseTicksUseLanAndSavesLAN();
    void storedEntryIsSelectedIgnoringCase();
    void typedConnectionNameIsWritten();
    void unlistedStoredEntryIsShownAndKept();
    void saveKeepsOtherLinesByteForByte();
    void cancelAndCloseBoxWriteNothing();
    void longValuesSurviveASave();
    void listingProblemsStillOpenTheDialog();
    void failedSaveKeepsTheDialogOpen();
    void selectComboItem();
    void layoutAndTabOrder();
};

void TestSetupWindows::passAcceptsCodeInCapitalsByEnter() {
    ScriptedPrompter prompter;
    FrmPass pass(prompter);
    pass.show();
    QSignalSpy granted(&pass, &FrmPass::accessGranted);
    QLineEdit* box = child<QLineEdit>(&pass, "txtPass");
    QCOMPARE(box->echoMode(), QLineEdit::Password);
    QTest::keyClicks(box, "QelVORN");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(granted.count(), 1);
    QVERIFY(!pass.isVisible());
    QVERIFY(prompter.asked().isEmpty());
}

void TestSetupWindows::passRefusesTrailingBlankAndEmpty_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("trailing blank, OK") << "qelvorn " << false;
    QTest::newRow("empty, Enter") << "" << true;
    QTest::newRow("leading blank, Enter") << " qelvorn" << true;
}

void TestSetupWindows::passRefusesTrailingBlankAndEmpty() {
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    ScriptedPrompter prompter;
    FrmPass pass(prompter);
    pass.show();
    QSignalSpy granted(&pass, &FrmPass::accessGranted);
    QLineEdit* box = child<QLineEdit>(&pass, "txtPass");
    QTest::keyClicks(box, typed);
    if (byEnter)
        QTest::keyClick(box, Qt::Key_Enter);
    else
        QTest::mouseClick(child<QPushButton>(&pass, "cmdPass"), Qt::LeftButton);
    QCOMPARE(granted.count(), 0);
    QVERIFY(!pass.isVisible());
    QCOMPARE(prompter.asked().size(), 1);
    QCOMPARE(prompter.asked()[0].text, QString("Password Failed"));
    QCOMPARE(prompter.asked()[0].title, QString("Skyvane Setup"));
    QCOMPARE(prompter.asked()[0].icon, Prompter::Icon::Critical);
}

void TestSetupWindows::passLayout() {
    ScriptedPrompter prompter;
    FrmPass pass(prompter);
    QCOMPARE(pass.windowTitle(), QString("Enter Password"));
    QCOMPARE(pass.size(), QSize(284, 99));
    QCOMPARE(child<QLineEdit>(&pass, "txtPass")->geometry(), QRect(24, 32, 233, 19));
    QCOMPARE(child<QPushButton>(&pass, "cmdPass")->geometry(), QRect(168, 56, 89, 33));
    QCOMPARE(child<QPushButton>(&pass, "cmdPass")->text(), QString("&OK"));
}

void TestSetupWindows::missingFileShowsDefaultsAndSaveCreatesSevenKeys() {
    TempProgramFolder folder;
    ScriptedPrompter prompter;
    FakeLister lister;
    lister.result = listed({"Modem A", "Modem B"});
    FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
    setup.show();
    QCOMPARE(text(&setup, "txtPort"), QString("55555"));
    QCOMPARE(text(&setup, "txtTimeToSend"), QString("12:00 AM"));
    QCOMPARE(text(&setup, "txtMin"), QString("15"));
    QCOMPARE(text(&setup, "txtID"), QString());
    QCOMPARE(text(&setup, "txtPass"), QString());
    QCOMPARE(text(&setup, "txtServer"), QString());
    QComboBox* cbo = child<QComboBox>(&setup, "cboConnections");
    QCOMPARE(cbo->count(), 2);
    QCOMPARE(cbo->currentIndex(), -1);
    QCOMPARE(cbo->currentText(), QString());
    QVERIFY(cbo->isEnabled());
    QVERIFY(!child<QCheckBox>(&setup, "chkUseLan")->isChecked());
    QVERIFY(prompter.asked().isEmpty());

    QTest::mouseClick(child<QPushButton>(&setup, "cmdSave"), Qt::LeftButton);
    QVERIFY(!setup.isVisible());
    QCOMPARE(folder.lines("skyvane.ini"),
             QStringList({"[system]", "ID=", "Pass=", "Connection=", "TimeToSend=12:00 AM",
                          "Retry=15", "Server=", "Port=55555"}));
}

void TestSetupWindows::lanInMixedCaseTicksUseLanAndSavesLAN() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[system]\r\nConnection=Lan\r\n");
    ScriptedPrompter prompter;
    FakeLister lister;
    lister.result = listed({"Lan", "Modem"});
    FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
    QCheckBox* lan = child<QCheckBox>(&setup, "chkUseLan");
    QComboBox* cbo = child<QComboBox>(&setup, "cboConnections");
    QVERIFY(lan->isChecked());
    QVERIFY(!cbo->isEnabled());
    lan->click();
    QVERIFY(cbo->isEnabled());
    lan->click();
    QVERIFY(!cbo->isEnabled());
    QTest::mouseClick(child<QPushButton>(&setup, "cmdSave"), Qt::LeftButton);
    QVERIFY(folder.lines("skyvane.ini").contains("Connection=LAN"));
}

void TestSetupWindows::storedEntryIsSelectedIgnoringCase() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[system]\r\nConnection=modem b\r\n");
    ScriptedPrompter prompter;
    FakeLister lister;
    lister.result = listed({"Modem A", "Modem B", "MODEM B"});
    FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
    QComboBox* cbo = child<QComboBox>(&setup, "cboConnections");
    QCOMPARE(cbo->currentIndex(), 1);
    QVERIFY(!child<QCheckBox>(&setup, "chkUseLan")->isChecked());
    QTest::mouseClick(child<QPushButton>(&setup, "cmdSave"), Qt::LeftButton);
    QVERIFY(folder.lines("skyvane.ini").contains("Connection=Modem B"));
}

void TestSetupWindows::typedConnectionNameIsWritten() {
    TempProgramFolder folder;
    ScriptedPrompter prompter;
    FakeLister lister;
    lister.result = listed({"Modem A"});
    FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
    setup.show();
    QComboBox* cbo = child<QComboBox>(&setup, "cboConnections");
    QTest::keyClicks(cbo->lineEdit(), "Backup Line 2");
    QTest::keyClick(cbo->lineEdit(), Qt::Key_Return);
    QCOMPARE(cbo->count(), 1); // typing does not add to the list
    QTest::mouseClick(child<QPushButton>(&setup, "cmdSave"), Qt::LeftButton);
    QVERIFY(folder.lines("skyvane.ini").contains("Connection=Backup Line 2"));
}

void TestSetupWindows::unlistedStoredEntryIsShownAndKept() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[system]\r\nConnection=Old Modem\r\nServer=a\r\n");
    ScriptedPrompter prompter;
    FakeLister lister;
    lister.result = listed({"New Modem"});
    FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
    QComboBox* cbo = child<QComboBox>(&setup, "cboConnections");
    QCOMPARE(cbo->currentIndex(), -1);
    QCOMPARE(cbo->currentText(), QString("Old Modem"));
    retype(&setup, "txtServer", "b");
    QTest::mouseClick(child<QPushButton>(&setup, "cmdSave"), Qt::LeftButton);
    const QStringList lines = folder.lines("skyvane.ini");
    QVERIFY(lines.contains("Connection=Old Modem"));
    QVERIFY(lines.contains("Server=b"));
}

void TestSetupWindows::saveKeepsOtherLinesByteForByte() {
    TempProgramFolder folder;
    const QByteArray before = "; store 12, set up by the technician\r\n"
                              "[tabulon]\r\nDBFPath=c:\\pos\\data\r\n\r\n"
                              "[SYSTEM]\r\nid=12\r\nPass=pw\r\nConnection=lan\r\n"
                              "Server=old.example\r\n; keep this note\r\nport = 55555\r\n"
                              "PassiveMode=False\r\nTimeToSend=10:15 PM\r\nRetry=15\r\n"
                              "\r\n[qreports]\nQReportsPath=d:\\q\n";
    folder.write("skyvane.ini", before);
    ScriptedPrompter prompter;
    FakeLister lister;
    FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
    setup.show();
    retype(&setup, "txtServer", "  central.example ");
    QTest::mouseClick(child<QPushButton>(&setup, "cmdSave"), Qt::LeftButton);
    QByteArray expected = before;
    expected.replace("Server=old.example", "Server=  central.example ");
    expected.replace("Connection=lan", "Connection=LAN");
    expected.replace("port = 55555", "port=55555");
    QCOMPARE(folder.read("skyvane.ini"), expected);
}

void TestSetupWindows::cancelAndCloseBoxWriteNothing() {
    TempProgramFolder folder;
    const QByteArray before = "[system]\r\nID=1\r\n";
    folder.write("skyvane.ini", before);
    ScriptedPrompter prompter;
    FakeLister lister;
    {
        FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
        setup.show();
        retype(&setup, "txtID", "2");
        QTest::mouseClick(child<QPushButton>(&setup, "cmdCancel"), Qt::LeftButton);
        QVERIFY(!setup.isVisible());
    }
    {
        FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
        setup.show();
        retype(&setup, "txtID", "3");
        QVERIFY(setup.close());
    }
    QCOMPARE(folder.read("skyvane.ini"), before);

    TempProgramFolder empty;
    FrmSetup setup(empty.file("skyvane.ini"), lister, prompter);
    QTest::mouseClick(child<QPushButton>(&setup, "cmdCancel"), Qt::LeftButton);
    QVERIFY(!QFile::exists(empty.file("skyvane.ini")));
}

void TestSetupWindows::longValuesSurviveASave() {
    TempProgramFolder folder;
    const QByteArray longPass(120, 'p');
    const QByteArray longServer(99, 's');
    const QByteArray longConnection(150, 'c');
    folder.write("skyvane.ini", "[system]\r\nPass=" + longPass + "\r\nServer=" + longServer +
                                    "\r\nConnection=" + longConnection +
                                    "\r\nID=" + QByteArray(100, 'i') + "\r\n");
    ScriptedPrompter prompter;
    FakeLister lister;
    FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
    setup.show();
    QCOMPARE(text(&setup, "txtPass"), QString());
    QCOMPARE(text(&setup, "txtServer"), QString());
    retype(&setup, "txtID", "77");
    QTest::mouseClick(child<QPushButton>(&setup, "cmdSave"), Qt::LeftButton);
    const QStringList lines = folder.lines("skyvane.ini");
    QVERIFY(lines.contains("Pass=" + QString::fromLatin1(longPass)));
    QVERIFY(lines.contains("Server=" + QString::fromLatin1(longServer)));
    QVERIFY(lines.contains("Connection=" + QString::fromLatin1(longConnection)));
    QVERIFY(lines.contains("ID=77")); // a changed field is written
    QVERIFY(lines.contains("Port=55555"));

    // Ticking Use LAN changes the connection, so it is written.
    FrmSetup again(folder.file("skyvane.ini"), lister, prompter);
    child<QCheckBox>(&again, "chkUseLan")->click();
    QTest::mouseClick(child<QPushButton>(&again, "cmdSave"), Qt::LeftButton);
    QVERIFY(folder.lines("skyvane.ini").contains("Connection=LAN"));
}

void TestSetupWindows::listingProblemsStillOpenTheDialog() {
    TempProgramFolder folder;
    folder.write("skyvane.ini", "[system]\r\nConnection=Modem\r\n");
    {
        ScriptedPrompter prompter;
        FakeLister lister;
        lister.result.outcome = DialupEntryLister::Outcome::UnknownSystem;
        lister.result.systemVersion = 3;
        FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
        QCOMPARE(prompter.asked().size(), 1);
        QCOMPARE(prompter.asked()[0].text,
                 QString("Cannot get names of dial-up connections. Windows major version: 3"));
        QCOMPARE(prompter.asked()[0].icon, Prompter::Icon::Warning);
        QVERIFY(child<QCheckBox>(&setup, "chkUseLan")->isChecked());
        QCOMPARE(child<QComboBox>(&setup, "cboConnections")->count(), 0);
    }
    {
        ScriptedPrompter prompter;
        FakeLister lister;
        lister.result.outcome = DialupEntryLister::Outcome::ListFailed;
        FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
        QCOMPARE(prompter.asked().size(), 1);
        QCOMPARE(prompter.asked()[0].text, QString("Error connecting."));
        QCOMPARE(prompter.asked()[0].icon, Prompter::Icon::Critical);
        QVERIFY(!child<QCheckBox>(&setup, "chkUseLan")->isChecked());
        QCOMPARE(child<QComboBox>(&setup, "cboConnections")->count(), 0);
    }
}

void TestSetupWindows::failedSaveKeepsTheDialogOpen() {
    TempProgramFolder folder;
    ScriptedPrompter prompter;
    FakeLister lister;
    // The settings file's folder does not exist, so nothing can be written.
    FrmSetup setup(folder.file("gone/skyvane.ini"), lister, prompter);
    setup.show();
    retype(&setup, "txtID", "5");
    QTest::mouseClick(child<QPushButton>(&setup, "cmdSave"), Qt::LeftButton);
    QVERIFY(setup.isVisible());
    QCOMPARE(text(&setup, "txtID"), QString("5"));
    QCOMPARE(prompter.asked().size(), 1);
    QVERIFY(prompter.asked()[0].text.startsWith("The settings could not be saved."));
}

void TestSetupWindows::selectComboItem() {
    QComboBox combo;
    combo.setEditable(true);
    combo.addItems({"One", "Two", "two"});
    QVERIFY(FrmSetup::SelectComboItem(&combo, "TWO"));
    QCOMPARE(combo.currentIndex(), 1);
    QVERIFY(!FrmSetup::SelectComboItem(&combo, "Three"));
    QCOMPARE(combo.currentIndex(), 1);
    QVERIFY(!FrmSetup::SelectComboItem(&combo, QString()));
    QCOMPARE(combo.currentIndex(), -1);
    QCOMPARE(combo.currentText(), QString());
}

void TestSetupWindows::layoutAndTabOrder() {
    TempProgramFolder folder;
    ScriptedPrompter prompter;
    FakeLister lister;
    FrmSetup setup(folder.file("skyvane.ini"), lister, prompter);
    QCOMPARE(setup.windowTitle(), QString("Skyvane Setup"));
    QCOMPARE(setup.size(), QSize(346, 390));
    QCOMPARE(child<QLineEdit>(&setup, "txtID")->geometry(), QRect(120, 24, 41, 19));
    QCOMPARE(child<QComboBox>(&setup, "cboConnections")->geometry(), QRect(120, 72, 137, 21));
    QCOMPARE(child<QCheckBox>(&setup, "chkUseLan")->geometry(), QRect(264, 56, 65, 49));
    QCOMPARE(child<QLineEdit>(&setup, "txtPort")->geometry(), QRect(116, 148, 89, 19));
    QCOMPARE(child<QLineEdit>(&setup, "txtMin")->geometry(), QRect(120, 308, 33, 19));
    QCOMPARE(child<QPushButton>(&setup, "cmdSave")->geometry(), QRect(180, 348, 113, 33));
    QCOMPARE(child<QPushButton>(&setup, "cmdCancel")->geometry(), QRect(52, 348, 113, 33));
    QCOMPARE(child<QCheckBox>(&setup, "chkUseLan")->text(), QString("&Use LAN"));
    QLabel* note = child<QLabel>(&setup, "Label7");
    QCOMPARE(note->text(), FrmSetup::noteText());
    QVERIFY(note->text().startsWith("Note: The settings below are used to control the schedule"));
    QCOMPARE(note->font().pointSizeF(), 8.25);

    setup.show();
    setup.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&setup));
    const QStringList expected = {"txtID",     "txtPass",   "cboConnections", "chkUseLan",
                                  "txtServer", "txtPort",   "txtTimeToSend",  "txtMin",
                                  "cmdSave",   "cmdCancel", "txtID"};
    child<QLineEdit>(&setup, "txtID")->setFocus();
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        // The combo box's text field has the focus on its behalf.
        if (qobject_cast<QComboBox*>(focus->parentWidget()))
            focus = focus->parentWidget();
        seen << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(seen, expected);
}

QTEST_MAIN(TestSetupWindows)
#include "test_setupwindows.moc"
