#include "client/missions/mdbvalues.h"

#include <QVarLengthArray>
#include <QtEndian>

#include <cmath>
#include <cstdlib>

namespace Mdb::Stored {

namespace {

// Type codes shared by the column definitions and the engine's data type list.
constexpr int NumericType = 0x10;
// The engine's codes where its list and the column types part: a 64-bit integer, a decimal.
constexpr int EngineBigInt = 16;
constexpr int EngineDecimal = 20;

void appendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xc0 | c >> 6));
        out.append(char(0x80 | (c & 0x3f)));
    } else if (c < 0x10000) {
        out.append(char(0xe0 | c >> 12));
        out.append(char(0x80 | (c >> 6 & 0x3f)));
        out.append(char(0x80 | (c & 0x3f)));
    } else {
        out.append(char(0xf0 | c >> 18));
        out.append(char(0x80 | (c >> 12 & 0x3f)));
        out.append(char(0x80 | (c >> 6 & 0x3f)));
        out.append(char(0x80 | (c & 0x3f)));
    }
}

bool isHigh(char16_t unit) {
    return unit >= 0xd800 && unit <= 0xdbff;
}

bool isLow(char16_t unit) {
    return unit >= 0xdc00 && unit <= 0xdfff;
}

// A run of ASCII digits, at most 19 of them; false for anything else.
bool readDigits(const char*& p, const char* end, quint64* value) {
    const char* start = p;
    quint64 v = 0;
    while (p < end && *p >= '0' && *p <= '9' && p - start < 19)
        v = v * 10 + quint64(*p++ - '0');
    *value = v;
    return p > start && (p == end || *p < '0' || *p > '9');
}

} // namespace

qint64 timeLine(const QDateTime& value) {
    return (value.date().toJulianDay() - ZeroDateJulianDay) * SecondsPerDay +
           value.time().msecsSinceStartOfDay() / 1000;
}

void appendJet4Text(QByteArray& out, const char* data, size_t size) {
    const auto* b = reinterpret_cast<const unsigned char*>(data);
    QVarLengthArray<char16_t, 256> units;
    // Compressed text holds one byte per character; a zero byte switches between that and two.
    const bool compressedText = size >= 2 && b[0] == 0xff && b[1] == 0xfe;
    bool compressed = compressedText;
    for (size_t i = compressedText ? 2 : 0; i < size;) {
        if (compressedText && b[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            units.append(b[i++]);
        } else if (i + 1 < size) {
            units.append(char16_t(b[i] | b[i + 1] << 8));
            i += 2;
        } else {
            break; // half a character at the end
        }
    }
    for (qsizetype i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (isHigh(unit) && i + 1 < units.size() && isLow(units[i + 1])) {
            appendUtf8(out, 0x10000 + ((char32_t(unit) - 0xd800) << 10) + (units[i + 1] - 0xdc00));
            ++i;
        } else if (isHigh(unit) || isLow(unit)) {
            out.append('?');
        } else {
            appendUtf8(out, unit);
        }
    }
}

bool unwrapCalculated(const char* value, int size, const char** data, int* length) {
    constexpr int Header = 16;
    if (!value || size < Header + 4)
        return false;
    const quint32 stored = qFromLittleEndian<quint32>(value + Header);
    if (stored > quint32(size - Header - 4))
        return false;
    *data = value + Header + 4;
    *length = int(stored);
    return true;
}

int calculatedResultType(const char* resultType, int definedType) {
    if (!resultType)
        return definedType;
    char* end = nullptr;
    const long code = std::strtol(resultType, &end, 10);
    if (end == resultType || *end != '\0')
        return -1;
    switch (code) {
    case 1:  // yes/no
    case 2:  // byte
    case 3:  // integer
    case 4:  // long integer
    case 5:  // currency
    case 6:  // single
    case 7:  // double
    case 8:  // date/time
    case 10: // text
    case 12: // memo
    case 15: // GUID
        return int(code);
    case EngineBigInt:
        // 16 is also the column type of decimals, which a definition may give.
        return definedType == NumericType ? NumericType : BigIntType;
    case EngineDecimal:
        return NumericType;
    default:
        return -1;
    }
}

double Decimal::toDouble() const {
    double value = 0;
    for (const quint32 word : words)
        value = value * 4294967296.0 + double(word);
    value /= std::pow(10.0, scale);
    return negative ? -value : value;
}

bool readNumeric(const unsigned char* data, int size, int scale, Decimal* out) {
    if (size < 17 || scale < 0 || scale > 38)
        return false;
    out->negative = (data[0] & 0x80) != 0;
    out->scale = scale;
    for (int i = 0; i < 4; ++i)
        out->words[i] = qFromLittleEndian<quint32>(data + 1 + 4 * i);
    return true;
}

bool readCalculatedDecimal(const unsigned char* data, int size, Decimal* out) {
    if (size < 16 || data[2] > 28)
        return false;
    out->scale = data[2];
    out->negative = (data[3] & 0x80) != 0;
    const quint64 low = qFromLittleEndian<quint64>(data + 8);
    out->words[0] = 0;
    out->words[1] = qFromLittleEndian<quint32>(data + 4);
    out->words[2] = quint32(low >> 32);
    out->words[3] = quint32(low);
    return true;
}

bool parseExtendedDate(const char* data, int size, ExtendedDate* out) {
    while (size > 0 && (data[size - 1] == '\0' || data[size - 1] == ' '))
        --size;
    const char* p = data;
    const char* end = data + size;
    quint64 days = 0, units = 0, digits = 0;
    if (!readDigits(p, end, &days) || p == end || *p++ != ':' || !readDigits(p, end, &units) ||
        p == end || *p++ != ':' || !readDigits(p, end, &digits) || p != end || digits > 9)
        return false;
    const QDate first(1, 1, 1);
    const quint64 lastDay = quint64(first.daysTo(QDate(9999, 12, 31)));
    quint64 perSecond = 1;
    for (quint64 i = 0; i < digits; ++i)
        perSecond *= 10;
    const quint64 seconds = units / perSecond;
    if (days > lastDay || seconds >= 86400)
        return false;
    quint64 fraction = units % perSecond;
    for (quint64 i = digits; i < 7; ++i)
        fraction *= 10;
    for (quint64 i = 7; i < digits; ++i)
        fraction /= 10;
    out->date = first.addDays(qint64(days));
    out->time = QTime::fromMSecsSinceStartOfDay(int(seconds) * 1000);
    out->tenMillionths = int(fraction);
    return true;
}

} // namespace Mdb::Stored
