#pragma once

#include <QWidget>

class LaunchSchedule;
class QLabel;
class QTimer;

// The launcher's only window: shown for three seconds at start, then hidden for good while its
// minute timer drives the schedule.
class FrmSplash : public QWidget {
    Q_OBJECT
public:
    explicit FrmSplash(LaunchSchedule& schedule, QWidget* parent = nullptr);

    QTimer* splashTimer() const;
    QTimer* minuteTimer() const;

public slots:
    void tmrSplashTick();
    void tmrMinuteTick();

private:
    LaunchSchedule& m_schedule;
    QLabel* m_lblVersion;
    QLabel* m_lblStatus;
    QTimer* m_tmrSplash;
    QTimer* m_tmrMinute;
};
