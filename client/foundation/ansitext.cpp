#include "client/foundation/ansitext.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace AnsiText {

#ifdef Q_OS_WIN

QByteArray encode(QStringView text) {
    if (text.isEmpty())
        return {};
    // A character beyond 16 bits is one "?", as on every other platform; some versions of the
    // conversion make two of its pair of code units.
    QString units = text.toString();
    for (qsizetype i = units.size() - 1; i > 0; --i) {
        if (units[i].isLowSurrogate() && units[i - 1].isHighSurrogate())
            units.replace(--i, 2, QLatin1Char('?'));
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(units.utf16());
    const int length = int(units.size());
    // No best-fit look-alikes: what the code page lacks is "?", as on every other platform.
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "?", nullptr);
    QByteArray out(size, Qt::Uninitialized);
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, out.data(), size, "?", nullptr);
    return out;
}

QString decode(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return {};
    const int length = int(bytes.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    QString out(size, Qt::Uninitialized);
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(out.data()),
                        size);
    return out;
}

void appendFromUtf8(QByteArray& out, QByteArrayView utf8) {
    out.append(encode(QString::fromUtf8(utf8)));
}

#else

namespace {

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined keep their C1 code, as
// Windows maps them, so that every byte comes back as it was.
constexpr char16_t High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                               0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char encodeOne(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i) {
        if (High[i] == c)
            return char(0x80 + i);
    }
    return '?';
}

} // namespace

QByteArray encode(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // one character outside the code page, one "?"
            out += '?';
        } else {
            out += encodeOne(c.unicode());
        }
    }
    return out;
}

QString decode(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* to = out.data();
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *to++ = QChar(b >= 0x80 && b < 0xA0 ? High[b - 0x80] : char16_t(b));
    }
    return out;
}

// Well-formed UTF-8 is read here; anything else (an overlong form, a surrogate, a cut sequence)
// goes the long way, which decides how many "?" it makes. So does a leading byte-order mark,
// which the long way drops.
void appendFromUtf8(QByteArray& out, QByteArrayView utf8) {
    const qsizetype start = out.size();
    out.resize(start + utf8.size()); // one byte per character, never more than its UTF-8 bytes
    char* to = out.data() + start;
    const auto* b = reinterpret_cast<const unsigned char*>(utf8.data());
    const qsizetype size = utf8.size();
    for (qsizetype i = 0; i < size;) {
        const unsigned char lead = b[i];
        if (lead < 0x80) {
            *to++ = char(lead);
            ++i;
            continue;
        }
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        bool wellFormed = length > 0 && lead <= 0xF4 && i + length <= size;
        char32_t c = lead & (0x7F >> length);
        for (int k = 1; wellFormed && k < length; ++k) {
            wellFormed = (b[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (b[i + k] & 0x3F);
        }
        const char32_t lowest = length == 4 ? 0x10000 : length == 3 ? 0x800 : 0x80;
        if (!wellFormed || c < lowest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ||
            (i == 0 && c == 0xFEFF)) {
            out.truncate(start);
            out.append(encode(QString::fromUtf8(utf8)));
            return;
        }
        *to++ = c > 0xFFFF ? '?' : encodeOne(c);
        i += length;
    }
    out.truncate(to - out.constData());
}

#endif

} // namespace AnsiText
