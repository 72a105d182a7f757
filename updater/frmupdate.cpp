#include "updater/frmupdate.h"

#include "client/foundation/prompter.h"
#include "updater/executableswap.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

frmUpdate::frmUpdate(ExecutableSwap* swap, const QString& commandLine, Prompter* prompter,
                     QWidget* parent)
    : QWidget(parent), m_swap(swap), m_commandLine(commandLine), m_prompter(prompter),
      m_lblStatus(new QLabel(QStringLiteral("Configuring Auto Update..."), this)),
      m_tmrUpdate(new QTimer(this)) {
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Configuring Auto Update - Standby"));
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setFont(QFont(QStringLiteral("MS Sans Serif"), 12, QFont::Normal));
    m_lblStatus->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lblStatus);
    resize(360, 100);

    // Idle until start() sets the interval.
    m_tmrUpdate->setObjectName(QStringLiteral("tmrUpdate"));
    m_tmrUpdate->setInterval(0);
    // A coarse timer may fire a second early; the client is given its full 20 seconds.
    m_tmrUpdate->setTimerType(Qt::PreciseTimer);
    connect(m_tmrUpdate, &QTimer::timeout, this, &frmUpdate::tmrUpdate_Timer);
}

void frmUpdate::start() {
    show();
    repaint();
    m_tmrUpdate->start(WaitMs);
}

QLabel* frmUpdate::lblStatus() const {
    return m_lblStatus;
}

QTimer* frmUpdate::tmrUpdate() const {
    return m_tmrUpdate;
}

bool frmUpdate::failed() const {
    return m_failed;
}

void frmUpdate::tmrUpdate_Timer() {
    m_tmrUpdate->stop();
    QString error;
    if (!m_swap->run(m_commandLine, &error)) {
        m_failed = true;
        if (m_prompter)
            m_prompter->inform(windowTitle(), QStringLiteral("Error in tmrUpdate_Timer: ") + error,
                               Prompter::Icon::Critical);
    }
    // With its only window gone the program ends.
    close();
}
