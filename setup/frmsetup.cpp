#include "setup/frmsetup.h"

#include "client/foundation/prompter.h"
#include "client/platform/dialupentries.h"
#include "client/widgets/twips.h"
#include "client/widgets/windowplace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

const QString windowTitleText = QStringLiteral("Skyvane Setup");

// Every field becomes one line of skyvane.ini: a pasted line break would start another.
QValidator* singleLineValidator(QObject* parent) {
    return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\\r\\n]*")),
                                           parent);
}

QLineEdit* addTextBox(QWidget* parent, const char* name, const QRect& where) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(where);
    box->setValidator(singleLineValidator(box));
    return box;
}

QFrame* addLine(QWidget* parent, int left, int top, int right) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(Twips::toPixels(left), Twips::toPixels(top) - 1,
                      Twips::toPixels(right) - Twips::toPixels(left), 2);
    return line;
}

} // namespace

FrmSetup::FrmSetup(const QString& iniPath, DialupEntryLister& lister, Prompter& prompter,
                   QWidget* parent)
    : QWidget(parent), m_iniPath(iniPath), m_lister(lister), m_prompter(prompter) {
    buildControls();
    loadWindow();
}

QString FrmSetup::noteText() {
    return QStringLiteral(
        "Note: The settings below are used to control the schedule of the Skyvane Launcher "
        "Program SVLAUNCH.EXE, To use this feature SVLAUNCH.EXE must be in Startup. The Skyvane "
        "Launcher will only run SKYVANE.EXE without a program argument, therefore only the "
        "Default Session setup in Vantor can be run using the Skyvane Launcher.");
}

QLabel* FrmSetup::addFieldLabel(const QString& caption, const QRect& where,
                                Qt::Alignment alignment) {
    auto* label = new QLabel(caption, this);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(9.75);
    label->setFont(font);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setGeometry(where);
    return label;
}

void FrmSetup::buildControls() {
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(windowTitleText);

    // The frame goes first so that it lies beneath the fields.
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setGeometry(Twips::rect(120, 120, 4935, 4935));
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);

    addFieldLabel(QStringLiteral("ID:"), Twips::rect(1200, 360, 495, 255));
    m_txtID = addTextBox(this, "txtID", Twips::rect(1800, 360, 615, 285));
    addFieldLabel(QStringLiteral("Pass:"), Twips::rect(1200, 720, 495, 255));
    m_txtPass = addTextBox(this, "txtPass", Twips::rect(1800, 720, 1335, 285));

    addFieldLabel(QStringLiteral("Connection:"), Twips::rect(480, 1080, 1215, 255));
    m_cboConnections = new QComboBox(this);
    m_cboConnections->setObjectName(QStringLiteral("cboConnections"));
    m_cboConnections->setEditable(true);
    // A typed name is saved as typed; it does not become an entry of the list.
    m_cboConnections->setInsertPolicy(QComboBox::NoInsert);
    m_cboConnections->setValidator(singleLineValidator(m_cboConnections));
    m_cboConnections->setGeometry(Twips::rect(1800, 1080, 2055, 315));

    m_chkUseLan = new QCheckBox(QStringLiteral("&Use LAN"), this);
    m_chkUseLan->setObjectName(QStringLiteral("chkUseLan"));
    m_chkUseLan->setGeometry(Twips::rect(3960, 840, 975, 735));

    addLine(this, 120, 1680, 5040);

    addFieldLabel(QStringLiteral("Server:"), Twips::rect(900, 1860, 735, 255));
    m_txtServer = addTextBox(this, "txtServer", Twips::rect(1740, 1860, 2295, 285));
    addFieldLabel(QStringLiteral("Port:"), Twips::rect(660, 2220, 975, 255));
    m_txtPort = addTextBox(this, "txtPort", Twips::rect(1740, 2220, 1335, 285));
    m_chkFtpTls = new QCheckBox(QStringLiteral("FTP over &TLS"), this);
    m_chkFtpTls->setObjectName(QStringLiteral("chkFtpTls"));
    m_chkFtpTls->setGeometry(Twips::rect(3240, 2220, 1695, 285));

    addLine(this, 180, 2640, 5100);

    m_label7 = new QLabel(noteText(), this);
    m_label7->setObjectName(QStringLiteral("Label7"));
    QFont noteFont(QStringLiteral("Tahoma"));
    noteFont.setPointSizeF(8.25);
    m_label7->setFont(noteFont);
    m_label7->setWordWrap(true);
    m_label7->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label7->setGeometry(Twips::rect(360, 2820, 4395, 1335));

    addFieldLabel(QStringLiteral("Time To Send:"), Twips::rect(360, 4260, 1335, 255));
    m_txtTimeToSend = addTextBox(this, "txtTimeToSend", Twips::rect(1800, 4260, 1335, 285));
    addFieldLabel(QStringLiteral("Retry After:"), Twips::rect(480, 4620, 1215, 255));
    m_txtMin = addTextBox(this, "txtMin", Twips::rect(1800, 4620, 495, 285));
    addFieldLabel(QStringLiteral("Minutes"), Twips::rect(2400, 4620, 1215, 255), Qt::AlignLeft);

    m_cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    m_cmdSave->setObjectName(QStringLiteral("cmdSave"));
    m_cmdSave->setGeometry(Twips::rect(2700, 5220, 1695, 495));
    m_cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdCancel->setGeometry(Twips::rect(780, 5220, 1695, 495));

    QWidget* order[] = {m_txtID,     m_txtPass, m_cboConnections, m_chkUseLan,
                        m_txtServer, m_txtPort, m_chkFtpTls,      m_txtTimeToSend,
                        m_txtMin,    m_cmdSave, m_cmdCancel};
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i)
        setTabOrder(order[i - 1], order[i]);
    m_txtID->setFocus();

    connect(m_chkUseLan, &QCheckBox::toggled, this, &FrmSetup::chkUseLanClick);
    connect(m_cmdSave, &QPushButton::clicked, this, &FrmSetup::cmdSaveClick);
    connect(m_cmdCancel, &QPushButton::clicked, this, &FrmSetup::cmdCancelClick);

    centreFixedWindow(this, 5190, 5850);
}

