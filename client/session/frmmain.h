#pragma once

#include <QRect>
#include <QWidget>

#include <memory>

class ClientApp;
class FtpEventHandler;
class ProgressBar;
class QGroupBox;
class QLabel;
class QListView;
class QPushButton;
class PacedTimer;
class SessionClient;

// The client's main window: the status list, the transfer frame, Cancel and Minimize, and the
// five timers that drive the session.
class frmMain : public QWidget {
    Q_OBJECT
public:
    // Where the transfer display builds its progress bar, in twips on this window (left 180,
    // top 300 inside Frame1).
    static constexpr int ProgressBarTop = 3300;
    static constexpr int ProgressBarLeft = 540;
    static constexpr int ProgressBarWidth = 4935;
    static constexpr int ProgressBarHeight = 375;

    explicit frmMain(ClientApp* app);
    ~frmMain() override;

    // The timers tick for the whole life of the window, but for spltimer, which ticks only
    // while received messages wait; tests leave them stopped and call the session's tick
    // methods themselves.
    void startTimers();

    // The progress bar's place on this window, in pixels.
    QRect progressBarRect() const;

    // The transfer display: the progress bar and the handler of the FTP component's events.
    ProgressBar* progressBar() const;
    FtpEventHandler* transferEvents() const;

    QLabel* lblTitle() const;
    QListView* lstStatus() const;
    QGroupBox* frame1() const;
    QLabel* lblTotalBytes() const;
    QLabel* lblTransfered() const;
    QLabel* lblByteRate() const;
    QPushButton* cmdCancel() const;
    QPushButton* cmdMin() const;

    PacedTimer* tmrPulse() const;
    PacedTimer* spltimer() const;
    PacedTimer* clientspltimer() const;
    PacedTimer* socktimer() const;
    PacedTimer* tmrRetrySec() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showNewestStatus();
    PacedTimer* addTimer(int intervalMs, void (SessionClient::*tick)(),
                         bool (SessionClient::*due)() const);

    ClientApp* m_app;
    QLabel* m_lblTitle;
    QListView* m_lstStatus;
    QGroupBox* m_frame1;
    QLabel* m_lblTotalBytes;
    QLabel* m_lblTransfered;
    QLabel* m_lblByteRate;
    QPushButton* m_cmdCancel;
    QPushButton* m_cmdMin;
    PacedTimer* m_tmrPulse;
    PacedTimer* m_spltimer;
    PacedTimer* m_clientspltimer;
    PacedTimer* m_socktimer;
    PacedTimer* m_tmrRetrySec;
    std::unique_ptr<ProgressBar> m_progressBar;
    FtpEventHandler* m_transferEvents;
};
