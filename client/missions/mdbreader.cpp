#include "client/missions/mdbreader.h"

#include "client/missions/mdbpagefile.h"
#include "client/missions/mdbquerydef.h"
#include "client/missions/mdbqueryrun.h"
#include "client/missions/mdbtable.h"

#include <QFile>

namespace Mdb {

namespace {

// A name as the SQL text has it: [anything but brackets], or a plain word of letters, digits
// and underscores. Returns an empty string (and sets *error) for a name the SQL could not hold.
QString sqlName(const QString& written, const QString& what, QString* error) {
    const QString name = written.trimmed();
    if (name.startsWith(QLatin1Char('['))) {
        if (name.size() > 2 && name.endsWith(QLatin1Char(']')) &&
            name.indexOf(QLatin1Char(']')) == name.size() - 1)
            return name.mid(1, name.size() - 2);
        *error = QStringLiteral("syntax error in %1 '%2'").arg(what, written);
        return QString();
    }
    if (name.isEmpty()) {
        *error = QStringLiteral("syntax error: %1 missing").arg(what);
        return QString();
    }
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_')) {
            *error = QStringLiteral("syntax error in %1 '%2' (a name with blanks or signs must be "
                                    "written in square brackets)")
                         .arg(what, written);
            return QString();
        }
    }
    return name;
}

} // namespace

struct Database::Impl {
    MdbHandle* mdb = nullptr;
    PageFile pages;
    std::function<void()> onPageRead;

    // The table, saved query or linked table of that name; nullptr when there is none.
    MdbCatalogEntry* find(const QString& name) const {
        for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if ((e->object_type == MDB_TABLE || e->object_type == MDB_QUERY ||
                 e->object_type == MDB_LINKED_TABLE) &&
                QString::fromUtf8(e->object_name).compare(name, Qt::CaseInsensitive) == 0)
                return e;
        }
        return nullptr;
    }

    std::unique_ptr<Table> openTable(MdbCatalogEntry* entry, QString* error) {
        TableAccess access;
        access.mdb = mdb;
        access.pages = pages.isOpen() ? &pages : nullptr;
        access.onPageRead = onPageRead;
        return Table::open(access, entry, error);
    }

    std::unique_ptr<Result> readTable(MdbCatalogEntry* entry, const Query& query, QString* error);
    std::unique_ptr<Result> runSavedQuery(const QString& name, const Query& query, QString* error);
};

struct Result::Impl {
    enum class Mode { Stored, Ordered, Places };
    struct Column {
        int table = -1;
        int column = -1;
    };

    Mode mode = Mode::Stored;
    std::vector<std::unique_ptr<Table>> tables;
    std::vector<Column> columns; // per result column
    QStringList names;
    Column start; // the limit columns; table -1 when not used
    Column end;
    // Places: where the row of each table lies, tables.size() per row.
    std::vector<quint32> places;
    size_t nextPlace = 0;

    // The columns of a query's result by their names as written ("*" for all of them).
    bool select(const QStringList& written, const QStringList& available, const QString& object,
                const QString& kind, QString* error) {
        if (written.isEmpty()) {
            *error = QStringLiteral("syntax error: no columns to select");
            return false;
        }
        for (const QString& piece : written) {
            if (piece.trimmed() == QLatin1String("*")) {
                for (int i = 0; i < available.size(); ++i) {
                    columns.push_back(Column{-1, i});
                    names << available.at(i);
                }
                continue;
            }
            const QString name = sqlName(piece, QStringLiteral("column name"), error);
            if (name.isEmpty())
                return false;
            int found = -1;
            for (int i = 0; i < available.size() && found < 0; ++i) {
                if (available.at(i).compare(name, Qt::CaseInsensitive) == 0)
                    found = i;
            }
            if (found < 0) {
                *error =
                    QStringLiteral("there is no column '%1' in %2 '%3'").arg(name, kind, object);
                return false;
            }
            columns.push_back(Column{-1, found});
            names << available.at(found);
        }
        return true;
    }
};

