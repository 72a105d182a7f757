#pragma once

#include <QString>

// What the session asks of the windows around it (the main window, the notice window, the
// program's start-up). The windowed client implements it with its windows; tests record it.
class SessionHost {
public:
    virtual ~SessionHost();

    virtual void showMainWindow() = 0;
    virtual void restoreMainWindow() = 0;
    virtual void minimizeMainWindow() = 0;
    virtual void setCancelEnabled(bool enabled) = 0;
    // Closes the main window through its close request (quietly once Closing is set).
    virtual void unloadMainWindow() = 0;

    // The notice window that reports server trouble.
    virtual void loadNotice() = 0;
    virtual void setNoticeTexts(const QString& retry, const QString& message) = 0;
    // Shows it on top without taking the focus, unless the user hid it a short while ago.
    virtual void bringNoticeForward() = 0;
    virtual void makeNoticeVisible() = 0;
    virtual void hideNotice() = 0;
    virtual void unloadNotice() = 0;

    // Runs the start-up procedure again (the server reported a major failure).
    virtual void restartClient() = 0;
};
