// The OCI8 statement calls: describe, define in every external type, array
// fetch, indicators, pieces, statement attributes, errors and parse offsets.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ocitest;

namespace
{

class StatementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"), 0);
        ASSERT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS) << conn.error().text;
    }
    void run(const std::string &sql)
    {
        sword rc = conn.execute(sql);
        ASSERT_TRUE(rc == OCI_SUCCESS) << sql << ": " << conn.error().text;
    }
    void prepare(const std::string &sql)
    {
        ASSERT_EQ(conn.lib.OCIStmtPrepare(conn.stmt, conn.err, reinterpret_cast<const OraText *>(sql.data()),
                                          static_cast<ub4>(sql.size()), 1, 0),
                  OCI_SUCCESS);
    }
    sword executeQuery(ub4 iterations = 0, ub4 mode = 0)
    {
        return conn.lib.OCIStmtExecute(conn.svc, conn.stmt, conn.err, iterations, 0, nullptr, nullptr, mode);
    }
    sword fetch(ub4 rows) { return conn.lib.OCIStmtFetch(conn.stmt, conn.err, rows, FETCH_NEXT, 0); }
    template <class T> T stmtAttribute(ub4 attribute)
    {
        T value{};
        conn.lib.OCIAttrGet(conn.stmt, HTYPE_STMT, &value, nullptr, attribute, conn.err);
        return value;
    }
    void define(ub4 position, void *buffer, sb4 size, ub2 type, sb2 *ind = nullptr, ub2 *len = nullptr,
                ub2 *code = nullptr, ub4 mode = 0, void **handle = nullptr)
    {
        void *local = nullptr;
        ASSERT_EQ(conn.lib.OCIDefineByPos(conn.stmt, handle ? handle : &local, conn.err, position, buffer,
                                          size, type, ind, len, code, mode),
                  OCI_SUCCESS)
            << conn.error().text;
    }

    // The tests' texts are UTF-8, so the client says so (unset, the client character set is US7ASCII).
    ScopedEnvironment utf8{{"NLS_LANG", ".AL32UTF8"}};
    TempHome home;
    Connection conn;
};

TEST_F(StatementTest, DescribeReportsOracleTypesSizesPrecisionAndScale)
{
    run("create table kinds (v varchar2(30) not null, c char(5), n9 number(9), n10 number(10,2), n number,"
        " f float, d date, r raw(16), ts timestamp, l long)");
    prepare("select * from kinds");
    ASSERT_EQ(executeQuery(0, DESCRIBE_ONLY), OCI_SUCCESS) << conn.error().text;
    struct Expected {
        const char *name;
        ub2 type;
        ub2 size;
        sb2 precision;
        sb1 scale;
        ub1 nullable;
    } expected[] = {
        {"V", 1, 30, 0, 0, 0},    {"C", 96, 5, 0, 0, 1},    {"N9", 2, 22, 9, 0, 1},
        {"N10", 2, 22, 10, 2, 1}, {"N", 2, 22, 0, -127, 1}, {"F", 2, 22, 126, -127, 1},
        {"D", 12, 7, 0, 0, 1},    {"R", 23, 16, 0, 0, 1},   {"TS", 187, 11, 0, 6, 1},
        {"L", 8, 0, 0, 0, 1},
    };
    ASSERT_EQ(stmtAttribute<ub4>(ATTR_PARAM_COUNT), std::size(expected));
    for (ub4 i = 0; i < std::size(expected); ++i) {
        const auto &e = expected[i];
        void *param = nullptr;
        ASSERT_EQ(conn.lib.OCIParamGet(conn.stmt, HTYPE_STMT, conn.err, &param, i + 1), OCI_SUCCESS);
        ub2 type = 0, size = 0;
        sb2 precision = 0;
        sb1 scale = 0;
        ub1 nullable = 9;
        OraText *name = nullptr;
        ub4 nameLength = 0;
        conn.lib.OCIAttrGet(param, 7, &type, nullptr, ATTR_DATA_TYPE, conn.err);
        conn.lib.OCIAttrGet(param, 7, &size, nullptr, ATTR_DATA_SIZE, conn.err);
        conn.lib.OCIAttrGet(param, 7, &precision, nullptr, ATTR_PRECISION, conn.err);
        conn.lib.OCIAttrGet(param, 53, &scale, nullptr, ATTR_SCALE, conn.err);
        conn.lib.OCIAttrGet(param, 7, &nullable, nullptr, ATTR_IS_NULL, conn.err);
        conn.lib.OCIAttrGet(param, 7, &name, &nameLength, ATTR_NAME, conn.err);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(name), nameLength), e.name);
        EXPECT_EQ(type, e.type) << e.name;
        EXPECT_EQ(size, e.size) << e.name;
        EXPECT_EQ(precision, e.precision) << e.name;
        EXPECT_EQ(scale, e.scale) << e.name;
        EXPECT_EQ(nullable, e.nullable) << e.name;
        EXPECT_EQ(conn.lib.OCIDescriptorFree(param, DTYPE_PARAM), OCI_SUCCESS);
    }
    void *param = nullptr;
    EXPECT_EQ(conn.lib.OCIParamGet(conn.stmt, HTYPE_STMT, conn.err, &param, 11), OCI_ERROR);
    EXPECT_EQ(conn.error().code, 24334);
}

