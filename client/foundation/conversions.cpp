#include "client/foundation/conversions.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace Convert {

namespace {
bool toNumber(const QString& text, double* out) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(value))
        return false;
    *out = value;
    return true;
}

bool toRoundedInRange(const QString& text, double low, double high, double* out) {
    double value = 0;
    if (!toNumber(text, &value))
        return false;
    const double rounded = std::nearbyint(value); // default rounding mode: half to even
    if (rounded < low || rounded > high)
        return false;
    *out = rounded;
    return true;
}
} // namespace

bool toBoolean(const QString& text, bool* out) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        *out = true;
        return true;
    }
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        *out = false;
        return true;
    }
    double value = 0;
    if (!toNumber(t, &value))
        return false;
    *out = value != 0;
    return true;
}

bool toInt32(const QString& text, qint32* out) {
    double value = 0;
    if (!toRoundedInRange(text, std::numeric_limits<qint32>::min(),
                          std::numeric_limits<qint32>::max(), &value))
        return false;
    *out = static_cast<qint32>(value);
    return true;
}

bool toInt16(const QString& text, qint16* out) {
    double value = 0;
    if (!toRoundedInRange(text, std::numeric_limits<qint16>::min(),
                          std::numeric_limits<qint16>::max(), &value))
        return false;
    *out = static_cast<qint16>(value);
    return true;
}

} // namespace Convert
