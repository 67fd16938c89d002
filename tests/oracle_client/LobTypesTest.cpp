// Every column type a real table can hold is described, fetched and shown:
// LOBs through locators (OCI7: in the row), national character columns,
// binary floats, timestamps, intervals, raw and row-id columns; object
// columns are reported once and never end a listing or a seek.

#include "SessionFixture.h"

#include "oracle/OracleTexts.h"
#include "tests/support/RecordedDesktop.h"

#include <QFile>
#include <QTemporaryDir>

namespace rowpour::testing
{
namespace
{

using namespace rowpour::oracle;

const QString everyType = QStringLiteral(
    "(C clob, NC nclob, B blob, F bfile, FIXED nchar(3), NATIONAL nvarchar2(10), BF binary_float, "
    "BD binary_double, TS timestamp(3), TZ timestamp(3) with time zone, LTZ timestamp(3) with local time "
    "zone, "
    "YM interval year to month, DS interval day to second, R raw(4), LR long raw, UR urowid, X xmltype, "
    "RF ref sdo_geometry)");
const QString everyValue = QStringLiteral(
    "(to_clob('Привет, мир'), 'Ёжик', hextoraw('CAFE'), bfilename('DOCS', 'file.txt'), 'Да', "
    "'Нет', 1.5, 2.25, timestamp '2020-03-15 10:11:12.123', timestamp '2020-03-15 10:11:12.123 +03:00', "
    "timestamp '2020-03-15 10:11:12.123', interval '1-2' year to month, interval '3 04:05:06' day to second, "
    "hextoraw('01020304'), hextoraw('FF00'), null, xmltype('<a/>'), null)");

// rowpour-batch sql prints every column: LOB text, binary values in
// hexadecimal, a BFILE by its name, the other types in their text forms,
// and says once on standard error that the object column has no field.
TEST(EveryColumnType, BatchSqlPrintsThemAll)
{
    const std::unique_ptr<TestDatabase> database = TestDatabase::open();
    const QString table = database->createTable(QStringLiteral("TYPES"), everyType);
    ASSERT_EQ(database->sql({QStringLiteral("insert into %1 values %2").arg(table, everyValue)}).exitCode, 0);
    const ProcessResult printed =
        database->batch({QStringLiteral("sql"), QStringLiteral("--userid"), database->userId(),
                         QStringLiteral("select * from ") + table},
                        {QStringLiteral("LC_ALL=C"), QStringLiteral("NLS_LANG")});
    ASSERT_EQ(printed.exitCode, 0) << printed.err.toStdString();
    const QStringList lines = QString::fromUtf8(printed.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << printed.out.toStdString();
    const QStringList names = lines[0].split(QLatin1Char('\t'));
    const QStringList values = lines[1].split(QLatin1Char('\t'));
    ASSERT_EQ(names.size(), values.size());
    EXPECT_FALSE(names.contains(QStringLiteral("X")));
    const auto value = [&](const char *name) { return values.value(names.indexOf(QLatin1String(name))); };
    EXPECT_EQ(value("C"), QStringLiteral("Привет, мир"));
    EXPECT_EQ(value("NC"), QStringLiteral("Ёжик"));
    EXPECT_EQ(value("B"), QStringLiteral("CAFE"));
    EXPECT_EQ(value("F"), QStringLiteral("BFILENAME('DOCS', 'file.txt')"));
    EXPECT_EQ(value("FIXED"), QStringLiteral("Да"));
    EXPECT_EQ(value("NATIONAL"), QStringLiteral("Нет"));
    EXPECT_EQ(value("R"), QStringLiteral("01020304"));
    EXPECT_EQ(value("LR"), QStringLiteral("FF00"));
    // A UROWID column is the result set's row-id column and has no field.
    EXPECT_FALSE(names.contains(QStringLiteral("UR")));
    for (const char *name : {"BF", "BD"})
        EXPECT_TRUE(
            value(name).startsWith(name == std::string("BF") ? QStringLiteral("1") : QStringLiteral("2")))
            << name << " " << value(name).toStdString();
    for (const char *name : {"TS", "TZ", "LTZ"})
        EXPECT_TRUE(value(name).contains(QStringLiteral("10")) && value(name).contains(QStringLiteral("12")))
            << name << " " << value(name).toStdString();
    EXPECT_TRUE(value("TZ").contains(QStringLiteral("03:00"))) << value("TZ").toStdString();
    EXPECT_TRUE(value("YM").contains(QStringLiteral("1-")) || value("YM").contains(QStringLiteral("01-")))
        << value("YM").toStdString();
    EXPECT_TRUE(value("DS").contains(QStringLiteral("04:05:06"))) << value("DS").toStdString();
    EXPECT_EQ(printed.err.count("X: Objects will be supported in version 3.5"), 1)
        << printed.err.toStdString();
    EXPECT_EQ(printed.err.count("RF: References will be supported in version 3.5"), 1)
        << printed.err.toStdString();
    EXPECT_FALSE(names.contains(QStringLiteral("RF")));
}

class LobTypes : public SessionTest
{
};

// The result set reads CLOB and BLOB values whole, through locators in
// OCI8 and in the row in OCI7, and a NULL LOB as NULL.
TEST_P(LobTypes, ResultSetHoldsLobValues)
{
    const QString table =
        database_->createTable(QStringLiteral("LOBS"), QStringLiteral("(K number(3), C clob, B blob)"));
    execute({QStringLiteral("insert into %1 values (1, to_clob('Строка 1'), hextoraw('00FF10'))").arg(table),
             QStringLiteral("insert into %1 values (2, null, null)").arg(table)});
    open(QStringLiteral("select * from %1 order by K").arg(table));
    ASSERT_EQ(dataSet_.RecordCount(), 2);
    EXPECT_EQ(dataSet_.FieldByName(QStringLiteral("C")).DataType(), ftMemo);
    EXPECT_EQ(dataSet_.FieldByName(QStringLiteral("B")).DataType(), ftBlob);
    EXPECT_EQ(text(QStringLiteral("C")), QStringLiteral("Строка 1"));
    EXPECT_EQ(dataSet_.FieldByName(QStringLiteral("B")).AsBytes(), QByteArray::fromHex("00FF10"));
    dataSet_.Next();
    EXPECT_TRUE(dataSet_.FieldByName(QStringLiteral("C")).IsNull());
    EXPECT_TRUE(dataSet_.FieldByName(QStringLiteral("B")).IsNull());
}

// A set that is only counted reads no LOB contents.
TEST_P(LobTypes, CountedSetsLeaveLobContentsUnread)
{
    const QString table =
        database_->createTable(QStringLiteral("COUNTED"), QStringLiteral("(K number(3), C clob)"));
    execute({QStringLiteral("insert into %1 values (1, to_clob('x'))").arg(table)});
    dataSet_.ReadLobValues = false;
    open(QStringLiteral("select * from ") + table);
    EXPECT_EQ(dataSet_.RecordCount(), 1);
    EXPECT_TRUE(dataSet_.FieldByName(QStringLiteral("C")).IsNull());
}

// A CLOB longer than the OCI7 call set's row buffer is an error, never a
// shorter text; through a locator it reads whole.
TEST_P(LobTypes, LongClobIsReadWholeOrRefused)
{
    if (!database_->devdbHome())
        GTEST_SKIP() << "the long value is made with the development database's devdb_repeat";
    const QString table = database_->createTable(QStringLiteral("LONGLOB"), QStringLiteral("(C clob)"));
    execute({QStringLiteral("insert into %1 values (to_clob(devdb_repeat('ж', 20000)))").arg(table)});
    if (GetParam() == Mode::OCI7) {
        try {
            open(QStringLiteral("select * from ") + table);
            FAIL() << "no error";
        } catch (const EOracleError &e) {
            EXPECT_EQ(e.ErrorNumber(), 1406) << e.Message().toStdString();
        }
        return;
    }
    open(QStringLiteral("select * from ") + table);
    EXPECT_EQ(text(QStringLiteral("C")), QStringLiteral("ж").repeated(20000));
}

// The message about a column the result set cannot hold comes once per
// logon, not at every open (the import's seek opens once per row).
TEST_P(LobTypes, ObjectColumnIsReportedOnce)
{
    if (GetParam() == Mode::OCI7)
        GTEST_SKIP() << "object columns need the OCI8 call set";
    const QString table =
        database_->createTable(QStringLiteral("OBJECTS"), QStringLiteral("(K number(3), X xmltype)"));
    execute({QStringLiteral("insert into %1 values (1, xmltype('<a/>'))").arg(table)});
    rowpour::testing::RecordedDesktop desktop;
    for (int i = 0; i < 3; ++i) {
        open(QStringLiteral("select * from %1 where K = %2").arg(table).arg(1));
        EXPECT_EQ(dataSet_.RecordCount(), 1);
        EXPECT_EQ(dataSet_.FieldCount(), 1);
    }
    EXPECT_EQ(desktop.messageBoxes,
              QStringList{QStringLiteral("X") + QString::fromUtf8(texts::ObjectsNotSupported)});
}

INSTANTIATE_TEST_SUITE_P(Modes, LobTypes, ::testing::Values(Mode::OCI8, Mode::OCI7), modeName);

// The import's seek on a table with CLOB and BLOB columns finds the old
// record and does not end the run, in both call modes.
TEST(LobSeek, TableWithLobColumnsLoadsWithTheSeekOn)
{
    const std::unique_ptr<TestDatabase> database = TestDatabase::open();
    QTemporaryDir dir;
    QFile book(dir.filePath(QStringLiteral("book.csv")));
    ASSERT_TRUE(book.open(QIODevice::WriteOnly));
    book.write("1;old\n2;new\n");
    book.close();
    QFile mapping(dir.filePath(QStringLiteral("map.ini")));
    ASSERT_TRUE(mapping.open(QIODevice::WriteOnly));
    mapping.write("[Rows]\r\nRow1=K,NUMBER,1,1,,\r\nRow2=NAME,VARCHAR2,1,2,,\r\n");
    mapping.close();
    for (const bool oci7 : {false, true}) {
        if (oci7 && database->oci7Library().isEmpty())
            continue;
        SCOPED_TRACE(oci7 ? "OCI7" : "OCI8");
        const QString table = database->createTable(
            QStringLiteral("LOBSEEK"), QStringLiteral("(K number(3), NAME varchar2(10), C clob, B blob)"));
        ASSERT_EQ(
            database
                ->sql({QStringLiteral("insert into %1 values (1, 'old', to_clob('note'), hextoraw('AA'))")
                           .arg(table)})
                .exitCode,
            0);
        QStringList args{QStringLiteral("load"),
                         QStringLiteral("--userid"),
                         database->userId(),
                         QStringLiteral("--table"),
                         table,
                         QStringLiteral("--file"),
                         book.fileName(),
                         QStringLiteral("--mapping"),
                         mapping.fileName(),
                         QStringLiteral("--end"),
                         QStringLiteral("2")};
        if (oci7)
            args << QStringLiteral("OCIDLL=") + database->oci7Library();
        const ProcessResult loaded = database->batch(args);
        EXPECT_EQ(loaded.exitCode, 0) << loaded.out.toStdString() << loaded.err.toStdString();
        EXPECT_TRUE(loaded.out.contains("inserted 1 record from 2 selected")) << loaded.out.toStdString();
        const ProcessResult rows =
            database->sql({QStringLiteral("select K, NAME from %1 order by K").arg(table)});
        EXPECT_EQ(QString::fromUtf8(rows.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1),
                  (QStringList{QStringLiteral("1\told"), QStringLiteral("2\tnew")}));
    }
}

} // namespace
} // namespace rowpour::testing
