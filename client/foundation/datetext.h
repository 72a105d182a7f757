#pragma once

#include <QDateTime>
#include <QString>

// The one owner of every date and time text of the system. The forms are fixed US English on
// every platform, so that logs, .tsv/.tsd files and SQL date literals read the same everywhere.
namespace DateText {

// 12/6/2026
QString shortDate(const QDate& date);
// 9:53:13 AM
QString longTime(const QTime& time);
// "12/6/2026 9:53:13 AM :" - the prefix of every log line.
QString logStamp(const QDateTime& when);
// A log line without its line end: stamp followed directly by the text.
QString logLine(const QDateTime& when, const QString& text);
// A date value as text: the short date, plus " h:mm:ss AM" only when the time is not midnight.
// The zero date (12/30/1899) with a time shows the time alone.
QString dateValue(const QDateTime& value);
// The same text as dateValue, appended in ASCII to out: for bulk output (.tsv rows), where building
// a QDateTime and a QString for every value would cost more than the row itself.
void appendDateValue(QByteArray& out, const QDate& date, const QTime& time);
// A value of the extended date and time type, appended in ASCII: the short date, plus
// " h:mm:ss AM" when the time is not midnight, the seconds followed by the seven digits of their
// fraction (ten-millionths) when it is not zero: 6/17/2020 12:45:00.1250000 PM. The date is always
// written: the type counts from 1/1/1, it has no zero date.
void appendExtendedDateValue(QByteArray& out, const QDate& date, const QTime& time,
                             int tenMillionths);
// 10:15 PM - the launcher's "h:nn AMPM" form.
QString hourMinute(const QTime& time);

// Reads a date text the way people write it in settings and mission files: M/d/yyyy (or yy),
// yyyy-M-d, either optionally followed by a time; or a time alone (then the date is 12/30/1899).
// Returns false for anything else.
bool parseDateTime(const QString& text, QDateTime* out);
// Reads a time of day: h:mm[:ss] with an optional AM/PM (any case), or a full date-time text.
bool parseTimeOfDay(const QString& text, QTime* out);

} // namespace DateText
