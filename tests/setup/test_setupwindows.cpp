#include "client/foundation/prompter.h"
#include "client/platform/dialupentries.h"
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

// A settings dialog on a temporary program folder, with scripted boxes and dial-up entries.
struct Dialog {
    TempProgramFolder folder;
    ScriptedPrompter prompter;
    FakeLister lister;
    std::unique_ptr<FrmSetup> window;

    explicit Dialog(const QByteArray& ini = QByteArray(), const QStringList& entries = {}) {
        if (!ini.isNull())
            folder.write("skyvane.ini", ini);
        lister.result.names = entries;
    }
    FrmSetup* open() {
        window = std::make_unique<FrmSetup>(folder.file("skyvane.ini"), lister, prompter);
        window->show();
        return window.get();
    }
    template <typename T> T* get(const char* name) {
        T* found = window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QString text(const char* name) {
        return get<QLineEdit>(name)->text();
    }
    void retype(const char* name, const QString& value) {
        get<QLineEdit>(name)->selectAll();
        QTest::keyClicks(get<QLineEdit>(name), value);
    }
    void click(const char* name) {
        QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton);
    }
    QStringList saved() const {
        return folder.lines("skyvane.ini");
    }
};

} // namespace

class TestSetupWindows : public QObject {
    Q_OBJECT
private slots:
    void passAcceptsCodeInCapitalsByEnter();
    void passRefusesOtherTexts_data();
    void passRefusesOtherTexts();

    void missingFileShowsDefaultsAndSaveCreatesSevenKeys();
    void lanInMixedCaseTicksUseLanAndSavesLAN();
    void typedConnectionNameIsWritten();
    void unlistedStoredEntryIsShownAndKept();
    void saveKeepsOtherLinesByteForByte();
    void cancelAndCloseBoxWriteNothing();
    void longValuesSurviveASave();
    void listingProblemsStillOpenTheDialog();
    void failedSaveKeepsTheDialogOpen();
    void lineBreaksNeverReachTheFile();
    void selectComboItem();
    void layoutAndTabOrder();
    void ftpTlsBoxIsWrittenOnlyWhenChanged();
    void fieldsDrawTheStoredTexts();
};

void TestSetupWindows::passAcceptsCodeInCapitalsByEnter() {
    ScriptedPrompter prompter;
    FrmPass pass(prompter);
    pass.show();
    QCOMPARE(pass.windowTitle(), QString("Enter Password"));
    QSignalSpy granted(&pass, &FrmPass::accessGranted);
    QLineEdit* box = pass.findChild<QLineEdit*>("txtPass");
    QCOMPARE(box->echoMode(), QLineEdit::Password);
    QTest::keyClicks(box, "QelVORN");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(granted.count(), 1);
    QVERIFY(!pass.isVisible());
    QVERIFY(prompter.asked().isEmpty());
}

void TestSetupWindows::passRefusesOtherTexts_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("trailing blank, OK") << "qelvorn " << false;
    QTest::newRow("empty, Enter") << "" << true;
}

void TestSetupWindows::passRefusesOtherTexts() {
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    ScriptedPrompter prompter;
    FrmPass pass(prompter);
    pass.show();
    QSignalSpy granted(&pass, &FrmPass::accessGranted);
    QLineEdit* box = pass.findChild<QLineEdit*>("txtPass");
    QTest::keyClicks(box, typed);
    if (byEnter)
        QTest::keyClick(box, Qt::Key_Enter);
    else
        QTest::mouseClick(pass.findChild<QPushButton*>("cmdPass"), Qt::LeftButton);
    QCOMPARE(granted.count(), 0);
    QVERIFY(!pass.isVisible());
    QCOMPARE(prompter.asked().size(), 1);
    QCOMPARE(prompter.asked()[0].text, QString("Password Failed"));
    QCOMPARE(prompter.asked()[0].title, QString("Skyvane Setup"));
    QCOMPARE(prompter.asked()[0].icon, Prompter::Icon::Critical);
}

