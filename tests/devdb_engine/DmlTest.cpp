// Insert, update and delete: defaults, conditions handed to storage, read
// consistency of an executed select, names and accounts' tables.

#include "TestDatabase.h"

#include "devdb/engine/Errors.h"

namespace devdb::test
{
namespace
{

using Rows = std::vector<std::vector<std::string>>;

class Dml : public ::testing::Test
{
protected:
    void SetUp() override
    {
        session = db.logon();
        run(*session, "create table emp (id number(4) primary key, name varchar2(10), hired date,"
                      " grade char(2) default 'B', sal number(7,2) default 100 + 1, note long)");
        run(*session, "insert into emp(id, name, hired) values (1, 'Smith', '12.05.1985')");
        run(*session,
            "insert into emp(id, name, hired, grade, sal) values (2, 'Jones', '01.01.2000', 'A', 2500.5)");
        run(*session, "insert into emp(id, name, hired, grade, sal) values (3, 'Smith ', null, null, null)");
    }
    TempDatabase db;
    std::unique_ptr<Session> session;
};

TEST_F(Dml, DefaultsFillOnlyOmittedColumns)
{
    EXPECT_EQ(run(*session, "select id, grade, sal from emp order by id"),
              (Rows{{"1", "B ", "101"}, {"2", "A ", "2500.5"}, {"3", "<null>", "<null>"}}));
}

TEST_F(Dml, EqualityConditionsMatchOracleComparison)
{
    const std::pair<const char *, Rows> cases[] = {
        {"select id from emp where id = '1.0'", {{"1"}}},
        {"select id from emp where sal = 2500.50", {{"2"}}},
        {"select id from emp where hired = '12/5/85'", {{"1"}}},
        {"select id from emp where name = 'Smith'", {{"1"}}},
        {"select id from emp where name = 'Smith '", {{"3"}}},
        {"select id from emp where grade = 'A'", {{"2"}}},
        {"select id from emp where grade = 'A   '", {{"2"}}},
        {"select id from emp where name = 'Smith' and id = 3", {}},
        {"select id from emp where 1 = id", {{"1"}}},
        {"select id from emp where id = 1 or id = 2", {{"1"}, {"2"}}},
    };
    for (const auto &[sql, rows] : cases) {
        SCOPED_TRACE(sql);
        EXPECT_EQ(run(*session, sql), rows);
    }
}

TEST_F(Dml, UpdateEvaluatesAgainstTheOldRow)
{
    auto cursor = session->prepare("update emp set sal = sal * 2, name = name || '!' where sal is not null");
    cursor->execute();
    EXPECT_EQ(cursor->rowCount(), 2u);
    EXPECT_EQ(run(*session, "select name, sal from emp where id <= 2 order by id"),
              (Rows{{"Smith!", "202"}, {"Jones!", "5001"}}));
    run(*session, "update emp set hired = '31.12.1999' where id = 3");
    EXPECT_EQ(single(*session, "select to_char(hired, 'YYYY-MM-DD') from emp where id = 3"), "1999-12-31");
    EXPECT_EQ(failure(*session, "update emp set id = 2 where id = 1").code, 1);
    EXPECT_EQ(failure(*session, "update emp set sal = 123456").code, 1438);
    EXPECT_EQ(failure(*session, "update emp set nosuch = 1").code, 904);
}

TEST_F(Dml, KeysAreCheckedWhenTheUpdateIsDone)
{
    auto cursor = session->prepare("update emp set id = id + 1");
    cursor->execute();
    EXPECT_EQ(cursor->rowCount(), 3u);
    EXPECT_EQ(run(*session, "select id, name from emp order by id"),
              (Rows{{"2", "Smith"}, {"3", "Jones"}, {"4", "Smith "}}));
    EXPECT_EQ(failure(*session, "update emp set id = 7").code, 1);
    EXPECT_EQ(single(*session, "select sum(id) from emp"), "9");
}

TEST(Constraints, CheckConditionsHoldForEveryRow)
{
    TempDatabase db;
    auto s = db.logon();
    run(*s,
        "create table c (a number check (a > 0), b varchar2(3), constraint b_known check (b in ('x', 'y')))");
    run(*s, "insert into c values (1, 'x')");
    run(*s, "insert into c values (null, null)"); // unknown passes
    OraError e = failure(*s, "insert into c values (0, 'x')");
    EXPECT_EQ(e.code, 2290);
    EXPECT_EQ(e.text.rfind("check constraint (SYSTEM.SYS_C", 0), 0u) << e.text;
    EXPECT_EQ(failure(*s, "insert into c values (1, 'z')").text,
              "check constraint (SYSTEM.B_KNOWN) violated");
    EXPECT_EQ(failure(*s, "update c set a = a - 1").code, 2290);
    EXPECT_EQ(single(*s, "select a from c where b = 'x'"), "1");
    OraError unknown = failure(*s, "create table d (a number, check (zz > 0))");
    EXPECT_EQ(unknown.code, 904);
    EXPECT_EQ(unknown.parseOffset, 33);
    auto other = db.logon(); // another session reads the condition from the dictionary
    EXPECT_EQ(failure(*other, "insert into c values (-5, 'y')").code, 2290);
}

TEST_F(Dml, DeleteCountsRows)
{
    auto cursor = session->prepare("delete from emp where name like 'Smith%'");
    cursor->execute();
    EXPECT_EQ(cursor->rowCount(), 2u);
    EXPECT_EQ(single(*session, "select count(*) from emp"), "1");
    auto none = session->prepare("delete emp where id = 99");
    none->execute();
    EXPECT_EQ(none->rowCount(), 0u);
}

TEST_F(Dml, ExecutedSelectKeepsItsRows)
{
    auto cursor = session->prepare("select id from emp");
    cursor->execute();
    run(*session, "insert into emp(id) values (4)");
    int rows = 0;
    std::vector<Value> row;
    while (cursor->fetch(row))
        ++rows;
    EXPECT_EQ(rows, 3);
    cursor->execute(); // executing again reads afresh
    rows = 0;
    while (cursor->fetch(row))
        ++rows;
    EXPECT_EQ(rows, 4);
}

TEST_F(Dml, FetchedValuesKeepTheirKinds)
{
    run(*session, "create table v (n number, d date, r raw(4), t varchar2(3))");
    run(*session, "insert into v values (-0.5, '02.03.2004', 'CAFE', 'x')");
    auto cursor = session->prepare("select n, d, r, t from v");
    cursor->execute();
    std::vector<Value> row;
    ASSERT_TRUE(cursor->fetch(row));
    EXPECT_EQ(row[0].kind, Value::Kind::Number);
    EXPECT_EQ(row[0].text, "-0.5");
    EXPECT_EQ(row[1].kind, Value::Kind::Date);
    EXPECT_EQ(row[1].date.year, 2004);
    EXPECT_EQ(row[1].date.month, 3);
    EXPECT_EQ(row[2].kind, Value::Kind::Binary);
    EXPECT_EQ(row[2].text, std::string("\xCA\xFE"));
    EXPECT_EQ(row[3].kind, Value::Kind::Text);
    EXPECT_FALSE(cursor->fetch(row));
}

TEST_F(Dml, QualifiedStarStandsAmongOtherItems)
{
    auto cursor = session->prepare("select rowid, e.* from emp e where id = 1");
    const auto &columns = cursor->columns();
    ASSERT_EQ(columns.size(), 7u);
    EXPECT_EQ(columns[0].type, OraType::Rowid);
    EXPECT_EQ(columns[1].name, "ID");
    EXPECT_EQ(run(*session, "select emp.id, emp.* from emp where id = 2")[0][2], "Jones");
    EXPECT_EQ(failure(*session, "select x.* from emp").code, 904);
    OraError bare = failure(*session, "select rowid, * from emp");
    EXPECT_EQ(bare.code, 923);
    EXPECT_EQ(bare.parseOffset, 14);
}

TEST_F(Dml, QuotedAndUnquotedNamesAreDistinct)
{
    run(*session, "create table \"emp\" (\"id\" number)");
    run(*session, "insert into \"emp\" values (42)");
    EXPECT_EQ(single(*session, "select \"id\" from \"emp\""), "42");
    EXPECT_EQ(single(*session, "select count(*) from EMP"), "3");
    EXPECT_EQ(failure(*session, "select id from \"emp\"").code, 904);
}

TEST_F(Dml, CommitAndRollbackStatements)
{
    auto other = db.logon();
    run(*session, "commit work");
    run(*session, "delete from emp");
    run(*session, "rollback");
    EXPECT_EQ(single(*session, "select count(*) from emp"), "3");
    EXPECT_EQ(single(*other, "select count(*) from emp"), "3");
}

struct OffsetCase {
    const char *sql;
    int code;
    int offset;
};

TEST(ParseOffsets, PointAtTheOffendingToken)
{
    TempDatabase db;
    auto s = db.logon();
    run(*s, "create table t (a number, b varchar2(5))");
    const OffsetCase cases[] = {
        {"  select * from t", 0, 0},
        {"select * from t where a = 1 and b", 920, 33},
        {"select * from t where a = = 1", 936, 26},
        {"select a, from t", 936, 10},
        {"select * from t t2 t3", 933, 19},
        {"insert into t values (1, 'x'", 907, 28},
        {"insert t values (1)", 925, 7},
        {"insert into t select * from t", 3001, 14},
        {"update t a = 1", 971, 11},
        {"update t set a 1", 927, 15},
        {"delete from t where a in 1", 906, 25},
        {"create table u (a number,)", 904, 25},
        {"create table u a number", 906, 15},
        {"drop index i", 950, 5},
        {"alter table t add (c number)", 940, 6},
        {"create view v as select * from t", 901, 7},
        {"select * from t where a = 'x' || ", 936, 33},
        {"select * from t where b is 5", 908, 27},
        {"select a from t order a", 924, 22},
        {"select @ from t", 911, 7},
        {"select \"\" from t", 1741, 7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        OraError e = failure(*s, c.sql);
        EXPECT_EQ(e.code, c.code) << e.text;
        EXPECT_EQ(e.parseOffset, c.offset);
    }
}

} // namespace
} // namespace devdb::test

namespace devdb::test
{
namespace
{

TEST(Syntax, AcceptedStatements)
{
    TempDatabase db;
    auto s = db.logon();
    const char *statements[] = {
        "CREATE TABLE Mixed (A NUMBER(*,2), B VARCHAR2(10 BYTE), C VARCHAR2(5 CHAR)) TABLESPACE users",
        "/* leading comment */ insert into mixed values (1.234, 'x', 'y') -- trailing comment",
        "insert into SYSTEM.MIXED (a) values (2)",
        "select m.a, \"B\" from system.mixed m where m.a = 1.23",
        "select count(*) cnt, max(a) as \"Top\" from mixed",
        "delete mixed where a is null and (b = 'x' or not c = 'y')",
        "update mixed m set m.a = -a, b = null where rownum = 1",
        "select * from dual where 1 in (1, 2) and 'a' between 'a' and 'b' and 'abc' not like 'b%'",
        "alter session set optimizer_goal = choose",
        "commit work",
        "drop table mixed purge",
        "select sysdate, systimestamp, user, to_char(sysdate, 'fmDD Month YYYY') from dual",
        "grant connect, resource to system",
    };
    for (const char *sql : statements) {
        SCOPED_TRACE(sql);
        EXPECT_EQ(failure(*s, sql).code, 0) << failure(*s, sql).text;
    }
}

TEST(Rowid, TextThatIsNoRowidIsRejected)
{
    TempDatabase db;
    auto s = db.logon();
    run(*s, "create table t (a number)");
    run(*s, "insert into t values (1)");
    EXPECT_EQ(failure(*s, "select * from t where rowid = 'garbage'").code, 1410);
    std::string rowid = run(*s, "select rowid from t")[0][0];
    auto remove = s->prepare("delete from t where rowid = '" + rowid + "'");
    remove->execute();
    EXPECT_EQ(remove->rowCount(), 1u);
}

TEST(Locking, DdlWaitsForAnotherSessionsChanges)
{
    TempDatabase db;
    auto a = db.logon();
    auto b = db.logon();
    run(*a, "create table t (x number)");
    run(*a, "insert into t values (1)");
    b->setLockTimeout(50);
    OraError e = failure(*b, "create table u (y number)");
    EXPECT_EQ(e.code, 54);
    EXPECT_EQ(e.text, errors::kResourceBusy);
    a->commit();
    EXPECT_EQ(failure(*b, "create table u (y number)").code, 0);
}

} // namespace
} // namespace devdb::test
