#include "client/missions/getdata.h"

#include "client/foundation/ansitext.h"
#include "client/foundation/conversions.h"
#include "client/foundation/datetext.h"
#include "client/foundation/fullwrite.h"
#include "client/foundation/paths.h"
#include "client/foundation/profilefile.h"
#include "client/foundation/replacingfile.h"
#include "client/foundation/statuswriter.h"
#include "client/foundation/trimdown.h"
#include "client/missions/mdbreader.h"
#include "client/missions/missionfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <exception>
#include <functional>
#include <vector>

namespace {

const QString MissionSection = QStringLiteral("Mission");
const QString TsdSection = QStringLiteral("TSD");
constexpr int KeyBufferSize = 1024;
constexpr qsizetype OutputChunk = 256 * 1024;

QString readKey(const QString& path, const QString& section, const QString& key,
                const QString& defaultValue) {
    return trimdown(ProfileFile::readBuffer(path, section, key, defaultValue, KeyBufferSize));
}

// Lists are split at every comma and the pieces kept exactly as written, blanks included.
QStringList splitList(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char(','));
}

enum class Letter { Text, Number, Boolean };

struct OutputColumn {
    QString name;    // the DataFields piece as written
    int result = -1; // result column, -1 when the result has none of that name
    bool hasLetter = false;
    Letter letter = Letter::Text;
};

// A DataFields piece names a result column exactly as written; square brackets, which the SQL
// needs around names with blanks, may stay around it.
int resultColumn(const Mdb::Result& result, const QString& piece) {
    if (piece.size() > 2 && piece.startsWith(QLatin1Char('[')) && piece.endsWith(QLatin1Char(']')))
        return result.findColumn(piece.mid(1, piece.size() - 2));
    return result.findColumn(piece);
}

class GetData {
public:
    GetData(const QString& missionPath, StatusWriter& status, const Clock& clock,
            std::function<void()> onProgress)
        : m_missionPath(missionPath), m_status(status), m_clock(clock),
          m_onProgress(std::move(onProgress)) {}

    // Writes the .tsv; the range found is kept for the caller to write into the .tsd.
    void run();
    const GetDataRange& range() const {
        return m_range;
    }
    // After an exception: reports it (the unfinished data file went with the unwinding).
    void abandon(const char* what);

private:
    bool readKeys();
    bool readBoolean(const QString& key, bool* out);
    bool readDate(const QString& key, QDateTime* out);
    QString sqlText() const;
    bool writeRows(Mdb::Result& result, QFileDevice& file, QDateTime* first, QDateTime* last);
    void reportError(const QString& description);

    const QString m_missionPath;
    StatusWriter& m_status;
    const Clock& m_clock;

    QString m_iniPath;
    QString m_tsdPath;
    QString m_tsvPath;
    QString m_mdbName;
    QString m_tableName;
    QString m_dataFields;
    QStringList m_fields;
    QStringList m_types;
    Mdb::Query m_query;
    QString m_keyProblem;
    std::function<void()> m_onProgress;
    GetDataRange m_range;
};

void GetData::reportError(const QString& description) {
    m_status.writeStatus(QStringLiteral("Error in ProcessGetData on ") + m_tableName +
                         QStringLiteral(" error=") + description);
}

bool GetData::readBoolean(const QString& key, bool* out) {
    const QString text = readKey(m_iniPath, MissionSection, key, QStringLiteral("False"));
    if (Convert::toBoolean(text, out))
        return true;
    m_keyProblem = QStringLiteral("%1=%2 is not True or False; mission skipped").arg(key, text);
    return false;
}

bool GetData::readDate(const QString& key, QDateTime* out) {
    const QString today = DateText::shortDate(m_clock.now().date());
    const QString text = readKey(m_iniPath, MissionSection, key, today);
    if (DateText::parseDateTime(text, out))
        return true;
    m_keyProblem = QStringLiteral("%1=%2 is not a date; mission skipped").arg(key, text);
    return false;
}

// The keys in their fixed order; a yes/no or date key that cannot be read stops the reading.
bool GetData::readKeys() {
    m_mdbName = readKey(m_iniPath, MissionSection, QStringLiteral("MDBName"), QString());
    m_tableName = readKey(m_iniPath, MissionSection, QStringLiteral("TableName"), QString());
    m_query.table = m_tableName;
    if (!readBoolean(QStringLiteral("UseTargetStartDate"), &m_query.start.used))
        return false;
    if (m_query.start.used) {
        m_query.start.column =
            readKey(m_iniPath, MissionSection, QStringLiteral("StartDateFieldName"), QString());
        if (!readDate(QStringLiteral("StartDate"), &m_query.start.value))
            return false;
    }
    if (!readBoolean(QStringLiteral("UseTargetEndDate"), &m_query.end.used))
        return false;
    if (m_query.end.used) {
        m_query.end.column =
            readKey(m_iniPath, MissionSection, QStringLiteral("EndDateFieldName"), QString());
        if (!readDate(QStringLiteral("EndDate"), &m_query.end.value))
            return false;
    }
    m_dataFields = readKey(m_iniPath, MissionSection, QStringLiteral("DataFields"), QString());
    // DataFormat is part of the mission layout but decides nothing here.
    readKey(m_iniPath, MissionSection, QStringLiteral("DataFormat"), QString());
    m_types = splitList(readKey(m_tsdPath, TsdSection, QStringLiteral("DataTypes"), QString()));
    m_fields = splitList(m_dataFields);
    m_query.columns = m_fields;
    return true;
}

