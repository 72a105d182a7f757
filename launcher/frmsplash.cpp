#include "launcher/frmsplash.h"

#include "client/foundation/version.h"
#include "client/widgets/windowplace.h"
#include "launcher/launchschedule.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

FrmSplash::FrmSplash(LaunchSchedule& schedule, QWidget* parent)
    : QWidget(parent), m_schedule(schedule) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Chronaut - Main Screen"));

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);

    auto* image = new QLabel(frame);
    image->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(64, 64));
    image->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(QStringLiteral("Skyvane Launcher"), frame);
    QFont titleFont(QStringLiteral("Tahoma"));
    titleFont.setPointSizeF(20.25);
    titleFont.setBold(true);
    title->setFont(titleFont);

    m_lblVersion = new QLabel(frame);
    m_lblVersion->setObjectName(QStringLiteral("lblVersion"));
    m_lblVersion->setAlignment(Qt::AlignRight);
    auto* platform =
        new QLabel(QStringLiteral("Designed for Microsoft Windows Operating Systems."), frame);
    m_lblStatus = new QLabel(frame);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(m_lblVersion);
    texts->addStretch();
    texts->addWidget(platform);
    texts->addWidget(m_lblStatus);
    auto* inside = new QHBoxLayout(frame);
    inside->addWidget(image);
    inside->addLayout(texts, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame);

    m_lblVersion->setText(QStringLiteral("Version ") + Versions::SvLaunch.text());
    m_lblStatus->setText(QStringLiteral("Loading Skyvane Launcher into Memory, TSR"));

    setFixedSize(440, 200);
    centreOnScreen(this);

    m_tmrSplash = new QTimer(this);
    m_tmrSplash->setObjectName(QStringLiteral("tmrSplash"));
    m_tmrSplash->setInterval(3000);
    connect(m_tmrSplash, &QTimer::timeout, this, &FrmSplash::tmrSplashTick);
    m_tmrMinute = new QTimer(this);
    m_tmrMinute->setObjectName(QStringLiteral("tmrMinute"));
    m_tmrMinute->setInterval(60000);
    connect(m_tmrMinute, &QTimer::timeout, this, &FrmSplash::tmrMinuteTick);
    m_tmrSplash->start();
    m_tmrMinute->start();
}

QTimer* FrmSplash::splashTimer() const {
    return m_tmrSplash;
}

QTimer* FrmSplash::minuteTimer() const {
    return m_tmrMinute;
}

void FrmSplash::tmrSplashTick() {
    hide();
    m_tmrSplash->stop();
}

void FrmSplash::tmrMinuteTick() {
    m_schedule.minuteTick();
}
