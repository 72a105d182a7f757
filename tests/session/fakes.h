#pragma once

#include "client/platform/dialler.h"
#include "client/session/sessionhost.h"

#include <QList>
#include <QString>
#include <QStringList>

// A dialler that answers from a list and records what it was asked.
class FakeDialler : public Dialler {
public:
    QList<quint32> dialResults; // taken in order; 0 once the list is used up
    quint32 hangUpResult = 0;
    QStringList dialled;
    QList<Handle> hungUp;

    quint32 dial(const QString& connection, Handle* handle) override;
    quint32 hangUp(Handle handle) override;
    QStringList connections() override;
};

// Records what the session asks of its windows.
class RecordingHost : public SessionHost {
public:
    QStringList calls; // "unloadMainWindow", "bringNoticeForward", ...
    QString noticeRetry;
    QString noticeMessage;
    bool cancelEnabled = true;
    bool noticeHidden = false; // as if the user had pressed HIDE
    int noticeShown = 0;

    int count(const QString& call) const;

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
};