TEST_F(StatementTest, EveryExternalTypeOfOneRow)
{
    run("create table kinds (v varchar2(30), c char(5), n9 number(9), n10 number(10,2), n number, d date,"
        " r raw(16))");
    run("insert into kinds values ('h\xc3\xa9llo', 'ab', 123456789, 12345678.25, -0.5,"
        " to_date('31.12.1999 23:59:58', 'DD.MM.YYYY HH24:MI:SS'), '00FF10')");
    prepare("select v, v, c, n9, n9, n10, n, d, r, r, n9 from kinds");
    ASSERT_EQ(executeQuery(), OCI_SUCCESS) << conn.error().text;
    char str[31] = {}, chr[30] = {}, fixed[6] = {}, text[41] = {}, hex[33] = {};
    int integer = 0;
    long long wide = 0;
    double real = 0;
    unsigned char date[7] = {}, raw[16] = {};
    float small = 0;
    ub2 chrLength = 0, rawLength = 0, strLength = 0;
    define(1, str, sizeof str, 5, nullptr, &strLength);
    define(2, chr, sizeof chr, 1, nullptr, &chrLength);
    define(3, fixed, sizeof fixed, 5);
    define(4, &integer, 4, 3);
    define(5, &wide, 8, 3);
    define(6, &real, 8, 4);
    define(7, text, sizeof text, 5);
    define(8, date, 7, 12);
    define(9, hex, sizeof hex, 5);
    define(10, raw, sizeof raw, 23, nullptr, &rawLength);
    define(11, &small, 4, 4);
    ASSERT_EQ(fetch(1), OCI_SUCCESS) << conn.error().text;
    EXPECT_STREQ(str, "h\xc3\xa9llo");
    EXPECT_EQ(strLength, 6);
    EXPECT_EQ(std::string(chr, chrLength), "h\xc3\xa9llo");
    EXPECT_STREQ(fixed, "ab   ");
    EXPECT_EQ(integer, 123456789);
    EXPECT_EQ(wide, 123456789);
    EXPECT_DOUBLE_EQ(real, 12345678.25);
    EXPECT_STREQ(text, "-.5");
    const unsigned char expectedDate[7] = {119, 199, 12, 31, 24, 60, 59};
    EXPECT_EQ(std::memcmp(date, expectedDate, 7), 0);
    EXPECT_STREQ(hex, "00FF10");
    ASSERT_EQ(rawLength, 3);
    EXPECT_EQ(raw[0], 0x00);
    EXPECT_EQ(raw[1], 0xFF);
    EXPECT_EQ(raw[2], 0x10);
    EXPECT_FLOAT_EQ(small, 123456789.0f);
    EXPECT_EQ(fetch(1), OCI_NO_DATA);
}

