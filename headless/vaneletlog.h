#pragma once

#include "client/foundation/statuswriter.h"

#include <QString>

class Clock;

// vanelet's status lines: appended to vanelet.log in the program folder, in the transact.log
// line format, only when logging was asked for on the command line.
class VaneletLog : public StatusWriter {
public:
    VaneletLog(const QString& programFolder, bool enabled, const Clock& clock);
    void writeStatus(const QString& text) override;
    bool enabled() const;
    QString path() const;

private:
    QString m_path;
    bool m_enabled;
    const Clock& m_clock;
};