// The statement the mission stands for, as the status line shows it. Dates have the same form
// as in the .tsd file: the short date, with the time only when it is not midnight.
QString GetData::sqlText() const {
    QString sql = QStringLiteral("Select ") + m_dataFields + QStringLiteral(" From ") + m_tableName;
    const Mdb::DateLimit& start = m_query.start;
    const Mdb::DateLimit& end = m_query.end;
    const QString startPart =
        start.column + QStringLiteral(">=#") + DateText::dateValue(start.value) + QLatin1Char('#');
    const QString endPart =
        end.column + QStringLiteral("<=#") + DateText::dateValue(end.value) + QLatin1Char('#');
    if (start.used && end.used)
        sql += QStringLiteral(" Where ") + startPart + QStringLiteral(" And ") + endPart +
               QStringLiteral(" Order By ") + start.column;
    else if (start.used)
        sql += QStringLiteral(" Where ") + startPart + QStringLiteral(" Order By ") + start.column;
    else if (end.used)
        sql += QStringLiteral(" Where ") + endPart + QStringLiteral(" Order By ") + end.column;
    return sql + QLatin1Char(';');
}

// Writes every row of the result, one line each. Returns false, having reported why, when the
// file cannot be written or the database cannot be read to the end: the caller then keeps
// neither the file nor a date range.
bool GetData::writeRows(Mdb::Result& result, QFileDevice& file, QDateTime* first, QDateTime* last) {
    std::vector<OutputColumn> columns;
    for (int i = 0; i < m_fields.size(); ++i) {
        OutputColumn column;
        column.name = m_fields.at(i);
        column.result = resultColumn(result, column.name);
        column.hasLetter = i < m_types.size();
        if (column.hasLetter) {
            const QString letter = m_types.at(i).toLower();
            if (letter == QLatin1String("n"))
                column.letter = Letter::Number;
            else if (letter == QLatin1String("b"))
                column.letter = Letter::Boolean;
        }
        columns.push_back(column);
    }
    const int last_index = int(columns.size()) - 1;
    const bool startUsed = m_query.start.used;
    const bool endUsed = m_query.end.used;
    const qint64 rowCount = result.rowCount();

    // Rows gather in one buffer that goes to the file a chunk at a time: a write per row cost
    // more than a row's values.
    QByteArray out;
    out.reserve(OutputChunk + 4096);
    QByteArray line;
    // Where each column's text begins in the line being written.
    std::vector<qsizetype> valueStarts(columns.size());
    const auto flush = [&] {
        if (!writeFully(file, out.constData(), out.size())) {
            reportError(QStringLiteral("cannot write %1: %2").arg(m_tsvPath, file.errorString()));
            return false;
        }
        out.truncate(0);
        return true;
    };
    qint64 index = 0;
    do {
        // The date range: the ordering column of the first row; of the last row the end
        // column when the end limit is used, else the start column.
        if (index == 0 && (startUsed || endUsed))
            *first = startUsed ? result.startValue() : result.endValue();
        if (index == rowCount - 1)
            *last = endUsed ? result.endValue() : result.startValue();

        const qsizetype lineStart = out.size();
        for (int i = 0; i <= last_index; ++i) {
            const OutputColumn& column = columns[size_t(i)];
            valueStarts[size_t(i)] = out.size();
            if (!column.hasLetter)
                reportError(QStringLiteral("DataTypes has no type letter for column %1 (%2)")
                                .arg(i + 1)
                                .arg(column.name));
            if (column.result < 0) {
                // Neither the text nor its TAB: the line is one field shorter.
                reportError(QStringLiteral("column '%1' of DataFields is not in the result")
                                .arg(column.name));
                continue;
            }
            if (!result.isNull(column.result))
                result.appendText(column.result, out);
            else if (column.letter == Letter::Number)
                out.append('0');
            else if (column.letter == Letter::Boolean)
                out.append("False");
            if (i < last_index)
                out.append('\t');
        }
        const QByteArrayView written = QByteArrayView(out).sliced(lineStart);
        const bool lineEnds = written.contains('\r');
        // The reader gives UTF-8; the .tsv holds the same ANSI bytes on every platform. Whatever
        // the reader gives, a NUL never reaches the file: the office's readers end a line there.
        const bool ansi = std::any_of(written.cbegin(), written.cend(),
                                      [](char c) { return (c & 0x80) || c == '\0'; });
        const qsizetype nul = ansi ? written.indexOf('\0') : -1;
        if (nul >= 0) {
            int i = last_index;
            while (i > 0 && valueStarts[size_t(i)] > lineStart + nul)
                --i;
            reportError(QStringLiteral("column '%1' of %2 holds a NUL character, which a .tsv "
                                       "line cannot hold")
                            .arg(columns[size_t(i)].name, m_tableName));
            return false;
        }
        if (lineEnds || ansi) {
            line = written.toByteArray();
            out.truncate(lineStart);
            if (lineEnds)
                line.replace("\r\n", " ");
            if (ansi)
                AnsiText::appendFromUtf8(out, line);
            else
                out.append(line);
        }
        out.append("\r\n");
        if (out.size() >= OutputChunk && !flush())
            return false;
        ++index;
    } while (result.next());
    if (!out.isEmpty() && !flush())
        return false;
    if (!result.error().isEmpty()) {
        reportError(result.error());
        return false;
    }
    return true;
}

