// Oracle's semantics as data: statements against one prepared table, with the
// value they leave or the error (code, text, parse offset) they raise.

#include "TestDatabase.h"

#include "devdb/engine/Errors.h"

namespace devdb::test
{
namespace
{

const char *const kTable = "create table t (v varchar2(5), c char(4), n number(5,2), i integer, f float,"
                           " r number(5,-2), d date, b raw(3), l long, ts timestamp, nn varchar2(3) not null,"
                           " u number unique)";

class Semantics : public ::testing::Test
{
protected:
    void SetUp() override
    {
        session = db.logon();
        run(*session, kTable);
    }
    TempDatabase db;
    std::unique_ptr<Session> session;
};

struct StoredCase {
    const char *name;
    const char *column;
    const char *literal; // as written in the insert
    const char *shown;   // the value read back as text
};

TEST_F(Semantics, ValuesAreConvertedToTheColumnType)
{
    const StoredCase cases[] = {
        {"empty text is null", "v", "''", "<null>"},
        {"char is blank padded", "c", "'ab'", "ab  "},
        {"number text", "n", "'12.345'", "12.35"},
        {"number rounds half away from zero", "n", "-0.005", "-.01"},
        {"number fraction without leading zero", "n", "'.5'", ".5"},
        {"number with blanks and exponent", "n", "' 1.5e2 '", "150"},
        {"integer rounds", "i", "'2.5'", "3"},
        {"negative scale rounds to hundreds", "r", "1250", "1300"},
        {"negative scale keeps seven digits", "r", "'9999949'", "9999900"},
        {"float keeps digits", "f", "'0.1'", ".1"},
        {"date in session format", "d", "'12.05.1985'", "12.05.85"},
        {"date with other separators", "d", "'12/05/85'", "12.05.85"},
        {"date without separators", "d", "'12051985'", "12.05.85"},
        {"date with month name", "d", "'12-MAY-1985'", "12.05.85"},
        {"two-digit RR year before 50", "d", "'01.02.03'", "01.02.03"},
        {"raw from hex text", "b", "'0aFf'", "0AFF"},
        {"raw odd hex digit count", "b", "'abc'", "0ABC"},
        {"long keeps text", "l", "'long text'", "long text"},
        {"number into varchar2", "v", "-1.5", "-1.5"},
        {"timestamp in session format", "ts", "'01.02.2003 04:05:06.5'", "01.02.03 04:05:06.500000"},
        {"timestamp rounds to its precision", "ts", "'31.12.1999 23:59:59.9999996'",
         "01.01.00 00:00:00.000000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        run(*session, "delete from t");
        run(*session, std::string("insert into t(nn, ") + c.column + ") values ('x', " + c.literal + ")");
        EXPECT_EQ(single(*session, std::string("select ") + c.column + " from t"), c.shown);
    }
}

TEST_F(Semantics, RrYearsFollowTheCurrentCentury)
{
    run(*session, "insert into t(nn, d) values ('x', '01.01.49')");
    run(*session, "insert into t(nn, d) values ('y', '01.01.50')");
    auto rows = run(*session, "select to_char(d, 'YYYY') from t order by d");
    ASSERT_EQ(rows.size(), 2u);
    // The current year is in 2000..2049: 49 is 2049, 50 is 1950.
    EXPECT_EQ(rows[0][0], "1950");
    EXPECT_EQ(rows[1][0], "2049");
}

struct ErrorCase {
    const char *name;
    std::string sql;
    int code;
    std::string text;
    int offset;
};

TEST_F(Semantics, StatementsFailAsOracleDoes)
{
    const ErrorCase cases[] = {
        {"value too large", "insert into t(nn, v) values ('x', 'abcdef')", 12899,
         errors::format(errors::kValueTooLarge, "\"SYSTEM\".\"T\".\"V\"", "6", "5"), 0},
        {"raw too large", "insert into t(nn, b) values ('x', '01020304')", 12899,
         errors::format(errors::kValueTooLarge, "\"SYSTEM\".\"T\".\"B\"", "4", "3"), 0},
        {"char too large", "insert into t(nn, c) values ('x', 'abcde')", 12899,
         errors::format(errors::kValueTooLarge, "\"SYSTEM\".\"T\".\"C\"", "5", "4"), 0},
        {"precision", "insert into t(nn, n) values ('x', 1000)", 1438, errors::kPrecisionTooLarge, 0},
        {"precision after rounding", "insert into t(nn, n) values ('x', 999.995)", 1438,
         errors::kPrecisionTooLarge, 0},
        {"not a number", "insert into t(nn, n) values ('x', '1,5')", 1722, errors::kInvalidNumber, 0},
        {"number compared with text", "select * from t where n = 'abc'", 1722, errors::kInvalidNumber, 0},
        {"not null", "insert into t(v) values ('x')", 1400,
         errors::format(errors::kCannotInsertNull, "\"SYSTEM\".\"T\".\"NN\""), 0},
        {"empty text into not null", "insert into t(nn) values ('')", 1400,
         errors::format(errors::kCannotInsertNull, "\"SYSTEM\".\"T\".\"NN\""), 0},
        {"month 13", "insert into t(nn, d) values ('x', '01.13.2000')", 1843, errors::kNotValidMonth, 0},
        {"day 32", "insert into t(nn, d) values ('x', '32.01.2000')", 1847, errors::kDayOfMonth, 0},
        {"31 April", "insert into t(nn, d) values ('x', '31.04.2000')", 1839, errors::kDateNotValidForMonth,
         0},
        {"trailing text", "insert into t(nn, d) values ('x', '01.01.2000 12')", 1830, errors::kPictureEnds,
         0},
        {"letters for day", "insert into t(nn, d) values ('x', 'ab.01.2000')", 1858, errors::kNonNumeric, 0},
        {"short number then no separator", "insert into t(nn, d) values ('x', '1x01.2000')", 1861,
         errors::kLiteralMismatch, 0},
        {"number into date", "insert into t(nn, d) values ('x', 5)", 932,
         errors::format(errors::kInconsistentTypes, "DATE", "NUMBER"), 0},
        {"bad hex", "insert into t(nn, b) values ('x', 'zz')", 1465, errors::kInvalidHex, 0},
        {"unknown table", "select * from nosuch", 942, errors::kNoSuchTable, 14},
        {"unknown column", "select nosuch from t", 904, errors::format(errors::kInvalidIdentifier, "NOSUCH"),
         7},
        {"unknown qualified column", "select t.x from t", 904,
         errors::format(errors::kInvalidIdentifier, "T\".\"X"), 7},
        {"quoted name is exact", "select \"v\" from t", 904, errors::format(errors::kInvalidIdentifier, "v"),
         7},
        {"unknown insert column", "insert into t(nn, zz) values ('x', 1)", 904,
         errors::format(errors::kInvalidIdentifier, "ZZ"), 18},
        {"unknown function", "select foo(v) from t", 904, errors::format(errors::kInvalidIdentifier, "FOO"),
         7},
        {"not a statement", "selec * from t", 900, errors::kInvalidSql, 0},
        {"invalid character", "select * from t;", 911, errors::kInvalidCharacter, 15},
        {"missing expression", "select * from t where", 936, errors::kMissingExpression, 21},
        {"missing expression in list", "select from t", 936, errors::kMissingExpression, 7},
        {"missing right parenthesis", "select count(* from t", 907, errors::kMissingRightParen, 15},
        {"create without parenthesis", "create table x (a number", 907, errors::kMissingRightParen, 24},
        {"not properly ended", "delete from t where v = 'a' junk", 933, errors::kNotProperlyEnded, 28},
        {"missing comma", "insert into t(nn, v) values ('a' 'b')", 917, errors::kMissingComma, 33},
        {"from not found", "select v n x from t", 923, errors::kFromNotFound, 11},
        {"unterminated literal", "select 'abc from t", 1756, errors::kQuotedNotTerminated, 7},
        {"too many values", "insert into t(nn) values ('a', 'b')", 913, errors::kTooManyValues, 31},
        {"not enough values", "insert into t(nn, v) values ('a')", 947, errors::kNotEnoughValues, 0},
        {"column in values", "insert into t(nn) values (v)", 984, "column not allowed here", 26},
        {"table exists", "create table t (a number)", 955, errors::kNameInUse, 13},
        {"column in a default", "create table x (a number, b number default a + 1)", 984,
         "column not allowed here", 43},
        {"duplicate column", "create table x (a number, a date)", 957, errors::kDuplicateColumn, 26},
        {"long in where", "select * from t where l = 'a'", 997, errors::kInvalidLongUse, 22},
        {"aggregate mixed with column", "select v, count(*) from t", 937, errors::kNotGroupByExpression, 0},
        {"keyword as column name", "create table x (date date)", 904, ": invalid identifier", 16},
        {"unknown alter session option", "alter session set foo = 1", 2248,
         errors::kInvalidAlterSessionOption, 0},
        {"literal over 4000 bytes", "select '" + std::string(4001, 'x') + "' from dual", 1704,
         "string literal too long", 7},
        {"number overflow", "select 1e100 * 1e100 from dual", 1426, errors::kNumericOverflow, 0},
        {"date beyond 9999", "select sysdate + 3000000 from dual", 1841, errors::kYearRange, 0},
        {"divide by zero", "select 1/0 from dual", 1476, errors::kDivisorZero, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        OraError e = failure(*session, c.sql);
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.text, c.text);
        EXPECT_EQ(e.parseOffset, c.offset);
    }
}

TEST_F(Semantics, LongValuesBeyondLiteralLimits)
{
    run(*session, "insert into t(nn, l) values ('x', devdb_repeat('0123456789', 10000))");
    EXPECT_EQ(single(*session, "select length(l) from t"), "100000");
    EXPECT_EQ(single(*session, "select substr(l, 99999) from t"), "89");
    EXPECT_EQ(failure(*session, "select devdb_repeat('ab', 2001) || 'x' from dual").code, 1489);
}

TEST_F(Semantics, UniqueViolationNamesTheConstraint)
{
    run(*session, "create table k (a number constraint k_pk primary key, b varchar2(3), unique (b))");
    run(*session, "insert into k values (1, 'x')");
    EXPECT_EQ(failure(*session, "insert into k values (1, 'y')").text,
              errors::format(errors::kUniqueViolated, "SYSTEM.K_PK"));
    OraError e = failure(*session, "insert into k values (2, 'x')");
    EXPECT_EQ(e.code, 1);
    EXPECT_EQ(e.text.rfind("unique constraint (SYSTEM.SYS_C", 0), 0u) << e.text;
    // Unique keys allow any number of NULLs; a primary key allows none.
    run(*session, "insert into k values (3, '')");
    run(*session, "insert into k values (4, '')");
    EXPECT_EQ(failure(*session, "insert into k(b) values ('z')").code, 1400);
}

TEST_F(Semantics, FailedUpdateLeavesEveryRowUnchanged)
{
    run(*session, "insert into t(nn, v) values ('a', '1')");
    run(*session, "insert into t(nn, v) values ('b', '12345')");
    EXPECT_EQ(failure(*session, "update t set v = v || 'x'").code, 12899);
    auto rows = run(*session, "select v from t order by nn");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "1");
    EXPECT_EQ(rows[1][0], "12345");
    EXPECT_EQ(failure(*session, "update t set nn = ''").code, 1407);
}

struct QueryCase {
    const char *name;
    const char *sql;
    std::vector<std::vector<std::string>> rows;
};

TEST_F(Semantics, QueriesCompareWithImplicitConversion)
{
    run(*session, "insert into t(nn, v, c, n, d) values ('a', 'x', 'ab', 10, '12.05.1985')");
    run(*session, "insert into t(nn, v, c, n, d) values ('b', 'y', 'cd', 2.5, '01.01.2000')");
    run(*session, "insert into t(nn, v, c, n, d) values ('c', null, null, null, null)");
    const QueryCase cases[] = {
        {"number against text", "select nn from t where n = '10'", {{"a"}}},
        {"numbers compare numerically", "select nn from t where n > '9'", {{"a"}}},
        {"date against text", "select nn from t where d = '12.05.1985'", {{"a"}}},
        {"date order", "select nn from t where d < '01.01.1990'", {{"a"}}},
        {"char blank padded", "select nn from t where c = 'ab'", {{"a"}}},
        {"varchar not padded", "select nn from t where v = 'x '", {}},
        {"null never equal", "select nn from t where v = null", {}},
        {"is null", "select nn from t where v is null", {{"c"}}},
        {"long may be tested for null", "select count(*) from t where l is null", {{"3"}}},
        {"and/or", "select nn from t where v = 'x' or n = 2.5 and v = 'y'", {{"a"}, {"b"}}},
        {"not", "select nn from t where not (v = 'x')", {{"b"}}},
        {"in list", "select nn from t where nn in ('a', 'c')", {{"a"}, {"c"}}},
        {"like", "select nn from t where v like '_'", {{"a"}, {"b"}}},
        {"between", "select nn from t where n between 2 and 3", {{"b"}}},
        {"count", "select count(*) from t", {{"3"}}},
        {"count column skips nulls", "select count(v), max(n), min(d) from t", {{"2", "10", "12.05.85"}}},
        {"expressions",
         "select n * 2, -n, v || '!', nvl(v, '-') from t where nn = 'b'",
         {{"5", "-2.5", "y!", "y"}}},
        {"order by descending puts nulls first", "select nn from t order by n desc", {{"c"}, {"a"}, {"b"}}},
        {"dual", "select 1 + 1, 'a', upper('b') from dual", {{"2", "a", "B"}}},
        {"rownum limits", "select nn, rownum from t where rownum <= 2", {{"a", "1"}, {"b", "2"}}},
        {"rownum never reaches 2 alone", "select nn from t where rownum = 2", {}},
        {"user", "select user from dual", {{"SYSTEM"}}},
        {"substr from the end",
         "select substr('abc', -2), substr('abc', -5), substr('abc', 0, 1) from dual",
         {{"bc", "<null>", "a"}}},
        {"to_char of date", "select to_char(d, 'YYYY-MM-DD') from t where nn = 'a'", {{"1985-05-12"}}},
        {"to_date", "select to_date('2000-02-29', 'YYYY-MM-DD') from dual", {{"29.02.00"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(*session, c.sql), c.rows);
    }
}

TEST_F(Semantics, SessionDecimalCharacterGovernsNumberText)
{
    run(*session, "alter session set nls_numeric_characters = ', '");
    run(*session, "insert into t(nn, n) values ('a', '12,5')");
    EXPECT_EQ(single(*session, "select n from t"), "12,5");
    EXPECT_EQ(single(*session, "select nn from t where n = '12,50'"), "a");
    EXPECT_EQ(failure(*session, "insert into t(nn, n) values ('b', '12.5')").code, 1722);
    EXPECT_EQ(session->toText(session->textToNumber("-0,25"), OraType::Number), "-,25");
    EXPECT_EQ(failure(*session, "alter session set nls_numeric_characters = '1.'").code, 12705);
    run(*session, "alter session set nls_numeric_characters = '.,'");
    EXPECT_EQ(single(*session, "select n * 2 from t"), "25");
}

TEST_F(Semantics, SessionDateFormatGovernsConversion)
{
    run(*session, "alter session set nls_date_format = 'YYYY-MM-DD HH24:MI:SS'");
    run(*session, "insert into t(nn, d) values ('a', '2001-02-03 04:05:06')");
    EXPECT_EQ(single(*session, "select d from t"), "2001-02-03 04:05:06");
    EXPECT_EQ(single(*session, "select nn from t where d = '2001-02-03 04:05:06'"), "a");
    EXPECT_EQ(failure(*session, "alter session set nls_date_format = 'QQ'").code, 1821);
}

} // namespace
} // namespace devdb::test