void TestSetupWindows::missingFileShowsDefaultsAndSaveCreatesSevenKeys() {
    Dialog d(QByteArray(), {"Modem A", "Modem B"});
    d.open();
    QCOMPARE(d.text("txtPort"), QString("55555"));
    QCOMPARE(d.text("txtTimeToSend"), QString("12:00 AM"));
    QCOMPARE(d.text("txtMin"), QString("15"));
    QCOMPARE(d.text("txtID") + d.text("txtPass") + d.text("txtServer"), QString());
    QComboBox* cbo = d.get<QComboBox>("cboConnections");
    QCOMPARE(cbo->count(), 2);
    QCOMPARE(cbo->currentText(), QString());
    QVERIFY(cbo->isEnabled());
    QVERIFY(!d.get<QCheckBox>("chkUseLan")->isChecked());
    QVERIFY(d.prompter.asked().isEmpty());

    d.click("cmdSave");
    QVERIFY(!d.window->isVisible());
    QCOMPARE(d.saved(), QStringList({"[system]", "ID=", "Pass=", "Connection=",
                                     "TimeToSend=12:00 AM", "Retry=15", "Server=", "Port=55555"}));
}

void TestSetupWindows::lanInMixedCaseTicksUseLanAndSavesLAN() {
    Dialog d("[system]\r\nConnection=Lan\r\n", {"Lan", "Modem"});
    d.open();
    QCheckBox* lan = d.get<QCheckBox>("chkUseLan");
    QComboBox* cbo = d.get<QComboBox>("cboConnections");
    QVERIFY(lan->isChecked());
    QVERIFY(!cbo->isEnabled());
    lan->click();
    QVERIFY(cbo->isEnabled());
    lan->click();
    QVERIFY(!cbo->isEnabled());
    d.click("cmdSave");
    QVERIFY(d.saved().contains("Connection=LAN"));
}

void TestSetupWindows::typedConnectionNameIsWritten() {
    Dialog d(QByteArray(), {"Modem A"});
    d.open();
    QComboBox* cbo = d.get<QComboBox>("cboConnections");
    QTest::keyClicks(cbo->lineEdit(), "Backup Line 2");
    QTest::keyClick(cbo->lineEdit(), Qt::Key_Return);
    QCOMPARE(cbo->count(), 1); // typing does not add to the list
    d.click("cmdSave");
    QVERIFY(d.saved().contains("Connection=Backup Line 2"));
}

void TestSetupWindows::unlistedStoredEntryIsShownAndKept() {
    Dialog d("[system]\r\nConnection=Old Modem\r\nServer=a\r\n", {"New Modem"});
    d.open();
    QComboBox* cbo = d.get<QComboBox>("cboConnections");
    QCOMPARE(cbo->currentIndex(), -1);
    QCOMPARE(cbo->currentText(), QString("Old Modem"));
    d.retype("txtServer", "b");
    d.click("cmdSave");
    QVERIFY(d.saved().contains("Connection=Old Modem"));
    QVERIFY(d.saved().contains("Server=b"));
}

void TestSetupWindows::saveKeepsOtherLinesByteForByte() {
    const QByteArray before = "; store 12, set up by the technician\r\n"
                              "[tabulon]\r\nDBFPath=c:\\pos\\data\r\n\r\n"
                              "[SYSTEM]\r\nid=12\r\nPass=pw\r\nConnection=lan\r\n"
                              "Server=old.example\r\n; keep this note\r\nport = 55555\r\n"
                              "PassiveMode=False\r\nTimeToSend=10:15 PM\r\nRetry=15\r\n"
                              "\r\n[qreports]\nQReportsPath=d:\\q\n";
    Dialog d(before);
    d.open();
    d.retype("txtServer", "  central.example ");
    d.click("cmdSave");
    QByteArray expected = before;
    expected.replace("Server=old.example", "Server=  central.example ");
    expected.replace("Connection=lan", "Connection=LAN");
    expected.replace("port = 55555", "port=55555");
    QCOMPARE(d.folder.read("skyvane.ini"), expected);
}