Result::Result(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

Result::~Result() = default;

QStringList Result::columnNames() const {
    return d->names;
}

int Result::findColumn(const QString& name) const {
    for (int i = 0; i < d->names.size(); ++i) {
        if (d->names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool Result::next() {
    switch (d->mode) {
    case Impl::Mode::Stored:
        return d->tables[0]->nextStored();
    case Impl::Mode::Ordered:
        return d->tables[0]->nextOrdered();
    case Impl::Mode::Places:
        break;
    }
    const size_t count = d->tables.size();
    if (!error().isEmpty() || d->nextPlace + count > d->places.size())
        return false;
    for (size_t t = 0; t < count; ++t) {
        if (!d->tables[t]->readRow(d->places[d->nextPlace + t]))
            return false;
    }
    d->nextPlace += count;
    return true;
}

qint64 Result::rowCount() const {
    switch (d->mode) {
    case Impl::Mode::Stored:
        return -1;
    case Impl::Mode::Ordered:
        return d->tables[0]->orderedCount();
    case Impl::Mode::Places:
        break;
    }
    return qint64(d->places.size() / d->tables.size());
}

QString Result::error() const {
    for (const auto& table : d->tables) {
        if (!table->error().isEmpty())
            return table->error();
    }
    return QString();
}

bool Result::isNull(int column) const {
    const Impl::Column& c = d->columns.at(size_t(column));
    return d->tables[size_t(c.table)]->isNull(c.column);
}

void Result::appendText(int column, QByteArray& out) const {
    const Impl::Column& c = d->columns.at(size_t(column));
    d->tables[size_t(c.table)]->appendText(c.column, out);
}

QDateTime Result::startValue() const {
    if (d->start.table < 0)
        return QDateTime();
    return d->tables[size_t(d->start.table)]->dateValue(d->start.column);
}

QDateTime Result::endValue() const {
    if (d->end.table < 0)
        return QDateTime();
    return d->tables[size_t(d->end.table)]->dateValue(d->end.column);
}

Database::Database() : d(std::make_unique<Impl>()) {}

Database::~Database() {
    close();
}

bool Database::open(const QString& path, QString* error) {
    close();
    // Without MDB_WRITABLE the file is opened for reading only.
    d->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!d->mdb) {
        *error = QStringLiteral("'%1' cannot be opened as a database").arg(path);
        return false;
    }
    if (!mdb_read_catalog(d->mdb, MDB_ANY)) {
        close();
        *error = QStringLiteral("the catalog of '%1' cannot be read").arg(path);
        return false;
    }
    // Encrypted pages need libmdb's own reading, which decrypts them.
    if (d->mdb->f->db_key == 0)
        d->pages.open(path, int(d->mdb->fmt->pg_size));
    return true;
}

void Database::setProgress(std::function<void()> onPageRead) {
    d->onPageRead = std::move(onPageRead);
}

bool Database::isOpen() const {
    return d->mdb != nullptr;
}

void Database::close() {
    d->pages.close();
    if (d->mdb) {
        mdb_close(d->mdb);
        d->mdb = nullptr;
    }
}

std::unique_ptr<Result> Database::execute(const Query& query, QString* error) {
    if (!d->mdb) {
        *error = QStringLiteral("the database is not open");
        return nullptr;
    }
    const QString name = sqlName(query.table, QStringLiteral("table name"), error);
    if (name.isEmpty())
        return nullptr;
    MdbCatalogEntry* entry = d->find(name);
    if (!entry) {
        *error = QStringLiteral("there is no table or query named '%1'").arg(name);
        return nullptr;
    }
    if (entry->object_type == MDB_LINKED_TABLE) {
        *error =
            QStringLiteral("'%1' is linked to another database and cannot be read here").arg(name);
        return nullptr;
    }
    if (entry->object_type == MDB_QUERY)
        return d->runSavedQuery(QString::fromUtf8(entry->object_name), query, error);
    return d->readTable(entry, query, error);
}

std::unique_ptr<Result> Database::Impl::readTable(MdbCatalogEntry* entry, const Query& query,
                                                  QString* error) {
    std::unique_ptr<Table> table = openTable(entry, error);
    if (!table)
        return nullptr;
    const QString tableName = table->name();
    auto impl = std::make_unique<Result::Impl>();
    QStringList available;
    for (int c = 0; c < table->columnCount(); ++c)
        available << table->columnName(c);
    if (!impl->select(query.columns, available, tableName, QStringLiteral("table"), error))
        return nullptr;
    for (Result::Impl::Column& column : impl->columns)
        column.table = 0;

    const auto limitColumn = [&](const DateLimit& limit, TableLimit* out) {
        if (!limit.used)
            return true;
        const QString name = sqlName(limit.column, QStringLiteral("date column name"), error);
        if (name.isEmpty())
            return false;
        out->column = table->findColumn(name);
        out->value = limit.value;
        if (out->column < 0) {
            *error = QStringLiteral("there is no column '%1' in table '%2'").arg(name, tableName);
            return false;
        }
        if (!table->holdsDates(out->column)) {
            *error = QStringLiteral("data type mismatch: column '%1' of table '%2' does not hold "
                                    "dates")
                         .arg(name, tableName);
            return false;
        }
        if (!limit.value.isValid()) {
            *error = QStringLiteral("the date limit of column '%1' is not a date").arg(name);
            return false;
        }
        return true;
    };
    TableLimit start;
    TableLimit end;
    if (!limitColumn(query.start, &start) || !limitColumn(query.end, &end))
        return nullptr;
    impl->start = Result::Impl::Column{start.column < 0 ? -1 : 0, start.column};
    impl->end = Result::Impl::Column{end.column < 0 ? -1 : 0, end.column};
    if (query.start.used || query.end.used) {
        impl->mode = Result::Impl::Mode::Ordered;
        if (!table->collectOrdered(start, end)) {
            *error = table->error();
            return nullptr;
        }
    }
    impl->tables.push_back(std::move(table));
    return std::unique_ptr<Result>(new Result(std::move(impl)));
}

std::unique_ptr<Result> Database::Impl::runSavedQuery(const QString& name, const Query& query,
                                                      QString* error) {
    TableCatalog catalog;
    catalog.open = [this](const QString& table, QString* openError) -> std::unique_ptr<Table> {
        MdbCatalogEntry* entry = find(table);
        if (!entry || entry->object_type != MDB_TABLE) {
            *openError = QStringLiteral("there is no table named '%1'").arg(table);
            return nullptr;
        }
        return openTable(entry, openError);
    };
    catalog.isQuery = [this](const QString& table) {
        const MdbCatalogEntry* entry = find(table);
        return entry && entry->object_type == MDB_QUERY;
    };
    std::vector<QueryCatalogRow> rows;
    QueryDefinition definition;
    QString unsupported;
    if (!readQueryCatalog(catalog, name, &rows, error))
        return nullptr;
    if (!readQueryDefinition(std::move(rows), &definition, &unsupported)) {
        *error = unsupportedQuery(name, unsupported);
        return nullptr;
    }
    DateLimit start = query.start;
    DateLimit end = query.end;
    for (DateLimit* limit : {&start, &end}) {
        if (!limit->used)
            continue;
        limit->column = sqlName(limit->column, QStringLiteral("date column name"), error);
        if (limit->column.isEmpty())
            return nullptr;
        if (!limit->value.isValid()) {
            *error =
                QStringLiteral("the date limit of column '%1' is not a date").arg(limit->column);
            return nullptr;
        }
    }
    QueryRows rowsOut;
    if (!runQuery(name, definition, catalog, start, end, &rowsOut, error))
        return nullptr;
    auto impl = std::make_unique<Result::Impl>();
    QStringList available;
    for (const QueryRows::Column& column : rowsOut.columns)
        available << column.name;
    if (!impl->select(query.columns, available, name, QStringLiteral("query"), error))
        return nullptr;
    for (Result::Impl::Column& column : impl->columns) {
        const QueryRows::Column& source = rowsOut.columns[size_t(column.column)];
        column = Result::Impl::Column{source.table, source.column};
    }
    impl->start = Result::Impl::Column{rowsOut.start.table, rowsOut.start.column};
    impl->end = Result::Impl::Column{rowsOut.end.table, rowsOut.end.column};
    impl->mode = Result::Impl::Mode::Places;
    impl->tables = std::move(rowsOut.tables);
    impl->places = std::move(rowsOut.places);
    return std::unique_ptr<Result>(new Result(std::move(impl)));
}

} // namespace Mdb
