// Describe, transactions between sessions, dictionary views and the session's
// conversion helpers.

#include "TestDatabase.h"

#include <algorithm>

#include "devdb/engine/Errors.h"

#include <thread>

namespace devdb::test
{
namespace
{

TEST(Describe, ColumnsCarryOracleTypes)
{
    TempDatabase db;
    auto s = db.logon();
    run(*s, "create table t (a varchar2(10) not null, b char(3), c number(7,2), d number, e integer, f float,"
            " g date, h raw(16), i long, j timestamp, \"mixed Case\" number(5,-2))");
    auto cursor = s->prepare("select * from t");
    EXPECT_EQ(cursor->statementType(), StatementType::Select);
    struct Expected {
        const char *name;
        OraType type;
        int size, precision, scale;
        bool nullable;
    };
    const Expected expected[] = {
        {"A", OraType::Varchar2, 10, 0, 0, false},
        {"B", OraType::Char, 3, 0, 0, true},
        {"C", OraType::Number, 22, 7, 2, true},
        {"D", OraType::Number, 22, 0, -127, true},
        {"E", OraType::Number, 22, 38, 0, true},
        {"F", OraType::Number, 22, 126, -127, true},
        {"G", OraType::Date, 7, 0, 0, true},
        {"H", OraType::Raw, 16, 0, 0, true},
        {"I", OraType::Long, 0, 0, 0, true},
        {"J", OraType::Timestamp, 11, 0, 6, true},
        {"mixed Case", OraType::Number, 22, 5, -2, true},
    };
    const auto &columns = cursor->columns();
    ASSERT_EQ(columns.size(), std::size(expected));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(columns[i].name, expected[i].name);
        EXPECT_EQ(columns[i].type, expected[i].type);
        EXPECT_EQ(columns[i].dataSize, expected[i].size);
        EXPECT_EQ(columns[i].precision, expected[i].precision);
        EXPECT_EQ(columns[i].scale, expected[i].scale);
        EXPECT_EQ(columns[i].nullable, expected[i].nullable);
    }
}

TEST(Describe, ExpressionsAreNamedAsWritten)
{
    TempDatabase db;
    auto s = db.logon();
    auto count = s->prepare("select count(*) from dual");
    EXPECT_EQ(count->columns().at(0).name, "COUNT(*)");
    EXPECT_EQ(count->columns().at(0).type, OraType::Number);
    auto cursor = s->prepare("select sysdate - sysdate, 1 + 1, 'ab' x, sysdate, \"Q\".dummy from dual \"Q\"");
    const auto &c = cursor->columns();
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[0].name, "SYSDATE-SYSDATE");
    EXPECT_EQ(c[0].type, OraType::Number);
    EXPECT_EQ(c[1].name, "1+1");
    EXPECT_EQ(c[2].name, "X");
    EXPECT_EQ(c[2].type, OraType::Char);
    EXPECT_EQ(c[2].dataSize, 2);
    EXPECT_EQ(c[3].type, OraType::Date);
    EXPECT_EQ(c[4].name, "DUMMY");
}

TEST(Prepare, SyntaxErrorsWaitForParse)
{
    TempDatabase db;
    auto s = db.logon();
    auto cursor = s->prepare("insert into nosuch values (1,)");
    EXPECT_EQ(cursor->statementType(), StatementType::Insert);
    EXPECT_EQ(cursor->sqlFunctionCode(), 0);
    try {
        cursor->execute();
        FAIL() << "executed";
    } catch (const OraError &e) {
        EXPECT_EQ(e.code, 936); // syntax is checked before names
        EXPECT_EQ(e.parseOffset, 29);
    }
    EXPECT_EQ(s->prepareCount(), 1u);
    EXPECT_EQ(single(*s, "select prepares from v$devdb_session"), "2");
}

