// The database reader on mutated pages of the fixture: the input replaces one data page of
// Orders or Employees (memos) in a copy of nwind.mdb, and both kinds of query read every
// column of every row. Damage must end in an error, never out of bounds.
#include "client/missions/mdbreader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

struct Fixture {
    QString path;
    QByteArray healthy;
    int pageSize = 2048;
    std::vector<int> pages[2];
    Mdb::Database database;

    Fixture() {
        QFile source(QString::fromLocal8Bit(std::getenv("SKYVANE_FUZZ_MDB")));
        if (!source.open(QIODevice::ReadOnly))
            std::abort();
        healthy = source.readAll();
        pageSize = healthy[0x14] == 0 ? 2048 : 4096;
        path = QDir::temp().filePath(QStringLiteral("fuzz_mdbreader_%1.mdb").arg(getpid()));
        restore();
        QString error;
        if (!database.open(path, &error))
            std::abort();
        // Data pages by owner: the page of a table's definition.
        const auto owner = [&](int page) {
            const auto* p = reinterpret_cast<const unsigned char*>(healthy.constData()) +
                            qint64(page) * pageSize;
            return p[0] == 1 ? int(p[4] | p[5] << 8 | p[6] << 16) : -1;
        };
        const int ownerOf[2] = {owner(pageWith("Vins et alcools Chevalier")),
                                owner(pageWith("Education includes a BA"))};
        for (int page = 1; page < int(healthy.size() / pageSize); ++page) {
            for (int t = 0; t < 2; ++t) {
                if (owner(page) == ownerOf[t])
                    pages[t].push_back(page);
            }
        }
        if (pages[0].empty() || pages[1].empty())
            std::abort();
    }

    int pageWith(const char* text) const {
        return int(healthy.lastIndexOf(text) / pageSize);
    }

    void restore() const {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(healthy);
    }

    void place(int page, const QByteArray& bytes) const {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite) || !file.seek(qint64(page) * pageSize))
            std::abort();
        file.write(bytes.left(pageSize).leftJustified(pageSize, '\0'));
    }
};

void readAll(Mdb::Database& database, const Mdb::Query& query) {
    QString error;
    std::unique_ptr<Mdb::Result> result = database.execute(query, &error);
    if (!result)
        return;
    QByteArray out;
    while (result->next()) {
        for (int c = 0; c < result->columnNames().size(); ++c) {
            if (!result->isNull(c))
                result->appendText(c, out);
        }
        result->startValue();
        out.clear();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fixture;
    if (size < 1)
        return 0;
    const int table = data[0] & 1;
    const std::vector<int>& pages = fixture.pages[table];
    const int page = pages[size_t(data[0] >> 1) % pages.size()];
    fixture.place(page, QByteArray(reinterpret_cast<const char*>(data + 1), int(size - 1)));

    Mdb::Query query;
    query.table = table == 0 ? QStringLiteral("Orders") : QStringLiteral("Employees");
    query.columns = {QStringLiteral("*")};
    readAll(fixture.database, query);
    query.start.used = true;
    query.start.column = table == 0 ? QStringLiteral("OrderDate") : QStringLiteral("HireDate");
    query.start.value = QDateTime(QDate(1900, 1, 1), QTime(0, 0));
    readAll(fixture.database, query);

    fixture.place(page, fixture.healthy.mid(qint64(page) * fixture.pageSize, fixture.pageSize));
    return 0;
}
