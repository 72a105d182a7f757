#include "setup/frmpass.h"

#include "client/foundation/prompter.h"
#include "client/widgets/twips.h"
#include "client/widgets/windowplace.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString accessCode = QStringLiteral("qelvorn");
} // namespace

FrmPass::FrmPass(Prompter& prompter, QWidget* parent) : QWidget(parent), m_prompter(prompter) {
    setObjectName(QStringLiteral("frmPass"));
    setWindowTitle(QStringLiteral("Enter Password"));

    auto* label = new QLabel(QStringLiteral("Password:"), this);
    label->setGeometry(Twips::rect(360, 240, 1815, 255));

    m_txtPass = new QLineEdit(this);
    m_txtPass->setObjectName(QStringLiteral("txtPass"));
    m_txtPass->setGeometry(Twips::rect(360, 480, 3495, 285));
    m_txtPass->setEchoMode(QLineEdit::Password);
    m_txtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    m_cmdPass = new QPushButton(QStringLiteral("&OK"), this);
    m_cmdPass->setObjectName(QStringLiteral("cmdPass"));
    m_cmdPass->setGeometry(Twips::rect(2520, 840, 1335, 495));

    setTabOrder(m_txtPass, m_cmdPass);
    m_txtPass->setFocus();

    connect(m_txtPass, &QLineEdit::returnPressed, m_cmdPass, &QPushButton::click);
    connect(m_cmdPass, &QPushButton::clicked, this, &FrmPass::cmdPassClick);

    centreFixedWindow(this, 4260, 1485);
}

void FrmPass::cmdPassClick() {
    // Case does not matter; blanks do.
    if (m_txtPass->text().toLower() == accessCode) {
        // The dialog opens before the prompt closes, so the program never stands without a window.
        emit accessGranted();
        close();
        return;
    }
    m_prompter.inform(QStringLiteral("Skyvane Setup"), QStringLiteral("Password Failed"),
                      Prompter::Icon::Critical);
    close();
}