TEST(Statements, TypesAndFunctionCodes)
{
    TempDatabase db;
    auto s = db.logon();
    struct Case {
        const char *sql;
        StatementType type;
        int code;
    };
    const Case cases[] = {
        {"create table t (a number)", StatementType::Create, 1},
        {"insert into t values (1)", StatementType::Insert, 3},
        {"select * from t", StatementType::Select, 4},
        {"update t set a = 2", StatementType::Update, 5},
        {"delete from t", StatementType::Delete, 9},
        {"alter session set nls_date_format = 'DD.MM.YYYY'", StatementType::Alter, 52},
        {"commit", StatementType::Unknown, 54},
        {"drop table t", StatementType::Drop, 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        auto cursor = s->prepare(c.sql);
        EXPECT_EQ(cursor->statementType(), c.type);
        cursor->parse();
        EXPECT_EQ(cursor->sqlFunctionCode(), c.code);
        cursor->execute();
    }
}

TEST(Statements, ParsedCursorSeesADroppedTable)
{
    TempDatabase db;
    auto s = db.logon();
    run(*s, "create table t (a number)");
    auto cursor = s->prepare("select * from t");
    cursor->execute();
    run(*s, "drop table t");
    try {
        cursor->execute();
        FAIL() << "executed";
    } catch (const OraError &e) {
        EXPECT_EQ(e.code, 942);
    }
    run(*s, "create table t (a number, b number)");
    cursor->execute();
    EXPECT_EQ(cursor->columns().size(), 2u);
}

TEST(Statements, RowCounts)
{
    TempDatabase db;
    auto s = db.logon();
    run(*s, "create table t (a number)");
    for (int i = 0; i < 5; ++i)
        run(*s, "insert into t values (" + std::to_string(i) + ")");
    auto update = s->prepare("update t set a = a + 1 where a >= 3");
    update->execute();
    EXPECT_EQ(update->rowCount(), 2u);
    auto select = s->prepare("select * from t");
    select->execute();
    EXPECT_EQ(select->rowCount(), 0u);
    std::vector<Value> row;
    select->fetch(row);
    select->fetch(row);
    EXPECT_EQ(select->rowCount(), 2u);
    auto remove = s->prepare("delete from \"T\"");
    remove->execute();
    EXPECT_EQ(remove->rowCount(), 5u);
}

TEST(Transactions, OthersSeeOnlyCommittedRows)
{
    TempDatabase db;
    auto a = db.logon();
    auto b = db.logon();
    run(*a, "create table t (x number)");
    run(*a, "insert into t values (1)");
    EXPECT_EQ(single(*a, "select count(*) from t"), "1");
    EXPECT_EQ(single(*b, "select count(*) from t"), "0");
    a->commit();
    EXPECT_EQ(single(*b, "select count(*) from t"), "1");
    run(*a, "delete from t");
    a->rollback();
    EXPECT_EQ(single(*a, "select count(*) from t"), "1");
    run(*a, "insert into t values (2)");
    run(*a, "commit");
    EXPECT_EQ(single(*b, "select count(*) from t"), "2");
}

TEST(Transactions, CursorOutlivingItsSessionIsNotLoggedOn)
{
    TempDatabase db;
    auto s = db.logon();
    auto cursor = s->prepare("select * from dual");
    s.reset();
    try {
        cursor->execute();
        FAIL() << "executed";
    } catch (const OraError &e) {
        EXPECT_EQ(e.code, 1012);
    }
}

TEST(Transactions, EndCommitsAndDestructionRollsBack)
{
    TempDatabase db;
    {
        auto s = db.logon();
        run(*s, "create table t (x number)");
        run(*s, "insert into t values (1)");
        auto parsed = s->prepare("insert into t values (3)");
        parsed->parse();
        s->end();
        EXPECT_EQ(failure(*s, "select * from t").code, 1012);
        EXPECT_THROW(parsed->execute(), OraError);
    }
    {
        auto s = db.logon();
        run(*s, "insert into t values (2)");
    }
    auto s = db.logon();
    EXPECT_EQ(run(*s, "select x from t"), (std::vector<std::vector<std::string>>{{"1"}}));
}

TEST(Transactions, LogonWhileAnotherSessionWrites)
{
    TempDatabase db;
    auto a = db.logon();
    run(*a, "create table t (x number)");
    run(*a, "insert into t values (1)");
    auto b = db.logon();
    EXPECT_EQ(single(*b, "select count(*) from t"), "0");
}

TEST(Transactions, DdlCommitsPendingRows)
{
    TempDatabase db;
    auto a = db.logon();
    auto b = db.logon();
    run(*a, "create table t (x number)");
    run(*a, "insert into t values (1)");
    run(*a, "create table u (y number)");
    a->rollback();
    EXPECT_EQ(single(*b, "select count(*) from t"), "1");
    run(*a, "insert into t values (2)");
    EXPECT_EQ(failure(*a, "create table u (y number)").code, 955);
    a->rollback();
    EXPECT_EQ(single(*b, "select count(*) from t"), "2");
}

TEST(Transactions, SecondWriterWaitsThenFails)
{
    TempDatabase db;
    auto a = db.logon();
    auto b = db.logon();
    run(*a, "create table t (x number)");
    run(*a, "insert into t values (1)");
    b->setLockTimeout(50);
    EXPECT_EQ(failure(*b, "insert into t values (2)").code, 54);
    // A writer that commits in time lets the waiting one through.
    b->setLockTimeout(5000);
    std::thread committer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        a->commit();
    });
    EXPECT_EQ(failure(*b, "insert into t values (2)").code, 0);
    committer.join();
    b->commit();
    EXPECT_EQ(single(*a, "select count(*) from t"), "2");
}

