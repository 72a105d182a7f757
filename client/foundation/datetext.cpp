#include "client/foundation/datetext.h"

#include <QRegularExpression>

#include <cstring>

namespace DateText {

namespace {
const QDate zeroDate(1899, 12, 30);

// h:mm[:ss] [AM|PM]
bool parseTimePart(const QString& text, QTime* out) {
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*([AaPp][Mm])?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    int hour = m.captured(1).toInt();
    const int minute = m.captured(2).toInt();
    const int second = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const QString ampm = m.captured(4).toUpper();
    if (!ampm.isEmpty()) {
        if (hour < 1 || hour > 12)
            return false;
        if (ampm == QLatin1String("AM"))
            hour = hour == 12 ? 0 : hour;
        else
            hour = hour == 12 ? 12 : hour + 12;
    }
    const QTime time(hour, minute, second);
    if (!time.isValid())
        return false;
    *out = time;
    return true;
}

// Digits go into a small buffer first: values are written a million at a time into .tsv rows,
// and one append costs more than the digits.
char* putNumber(char* to, int value) {
    char digits[12];
    int n = 0;
    unsigned int v = value < 0 ? 0u - unsigned(value) : unsigned(value);
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    if (value < 0)
        *to++ = '-';
    while (n)
        *to++ = digits[--n];
    return to;
}

char* putTwoDigits(char* to, int value) {
    *to++ = char('0' + value / 10);
    *to++ = char('0' + value % 10);
    return to;
}

// The 12-hour clock: "9:05:07 AM", or "9:05 AM" without the seconds; with a fraction of the
// second (ten-millionths, above 0) "9:05:07.1234567 AM".
char* putClock(char* to, const QTime& time, bool withSeconds, int fraction = 0) {
    const int hour = time.hour();
    to = putNumber(to, hour % 12 == 0 ? 12 : hour % 12);
    *to++ = ':';
    to = putTwoDigits(to, time.minute());
    if (withSeconds) {
        *to++ = ':';
        to = putTwoDigits(to, time.second());
    }
    if (fraction > 0) {
        *to++ = '.';
        for (int unit = 1000000; unit > 0; unit /= 10)
            *to++ = char('0' + fraction / unit % 10);
    }
    std::memcpy(to, hour < 12 ? " AM" : " PM", 3);
    return to + 3;
}

void appendClock(QByteArray& out, const QTime& time, bool withSeconds) {
    char text[24];
    out.append(text, putClock(text, time, withSeconds) - text);
}

QString clockText(const QTime& time, bool withSeconds) {
    QByteArray text;
    appendClock(text, time, withSeconds);
    return QString::fromLatin1(text);
}

int expandYear(int year, int digits) {
    if (digits > 2)
        return year;
    // Two-digit years: 00-29 are this century, 30-99 the last one.
    return year < 30 ? 2000 + year : 1900 + year;
}
} // namespace

QString shortDate(const QDate& date) {
    return QStringLiteral("%1/%2/%3").arg(date.month()).arg(date.day()).arg(date.year());
}

QString longTime(const QTime& time) {
    return clockText(time, true);
}

QString logStamp(const QDateTime& when) {
    return shortDate(when.date()) + QLatin1Char(' ') + longTime(when.time()) + QStringLiteral(" :");
}

QString logLine(const QDateTime& when, const QString& text) {
    return logStamp(when) + text;
}

QString dateValue(const QDateTime& value) {
    QByteArray text;
    appendDateValue(text, value.date(), value.time());
    return QString::fromLatin1(text);
}

void appendDateValue(QByteArray& out, const QDate& date, const QTime& time) {
    const bool midnight = time.hour() == 0 && time.minute() == 0 && time.second() == 0;
    const bool withDate = midnight || date != zeroDate;
    char text[48];
    char* to = text;
    if (withDate) {
        int year = 0, month = 0, day = 0;
        date.getDate(&year, &month, &day);
        to = putNumber(to, month);
        *to++ = '/';
        to = putNumber(to, day);
        *to++ = '/';
        to = putNumber(to, year);
    }
    if (!midnight) {
        if (withDate)
            *to++ = ' ';
        to = putClock(to, time, true);
    }
    out.append(text, to - text);
}

void appendExtendedDateValue(QByteArray& out, const QDate& date, const QTime& time,
                             int tenMillionths) {
    char text[56];
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    char* to = putNumber(text, month);
    *to++ = '/';
    to = putNumber(to, day);
    *to++ = '/';
    to = putNumber(to, year);
    if (time.msecsSinceStartOfDay() != 0 || tenMillionths > 0) {
        *to++ = ' ';
        to = putClock(to, time, true, tenMillionths);
    }
    out.append(text, to - text);
}

QString hourMinute(const QTime& time) {
    return clockText(time, false);
}

bool parseDateTime(const QString& text, QDateTime* out) {
    const QString t = text.trimmed();
    static const QRegularExpression us(
        QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{2}|\\d{4})(?:\\s+(.+))?$"));
    static const QRegularExpression iso(
        QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[\\sT]+(.+))?$"));
    QDate date;
    QString rest;
    QRegularExpressionMatch m = us.match(t);
    if (m.hasMatch()) {
        date = QDate(expandYear(m.captured(3).toInt(), m.captured(3).size()), m.captured(1).toInt(),
                     m.captured(2).toInt());
        rest = m.captured(4);
    } else if ((m = iso.match(t)).hasMatch()) {
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        rest = m.captured(4);
    } else {
        QTime time;
        if (!parseTimePart(t, &time))
            return false;
        *out = QDateTime(zeroDate, time);
        return true;
    }
    if (!date.isValid())
        return false;
    QTime time(0, 0);
    if (!rest.isEmpty() && !parseTimePart(rest, &time))
        return false;
    *out = QDateTime(date, time);
    return true;
}

bool parseTimeOfDay(const QString& text, QTime* out) {
    if (parseTimePart(text, out))
        return true;
    QDateTime full;
    if (!parseDateTime(text, &full))
        return false;
    *out = full.time();
    return true;
}

} // namespace DateText