void GetData::run() {
    m_iniPath = Paths::toNative(m_missionPath);
    m_tsdPath = MissionFiles::companion(m_iniPath, QStringLiteral(".tsd"));
    m_tsvPath = MissionFiles::companion(m_iniPath, QStringLiteral(".tsv"));
    if (!readKeys()) {
        reportError(m_keyProblem);
        return;
    }

    const QString mdbPath = Paths::toNative(m_mdbName);
    if (m_mdbName.isEmpty() || !QFileInfo(mdbPath).isFile()) {
        m_status.writeStatus(QStringLiteral("Error Getting ") + m_tableName +
                             QStringLiteral(" can't find .mdb file"));
        return;
    }

    // From here on a failing step is reported and the next step runs.
    Mdb::Database database;
    database.setProgress(m_onProgress);
    QString error;
    if (!database.open(mdbPath, &error))
        reportError(error);

    const QString sql = sqlText();
    std::unique_ptr<Mdb::Result> result = database.execute(m_query, &error);
    if (!result) {
        m_status.writeStatus(QStringLiteral("Error Opening rs for ") + m_tableName +
                             QStringLiteral(" error=") + error);
        m_status.writeStatus(QStringLiteral("SQL=") + sql);
        return;
    }

    if (QFile::exists(m_tsvPath) && !QFile::remove(m_tsvPath))
        reportError(QStringLiteral("cannot delete %1").arg(m_tsvPath));

    if (!result->next()) {
        // An empty result leaves no data file and the .tsd as delivered.
        if (!result->error().isEmpty())
            reportError(result->error());
        return;
    }

    // Written under a temporary name and renamed into place once whole: a partial file would
    // pass for the whole range, and one that cannot be removed would go back to the office.
    ReplacingFile file(m_tsvPath);
    if (!file.open()) {
        reportError(QStringLiteral("cannot create %1: %2").arg(m_tsvPath, file.errorString()));
        return;
    }
    QDateTime first;
    QDateTime last;
    bool written = writeRows(*result, file.device(), &first, &last);
    if (written && !file.commit()) {
        reportError(QStringLiteral("cannot write %1: %2").arg(m_tsvPath, file.errorString()));
        written = false;
    }
    if (!written) {
        // The .tsd keeps its dates so that the range is asked for again.
        file.cancelWriting();
        if (QFileInfo::exists(file.temporaryName()))
            reportError(QStringLiteral("cannot remove the unfinished %1; it is not sent and goes "
                                       "at the next start")
                            .arg(file.temporaryName()));
        return;
    }
    if (m_query.start.used || m_query.end.used) {
        m_range.found = true;
        m_range.first = DateText::dateValue(first);
        m_range.last = DateText::dateValue(last);
    }
}

void GetData::abandon(const char* what) {
    reportError(QString::fromLocal8Bit(what));
}

} // namespace

GetDataRange ExtractGetData(const QString& missionPath, StatusWriter& status, const Clock& clock,
                            std::function<void()> onProgress) {
    GetData getData(missionPath, status, clock, std::move(onProgress));
    // One mission's failure must never end the run of the others.
    try {
        getData.run();
    } catch (const std::exception& e) {
        getData.abandon(e.what());
        return GetDataRange();
    }
    return getData.range();
}

void ProcessGetData(const QString& missionPath, StatusWriter& status, const Clock& clock) {
    status.writeStatus(QStringLiteral("Working On ") + missionPath + QStringLiteral(", GetData"));
    WriteGetDataRange(missionPath, ExtractGetData(missionPath, status, clock, nullptr), status);
}
