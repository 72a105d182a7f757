#include "client/foundation/protocol/unknowncommands.h"

#include <QStringList>

UnknownCommands::UnknownCommands(const Clock* clock)
    : m_budget(ReportedPerWindow, WindowMs, clock) {}

void UnknownCommands::setClock(const Clock* clock) {
    m_budget.setClock(clock);
}

bool UnknownCommands::isKnown(const QString& code) {
    static const QStringList known = {
        QStringLiteral("E00"), QStringLiteral("E01"), QStringLiteral("E02"), QStringLiteral("E03"),
        QStringLiteral("E06"), QStringLiteral("E07"), QStringLiteral("E08"), QStringLiteral("E09"),
        QStringLiteral("E10"), QStringLiteral("E11"), QStringLiteral("E12"), QStringLiteral("E13"),
        QStringLiteral("E20"), QStringLiteral("E21"), QStringLiteral("E22"), QStringLiteral("E23"),
        QStringLiteral("E30"), QStringLiteral("E37")};
    return known.contains(code);
}

bool UnknownCommands::admit(QString* summary) {
    const bool report = m_budget.admit();
    *summary = summaryLine(m_budget.takeDue());
    return report;
}

QString UnknownCommands::end() {
    return summaryLine(m_budget.takeAll());
}

QString UnknownCommands::summaryLine(qint64 ignored) {
    return ignored > 0 ? QStringLiteral("Ignored %1 more unknown commands").arg(ignored)
                       : QString();
}
