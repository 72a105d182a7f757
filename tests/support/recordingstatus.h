#pragma once

#include "client/foundation/statuswriter.h"

#include <QStringList>

// Keeps every status line written to it, for tests to read back.
class RecordingStatus : public StatusWriter {
public:
    void writeStatus(const QString& text) override;
    QStringList lines;
};