void TestSetupWindows::cancelAndCloseBoxWriteNothing() {
    const QByteArray before = "[system]\r\nID=1\r\n";
    Dialog d(before);
    d.open();
    d.retype("txtID", "2");
    d.click("cmdCancel");
    QVERIFY(!d.window->isVisible());
    d.open();
    d.retype("txtID", "3");
    QVERIFY(d.window->close());
    QCOMPARE(d.folder.read("skyvane.ini"), before);
}

void TestSetupWindows::longValuesSurviveASave() {
    const QByteArray longPass(120, 'p');
    const QByteArray longConnection(150, 'c');
    Dialog d("[system]\r\nPass=" + longPass + "\r\nConnection=" + longConnection +
             "\r\nID=" + QByteArray(100, 'i') + "\r\n");
    d.open();
    QCOMPARE(d.text("txtPass"), QString());
    d.retype("txtID", "77");
    d.click("cmdSave");
    QVERIFY(d.saved().contains("Pass=" + QString::fromLatin1(longPass)));
    QVERIFY(d.saved().contains("Connection=" + QString::fromLatin1(longConnection)));
    QVERIFY(d.saved().contains("ID=77")); // a changed field is written

    // Ticking Use LAN changes the connection, so it is written.
    d.open();
    d.get<QCheckBox>("chkUseLan")->click();
    d.click("cmdSave");
    QVERIFY(d.saved().contains("Connection=LAN"));
}

void TestSetupWindows::listingProblemsStillOpenTheDialog() {
    Dialog d("[system]\r\nConnection=Modem\r\n");
    d.lister.result.outcome = DialupEntryLister::Outcome::UnknownSystem;
    d.lister.result.systemVersion = 3;
    d.open();
    QCOMPARE(d.prompter.asked().size(), 1);
    QCOMPARE(d.prompter.asked()[0].text,
             QString("Cannot get names of dial-up connections. Windows major version: 3"));
    QCOMPARE(d.prompter.asked()[0].icon, Prompter::Icon::Warning);
    QVERIFY(d.get<QCheckBox>("chkUseLan")->isChecked());

    d.lister.result.outcome = DialupEntryLister::Outcome::ListFailed;
    d.open();
    QCOMPARE(d.prompter.asked().size(), 2);
    QCOMPARE(d.prompter.asked()[1].text, QString("Error connecting."));
    QCOMPARE(d.prompter.asked()[1].icon, Prompter::Icon::Critical);
    QVERIFY(!d.get<QCheckBox>("chkUseLan")->isChecked());
    QCOMPARE(d.get<QComboBox>("cboConnections")->count(), 0);
}

void TestSetupWindows::failedSaveKeepsTheDialogOpen() {
    Dialog d;
    d.window = std::make_unique<FrmSetup>(d.folder.file("gone/skyvane.ini"), d.lister, d.prompter);
    d.window->show();
    d.retype("txtID", "5");
    d.click("cmdSave");
    QVERIFY(d.window->isVisible());
    QCOMPARE(d.text("txtID"), QString("5"));
    QCOMPARE(d.prompter.asked().size(), 1);
    QVERIFY(d.prompter.asked()[0].text.startsWith("The settings could not be saved."));
}