TEST_F(StatementTest, NullsIndicatorsAndTruncation)
{
    run("create table t (s varchar2(10), n number)");
    run("insert into t values ('', null)");
    run("insert into t values ('abcdef', 7)");
    prepare("select s, n from t order by n");
    ASSERT_EQ(executeQuery(), OCI_SUCCESS);
    char s[4] = {};
    int n = 0;
    sb2 sInd[1] = {5}, nInd[1] = {5};
    ub2 sLen = 99, sCode = 99, nCode = 99;
    define(1, s, sizeof s, 5, sInd, &sLen, &sCode);
    define(2, &n, 4, 3, nInd, nullptr, &nCode);
    // NULLS LAST: the row with 7 comes first.
    ASSERT_EQ(fetch(1), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(conn.error().code, 24345);
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(sInd[0], 6);
    EXPECT_EQ(sCode, 1406);
    EXPECT_EQ(sLen, 3);
    EXPECT_EQ(n, 7);
    EXPECT_EQ(nInd[0], 0);
    ASSERT_EQ(fetch(1), OCI_SUCCESS);
    EXPECT_EQ(sInd[0], -1);
    EXPECT_EQ(nInd[0], -1);
    EXPECT_EQ(nCode, 1405);

    // A NULL without an indicator variable is an error.
    prepare("select n from t where n is null");
    ASSERT_EQ(executeQuery(), OCI_SUCCESS);
    define(1, &n, 4, 3);
    EXPECT_EQ(fetch(1), OCI_ERROR);
    EXPECT_EQ(conn.error().text, "ORA-01405: fetched column value is NULL\n");
}

// The program's piece sizes: 2000 first, then doubling up to 32000.
struct Pieces {
    std::vector<std::vector<char>> buffers;
    std::vector<ub4> lengths;
    std::vector<ub1> pieceFlags;
    sb2 indicator = 0;
    ub4 length = 0;
};

sb4 pieceCallback(void *context, void *, ub4, void **buffer, ub4 **length, ub1 *piece, void **indicator,
                  ub2 **)
{
    auto *p = static_cast<Pieces *>(context);
    if (!p->buffers.empty())
        p->lengths.push_back(p->length);
    ub4 size = p->buffers.empty() ? 2000 : std::min<ub4>(32000, p->buffers.back().size() * 2);
    p->pieceFlags.push_back(*piece);
    p->buffers.emplace_back(size);
    p->length = size;
    *buffer = p->buffers.back().data();
    *length = &p->length;
    *indicator = &p->indicator;
    return OCI_CONTINUE;
}

TEST_F(StatementTest, LongOfOneHundredThousandBytesArrivesInPieces)
{
    std::string value;
    for (int i = 0; i < 100000; ++i)
        value += static_cast<char>('0' + i % 10);
    run("create table docs (id number(9), body long)");
    run("insert into docs values (1, devdb_repeat('0123456789', 10000))");
    run("insert into docs values (2, null)");
    prepare("select body from docs order by id");
    ASSERT_EQ(executeQuery(), OCI_SUCCESS);
    void *handle = nullptr;
    define(1, nullptr, 0x7fffffff, 8, nullptr, nullptr, nullptr, DYNAMIC_FETCH, &handle);
    Pieces pieces;
    ASSERT_EQ(conn.lib.OCIDefineDynamic(handle, conn.err, &pieces, pieceCallback), OCI_SUCCESS);
    ASSERT_EQ(fetch(1), OCI_SUCCESS) << conn.error().text;
    pieces.lengths.push_back(pieces.length);
    EXPECT_EQ(pieces.lengths, (std::vector<ub4>{2000, 4000, 8000, 16000, 32000, 32000, 6000}));
    EXPECT_EQ(pieces.pieceFlags.front(), FIRST_PIECE);
    EXPECT_EQ(pieces.pieceFlags.back(), NEXT_PIECE);
    std::string received;
    for (std::size_t i = 0; i < pieces.buffers.size(); ++i)
        received.append(pieces.buffers[i].data(), pieces.lengths[i]);
    EXPECT_EQ(received, value);

    Pieces nullPieces;
    ASSERT_EQ(conn.lib.OCIDefineDynamic(handle, conn.err, &nullPieces, pieceCallback), OCI_SUCCESS);
    ASSERT_EQ(fetch(1), OCI_SUCCESS);
    EXPECT_EQ(nullPieces.indicator, -1);
}

struct BatchCase {
    const char *name;
    int rows;
    ub4 firstWithExecute; // 0: execute then fetch; 25: the first batch comes with the execute
    std::vector<ub4> batches;
};

void PrintTo(const BatchCase &c, std::ostream *os)
{
    *os << c.name;
}

class BatchTest : public StatementTest, public ::testing::WithParamInterface<BatchCase>
{
};

TEST_P(BatchTest, ArrayFetchOfTwentyFive)
{
    const BatchCase &c = GetParam();
    run("create table seq (n number(9))");
    std::string inserts;
    for (int i = 1; i <= c.rows; ++i)
        inserts += "insert into seq values (" + std::to_string(i) + ")\n";
    ASSERT_EQ(home.sql("scott/tiger", inserts), 0);
    prepare("select n from seq order by n");
    int values[25] = {};
    sb2 indicators[25] = {};
    define(1, values, 4, 3, indicators);
    std::vector<ub4> batches;
    int expectedNext = 1;
    sword rc = executeQuery(c.firstWithExecute);
    bool first = c.firstWithExecute != 0;
    for (;;) {
        if (!first)
            rc = fetch(25);
        first = false;
        ASSERT_TRUE(rc == OCI_SUCCESS || rc == OCI_NO_DATA) << conn.error().text;
        if (rc == OCI_NO_DATA) {
            EXPECT_EQ(conn.error().text, "ORA-01403: no data found\n");
        }
        ub4 fetched = stmtAttribute<ub4>(ATTR_ROWS_FETCHED);
        batches.push_back(fetched);
        for (ub4 i = 0; i < fetched; ++i)
            EXPECT_EQ(values[i], expectedNext++);
        if (rc == OCI_NO_DATA)
            break;
    }
    EXPECT_EQ(batches, c.batches);
    EXPECT_EQ(stmtAttribute<ub4>(ATTR_ROW_COUNT), static_cast<ub4>(c.rows));
    EXPECT_EQ(fetch(25), OCI_ERROR);
    EXPECT_EQ(conn.error().code, 1002);
}

INSTANTIATE_TEST_SUITE_P(Rows, BatchTest,
                         ::testing::Values(BatchCase{"ShortLastBatch", 60, 0, {25, 25, 10}},
                                           BatchCase{"ExactlyTwoBatches", 50, 0, {25, 25, 0}},
                                           BatchCase{"NoRows", 0, 0, {0}},
                                           BatchCase{"FirstBatchWithExecute", 26, 25, {25, 1}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(StatementTest, StatementTypeFunctionCodeAndRowCount)
{
    run("create table t (n number)");
    struct Case {
        const char *sql;
        ub2 type;
        ub2 functionCode;
        ub4 rows;
    } cases[] = {
        {"insert into t values (1)", 4, 3, 1},
        {" /* first */ insert into t values (2)", 4, 3, 1},
        {"update t set n = n * 10", 2, 5, 2},
        {"select * from t", 1, 4, 0},
        {"delete from t where n > 10", 3, 9, 1},
        {"create table u (x number)", 5, 1, 0},
        {"drop table u", 6, 8, 0},
        {"alter session set nls_date_format = 'YYYY-MM-DD'", 7, 52, 0},
        {"commit", 0, 54, 0},
    };
    for (const auto &c : cases) {
        prepare(c.sql);
        EXPECT_EQ(stmtAttribute<ub2>(ATTR_STMT_TYPE), c.type) << c.sql;
        ASSERT_EQ(executeQuery(c.type == 1 ? 0 : 1), OCI_SUCCESS) << c.sql << conn.error().text;
        EXPECT_EQ(stmtAttribute<ub2>(ATTR_SQLFNCODE), c.functionCode) << c.sql;
        EXPECT_EQ(stmtAttribute<ub4>(ATTR_ROW_COUNT), c.rows) << c.sql;
    }
}

struct ErrorCase {
    const char *name;
    const char *sql;
    int code;
    int offset; // -1: not checked
};

void PrintTo(const ErrorCase &c, std::ostream *os)
{
    *os << c.name;
}

class ErrorTest : public StatementTest, public ::testing::WithParamInterface<ErrorCase>
{
};

TEST_P(ErrorTest, ErrorRecordAndParseOffset)
{
    const ErrorCase &c = GetParam();
    run("create table t (n number(3) not null, s varchar2(5), d date, constraint t_pk primary key (n))");
    run("insert into t values (1, 'a', null)");
    prepare(c.sql); // the server sees the text only at execute
    ub2 type = stmtAttribute<ub2>(ATTR_STMT_TYPE);
    ASSERT_EQ(executeQuery(type == 1 ? 0 : 1), OCI_ERROR);
    ErrorInfo e = conn.error();
    EXPECT_EQ(e.code, c.code) << e.text;
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", c.code);
    EXPECT_EQ(e.text.rfind(prefix, 0), 0u) << e.text;
    EXPECT_EQ(e.text.back(), '\n');
    if (c.offset >= 0) {
        EXPECT_EQ(stmtAttribute<ub2>(ATTR_PARSE_ERROR_OFFSET), c.offset) << e.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Oracle, ErrorTest,
    ::testing::Values(ErrorCase{"UnknownTable", "select * from nosuch", 942, -1},
                      ErrorCase{"UnknownColumn", "select nosuch from t", 904, -1},
                      ErrorCase{"InvalidNumber", "insert into t (n) values ('abc')", 1722, -1},
                      ErrorCase{"ValueTooLarge", "insert into t (n, s) values (2, 'abcdef')", 12899, -1},
                      ErrorCase{"NotNull", "insert into t (s) values ('x')", 1400, -1},
                      ErrorCase{"InvalidStatement", "selec 1 from dual", 900, 0},
                      ErrorCase{"InvalidCharacter", "select 1 from dual;", 911, 18},
                      ErrorCase{"NotProperlyEnded", "select 1 from dual x y", 933, 21},
                      ErrorCase{"MissingExpression", "select * from t where", 936, 21}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(StatementTest, EmptyStringIsNullAndConversions)
{
    run("create table t (s varchar2(10), n number, d date)");
    run("insert into t values ('', '42', '05-JUN-07')");
    auto rows = conn.query("select count(*) from t where s is null and n = 42");
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"1"}}));
    rows = conn.query("select d from t");
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"05-JUN-07"}}));
    run("alter session set nls_date_format = 'YYYY-MM-DD'");
    rows = conn.query("select d from t");
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"2007-06-05"}}));
}

