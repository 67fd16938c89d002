// TOracleDataSet against the development database, in every call mode.

#include "DevdbFixture.h"

#include "oracle/OracleData.h"
#include "oracle/OracleTexts.h"
#include "platform/OperatorLocale.h"

#include <QDate>
#include <QTime>

namespace rowpour::oracle::testing
{
namespace
{

class DataSetTest : public DevdbStatementTest
{
protected:
    void SetUp() override
    {
        DevdbStatementTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ods_.SetSession(&session_);
    }

    // The pattern of the main window and the import: close, replace the text, open.
    void reopen(const QString &text)
    {
        if (ods_.Active())
            ods_.Close();
        ods_.SQL().clear();
        ods_.SQL().append(text);
        ods_.Open();
    }

    template <class F> QString failureOf(F &&call)
    {
        try {
            call();
        } catch (const std::exception &e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    }

    TOracleDataSet ods_;
};

TEST_P(DataSetTest, FieldTextsFollowTheFieldKinds)
{
    devdbSql(
        "create table f (i number(5), x number(10,2), c char(10), v varchar2(20), d date, t date, l long)\n");
    TOracleQuery insert;
    insert.SetSession(&session_);
    insert.SQL() = QStringList{"insert into f values (-7, 12.5, 'ab', 'line",
                               "', to_date('01.01.2000','DD.MM.YYYY'), "
                               "to_date('01.01.2000 10:10:10','DD.MM.YYYY HH24:MI:SS'), 'long text')"};
    insert.Execute();
    reopen(QStringLiteral("select * from f"));
    ASSERT_EQ(ods_.RecordCount(), 1);
    const platform::OperatorLocale locale = platform::OperatorLocale::system();
    const QString date = QDate(2000, 1, 1).toString(locale.shortDateFormat());
    struct Expected {
        const char *name;
        TFieldType type;
        QString text;
    };
    const Expected expected[] = {
        {"I", ftInteger, QStringLiteral("-7")},
        {"X", ftFloat, QStringLiteral("12") + locale.decimalSeparator() + QStringLiteral("5")},
        {"C", ftString, QStringLiteral("ab")},
        {"V", ftString, QStringLiteral("line")},
        {"D", ftDateTime, date},
        {"T", ftDateTime, date + QLatin1Char(' ') + QTime(10, 10, 10).toString(locale.longTimeFormat())},
        {"L", ftMemo, QStringLiteral("long text")},
    };
    for (const Expected &e : expected) {
        SCOPED_TRACE(e.name);
        TField &field = ods_.FieldByName(QString::fromLatin1(e.name));
        EXPECT_EQ(field.DataType(), e.type);
        EXPECT_EQ(field.AsString(), e.text);
    }
    EXPECT_EQ(ods_.FieldByName(QStringLiteral("c")).Size(), 10);
}

TEST_P(DataSetTest, LineBreaksThatLengthenATextLoseNothing)
{
    devdbSql("create table t (s varchar2(5))\n");
    TOracleQuery insert;
    insert.SetSession(&session_);
    insert.SQL() = QStringList{"insert into t values ('a", "b", "c')"};
    insert.Execute();
    reopen(QStringLiteral("select s from t"));
    EXPECT_EQ(ods_.Fields(0).Size(), 5);
    EXPECT_EQ(ods_.Fields(0).AsString(), QStringLiteral("a\r\nb\r\nc"));
}

TEST_P(DataSetTest, NullsReadAsEmptyText)
{
    devdbSql("create table f (i number(5), v varchar2(20), d date, l long)\n"
             "insert into f values (null, null, null, null)\n"
             "insert into f values (1, '  ', null, '')\n"
             "commit\n");
    reopen(QStringLiteral("select * from f order by i"));
    ASSERT_EQ(ods_.RecordCount(), 2);
    for (; !ods_.Eof(); ods_.Next())
        for (int i = 1; i < ods_.FieldCount(); ++i) {
            EXPECT_TRUE(ods_.Fields(i).AsString().isEmpty()) << i;
        }
}

TEST_P(DataSetTest, DuplicateColumnNamesGetSuffixes)
{
    devdbSql("create table t (a number(9), a_1 number(9))\ninsert into t values (1, 2)\n");
    reopen(QStringLiteral("select a, a, a_1, a from t"));
    QStringList names;
    for (int i = 0; i < ods_.FieldCount(); ++i) {
        names << ods_.Fields(i).FieldName();
        EXPECT_EQ(ods_.Fields(i).FieldNo(), i + 1);
    }
    // The third column's own name is taken by then, so it is numbered as well.
    EXPECT_EQ(names, (QStringList{"A", "A_1", "A_1_1", "A_2"}));
    EXPECT_EQ(ods_.FieldByName(QStringLiteral("a_1_1")).AsString(), QStringLiteral("2"));
}

TEST_P(DataSetTest, RowIdColumnGetsNoField)
{
    devdbSql("create table t (a number(9) not null, b varchar2(5))\ninsert into t values (1, 'x')\n");
    reopen(QStringLiteral("select rowid, a, b from t"));
    ASSERT_EQ(ods_.FieldCount(), 2);
    EXPECT_EQ(ods_.Fields(0).FieldName(), QStringLiteral("A"));
    EXPECT_TRUE(ods_.Fields(0).Required());
    EXPECT_FALSE(ods_.Fields(1).Required());
}

TEST_P(DataSetTest, ReadsEveryRowAtOpen)
{
    QByteArray script = "create table n (i number(9), s varchar2(10))\n";
    for (int i = 1; i <= 60; ++i)
        script += "insert into n values (" + QByteArray::number(i) + ", 'r" + QByteArray::number(i) + "')\n";
    devdbSql(script);
    ods_.SetReadBuffer(7);
    reopen(QStringLiteral("select * from n order by i"));
    ASSERT_EQ(ods_.RecordCount(), 60);
    int expected = 1;
    for (; !ods_.Eof(); ods_.Next()) {
        EXPECT_EQ(ods_.FieldByName(QStringLiteral("I")).AsInteger(), expected);
        EXPECT_EQ(ods_.FieldByName(QStringLiteral("S")).AsString(), QStringLiteral("r%1").arg(expected));
        ++expected;
    }
    EXPECT_EQ(expected, 61);
    EXPECT_EQ(ods_.RecNo(), 59); // Next at the last record stays there
}

TEST_P(DataSetTest, EmptySelectOpensWithNoRecords)
{
    devdbSql("create table n (i number(9))\n");
    reopen(QStringLiteral("select * from n"));
    EXPECT_TRUE(ods_.Active());
    EXPECT_EQ(ods_.RecordCount(), 0);
    EXPECT_TRUE(ods_.Eof());
    EXPECT_TRUE(ods_.Fields(0).IsNull());
}

TEST_P(DataSetTest, ClosedSetAndUnknownFields)
{
    devdbSql("create table n (i number(9))\n");
    EXPECT_EQ(failureOf([&] { ods_.RecordCount(); }), QString::fromUtf8(texts::ClosedDataset));
    reopen(QStringLiteral("select * from n"));
    EXPECT_EQ(failureOf([&] { ods_.FieldByName(QStringLiteral("nope")); }),
              QStringLiteral("Field 'nope' not found"));
    ods_.Close();
    ods_.Close();
    EXPECT_FALSE(ods_.Active());
    EXPECT_EQ(failureOf([&] { ods_.RecordCount(); }), QString::fromUtf8(texts::ClosedDataset));
}

TEST_P(DataSetTest, FailedOpenLeavesTheSetClosed)
{
    try {
        reopen(QStringLiteral("select * from missing"));
        FAIL() << "no error";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorNumber(), 942);
    }
    EXPECT_FALSE(ods_.Active());
    EXPECT_EQ(ods_.FieldCount(), 0);
    session_.LogOff();
    EXPECT_EQ(failureOf([&] { reopen(QStringLiteral("select * from user_tables")); }),
              QString::fromUtf8(texts::NotLoggedOn));
    EXPECT_FALSE(ods_.Active());
}

TEST_P(DataSetTest, ReopeningTheSameTextPreparesOnce)
{
    devdbSql("create table n (i number(9))\ninsert into n values (1)\n");
    for (int i = 0; i < 3; ++i) {
        reopen(QStringLiteral("select * from n"));
        EXPECT_EQ(ods_.RecordCount(), 1);
    }
    EXPECT_EQ(ods_.MainQuery().PrepareCount(), 1);
}

TEST_P(DataSetTest, LogOffClosesTheSet)
{
    devdbSql("create table n (i number(9))\ninsert into n values (1)\n");
    reopen(QStringLiteral("select * from n"));
    session_.LogOff();
    EXPECT_FALSE(ods_.Active());
    logOn(session_);
    reopen(QStringLiteral("select * from n"));
    EXPECT_EQ(ods_.RecordCount(), 1);
}

TEST_P(DataSetTest, TableAndColumnListings)
{
    devdbSql("create table alpha (id number(9), name varchar2(30))\ncreate table beta (x date)\n");
    reopen(QStringLiteral("select * from user_tables"));
    QStringList tables;
    for (int i = 0, n = ods_.RecordCount(); i < n; ++i, ods_.Next())
        tables << ods_.FieldByName(QStringLiteral("table_name")).AsString();
    tables.sort();
    EXPECT_EQ(tables, (QStringList{"ALPHA", "BETA"}));
    reopen(QStringLiteral("select * from user_tab_columns where table_name='ALPHA'"));
    QStringList columns;
    for (int i = 0, n = ods_.RecordCount(); i < n; ++i, ods_.Next())
        columns << ods_.FieldByName(QStringLiteral("COLUMN_NAME")).AsString() + QLatin1Char(' ') +
                       ods_.FieldByName(QStringLiteral("DATA_TYPE")).AsString();
    EXPECT_EQ(columns, (QStringList{"ID NUMBER", "NAME VARCHAR2"}));
}

TEST_P(DataSetTest, SeekCountsMatchingRecords)
{
    devdbSql("create table t (k number(9), v varchar2(10))\n"
             "insert into t values (1, 'a')\ninsert into t values (1, 'a')\ninsert into t values (2, 'b')\n");
    struct Case {
        const char *where;
        int count;
    };
    const Case cases[] = {{"k=1 and v='a'", 2}, {"k=2 and v='b'", 1}, {"k=3", 0}, {"k=1 and v='a'", 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.where);
        reopen(QStringLiteral("select * from t where ") + QString::fromLatin1(c.where));
        EXPECT_EQ(ods_.RecordCount(), c.count);
        ods_.Close();
    }
}

INSTANTIATE_TEST_SUITE_P(CallModes, DataSetTest,
                         ::testing::Values(CallMode::OCI8, CallMode::OCI7Server, CallMode::OCI7Preference),
                         callModeName);

} // namespace
} // namespace rowpour::oracle::testing
