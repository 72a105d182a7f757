#pragma once

#include <QByteArray>
#include <QtGlobal>

// Text of stored values as the database engine converts them, appended in ASCII.
namespace ValueText {

void appendInteger(QByteArray& out, qint64 value);
// 15 significant digits, no trailing zeros; exponent form (1.5E+20, 1E-05) for exponents from
// 15 up and below -4, as the engine's text conversion writes a double.
void appendDouble(QByteArray& out, double value);
// The same with 7 significant digits, exponent form from 7 up.
void appendSingle(QByteArray& out, float value);
// Currency: a 64-bit count of ten-thousandths, written without trailing zeros.
void appendCurrency(QByteArray& out, qint64 tenThousandths);
// A scaled decimal: a magnitude of up to 128 bits (four 32-bit words, the most significant first)
// with `scale` of its digits after the point (0 to 38), written without trailing zeros.
void appendDecimal(QByteArray& out, const quint32 words[4], int scale, bool negative);
void appendHex(QByteArray& out, const char* data, int size);
// {00000000-0000-0000-0000-000000000000} from 16 bytes, the first three groups little-endian.
void appendGuid(QByteArray& out, const unsigned char* bytes);

} // namespace ValueText
