#pragma once

#include <QWidget>

class Prompter;
class QLineEdit;
class QPushButton;

// The access prompt that opens svSetup: one attempt per run.
class FrmPass : public QWidget {
    Q_OBJECT
public:
    explicit FrmPass(Prompter& prompter, QWidget* parent = nullptr);

signals:
    // The right code was typed; the settings dialog is due. The prompt closes right after.
    void accessGranted();

private slots:
    void cmdPassClick();

private:
    Prompter& m_prompter;
    QLineEdit* m_txtPass;
    QPushButton* m_cmdPass;
};