TEST_F(StatementTest, DictionaryViewsWithOracleColumns)
{
    run("create table emp (id number(6) primary key, name varchar2(40) default 'x' not null)");
    auto tables = conn.query("select table_name from user_tables");
    EXPECT_EQ(tables, (std::vector<std::vector<std::string>>{{"EMP"}}));
    prepare("select * from user_tab_columns where table_name='EMP'");
    ASSERT_EQ(executeQuery(), OCI_SUCCESS) << conn.error().text;
    ub4 count = stmtAttribute<ub4>(ATTR_PARAM_COUNT);
    std::vector<std::string> names;
    ub2 dataDefaultType = 0;
    for (ub4 i = 1; i <= count; ++i) {
        void *param = nullptr;
        conn.lib.OCIParamGet(conn.stmt, HTYPE_STMT, conn.err, &param, i);
        OraText *name = nullptr;
        ub4 length = 0;
        ub2 type = 0;
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &name, &length, ATTR_NAME, conn.err);
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &type, nullptr, ATTR_DATA_TYPE, conn.err);
        names.emplace_back(reinterpret_cast<char *>(name), length);
        if (names.back() == "DATA_DEFAULT")
            dataDefaultType = type;
    }
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[0], "TABLE_NAME");
    EXPECT_EQ(names[1], "COLUMN_NAME");
    EXPECT_EQ(names[2], "DATA_TYPE");
    EXPECT_EQ(dataDefaultType, 8);
    auto columns = conn.query("select column_name, data_type from user_tab_columns where table_name='EMP'"
                              " order by column_id");
    EXPECT_EQ(columns, (std::vector<std::vector<std::string>>{{"ID", "NUMBER"}, {"NAME", "VARCHAR2"}}));
}

