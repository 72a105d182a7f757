#include "client/foundation/protocol/unknowncommands.h"

#include <QStringList>

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
    summary->clear();
    if (m_reported < ReportedPerBurst) {
        ++m_reported;
        return true;
    }
    if (++m_ignored == SummaryEvery)
        *summary = takeSummary();
    return false;
}

QString UnknownCommands::endBurst() {
    m_reported = 0;
    return m_ignored > 0 ? takeSummary() : QString();
}

QString UnknownCommands::takeSummary() {
    const QString line = QStringLiteral("Ignored %1 more unknown commands").arg(m_ignored);
    m_ignored = 0;
    return line;
}