// Without ORDER BY the dictionary promises no order: the rows come in an order
// of their own, the same every time, which is not the order of creation.
TEST(Dictionary, UserTablesListsOwnTablesInNoPromisedOrder)
{
    TempDatabase db;
    auto s = db.logon();
    const std::vector<std::vector<std::string>> created = {{"ZETA"}, {"ALPHA"}, {"lower"}, {"T1"}, {"T2"}};
    for (const auto &name : created)
        run(*s, "create table \"" + name[0] + "\" (a number)");
    run(*s, "create user scott identified by tiger");
    auto scott = db.logon("scott", "tiger");
    run(*scott, "create table mine (a number)");
    auto listed = run(*s, "select table_name from user_tables");
    EXPECT_NE(listed, created);
    EXPECT_EQ(run(*s, "select table_name from user_tables"), listed);
    std::sort(listed.begin(), listed.end());
    auto sorted = created;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(listed, sorted);
    EXPECT_EQ(run(*s, "select table_name from user_tables order by table_name"), sorted);
    EXPECT_EQ(run(*scott, "select table_name from user_tables"),
              (std::vector<std::vector<std::string>>{{"MINE"}}));
    run(*s, "drop table alpha");
    EXPECT_EQ(single(*s, "select count(*) from user_tables"), "4");
    EXPECT_EQ(s->prepare("select * from user_tables")->columns().front().name, "TABLE_NAME");
}

TEST(Dictionary, OldReleasesHaveThirtyCharacterNames)
{
    TempDatabase db("Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production");
    auto s = db.logon();
    auto cursor = s->prepare("select table_name from user_tables");
    EXPECT_EQ(cursor->columns().at(0).dataSize, 30);
    EXPECT_EQ(failure(*s, "create table " + std::string(31, 'a') + " (a number)").code, 972);
    run(*s, "create table " + std::string(30, 'a') + " (a number)");
    EXPECT_EQ(single(*s, "select count(*) from user_tables"), "1");
}

TEST(Dictionary, UserTabColumnsDescribesColumns)
{
    TempDatabase db;
    auto s = db.logon();
    run(*s, "create table t (a varchar2(20) default 'x'  not null, b number(5,2), c integer, d float, e date,"
            " f timestamp(3), g long raw)");
    auto rows = run(*s, "select column_name, data_type, data_length, data_precision, data_scale, nullable,"
                        " column_id, data_default from user_tab_columns where table_name = 'T'"
                        " order by column_id");
    const std::vector<std::vector<std::string>> expected = {
        {"A", "VARCHAR2", "20", "<null>", "<null>", "N", "1", "'x'  "},
        {"B", "NUMBER", "22", "5", "2", "Y", "2", "<null>"},
        {"C", "NUMBER", "22", "<null>", "0", "Y", "3", "<null>"},
        {"D", "FLOAT", "22", "126", "<null>", "Y", "4", "<null>"},
        {"E", "DATE", "7", "<null>", "<null>", "Y", "5", "<null>"},
        {"F", "TIMESTAMP(3)", "11", "<null>", "3", "Y", "6", "<null>"},
        {"G", "LONG RAW", "0", "<null>", "<null>", "Y", "7", "<null>"},
    };
    EXPECT_EQ(rows, expected);
    auto cursor = s->prepare("select * from user_tab_columns");
    const auto &c = cursor->columns();
    ASSERT_GE(c.size(), 12u);
    const char *leading[] = {"TABLE_NAME",      "COLUMN_NAME", "DATA_TYPE",      "DATA_TYPE_MOD",
                             "DATA_TYPE_OWNER", "DATA_LENGTH", "DATA_PRECISION", "DATA_SCALE",
                             "NULLABLE",        "COLUMN_ID",   "DEFAULT_LENGTH", "DATA_DEFAULT"};
    for (std::size_t i = 0; i < std::size(leading); ++i)
        EXPECT_EQ(c[i].name, leading[i]);
    EXPECT_EQ(c[11].type, OraType::Long);
    // The default applies to inserts that leave the column out.
    run(*s, "insert into t(b) values (1)");
    EXPECT_EQ(single(*s, "select a from t"), "x");
}

TEST(Conversions, SessionTextsFollowOracle)
{
    TempDatabase db;
    auto s = db.logon();
    struct Case {
        const char *input;
        const char *text;
    };
    const Case numbers[] = {
        {"0.5", ".5"}, {"-12.30", "-12.3"}, {"100", "100"}, {"-0.001", "-.001"}, {"0", "0"}};
    for (const auto &c : numbers) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(s->toText(s->textToNumber(c.input)), c.text);
    }
    EXPECT_THROW(s->textToNumber("1.2.3"), OraError);
    Value d = s->textToDate("5.6.2007");
    EXPECT_EQ(d.date.year, 2007);
    EXPECT_EQ(s->toText(d), "05.06.07");
    run(*s, "alter session set nls_date_format = 'DD-MON-YYYY'");
    EXPECT_EQ(s->toText(d), "05-JUN-2007");
}

TEST(Rowid, SelectsTheRowBack)
{
    TempDatabase db;
    auto s = db.logon();
    run(*s, "create table t (a number)");
    run(*s, "insert into t values (7)");
    run(*s, "insert into t values (8)");
    std::string rowid = run(*s, "select rowid from t where a = 8")[0][0];
    EXPECT_EQ(rowid.size(), 18u);
    EXPECT_EQ(single(*s, "select a from t where rowid = '" + rowid + "'"), "8");
}

} // namespace
} // namespace devdb::test