TEST_F(StatementTest, ReexecutingAPreparedSelectStartsOver)
{
    run("create table t (n number(9))");
    run("insert into t values (1)");
    run("insert into t values (2)");
    prepare("select n from t order by n");
    int values[25] = {};
    define(1, values, 4, 3);
    for (int round = 0; round < 2; ++round) {
        values[0] = values[1] = 0;
        ASSERT_EQ(executeQuery(25), OCI_NO_DATA) << round;
        EXPECT_EQ(stmtAttribute<ub4>(ATTR_ROWS_FETCHED), 2u);
        EXPECT_EQ(values[0], 1);
        EXPECT_EQ(values[1], 2);
    }
    // Rows inserted in between show up in the next execution.
    run("insert into t values (3)");
    prepare("select n from t order by n");
    define(1, values, 4, 3);
    ASSERT_EQ(executeQuery(25), OCI_NO_DATA);
    EXPECT_EQ(stmtAttribute<ub4>(ATTR_ROWS_FETCHED), 3u);
}

TEST_F(StatementTest, CharacterValuesDefinedAsNumbers)
{
    prepare("select '7', ' 2.5 ', 'x' from dual");
    ASSERT_EQ(executeQuery(), OCI_SUCCESS);
    int seven = 0;
    double half = 0;
    define(1, &seven, 4, 3);
    define(2, &half, 8, 4);
    int bad = 0;
    define(3, &bad, 4, 3);
    EXPECT_EQ(fetch(1), OCI_ERROR);
    EXPECT_EQ(conn.error().code, 1722);
    EXPECT_EQ(seven, 7);
    EXPECT_DOUBLE_EQ(half, 2.5);
}

TEST_F(StatementTest, FetchBeforeExecuteAndZeroIterations)
{
    run("create table t (n number)");
    prepare("select n from t");
    EXPECT_EQ(fetch(1), OCI_ERROR);
    EXPECT_EQ(conn.error().code, 24338);
    prepare("insert into t values (1)");
    EXPECT_EQ(executeQuery(0), OCI_ERROR);
    EXPECT_EQ(conn.error().code, 24333);
}

TEST_F(StatementTest, UnsupportedCallsAnswerUnimplemented)
{
    // Values given at execution time (OCI_DATA_AT_EXEC) are not served.
    prepare("select :x from dual");
    void *bind = nullptr;
    int value = 1;
    EXPECT_EQ(conn.lib.OCIBindByName(conn.stmt, &bind, conn.err, reinterpret_cast<const OraText *>(":x"), 2,
                                     &value, 4, 3, nullptr, nullptr, nullptr, 0, nullptr, 2),
              OCI_ERROR);
    EXPECT_EQ(conn.error().text, "ORA-03001: unimplemented feature\n");
}

} // namespace
