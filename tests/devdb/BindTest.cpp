// Bind variables through the C ABI: every external type with and without a
// NULL indicator, text converted by the session's formats as literals are,
// a prepared seek executed again with new values, and the errors of
// placeholders without values.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ocitest;

namespace
{

using Rows = std::vector<std::vector<std::string>>;

class BindTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"), 0);
        ASSERT_EQ(home.sql("scott/tiger", "create table t (id number(6) primary key, amount number(8,2),"
                                          " day date, name varchar2(20), code char(4), ratio binary_double,"
                                          " bytes raw(4))\n"),
                  0);
    }
    // A session under the given NLS_LANG (its formats are the territory's).
    std::unique_ptr<Connection> connect(const std::string &nlsLang)
    {
        ScopedEnvironment scoped{
            {"NLS_LANG", nlsLang}, {"NLS_DATE_FORMAT", ""}, {"NLS_NUMERIC_CHARACTERS", ""}};
        auto conn = std::make_unique<Connection>();
        EXPECT_EQ(conn->logOn("scott", "tiger"), OCI_SUCCESS) << conn->error().text;
        return conn;
    }
    static void prepare(Connection &conn, const std::string &sql)
    {
        ASSERT_EQ(conn.lib.OCIStmtPrepare(conn.stmt, conn.err, reinterpret_cast<const OraText *>(sql.data()),
                                          static_cast<ub4>(sql.size()), 1, 0),
                  OCI_SUCCESS);
    }
    static sword bindName(Connection &conn, const char *name, void *value, sb4 size, ub2 type,
                          sb2 *indicator = nullptr, ub2 *length = nullptr)
    {
        void *bind = nullptr;
        return conn.lib.OCIBindByName(conn.stmt, &bind, conn.err, reinterpret_cast<const OraText *>(name),
                                      static_cast<sb4>(std::strlen(name)), value, size, type, indicator,
                                      length, nullptr, 0, nullptr, 0);
    }
    static sword bindPos(Connection &conn, ub4 position, void *value, sb4 size, ub2 type,
                         sb2 *indicator = nullptr, ub2 *length = nullptr)
    {
        void *bind = nullptr;
        return conn.lib.OCIBindByPos(conn.stmt, &bind, conn.err, position, value, size, type, indicator,
                                     length, nullptr, 0, nullptr, 0);
    }
    static sword execute(Connection &conn, ub4 iterations = 1)
    {
        return conn.lib.OCIStmtExecute(conn.svc, conn.stmt, conn.err, iterations, 0, nullptr, nullptr, 0);
    }

    ScopedEnvironment utf8{{"NLS_LANG", ".AL32UTF8"}};
    TempHome home;
};

struct TerritoryCase {
    const char *nlsLang;
    const char *amount; // 1.5 as the territory writes it
    const char *day;    // 15 March 2020 in the territory's date format
    const char *foreignAmount;
    const char *foreignDay;
};

