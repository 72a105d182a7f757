#pragma once

#include "setup/setupsettings.h"

#include <QWidget>

class DialupEntryLister;
class Prompter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The settings dialog: shows section "system" of skyvane.ini and writes it back on Save.
class FrmSetup : public QWidget {
    Q_OBJECT
public:
    // Builds the window and fills it from the settings file at iniPath.
    FrmSetup(const QString& iniPath, DialupEntryLister& lister, Prompter& prompter,
             QWidget* parent = nullptr);

    // Selects the first item equal to sItem without regard to case. An empty sItem clears the
    // selection. Returns whether an item was selected.
    static bool SelectComboItem(QComboBox* combo, const QString& sItem);

    // The note about the launcher, shown above the send time.
    static QString noteText();

private slots:
    void chkUseLanClick();
    void cmdSaveClick();
    void cmdCancelClick();

private:
    void buildControls();
    QLabel* addFieldLabel(const QString& caption, const QRect& where,
                          Qt::Alignment alignment = Qt::AlignRight);
    void loadWindow();
    void fillConnections();

    QString m_iniPath;
    DialupEntryLister& m_lister;
    Prompter& m_prompter;
    SetupSettings m_settings;
    bool m_loadedUseLan = false;
    QString m_loadedConnectionText;

    QLineEdit* m_txtID = nullptr;
    QLineEdit* m_txtPass = nullptr;
    QComboBox* m_cboConnections = nullptr;
    QCheckBox* m_chkUseLan = nullptr;
    QCheckBox* m_chkFtpTls = nullptr;
    QLineEdit* m_txtServer = nullptr;
    QLineEdit* m_txtPort = nullptr;
    QLabel* m_label7 = nullptr;
    QLineEdit* m_txtTimeToSend = nullptr;
    QLineEdit* m_txtMin = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
