#include "tests/support/storedatabases.h"

#include "tests/support/testdatabase.h"

#include <QtEndian>

namespace StoreDatabases {

namespace {

using DB = TestDatabase;

QByteArray dateTime(int y, int mo, int d, int h = 0, int mi = 0) {
    return DB::date(QDateTime(QDate(y, mo, d), QTime(h, mi)));
}

// A calculated decimal: two unused bytes, scale, sign, then the high 32 and low 64 bits.
QByteArray decimal(quint32 high, quint64 low, int scale, bool negative) {
    QByteArray bytes(16, '\0');
    bytes[2] = char(scale);
    bytes[3] = char(negative ? 0x80 : 0);
    qToLittleEndian(high, bytes.data() + 4);
    qToLittleEndian(low, bytes.data() + 8);
    return bytes;
}

DB::Value calc(const QByteArray& result) {
    return DB::wrapped(result);
}

} // namespace

// Staff, calculated columns (want: row 1 / row 2 / row 3):
//   FullName  text      Wayne, Bruce / Kent, Clark / Prince, Diana
//   Visits    long      12 / -3 / null
//   Pay       currency  83333.3333 / -12.5 / 0
//   Ratio     double    19230.7692307692 / 0.1 / 1E-05
//   Big       decimal   56505085819.42479129657228018 / -0.5 / 100
//   Active    yes/no    True / False / null
//   Review    date      6/17/2020 / 6/14/2021 12:45:00 PM / null
//   Note (plain text)   a😀a / Ünïcödé / null
// Orders (OrderID, CustomerID, OrderDate, Amount, Paid) and Customers (CustomerID, CompanyName,
// City); saved queries:
//   Unpaid       DISTINCTROW join, Where Paid=No And (Amount>=100 Or City="Boston"),
//                Order By Amount descending
//   All Orders   SELECT * FROM Orders
//   Big Buyers   DISTINCTROW CompanyName of a join: each customer with an order over 500, once
//   Named        aliases: FROM Orders AS O, output O.OrderID AS Number, Between and Is Not Null
//   Totals       GROUP BY (refused); Outer: a left join (refused); Cities: DISTINCT (refused)
bool writeStore(const QString& path, bool jet4) {
    DB db(jet4 ? DB::Version::Jet4 : DB::Version::Ace2010);
    db.addTable(
        QStringLiteral("Staff"),
        {DB::column("ID", DB::Long), DB::column("FirstName", DB::Text),
         DB::column("LastName", DB::Text),
         DB::calculated("FullName", DB::Text, "[LastName] & \", \" & [FirstName]"),
         DB::calculated("Visits", DB::Long, "[ID]*4"),
         DB::calculated("Pay", DB::Currency, "[ID]*1000/12"),
         DB::calculated("Ratio", DB::Double, "250000/13"),
         DB::calculated("Big", DB::Decimal, "CDec([ID])/3"),
         DB::calculated("Active", DB::YesNo, "[ID]<2"),
         DB::calculated("Review", DB::DateTime, "DateAdd(\"yyyy\",1,[Hired])"),
         DB::column("Note", DB::Text)},
        {{DB::int32(1), DB::text("Bruce"), DB::text("Wayne"), calc(DB::text("Wayne, Bruce")),
          calc(DB::int32(12)), calc(DB::int64(833333333)), calc(DB::real(250000.0 / 13)),
          calc(decimal(0x1241fdbc, 0x26eaab260e43af2, 17, false)), calc(QByteArray(1, '\xff')),
          calc(dateTime(2020, 6, 17)),
          DB::text(QString::fromUtf8("a\xf0\x9f\x98\x80"
                                     "a"))},
         {DB::int32(2), DB::text("Clark"), DB::text("Kent"), calc(DB::ucs2("Kent, Clark")),
          calc(DB::int32(-3)), calc(DB::int64(-125000)), calc(DB::real(0.1)),
          calc(decimal(0, 5, 1, true)), calc(QByteArray(1, '\0')),
          calc(dateTime(2021, 6, 14, 12, 45)), DB::text(QString::fromUtf8("Ünïcödé"))},
         {DB::int32(3), DB::text("Diana"), DB::text("Prince"), calc(DB::text("Prince, Diana")),
          calc(QByteArray()), calc(DB::int64(0)), calc(DB::real(0.00001)),
          calc(decimal(0, 10000, 2, false)), std::nullopt, std::nullopt, std::nullopt}});

    db.addTable(QStringLiteral("Customers"),
                {DB::column("CustomerID", DB::Text), DB::column("CompanyName", DB::Text),
                 DB::column("City", DB::Text)},
                {{DB::text("ALF"), DB::text("Alfreds"), DB::text("Berlin")},
                 {DB::text("BOS"), DB::text("Boston Beans"), DB::text("Boston")},
                 {DB::text("CAC"), DB::text("Cactus"), DB::text("Buenos Aires")},
                 {DB::text("DUM"), DB::text("Dumonde"), DB::text("Nantes")}});
    QList<DB::Row> orders;
    const struct {
        int id;
        const char* customer;
        int month, day;
        qint64 amount; // in ten-thousandths
        bool paid;
    } rows[] = {{1, "ALF", 1, 5, 5500000, false}, {2, "BOS", 1, 7, 500000, false},
                {3, "ALF", 2, 1, 9000000, true},  {4, "CAC", 2, 3, 2500000, false},
                {5, "bos", 2, 9, 100000, false},  {6, "CAC", 3, 1, 6000000, false},
                {7, "ZZZ", 3, 2, 7000000, false}, {8, "DUM", 3, 3, 990000, false}};
    for (const auto& r : rows)
        orders.append({DB::int32(r.id), DB::text(r.customer), dateTime(2021, r.month, r.day),
                       DB::int64(r.amount), QByteArray(1, r.paid ? '\1' : '\0')});
    db.addTable(QStringLiteral("Orders"),
                {DB::column("OrderID", DB::Long), DB::column("CustomerID", DB::Text),
                 DB::column("OrderDate", DB::DateTime), DB::column("Amount", DB::Currency),
                 DB::column("Paid", DB::YesNo)},
                orders);

    const DB::QueryRow select{1, 1};
    const DB::QueryRow join{7, 1, "Customers", "Orders",
                            "Customers.CustomerID = Orders.CustomerID"};
    db.addQuery(QStringLiteral("Unpaid"),
                {select,
                 {3, 8},
                 {5, 0, "Customers"},
                 {5, 0, "Orders"},
                 {6, 0, "", "", "Orders.OrderID"},
                 {6, 0, "", "", "Customers.CompanyName"},
                 {6, 0, "", "", "Orders.OrderDate"},
                 {6, 0, "", "", "[Orders].[Amount]"},
                 join,
                 {8, 0, "", "",
                  "(((Orders.Paid)=No) AND ((Orders.Amount)>=100 Or (Customers.City)=\"Boston\"))"},
                 {11, 0, "D", "", "Orders.Amount"}});
    db.addQuery(QStringLiteral("All Orders"), {select, {3, 1}, {5, 0, "Orders"}});
    db.addQuery(QStringLiteral("Big Buyers"), {select,
                                               {3, 8},
                                               {5, 0, "Customers"},
                                               {5, 0, "Orders"},
                                               {6, 0, "", "", "Customers.CompanyName"},
                                               join,
                                               {8, 0, "", "", "((Orders.Amount)>500)"}});
    db.addQuery(QStringLiteral("Named"),
                {select,
                 {5, 0, "Orders", "O"},
                 {6, 0, "Number", "", "O.OrderID"},
                 {6, 0, "", "", "O.OrderDate"},
                 {8, 0, "", "",
                  "((O.OrderDate) Between #1/6/2021# And #3/1/2021#) AND (O.CustomerID Is Not "
                  "Null) AND Not (O.CustomerID='alf')"},
                 {11, 0, "", "", "OrderDate"}});
    db.addQuery(QStringLiteral("Totals"), {select,
                                           {5, 0, "Orders"},
                                           {6, 0, "", "", "Orders.CustomerID"},
                                           {6, 0, "Total", "", "Sum(Orders.Amount)"},
                                           {9, 0, "", "", "Orders.CustomerID"}});
    db.addQuery(QStringLiteral("Outer"),
                {select,
                 {5, 0, "Customers"},
                 {5, 0, "Orders"},
                 {6, 0, "", "", "Orders.OrderID"},
                 {7, 2, "Customers", "Orders", "Customers.CustomerID = Orders.CustomerID"}});
    db.addQuery(QStringLiteral("Cities"),
                {select, {3, 2}, {5, 0, "Customers"}, {6, 0, "", "", "Customers.City"}});
    return db.write(path);
}

// Visits.Arrived (want, by ID): 6/17/2020, 6/17/2020 12:45:00 PM, 1/1/1,
// 12/31/9999 11:59:59.9999999 PM, 12/30/1899 10:00:00 AM, 3/4/2021 1:02:03.5000000 AM, null,
// 10/14/1066.
bool writeVisits(const QString& path) {
    DB db(DB::Version::Ace2019);
    const char* stored[] = {"0000000000000737592:0000000000000000000:7",
                            "0000000000000737592:0000000459000000000:7",
                            "0000000000000000000:0000000000000000000:7",
                            "0000000000003652058:0000000863999999999:7",
                            "0000000000000693593:0000000360000000000:7",
                            "0000000000000737852:0000000037235000000:7",
                            nullptr,
                            "0000000000000389269:0000000000000000000:7"};
    QList<DB::Row> rows;
    int id = 1;
    for (const char* value : stored)
        rows.append({DB::int32(id++), value ? DB::Value(QByteArray(value)) : std::nullopt});
    db.addTable(QStringLiteral("Visits"),
                {DB::column("ID", DB::Long), DB::column("Arrived", DB::ExtendedDate)}, rows);
    return db.write(path);
}

// Odd (ID, Seen, Shape, Mark, Guess, Broken), each null in row 1 with a value in row 2: Shape of
// type 70, Mark of type 71, Guess calculated with results of type 99, Broken calculated with a
// wrapper that claims more than it holds. Notes (ID, Seen, Body): a text with a NUL character in
// row 2. Seen: 1/1/2021, 1/2/2021.
bool writeOdd(const QString& path) {
    DB db(DB::Version::Ace2007);
    DB::Column variable = DB::column("Shape", 70);
    variable.fixed = false;
    DB::Column fixed = DB::column("Mark", 71);
    fixed.size = 4;
    const DB::Column id = DB::column("ID", DB::Long);
    const DB::Column seen = DB::column("Seen", DB::DateTime);
    DB::Column guess = DB::calculated("Guess", DB::Text, "Eval(\"1\")");
    guess.resultType = 99;
    const DB::Column broken = DB::calculated("Broken", DB::Long, "[ID]+1");
    db.addTable(
        QStringLiteral("Odd"), {id, seen, variable, fixed, guess, broken},
        {{DB::int32(1), dateTime(2021, 1, 1), std::nullopt, std::nullopt, std::nullopt,
          std::nullopt},
         {DB::int32(2), dateTime(2021, 1, 2), QByteArray("\x01\x02\x03"), QByteArray("\0\0\0\0", 4),
          DB::wrapped(DB::text("1")), QByteArray(16, '\0') + DB::int32(9) + DB::int32(3)}});
    db.addTable(QStringLiteral("Notes"), {id, seen, DB::column("Body", DB::Text)},
                {{DB::int32(1), dateTime(2021, 1, 1), DB::text("fine")},
                 {DB::int32(2), dateTime(2021, 1, 2), DB::ucs2(QString::fromUtf16(u"a\0b", 3))}});
    return db.write(path);
}

} // namespace StoreDatabases
