#include "client/session/frmretryin.h"

#include "client/session/clientapp.h"
#include "client/widgets/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

frmRetryIn::frmRetryIn(ClientApp* app) : QWidget(nullptr), m_app(app) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Retry In?"));
    setFixedSize(Twips::toPixels(3600), Twips::toPixels(1800));

    m_lblRetry = new QLabel(QStringLiteral("Retry Skyvane Launch In?"), this);
    m_lblRetry->setGeometry(Twips::rect(240, 180, 3120, 315));
    m_cmbMin = new QComboBox(this);
    m_cmbMin->addItems({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("5"),
                        QStringLiteral("10"), QStringLiteral("15"), QStringLiteral("20")});
    m_cmbMin->setCurrentText(QStringLiteral("5"));
    m_cmbMin->setGeometry(Twips::rect(240, 600, 1095, 375));
    m_label1 = new QLabel(QStringLiteral("Minutes"), this);
    m_label1->setGeometry(Twips::rect(1455, 630, 1215, 315));
    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setGeometry(Twips::rect(1200, 1200, 1215, 375));
    m_cmdOK->setDefault(true);
    connect(m_cmdOK, &QPushButton::clicked, this,
            [this] { m_app->retryChosen(m_cmbMin->currentText()); });
}

frmRetryIn::~frmRetryIn() = default;

QLabel* frmRetryIn::lblRetry() const {
    return m_lblRetry;
}

QComboBox* frmRetryIn::cmbMin() const {
    return m_cmbMin;
}

QLabel* frmRetryIn::label1() const {
    return m_label1;
}

QPushButton* frmRetryIn::cmdOK() const {
    return m_cmdOK;
}
