// Columns as a real client describes and fetches them, read through the
// result set of the main window in both call modes.

#include "SessionFixture.h"

#include "oracle/OracleTexts.h"

namespace rowpour::testing
{
namespace
{

using namespace rowpour::oracle;

class ColumnTypes : public SessionTest
{
};

// Names of up to 128 bytes (Oracle 12.2 and later) are kept whole: two
// names that share their first 30 characters stay two fields.
TEST_P(ColumnTypes, LongNamesStayWholeAndDistinct)
{
    const QString first = QStringLiteral("A_COLUMN_NAME_LONGER_THAN_THIRTY_BYTES_FIRST");
    const QString second = QStringLiteral("A_COLUMN_NAME_LONGER_THAN_THIRTY_BYTES_SECOND");
    const QString table = database_->createTable(
        QStringLiteral("NAMES"), QStringLiteral("(%1 number(5), %2 number(5))").arg(first, second));
    execute({QStringLiteral("insert into %1 values (1, 2)").arg(table)});
    open(QStringLiteral("select * from ") + table);
    ASSERT_EQ(dataSet_.FieldCount(), 2);
    EXPECT_EQ(dataSet_.Fields(0).FieldName(), first);
    EXPECT_EQ(dataSet_.Fields(1).FieldName(), second);
    EXPECT_EQ(text(second), QStringLiteral("2"));
}

// A negative scale puts zeros before the decimal point: NUMBER(9,-2) holds
// eleven digits, which a 32-bit integer cannot carry.
TEST_P(ColumnTypes, NegativeScaleNumbersKeepTheirValue)
{
    const QString table = database_->createTable(QStringLiteral("SCALES"),
                                                 QStringLiteral("(WIDE number(9,-2), NARROW number(7,-2))"));
    execute({QStringLiteral("insert into %1 values (99999999900, -999999900)").arg(table)});
    open(QStringLiteral("select * from ") + table);
    ASSERT_EQ(dataSet_.RecordCount(), 1);
    EXPECT_EQ(text(QStringLiteral("WIDE")), QStringLiteral("99999999900"));
    EXPECT_EQ(dataSet_.FieldByName(QStringLiteral("WIDE")).AsFloat(), 99999999900.0);
    EXPECT_EQ(dataSet_.FieldByName(QStringLiteral("NARROW")).DataType(), ftInteger);
    EXPECT_EQ(text(QStringLiteral("NARROW")), QStringLiteral("-999999900"));
}

// Text of a single-byte database grows on its way to the UTF-8 client: a
// full VARCHAR2(10) of Cyrillic letters is 10 bytes in Windows-1251 and 20
// in UTF-8. Nothing is cut, and nothing cut is taken for a whole value.
TEST_P(ColumnTypes, TextOfASingleByteDatabaseReadsWhole)
{
    const DevDbHome *home = database_->devdbHome();
    if (!home)
        GTEST_SKIP() << "the development database makes the single-byte database";
    static bool created = false;
    if (!created) {
        home->addDatabase(QStringLiteral("CYRILLIC"),
                          {QStringLiteral("--charset"), QStringLiteral("CL8MSWIN1251")});
        created = true;
    }
    TOracleSession single;
    single.Preferences().SetUseOCI7(GetParam() == Mode::OCI7);
    single.SetLogonUsername(QStringLiteral("system/manager@CYRILLIC"));
    single.LogOn();
    TOracleQuery query;
    query.SetSession(&single);
    const QString table = TestDatabase::uniqueName(QStringLiteral("SINGLE"));
    for (const QString &statement :
         {QStringLiteral("create table %1 (WORD varchar2(10), FIXED char(10))").arg(table),
          QStringLiteral("insert into %1 values ('ЁжикЁжикЁж', 'Ёжик')").arg(table)}) {
        query.SQL() = QStringList{statement};
        query.Execute();
    }
    TOracleDataSet set;
    set.SetSession(&single);
    set.SQL().append(QStringLiteral("select * from ") + table);
    set.Open();
    EXPECT_EQ(set.FieldByName(QStringLiteral("WORD")).AsString(), QStringLiteral("ЁжикЁжикЁж"));
    EXPECT_EQ(set.FieldByName(QStringLiteral("FIXED")).AsString(), QStringLiteral("Ёжик"));
    EXPECT_EQ(set.FieldByName(QStringLiteral("WORD")).Size(), 10);
    set.Close();
    query.SQL() = QStringList{QStringLiteral("drop table ") + table};
    query.Execute();
    single.LogOff();
}

INSTANTIATE_TEST_SUITE_P(Modes, ColumnTypes, ::testing::Values(Mode::OCI8, Mode::OCI7), modeName);

} // namespace
} // namespace rowpour::testing