void FrmSetup::fillConnections() {
    const DialupEntryLister::Result listed = m_lister.listEntries();
    switch (listed.outcome) {
    case DialupEntryLister::Outcome::UnknownSystem:
        m_prompter.inform(
            windowTitleText,
            QStringLiteral("Cannot get names of dial-up connections. Windows major version: ") +
                QString::number(listed.systemVersion),
            Prompter::Icon::Warning);
        m_cboConnections->clear();
        m_chkUseLan->setChecked(true);
        return;
    case DialupEntryLister::Outcome::ListFailed:
        m_prompter.inform(windowTitleText, QStringLiteral("Error connecting."),
                          Prompter::Icon::Critical);
        return;
    case DialupEntryLister::Outcome::Listed:
        break;
    }
    m_cboConnections->clear();
    m_cboConnections->addItems(listed.names);
    // Filling the list chooses nothing.
    m_cboConnections->setCurrentIndex(-1);
    m_cboConnections->clearEditText();
}

void FrmSetup::loadWindow() {
    fillConnections();
    m_settings = ReadSettings(m_iniPath);

    const QString connection = m_settings.connection.shown;
    if (connection.toLower() == QLatin1String("lan")) {
        m_chkUseLan->setChecked(true);
    } else if (!SelectComboItem(m_cboConnections, connection) && !connection.isEmpty()) {
        // An entry this computer does not list is still the stored choice: show it, so that a
        // Save made for another field does not wipe it.
        m_cboConnections->setEditText(connection);
    }

    m_txtID->setText(m_settings.id.shown);
    m_txtPass->setText(m_settings.pass.shown);
    m_txtTimeToSend->setText(m_settings.timeToSend.shown);
    m_txtMin->setText(m_settings.retry.shown);
    m_txtServer->setText(m_settings.server.shown);
    m_txtPort->setText(m_settings.port.shown);
    m_chkFtpTls->setChecked(m_settings.ftpTls);

    chkUseLanClick();
    m_loadedUseLan = m_chkUseLan->isChecked();
    m_loadedConnectionText = m_cboConnections->currentText();
}

bool FrmSetup::SelectComboItem(QComboBox* combo, const QString& sItem) {
    if (sItem.isEmpty()) {
        combo->setCurrentIndex(-1);
        return false;
    }
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).compare(sItem, Qt::CaseInsensitive) == 0) {
            combo->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

void FrmSetup::chkUseLanClick() {
    m_cboConnections->setEnabled(!m_chkUseLan->isChecked());
}

void FrmSetup::cmdSaveClick() {
    // A stored value too long for its field is kept unless the field was changed.
    auto field = [](const QString& key, const QString& text, const SetupValue& loaded) {
        return SetupWrite{key, text, loaded.tooLong && text == loaded.shown};
    };
    const bool useLan = m_chkUseLan->isChecked();
    const QString connectionText = m_cboConnections->currentText();
    const bool connectionUnchanged =
        useLan == m_loadedUseLan && connectionText == m_loadedConnectionText;

    const QList<SetupWrite> writes = {
        field(QStringLiteral("ID"), m_txtID->text(), m_settings.id),
        field(QStringLiteral("Pass"), m_txtPass->text(), m_settings.pass),
        SetupWrite{QStringLiteral("Connection"), useLan ? QStringLiteral("LAN") : connectionText,
                   m_settings.connection.tooLong && connectionUnchanged},
        field(QStringLiteral("TimeToSend"), m_txtTimeToSend->text(), m_settings.timeToSend),
        field(QStringLiteral("Retry"), m_txtMin->text(), m_settings.retry),
        field(QStringLiteral("Server"), m_txtServer->text(), m_settings.server),
        field(QStringLiteral("Port"), m_txtPort->text(), m_settings.port),
        // Written only when changed: an absent key or a value of another spelling stays.
        SetupWrite{QStringLiteral("FtpTls"),
                   m_chkFtpTls->isChecked() ? QStringLiteral("True") : QStringLiteral("False"),
                   m_chkFtpTls->isChecked() == m_settings.ftpTls},
    };
    QString error;
    if (!WriteSettings(m_iniPath, writes, &error)) {
        // Closing now would lose what was typed and look like success.
        m_prompter.inform(windowTitleText,
                          QStringLiteral("The settings could not be saved.\n") + error,
                          Prompter::Icon::Critical);
        return;
    }
    close();
}

void FrmSetup::cmdCancelClick() {
    close();
}
