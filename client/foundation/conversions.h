#pragma once

#include <QString>

// Text-to-value conversions with the platform's usual rules, used for settings and mission keys.
// Each returns false (and leaves *out alone) when the text is not a value of the type.
namespace Convert {

// "True"/"False" in any case; a number is true unless it is 0.
bool toBoolean(const QString& text, bool* out);
// Whole numbers; a decimal text is rounded half to even, as the platform's integer conversion
// does. Out of range is a failure.
bool toInt32(const QString& text, qint32* out);
bool toInt16(const QString& text, qint16* out);

} // namespace Convert
