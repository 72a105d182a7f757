#include "tests/session/fakes.h"

quint32 FakeDialler::dial(const QString& connection, Handle* handle) {
    dialled << connection;
    const quint32 result = dialResults.isEmpty() ? 0 : dialResults.takeFirst();
    if (result == 0)
        *handle = Handle(dialled.size());
    return result;
}

quint32 FakeDialler::hangUp(Handle handle) {
    hungUp << handle;
    return hangUpResult;
}

QStringList FakeDialler::connections() {
    return {QStringLiteral("Store Modem")};
}

int RecordingHost::count(const QString& call) const {
    return int(calls.count(call));
}

void RecordingHost::showMainWindow() {
    calls << QStringLiteral("showMainWindow");
}

void RecordingHost::restoreMainWindow() {
    calls << QStringLiteral("restoreMainWindow");
}

void RecordingHost::minimizeMainWindow() {
    calls << QStringLiteral("minimizeMainWindow");
}

void RecordingHost::setCancelEnabled(bool enabled) {
    cancelEnabled = enabled;
}

void RecordingHost::unloadMainWindow() {
    calls << QStringLiteral("unloadMainWindow");
}

void RecordingHost::loadNotice() {
    calls << QStringLiteral("loadNotice");
}

void RecordingHost::setNoticeTexts(const QString& retry, const QString& message) {
    noticeRetry = retry;
    noticeMessage = message;
}

void RecordingHost::bringNoticeForward() {
    calls << QStringLiteral("bringNoticeForward");
    if (!noticeHidden)
        ++noticeShown;
}

void RecordingHost::makeNoticeVisible() {
    calls << QStringLiteral("makeNoticeVisible");
}

void RecordingHost::hideNotice() {
    calls << QStringLiteral("hideNotice");
}

void RecordingHost::unloadNotice() {
    calls << QStringLiteral("unloadNotice");
}

void RecordingHost::restartClient() {
    calls << QStringLiteral("restartClient");
}
