#include "client/session/frmnoserv.h"

#include "client/session/pacedtimer.h"
#include "client/widgets/twips.h"

#include <QLabel>
#include <QPushButton>

frmNoServ::frmNoServ(NoticeState* state) : QWidget(nullptr), m_state(state) {
    setWindowTitle(QStringLiteral("Skyvane"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(Twips::toPixels(4800), Twips::toPixels(2700));

    m_lblMessage = new QLabel(QStringLiteral("MESSAGE FROM SKYVANE"), this);
    m_lblMessage->setGeometry(Twips::rect(120, 120, 4560, 315));
    m_lblMessage->setAlignment(Qt::AlignCenter);
    QFont bold = m_lblMessage->font();
    bold.setBold(true);
    m_lblMessage->setFont(bold);

    m_retry = new QLabel(this);
    m_retry->setGeometry(Twips::rect(120, 480, 4560, 255));
    m_message = new QLabel(this);
    m_message->setGeometry(Twips::rect(120, 780, 4560, 1215));
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_cmdHide = new QPushButton(QStringLiteral("HIDE"), this);
    m_cmdHide->setGeometry(Twips::rect(1800, 2130, 1215, 375));
    connect(m_cmdHide, &QPushButton::clicked, this, &frmNoServ::onHide);

    m_tmrHideCounter = new PacedTimer(
        1000, [this] { return m_state->hidden; }, this);
    connect(m_tmrHideCounter, &PacedTimer::timeout, this, &frmNoServ::hideCounterTick);
}

frmNoServ::~frmNoServ() = default;

void frmNoServ::startTimer() {
    m_tmrHideCounter->start();
}

void frmNoServ::setTexts(const QString& retry, const QString& message) {
    m_retry->setText(retry);
    m_message->setText(message);
}

void frmNoServ::showOnTop() {
    show();
    raise();
}

void frmNoServ::onHide() {
    m_state->hidden = true;
    m_state->hideCounter = 0;
    hide();
    m_tmrHideCounter->update();
}

void frmNoServ::hideCounterTick() {
    if (!m_state->hidden)
        return;
    if (m_state->hideCounter < HideSeconds) {
        ++m_state->hideCounter;
        return;
    }
    m_state->hidden = false;
    showOnTop();
}

QLabel* frmNoServ::lblMessage() const {
    return m_lblMessage;
}

QLabel* frmNoServ::retry() const {
    return m_retry;
}

QLabel* frmNoServ::message() const {
    return m_message;
}

QPushButton* frmNoServ::cmdHide() const {
    return m_cmdHide;
}

PacedTimer* frmNoServ::tmrHideCounter() const {
    return m_tmrHideCounter;
}
