#include "headless/vaneletlog.h"

#include "client/foundation/logfile.h"
#include "client/foundation/paths.h"

VaneletLog::VaneletLog(const QString& programFolder, bool enabled, const Clock& clock)
    : m_path(Paths::join(programFolder, QStringLiteral("vanelet.log"))), m_enabled(enabled),
      m_clock(clock) {}

void VaneletLog::writeStatus(const QString& text) {
    if (!m_enabled)
        return;
    appendLogLine(m_path, text, m_clock);
}

bool VaneletLog::enabled() const {
    return m_enabled;
}

QString VaneletLog::path() const {
    return m_path;
}