TEST_F(BindTest, BoundTextConvertsByTheSessionsFormatsLikeALiteral)
{
    const TerritoryCase cases[] = {
        {"AMERICAN_AMERICA.AL32UTF8", "1.5", "15-MAR-20", "1,5", "15.03.20"},
        {"RUSSIAN_RUSSIA.AL32UTF8", "1,5", "15.03.20", "1.5", "15-MAR-20"},
    };
    int id = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.nlsLang);
        auto conn = connect(c.nlsLang);
        char idText[8], amount[16], day[16];
        prepare(*conn, "insert into t (id, amount, day) values (:ID, :amount, :Day)");
        ASSERT_EQ(bindName(*conn, ":id", idText, sizeof idText, SQLT_STR), OCI_SUCCESS);
        ASSERT_EQ(bindName(*conn, "AMOUNT", amount, sizeof amount, SQLT_STR), OCI_SUCCESS);
        ASSERT_EQ(bindName(*conn, ":day", day, sizeof day, SQLT_STR), OCI_SUCCESS);
        std::snprintf(idText, sizeof idText, "%d", ++id);
        std::strcpy(amount, c.amount);
        std::strcpy(day, c.day);
        EXPECT_EQ(execute(*conn), OCI_SUCCESS) << conn->error().text;
        // What the same literals give, and what they refuse, the bound text gives and refuses.
        EXPECT_EQ(conn->execute("insert into t (id, amount, day) values (" + std::to_string(++id) + ", '" +
                                c.amount + "', '" + c.day + "')"),
                  OCI_SUCCESS);
        std::snprintf(idText, sizeof idText, "%d", ++id);
        std::strcpy(amount, c.foreignAmount);
        prepare(*conn, "insert into t (id, amount) values (:1, :2)");
        ASSERT_EQ(bindPos(*conn, 1, idText, sizeof idText, SQLT_STR), OCI_SUCCESS);
        ASSERT_EQ(bindPos(*conn, 2, amount, sizeof amount, SQLT_STR), OCI_SUCCESS);
        EXPECT_EQ(execute(*conn), OCI_ERROR);
        EXPECT_EQ(conn->error().code, 1722);
        prepare(*conn, "insert into t (id, day) values (:1, :2)");
        std::strcpy(day, c.foreignDay);
        ASSERT_EQ(bindPos(*conn, 1, idText, sizeof idText, SQLT_STR), OCI_SUCCESS);
        ASSERT_EQ(bindPos(*conn, 2, day, sizeof day, SQLT_STR), OCI_SUCCESS);
        EXPECT_EQ(execute(*conn), OCI_ERROR);
        int boundError = conn->error().code;
        EXPECT_EQ(conn->execute(std::string("insert into t (id, day) values (999, '") + c.foreignDay + "')"),
                  OCI_ERROR);
        EXPECT_EQ(boundError, conn->error().code);
        EXPECT_EQ(conn->query("select to_char(amount * 10), to_char(day, 'YYYY-MM-DD') from t where id >= " +
                              std::to_string(id - 2) + " order by id"),
                  (Rows{{"15", "2020-03-15"}, {"15", "2020-03-15"}}));
    }
}

// Oracle's internal NUMBER: base-100 digits after an exponent byte.
const unsigned char kNumber12345[] = {0xC2, 2, 24, 46};             // 123.45
const unsigned char kNumberMinus12345[] = {0x3D, 100, 78, 56, 102}; // -123.45