void TestSetupWindows::lineBreaksNeverReachTheFile() {
    const QByteArray before = "[system]\r\nServer=old.example\r\nPassiveMode=True\r\n";
    Dialog d(before);
    d.open();
    // A paste with a line break is refused by the field, in every field.
    const QString forged = "central.example\r\nPassiveMode=False";
    for (const char* name :
         {"txtID", "txtPass", "txtServer", "txtPort", "txtTimeToSend", "txtMin"}) {
        QLineEdit* box = d.get<QLineEdit>(name);
        const QString was = box->text();
        box->insert(forged);
        QCOMPARE(box->text(), was);
    }
    d.get<QComboBox>("cboConnections")->lineEdit()->insert("Modem\nX=1");
    QVERIFY(!d.get<QComboBox>("cboConnections")->currentText().contains('\n'));

    // Set from code around the field: the save says why and writes nothing.
    d.get<QLineEdit>("txtID")->setText("12");
    d.get<QLineEdit>("txtServer")->setText(forged);
    d.click("cmdSave");
    QVERIFY(d.window->isVisible());
    QCOMPARE(d.prompter.asked().size(), 1);
    QVERIFY(d.prompter.asked()[0].text.contains("Server holds a line break"));
    QCOMPARE(d.folder.read("skyvane.ini"), before);
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
    Dialog d;
    FrmSetup* w = d.open();
    QCOMPARE(w->windowTitle(), QString("Skyvane Setup"));
    QCOMPARE(w->size(), QSize(346, 390));
    QCOMPARE(d.get<QComboBox>("cboConnections")->geometry(), QRect(120, 72, 137, 21));
    QCOMPARE(d.get<QLineEdit>("txtPort")->geometry(), QRect(116, 148, 89, 19));
    QCOMPARE(d.get<QPushButton>("cmdSave")->geometry(), QRect(180, 348, 113, 33));
    QCOMPARE(d.get<QLabel>("Label7")->text(), FrmSetup::noteText());

    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    const QStringList expected = {"txtID",     "txtPass", "cboConnections", "chkUseLan",
                                  "txtServer", "txtPort", "chkFtpTls",      "txtTimeToSend",
                                  "txtMin",    "cmdSave", "cmdCancel",      "txtID"};
    d.get<QLineEdit>("txtID")->setFocus();
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

void TestSetupWindows::ftpTlsBoxIsWrittenOnlyWhenChanged() {
    // Unchanged: an absent key stays absent, another spelling stays as written.
    Dialog absent;
    absent.open();
    QVERIFY(!absent.get<QCheckBox>("chkFtpTls")->isChecked());
    absent.click("cmdSave");
    QVERIFY(!absent.folder.read("skyvane.ini").contains("FtpTls"));

    Dialog spelled("[system]\r\nFtpTls=-1\r\n");
    spelled.open();
    QVERIFY(spelled.get<QCheckBox>("chkFtpTls")->isChecked());
    spelled.click("cmdSave");
    QVERIFY(spelled.saved().contains("FtpTls=-1"));

    // Ticked or cleared: written.
    absent.open();
    absent.get<QCheckBox>("chkFtpTls")->click();
    absent.click("cmdSave");
    QVERIFY(absent.saved().contains("FtpTls=True"));
    spelled.open();
    spelled.get<QCheckBox>("chkFtpTls")->click();
    spelled.click("cmdSave");
    QVERIFY(spelled.saved().contains("FtpTls=False"));
}

void TestSetupWindows::fieldsDrawTheStoredTexts() {
    // Each field, drawn, differs from the same field drawn empty: the texts reach the screen,
    // not only the controls (with no usable font, fields show nothing although they hold it).
    Dialog d("[system]\r\nID=STORE12\r\nPass=secret\r\nConnection=LAN\r\nServer=10.1.2.3\r\n"
             "Port=5555\r\nTimeToSend=10:15 PM\r\nRetry=15\r\n");
    d.open();
    for (const char* name : {"txtID", "txtPass", "txtServer", "txtPort", "txtTimeToSend", "txtMin"}) {
        QLineEdit* field = d.get<QLineEdit>(name);
        QVERIFY2(!field->text().isEmpty(), name);
        const QImage filled = field->grab().toImage();
        const QString text = field->text();
        field->clear();
        const QImage empty = field->grab().toImage();
        field->setText(text);
        QVERIFY2(filled != empty, name);
    }
}

QTEST_MAIN(TestSetupWindows)
#include "test_setupwindows.moc"
