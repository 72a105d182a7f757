#include "client/missions/valuetext.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace ValueText {

namespace {

// %G with the given precision, without the locale's decimal sign: the exponent form switches
// in exactly where the engine's does, and the exponent keeps at least two digits.
template <typename Real> void appendReal(QByteArray& out, Real value, int digits) {
    if (std::isnan(value)) {
        out.append("NaN");
        return;
    }
    if (std::isinf(value)) {
        out.append(value < 0 ? "-Infinity" : "Infinity");
        return;
    }
    if (value == 0) {
        out.append('0');
        return;
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    for (char* p = buffer; p < result.ptr; ++p) {
        if (*p == 'e')
            *p = 'E';
    }
    out.append(buffer, int(result.ptr - buffer));
}

} // namespace

void appendInteger(QByteArray& out, qint64 value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(result.ptr - buffer));
}

void appendDouble(QByteArray& out, double value) {
    appendReal(out, value, 15);
}

void appendSingle(QByteArray& out, float value) {
    appendReal(out, value, 7);
}

void appendCurrency(QByteArray& out, qint64 tenThousandths) {
    const quint64 magnitude =
        tenThousandths < 0 ? 0 - quint64(tenThousandths) : quint64(tenThousandths);
    if (tenThousandths < 0)
        out.append('-');
    char whole[24];
    const auto end = std::to_chars(whole, whole + sizeof whole, magnitude / 10000).ptr;
    out.append(whole, int(end - whole));
    int fraction = int(magnitude % 10000);
    if (fraction == 0)
        return;
    char digits[4];
    for (int i = 3; i >= 0; --i) {
        digits[i] = char('0' + fraction % 10);
        fraction /= 10;
    }
    int length = 4;
    while (digits[length - 1] == '0')
        --length;
    out.append('.');
    out.append(digits, length);
}

void appendDecimal(QByteArray& out, const quint32 words[4], int scale, bool negative) {
    scale = std::clamp(scale, 0, 38);
    const bool isZero = (words[0] | words[1] | words[2] | words[3]) == 0;
    // Digits from the lowest up, nine at a time: the magnitude divided by 10^9 until it is 0.
    quint32 rest[4] = {words[0], words[1], words[2], words[3]};
    char digits[48];
    int count = 0;
    bool zero = false;
    while (!zero) {
        quint64 remainder = 0;
        zero = true;
        for (quint32& word : rest) {
            const quint64 part = (remainder << 32) | word;
            word = quint32(part / 1000000000u);
            remainder = part % 1000000000u;
            zero = zero && word == 0;
        }
        for (int i = 0; i < 9; ++i, remainder /= 10)
            digits[count++] = char('0' + remainder % 10);
    }
    while (count > 1 && digits[count - 1] == '0')
        --count;
    while (count <= scale)
        digits[count++] = '0';
    // Trailing zeros after the point go, and the point with them when nothing follows it.
    int last = 0;
    while (last < scale && digits[last] == '0')
        ++last;
    if (negative && !isZero)
        out.append('-');
    for (int i = count - 1; i >= last; --i) {
        if (i == scale - 1)
            out.append('.');
        out.append(digits[i]);
    }
}

void appendHex(QByteArray& out, const char* data, int size) {
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        out.append(hex[c >> 4]);
        out.append(hex[c & 15]);
    }
}

void appendGuid(QByteArray& out, const unsigned char* bytes) {
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    out.append('{');
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out.append('-');
        appendHex(out, reinterpret_cast<const char*>(bytes + order[i]), 1);
    }
    out.append('}');
}

} // namespace ValueText