TEST_F(BindTest, EveryExternalTypeAndItsNullIndicator)
{
    auto conn = connect("AMERICAN_AMERICA.AL32UTF8");
    ASSERT_EQ(conn->execute("alter session set nls_date_format = 'YYYY-MM-DD HH24:MI:SS'"), OCI_SUCCESS);
    struct Case {
        const char *name;
        const char *column;
        ub2 type;
        std::vector<unsigned char> bytes;
        ub2 length; // for the length array; 0: none
        const char *stored;
    };
    auto raw = [](const void *p, std::size_t n) {
        auto *b = static_cast<const unsigned char *>(p);
        return std::vector<unsigned char>(b, b + n);
    };
    const int int4 = -42;
    const long long int8 = 123456;
    const unsigned int uint4 = 4000000000u;
    const double dbl = 2.25;
    const float flt = 0.5f;
    const double ratio = 0.1;
    const unsigned char date7[] = {120, 120, 3, 15, 14, 5, 6}; // 2020-03-15 13:04:05
    struct {
        short year;
        unsigned char month, day, hour, minute, second;
    } ociDate{2020, 3, 15, 13, 4, 5};
    unsigned char vnu[22] = {4, 0xC2, 2, 24, 46};
    unsigned char vcs[12] = {5, 0, 'h', 'e', 'l', 'l', 'o'};
    const Case cases[] = {
        {"SQLT_INT 4 bytes", "amount", SQLT_INT, raw(&int4, 4), 0, "-42"},
        {"SQLT_INT 8 bytes", "amount", SQLT_INT, raw(&int8, 8), 0, "123456"},
        {"SQLT_UIN", "id", SQLT_UIN, raw(&uint4, 4), 0, "<error 1438>"},
        {"SQLT_FLT double", "amount", SQLT_FLT, raw(&dbl, 8), 0, "2.25"},
        {"SQLT_FLT float", "amount", SQLT_FLT, raw(&flt, 4), 0, ".5"},
        {"SQLT_NUM", "amount", SQLT_NUM, raw(kNumber12345, 4), 0, "123.45"},
        {"SQLT_NUM negative", "amount", SQLT_NUM, raw(kNumberMinus12345, 5), 0, "-123.45"},
        {"SQLT_VNU", "amount", SQLT_VNU, raw(vnu, 22), 0, "123.45"},
        {"SQLT_BDOUBLE", "ratio", SQLT_BDOUBLE, raw(&ratio, 8), 0, "1.0E-001"},
        {"SQLT_BFLOAT into NUMBER", "amount", SQLT_BFLOAT, raw(&flt, 4), 0, ".5"},
        {"SQLT_CHR with length", "name", SQLT_CHR, raw("abcdef", 6), 3, "abc"},
        {"SQLT_CHR whole buffer", "name", SQLT_CHR, raw("ab  ", 4), 0, "ab  "},
        {"SQLT_STR", "name", SQLT_STR, raw("xyz\0junk", 8), 0, "xyz"},
        {"SQLT_VCS", "name", SQLT_VCS, raw(vcs, 12), 0, "hello"},
        {"SQLT_AFC", "code", SQLT_AFC, raw("ab", 2), 2, "ab  "},
        {"SQLT_AVC", "code", SQLT_AVC, raw("cd\0", 3), 0, "cd  "},
        {"SQLT_DAT", "day", SQLT_DAT, raw(date7, 7), 0, "2020-03-15 13:04:05"},
        {"SQLT_ODT", "day", SQLT_ODT, raw(&ociDate, sizeof ociDate), 0, "2020-03-15 13:04:05"},
        {"SQLT_BIN", "bytes", SQLT_BIN, raw("\x01\xAB", 2), 2, "01AB"},
        {"SQLT_STR into NUMBER", "amount", SQLT_STR, raw("7.25", 5), 0, "7.25"},
        {"SQLT_INT into VARCHAR2", "name", SQLT_INT, raw(&int4, 4), 0, "-42"},
    };
    int id = 100;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (bool null : {false, true}) {
            std::vector<unsigned char> buffer = c.bytes;
            sb2 indicator = null ? -1 : 0;
            ub2 length = c.length;
            std::string column = c.column;
            bool intoId = column == "id";
            prepare(*conn, intoId ? "insert into t (id) values (:v)"
                                  : "insert into t (id, " + column + ") values (:id, :v)");
            int rowId = ++id;
            if (!intoId) {
                ASSERT_EQ(bindName(*conn, ":id", &rowId, 4, SQLT_INT), OCI_SUCCESS);
            }
            ASSERT_EQ(bindName(*conn, ":v", buffer.data(), static_cast<sb4>(buffer.size()), c.type,
                               &indicator, c.length ? &length : nullptr),
                      OCI_SUCCESS)
                << conn->error().text;
            sword rc = execute(*conn);
            std::string expected = c.stored;
            if (expected.rfind("<error ", 0) == 0) {
                // A NULL key is refused as well, with its own error.
                EXPECT_EQ(rc, OCI_ERROR);
                EXPECT_EQ(conn->error().code, null ? 1400 : std::stoi(expected.substr(7)));
                continue;
            }
            ASSERT_EQ(rc, OCI_SUCCESS) << conn->error().text;
            auto rows = conn->query("select " + column + " from t where id = " + std::to_string(rowId));
            EXPECT_EQ(rows, (Rows{{null ? "<null>" : expected}}));
        }
    }
}

TEST_F(BindTest, TextInTheClientCharacterSet)
{
    auto conn = connect("RUSSIAN_RUSSIA.CL8MSWIN1251");
    char name[] = "\xCF\xF0\xE8\xE2\xE5\xF2"; // "Привет" in Windows-1251
    int id = 1;
    prepare(*conn, "insert into t (id, name) values (:1, :2)");
    ASSERT_EQ(bindPos(*conn, 1, &id, 4, SQLT_INT), OCI_SUCCESS);
    ASSERT_EQ(bindPos(*conn, 2, name, sizeof name, SQLT_STR), OCI_SUCCESS);
    ASSERT_EQ(execute(*conn), OCI_SUCCESS) << conn->error().text;
    EXPECT_EQ(conn->query("select lengthb(name), name from t"), (Rows{{"12", name}}));
}

