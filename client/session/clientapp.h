#pragma once

#include "client/session/frmnoserv.h"
#include "client/session/sessionclient.h"
#include "client/session/sessionhost.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class Clock;
class Dialler;
class FtpClient;
class SessionProcedures;
class SingleInstance;
class frmMain;
class frmRetryIn;

// The windowed client: its start-up procedure, its windows, and what the main window's Cancel,
// close request and terminate do.
class ClientApp : public QObject, public SessionHost {
    Q_OBJECT
public:
    struct Options {
        QStringList arguments;                   // the command line after the program's path
        Dialler* dialler = nullptr;              // the platform's back end, or a fake
        SessionProcedures* procedures = nullptr; // null: reported as not available
        const Clock* clock = nullptr;
        bool singleInstance = true; // guard against a second copy in the program folder
        bool runTimers = true;      // tests leave the timers stopped and call the ticks
    };

    explicit ClientApp(const Options& options, QObject* parent = nullptr);
    ~ClientApp() override;

    // The FTP component whose events drive the main window's transfer display.
    void setTransferComponent(FtpClient* ftp);

    // Returns false when an earlier instance was brought forward and this one must end.
    bool StartClient();
    // The main window's terminate: the last steps before the program ends.
    void terminate();

    // The main window's close request: true lets the window close.
    bool closeRequest();
    void mainWindowClosed(frmMain* window);
    void cancelClicked();
    void retryChosen(const QString& minutes);

    SessionClient& session();
    NoticeState& noticeState();
    frmMain* mainWindow() const;
    frmNoServ* noticeWindow() const;
    frmRetryIn* retryWindow() const;

    // SessionHost
    void showMainWindow() override;
    void restoreMainWindow() override;
    void minimizeMainWindow() override;
    void setCancelEnabled(bool enabled) override;
    void unloadMainWindow() override;
    void loadNotice() override;
    void setNoticeTexts(const QString& retry, const QString& message) override;
    void bringNoticeForward() override;
    void makeNoticeVisible() override;
    void hideNotice() override;
    void unloadNotice() override;
    void restartClient() override;

private:
    bool startClient(bool restart);
    void unloadRetryChooser();
    void connectTransferDisplay();
    void bringMainWindowForward();
    bool connectionIsExactlyLan() const;

    Options m_options;
    SessionClient m_session;
    NoticeState m_noticeState;
    SingleInstance* m_instance = nullptr;
    QPointer<frmMain> m_main;
    QPointer<frmNoServ> m_notice;
    QPointer<frmRetryIn> m_retry;
    bool m_terminated = false;
    FtpClient* m_ftp = nullptr;
};
