#include "client/foundation/cappedlog.h"

#include "client/foundation/logfile.h"

#include <QFileInfo>

CappedLog::CappedLog(const QString& path) : m_path(path), m_budget(LinesPerWindow, WindowMs) {}

void CappedLog::restart() {
    m_capped = false;
    m_budget = LogBudget(LinesPerWindow, WindowMs);
}

void CappedLog::write(const QString& text, const Clock& clock) {
    if (m_capped)
        return;
    m_budget.setClock(&clock);
    const bool admitted = m_budget.admit();
    if (const qint64 held = m_budget.takeDue())
        append(QStringLiteral("[%1 more lines not written: at most %2 a minute]")
                   .arg(held)
                   .arg(LinesPerWindow),
               clock);
    if (admitted)
        append(text, clock);
}

void CappedLog::append(const QString& text, const Clock& clock) {
    if (m_capped)
        return;
    if (QFileInfo(m_path).size() >= MaxBytes) {
        m_capped = true;
        appendLogLine(m_path,
                      QStringLiteral("[this log is capped at %1 KB for a run: nothing more is "
                                     "written to it until the next start]")
                          .arg(MaxBytes / 1024),
                      clock);
        return;
    }
    appendLogLine(m_path, text, clock);
}
