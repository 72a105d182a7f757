#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QtGlobal>

#include <cstddef>

// Stored forms of values that the reading library leaves to us: Jet 4 text, the wrapper of a
// calculated column's values, scaled decimals and extended dates.
namespace Mdb::Stored {

// Stored dates count days from 12/30/1899, this Julian day, with the time as the fraction.
constexpr qint64 ZeroDateJulianDay = 2415019;
constexpr qint64 SecondsPerDay = 86400;
// Seconds on one time line: dates compare to the second, the precision at which they are written.
qint64 timeLine(const QDateTime& value);

// Column types the library's list leaves out.
constexpr int BigIntType = 0x13;       // 64-bit integer
constexpr int ExtendedDateType = 0x14; // date and time to the ten-millionth of a second

// Appends Jet 4 text (UCS-2, or the compressed form after FF FE) as UTF-8. A character beyond 16
// bits (a pair of surrogates) becomes its four bytes; half a pair becomes "?".
void appendJet4Text(QByteArray& out, const char* data, size_t size);

// A calculated column keeps the result of its expression in a wrapper: 16 bytes of its own, the
// result's length (32 bits), then the result in the form of its type. False when the value is
// not such a wrapper.
bool unwrapCalculated(const char* value, int size, const char** data, int* length);

// The type of a calculated column's results from its ResultType property (the engine's data type
// code), or the type of its definition when it has none; -1 for a code of no known type.
int calculatedResultType(const char* resultType, int definedType);

// A scaled decimal: a magnitude of up to 128 bits, the most significant word first.
struct Decimal {
    quint32 words[4] = {0, 0, 0, 0};
    int scale = 0;
    bool negative = false;
    double toDouble() const;
};
// A decimal column's value: a sign byte, then four little-endian words, the most significant
// first (17 bytes); the scale is the column's.
bool readNumeric(const unsigned char* data, int size, int scale, Decimal* out);
// A calculated decimal result: two unused bytes, the scale, the sign, then the high 32 and the low
// 64 bits of the magnitude, little-endian (16 bytes).
bool readCalculatedDecimal(const unsigned char* data, int size, Decimal* out);

// An extended date/time value: ASCII "days:units:digits" (zeros in front, NULs after): the days
// since 1/1/1, the time of day in units of 10^-digits seconds.
struct ExtendedDate {
    QDate date;
    QTime time; // to the second
    int tenMillionths = 0;
};
bool parseExtendedDate(const char* data, int size, ExtendedDate* out);

} // namespace Mdb::Stored
