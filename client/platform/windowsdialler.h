#pragma once

#include "client/platform/dialler.h"

// Dials through the Windows internet dialling calls, unattended; lists the phone-book entries.
class WindowsDialler : public Dialler {
public:
    quint32 dial(const QString& connection, Handle* handle) override;
    quint32 hangUp(Handle handle) override;
    QStringList connections() override;
};
