#include "client/foundation/repeatcollapser.h"

#include <algorithm>

namespace {
// Texts that change with every attempt would never repeat: keep only the latest few.
constexpr int TrackedTexts = 16;
} // namespace

QStringList RepeatCollapser::take(const QString& text, const QDateTime& now) {
    const auto seen =
        std::find_if(m_seen.begin(), m_seen.end(), [&](const Seen& s) { return s.text == text; });
    if (seen != m_seen.end()) {
        ++seen->repeats;
        if (!m_countingSince.isValid())
            m_countingSince = now;
        if (m_countingSince.msecsTo(now) < SummaryIntervalMs)
            return {};
        m_countingSince = now;
        return takeCounts();
    }
    QStringList lines = takeCounts();
    m_countingSince = QDateTime();
    lines << text;
    m_seen.append(Seen{text, 0});
    if (m_seen.size() > TrackedTexts)
        m_seen.removeFirst();
    return lines;
}

QStringList RepeatCollapser::end() {
    QStringList lines = takeCounts();
    m_seen.clear();
    m_countingSince = QDateTime();
    return lines;
}

QStringList RepeatCollapser::takeCounts() {
    QStringList lines;
    for (Seen& seen : m_seen) {
        if (seen.repeats == 0)
            continue;
        lines << seen.text + QStringLiteral(" [repeated %1 times]").arg(seen.repeats);
        seen.repeats = 0;
    }
    return lines;
}