TEST_F(BindTest, PreparedSeekRunsAgainWithNewValuesOrNewBinds)
{
    auto conn = connect("AMERICAN_AMERICA.AL32UTF8");
    ASSERT_EQ(conn->execute("insert into t (id, name, code) values (1, 'Smith', 'AB')"), OCI_SUCCESS);
    ASSERT_EQ(conn->execute("insert into t (id, name, code) values (2, 'Jones', 'CD')"), OCI_SUCCESS);
    prepare(*conn, "select id from t where name = :1 and code = :2");
    char name[21] = "Smith";
    char code[5] = "AB";
    ub2 nameLength = 5, codeLength = 2;
    ASSERT_EQ(bindPos(*conn, 1, name, 20, SQLT_CHR, nullptr, &nameLength), OCI_SUCCESS);
    ASSERT_EQ(bindPos(*conn, 2, code, 4, SQLT_AFC, nullptr, &codeLength), OCI_SUCCESS);
    int found = 0;
    void *define = nullptr;
    ASSERT_EQ(conn->lib.OCIDefineByPos(conn->stmt, &define, conn->err, 1, &found, 4, SQLT_INT, nullptr,
                                       nullptr, nullptr, 0),
              OCI_SUCCESS);
    auto seek = [&]() -> int {
        found = 0;
        EXPECT_EQ(conn->lib.OCIStmtExecute(conn->svc, conn->stmt, conn->err, 0, 0, nullptr, nullptr, 0),
                  OCI_SUCCESS)
            << conn->error().text;
        sword rc = conn->lib.OCIStmtFetch(conn->stmt, conn->err, 1, FETCH_NEXT, 0);
        return rc == OCI_SUCCESS ? found : rc == OCI_NO_DATA ? 0 : -1;
    };
    EXPECT_EQ(seek(), 1);
    // New contents of the same buffers.
    std::strcpy(name, "Jones");
    std::strcpy(code, "CD");
    EXPECT_EQ(seek(), 2);
    std::strcpy(code, "AB");
    EXPECT_EQ(seek(), 0);
    // A CHAR column matches a VARCHAR2 value only with its padding, as in Oracle.
    ASSERT_EQ(bindPos(*conn, 2, code, 4, SQLT_CHR, nullptr, &codeLength), OCI_SUCCESS);
    std::strcpy(name, "Smith");
    EXPECT_EQ(seek(), 0);
    std::strcpy(code, "AB  ");
    codeLength = 4;
    EXPECT_EQ(seek(), 1);
}

TEST_F(BindTest, PlaceholdersWithoutValues)
{
    auto conn = connect("AMERICAN_AMERICA.AL32UTF8");
    int id = 1;
    prepare(*conn, "insert into t (id, name) values (:id, :name)");
    ub4 count = 0;
    conn->lib.OCIAttrGet(conn->stmt, HTYPE_STMT, &count, nullptr, ATTR_BIND_COUNT, conn->err);
    EXPECT_EQ(count, 2u);
    // A name the statement does not have is refused at once.
    EXPECT_EQ(bindName(*conn, ":nosuch", &id, 4, SQLT_INT), OCI_ERROR);
    EXPECT_EQ(conn->error().text, "ORA-01036: illegal variable name/number\n");
    ASSERT_EQ(bindName(*conn, ":id", &id, 4, SQLT_INT), OCI_SUCCESS);
    EXPECT_EQ(execute(*conn), OCI_ERROR);
    EXPECT_EQ(conn->error().text, "ORA-01008: not all variables bound\n");
    // A position beyond the placeholders fails at execution.
    ASSERT_EQ(bindPos(*conn, 3, &id, 4, SQLT_INT), OCI_SUCCESS);
    ASSERT_EQ(bindPos(*conn, 2, &id, 4, SQLT_INT), OCI_SUCCESS);
    EXPECT_EQ(execute(*conn), OCI_ERROR);
    EXPECT_EQ(conn->error().code, 1036);
    // A statement prepared again has lost its binds.
    prepare(*conn, "insert into t (id) values (:id)");
    EXPECT_EQ(execute(*conn), OCI_ERROR);
    EXPECT_EQ(conn->error().code, 1008);
    // A syntax error is reported before missing values.
    prepare(*conn, "insert into t (id) valuez (:id)");
    EXPECT_EQ(execute(*conn), OCI_ERROR);
    EXPECT_EQ(conn->error().code, 926);
    EXPECT_EQ(conn->query("select count(*) from t"), (Rows{{"0"}}));
}

} // namespace
