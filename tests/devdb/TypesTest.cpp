// Every column type a real table can hold: stored through the literals and
// functions Oracle accepts, described with the codes and sizes a real client
// reports, fetched as text, through LOB locators, or refused as Oracle
// refuses the define.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ocitest;

namespace
{

using Rows = std::vector<std::vector<std::string>>;

constexpr ub4 DTYPE_LOB = 50, DTYPE_FILE = 56;
constexpr ub2 SQLT_CHR = 1, SQLT_INT = 3, SQLT_STR = 5, SQLT_BIN = 23, SQLT_CLOB = 112, SQLT_BLOB = 113,
              SQLT_BFILE = 114;
constexpr sword OCI_NEED_DATA = 99;

class TypesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"), 0);
        ASSERT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS) << conn.error().text;
    }
    void run(const std::string &sql)
    {
        ASSERT_EQ(conn.execute(sql), OCI_SUCCESS) << sql << ": " << conn.error().text;
    }
    // On a fresh statement handle, so that no define of an earlier query stays.
    void prepareAndExecute(const std::string &sql)
    {
        conn.lib.OCIHandleFree(conn.stmt, HTYPE_STMT);
        conn.lib.OCIHandleAlloc(conn.env, &conn.stmt, HTYPE_STMT, 0, nullptr);
        ASSERT_EQ(conn.lib.OCIStmtPrepare(conn.stmt, conn.err, reinterpret_cast<const OraText *>(sql.data()),
                                          static_cast<ub4>(sql.size()), 1, 0),
                  OCI_SUCCESS);
        ASSERT_EQ(conn.lib.OCIStmtExecute(conn.svc, conn.stmt, conn.err, 0, 0, nullptr, nullptr, 0),
                  OCI_SUCCESS)
            << conn.error().text;
    }
    void define(ub4 position, void *buffer, sb4 size, ub2 type, sb2 *indicator = nullptr,
                ub2 *length = nullptr, ub2 *code = nullptr)
    {
        void *handle = nullptr;
        ASSERT_EQ(conn.lib.OCIDefineByPos(conn.stmt, &handle, conn.err, position, buffer, size, type,
                                          indicator, length, code, 0),
                  OCI_SUCCESS);
    }
    sword fetch() { return conn.lib.OCIStmtFetch(conn.stmt, conn.err, 1, FETCH_NEXT, 0); }
    void *locator(ub4 type = DTYPE_LOB)
    {
        void *lob = nullptr;
        EXPECT_EQ(conn.lib.OCIDescriptorAlloc(conn.env, &lob, type, 0, nullptr), OCI_SUCCESS);
        return lob;
    }

    ScopedEnvironment utf8{{"NLS_LANG", "AMERICAN_AMERICA.AL32UTF8"}};
    TempHome home;
    Connection conn;
};

// A table with one column of each kind and one row of values.
const char *const kCreateAll =
    "create table every (c clob, nc nclob, b blob, f bfile, bf binary_float, bd binary_double,"
    " ts timestamp(3), tz timestamp with time zone, lz timestamp with local time zone,"
    " ym interval year to month, ds interval day(3) to second(2), r rowid, u urowid, rw raw(4), lr long raw,"
    " x xmltype, g mdsys.sdo_geometry, rf ref sdo_geometry, n nvarchar2(5), nch nchar(2), neg number(9,-2))";

const char *const kInsertAll =
    "insert into every (c, nc, b, f, bf, bd, ts, tz, lz, ym, ds, u, rw, x, g, n, nch, neg) values"
    " ('text', to_clob('n'), hextoraw('0102FF'), bfilename('DATA_DIR', 'a.txt'), to_binary_float(1.5),"
    " to_binary_double(0.1), timestamp '2020-03-15 13:04:05.123456', timestamp '2020-03-15 13:04:05 +02:00',"
    " timestamp '2020-03-15 13:04:05', interval '2-3' year to month, interval '4 05:06:07.891' day to second,"
    " 'AAAAAB', 'CAFE', xmltype('<a>1</a>'),"
    " sdo_geometry(2001, null, sdo_point_type(1, 2, null), null, null), 'abc', 'z', 99999999900)";

TEST_F(TypesTest, DescribeReportsTheCodesAndSizesOfARealClient)
{
    run(kCreateAll);
    prepareAndExecute("select * from every");
    struct Expected {
        const char *name;
        ub2 type, size;
        sb2 precision;
        sb1 scale;
        ub1 form;
        const char *typeName, *schema;
    } expected[] = {
        {"C", 112, 4000, 0, 0, 1, "", ""},
        {"NC", 112, 4000, 0, 0, 2, "", ""},
        {"B", 113, 4000, 0, 0, 0, "", ""},
        {"F", 114, 530, 0, 0, 0, "", ""},
        {"BF", 100, 4, 0, 0, 0, "", ""},
        {"BD", 101, 8, 0, 0, 0, "", ""},
        {"TS", 187, 11, 0, 3, 0, "", ""},
        {"TZ", 188, 13, 0, 6, 0, "", ""},
        {"LZ", 232, 11, 0, 6, 0, "", ""},
        {"YM", 189, 5, 2, 0, 0, "", ""},
        {"DS", 190, 11, 3, 2, 0, "", ""},
        {"R", 104, 10, 0, 0, 0, "", ""},
        {"U", 104, 4000, 0, 0, 0, "", ""},
        {"RW", 23, 4, 0, 0, 0, "", ""},
        {"LR", 24, 0, 0, 0, 0, "", ""},
        {"X", 108, 2000, 0, 0, 0, "XMLTYPE", "SYS"},
        {"G", 108, 1, 0, 0, 0, "SDO_GEOMETRY", "MDSYS"},
        {"RF", 110, 42, 0, 0, 0, "SDO_GEOMETRY", "MDSYS"},
        {"N", 1, 10, 0, 0, 2, "", ""},
        {"NCH", 96, 4, 0, 0, 2, "", ""},
        {"NEG", 2, 22, 9, -2, 0, "", ""},
    };
    for (ub4 i = 0; i < std::size(expected); ++i) {
        const auto &e = expected[i];
        SCOPED_TRACE(e.name);
        void *param = nullptr;
        ASSERT_EQ(conn.lib.OCIParamGet(conn.stmt, HTYPE_STMT, conn.err, &param, i + 1), OCI_SUCCESS);
        ub2 type = 0, size = 0;
        sb2 precision = 0;
        sb1 scale = 0;
        ub1 form = 9;
        OraText *typeName = nullptr, *schema = nullptr;
        ub4 typeNameLength = 0, schemaLength = 0;
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &type, nullptr, ATTR_DATA_TYPE, conn.err);
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &size, nullptr, ATTR_DATA_SIZE, conn.err);
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &precision, nullptr, ATTR_PRECISION, conn.err);
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &scale, nullptr, ATTR_SCALE, conn.err);
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &form, nullptr, ATTR_CHARSET_FORM, conn.err);
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &typeName, &typeNameLength, ATTR_TYPE_NAME, conn.err);
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &schema, &schemaLength, ATTR_SCHEMA_NAME, conn.err);
        EXPECT_EQ(type, e.type);
        EXPECT_EQ(size, e.size);
        EXPECT_EQ(precision, e.precision);
        EXPECT_EQ(scale, e.scale);
        EXPECT_EQ(form, e.form);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(typeName), typeNameLength), e.typeName);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(schema), schemaLength), e.schema);
    }
    // The dictionary names the types as Oracle does.
    EXPECT_EQ(conn.query("select data_type, data_type_owner, data_type_mod from user_tab_columns"
                         " where table_name = 'EVERY' and column_name in ('TZ', 'DS', 'X', 'RF', 'NC')"
                         " order by column_id"),
              (Rows{{"NCLOB", "<null>", "<null>"},
                    {"TIMESTAMP(6) WITH TIME ZONE", "<null>", "<null>"},
                    {"INTERVAL DAY(3) TO SECOND(2)", "<null>", "<null>"},
                    {"XMLTYPE", "SYS", "<null>"},
                    {"SDO_GEOMETRY", "MDSYS", "REF"}}));

    // The v7 describe reports the internal codes.
    Library &lib = conn.lib;
    CdaDef lda{}, cda{};
    ub1 hda[512] = {};
    ASSERT_EQ(lib.olog(&lda, hda, reinterpret_cast<const OraText *>("scott/tiger@DB"), -1, nullptr, -1,
                       nullptr, -1, 0),
              0);
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(lib.oparse(&cda,
                         reinterpret_cast<const OraText *>("select ts, tz, lz, ym, ds, c, g from every"), -1,
                         0, 2),
              0);
    std::vector<sb2> types;
    for (sword pos = 1;; ++pos) {
        sb2 dbtype = 0;
        if (lib.odescr(&cda, pos, nullptr, &dbtype, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            break;
        types.push_back(dbtype);
    }
    EXPECT_EQ(types, (std::vector<sb2>{180, 181, 231, 182, 183, 112, 108}));
    lib.oclose(&cda);
    lib.ologof(&lda);
}

TEST_F(TypesTest, TextFormsOfEachType)
{
    run(kCreateAll);
    run(kInsertAll);
    run("alter session set time_zone = '-05:00'"); // values with a zone keep theirs
    EXPECT_EQ(conn.query("select bf, bd, ts, tz, lz, ym, ds, rw, n, nch, neg from every"),
              (Rows{{"1.5E+000", "1.0E-001", "15-MAR-20 01.04.05.123 PM",
                     "15-MAR-20 01.04.05.000000 PM +02:00", "15-MAR-20 01.04.05.000000 PM", "+02-03",
                     "+004 05:06:07.89", "CAFE", "abc", "z ", "99999999900"}}));
    EXPECT_EQ(conn.query("select c, nc, x, u from every"), (Rows{{"text", "n", "<a>1</a>", "AAAAAB"}}));
    // The territory's formats and decimal character apply.
    run("alter session set nls_territory = germany");
    EXPECT_EQ(conn.query("select bf, ts from every"), (Rows{{"1,5E+000", "15.03.20 13:04:05,123"}}));
}

TEST_F(TypesTest, ValuesOracleRefuses)
{
    run(kCreateAll);
    run(kInsertAll);
    struct Case {
        const char *sql;
        int code;
    } cases[] = {
        {"select count(*) from every where c = 'text'", 932}, // LOBs do not compare
        {"select c from every order by c", 932},
        {"insert into every (ym) values (interval '1 02:00:00' day to second)", 932},
        {"insert into every (ds) values (interval '1000 00:00:00' day(4) to second)", 1873},
        {"insert into every (ym) values ('1-13')", 1843},
        {"insert into every (g) values ('text')", 932},
        {"insert into every (f) values ('DATA_DIR')", 932},
        {"insert into every (r) values ('not a rowid')", 1410},
        {"insert into every (x) values (xmltype('no xml'))", 31011},
        {"insert into every (rf) values ('x')", 932},
        {"insert into every (neg) values (1e12)", 1438},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(conn.execute(c.sql), OCI_ERROR);
        EXPECT_EQ(conn.error().code, c.code) << conn.error().text;
    }
}

TEST_F(TypesTest, ReleasesBeforeATypeRefuseIt)
{
    TempHome old("Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production");
    ASSERT_EQ(old.sql("system/manager", "create table a (c clob, b blob, n nvarchar2(3))\n"), 0);
    std::string out;
    EXPECT_NE(old.sql("system/manager", "create table b (d binary_double)\n", &out), 0);
    EXPECT_NE(out.find("ORA-00902"), std::string::npos) << out;
    EXPECT_NE(old.sql("system/manager", "create table c (t timestamp with time zone)\n", &out), 0);
    TempHome seven("Oracle7 Server Release 7.3.4.0.0 - Production");
    EXPECT_NE(seven.sql("system/manager", "create table d (c clob)\n", &out), 0);
}

TEST_F(TypesTest, LobLocatorsReadLengthsPiecesAndCharacterSets)
{
    run("create table docs (id number, c clob, nc nclob, b blob)");
    const std::string smile = "\xF0\x9F\x98\x80";
    run("insert into docs values (1, 'abc" + smile + "xyz', to_clob('N'), hextoraw('00FF10'))");
    run("insert into docs values (2, empty_clob(), null, empty_blob())");
    prepareAndExecute("select c, nc, b from docs order by id");
    void *c = locator(), *nc = locator(), *b = locator();
    sb2 ind[3] = {};
    define(1, &c, sizeof c, SQLT_CLOB, &ind[0]);
    define(2, &nc, sizeof nc, SQLT_CLOB, &ind[1]);
    define(3, &b, sizeof b, SQLT_BLOB, &ind[2]);
    ASSERT_EQ(fetch(), OCI_SUCCESS) << conn.error().text;

    // A CLOB counts UTF-16 units: the character beyond the BMP counts twice.
    ub4 length = 0;
    ASSERT_EQ(conn.lib.OCILobGetLength(conn.svc, conn.err, c, &length), OCI_SUCCESS);
    EXPECT_EQ(length, 8u);
    unsigned long long length2 = 0;
    ASSERT_EQ(conn.lib.OCILobGetLength2(conn.svc, conn.err, b, &length2), OCI_SUCCESS);
    EXPECT_EQ(length2, 3u);

    // One read of everything (amount 0) that fits.
    char buffer[64] = {};
    ub4 amount = 0;
    ASSERT_EQ(
        conn.lib.OCILobRead(conn.svc, conn.err, c, &amount, 1, buffer, sizeof buffer, nullptr, nullptr, 0, 0),
        OCI_SUCCESS);
    EXPECT_EQ(std::string(buffer, amount), "abc" + smile + "xyz"); // bytes, as the client set varies in width
    // From the fourth character, two of them.
    amount = 2;
    ASSERT_EQ(
        conn.lib.OCILobRead(conn.svc, conn.err, c, &amount, 4, buffer, sizeof buffer, nullptr, nullptr, 0, 0),
        OCI_SUCCESS);
    EXPECT_EQ(std::string(buffer, amount), smile + "x");

    // A small buffer reads in pieces: OCI_NEED_DATA until the last one.
    std::string pieces;
    unsigned long long bytes = 0, chars = 0;
    sword rc =
        conn.lib.OCILobRead2(conn.svc, conn.err, c, &bytes, &chars, 1, buffer, 4, 1, nullptr, nullptr, 0, 0);
    std::vector<unsigned long long> sizes;
    while (true) {
        pieces.append(buffer, bytes);
        sizes.push_back(bytes);
        if (rc != OCI_NEED_DATA)
            break;
        rc = conn.lib.OCILobRead2(conn.svc, conn.err, c, &bytes, &chars, 1, buffer, 4, 2, nullptr, nullptr, 0,
                                  0);
    }
    EXPECT_EQ(rc, OCI_SUCCESS);
    EXPECT_EQ(pieces, "abc" + smile + "xyz");
    EXPECT_EQ(sizes, (std::vector<unsigned long long>{3, 4, 3})); // characters are never split
    // Reading past the end finds nothing.
    amount = 1;
    EXPECT_EQ(conn.lib.OCILobRead(conn.svc, conn.err, c, &amount, 100, buffer, sizeof buffer, nullptr,
                                  nullptr, 0, 0),
              OCI_NO_DATA);

    ub1 form = 0;
    ASSERT_EQ(conn.lib.OCILobCharSetForm(conn.env, conn.err, nc, &form), OCI_SUCCESS);
    EXPECT_EQ(form, 2);
    amount = 0;
    ASSERT_EQ(
        conn.lib.OCILobRead(conn.svc, conn.err, b, &amount, 1, buffer, sizeof buffer, nullptr, nullptr, 0, 0),
        OCI_SUCCESS);
    EXPECT_EQ(std::string(buffer, amount), std::string("\x00\xFF\x10", 3));

    // An empty LOB is no NULL; a NULL leaves the locator uninitialized.
    ASSERT_EQ(fetch(), OCI_SUCCESS);
    EXPECT_EQ(ind[0], 0);
    EXPECT_EQ(ind[1], -1);
    ASSERT_EQ(conn.lib.OCILobGetLength(conn.svc, conn.err, c, &length), OCI_SUCCESS);
    EXPECT_EQ(length, 0u);
    int isInit = 1;
    ASSERT_EQ(conn.lib.OCILobLocatorIsInit(conn.env, conn.err, nc, &isInit), OCI_SUCCESS);
    EXPECT_EQ(isInit, 0);
    EXPECT_EQ(conn.lib.OCILobGetLength(conn.svc, conn.err, nc, &length), OCI_ERROR);
    EXPECT_EQ(conn.error().code, 22275);
    for (void *lob : {c, nc, b})
        conn.lib.OCIDescriptorFree(lob, DTYPE_LOB);
}

TEST_F(TypesTest, LobsDefinedAsTextOrBytes)
{
    run("create table docs (c clob, b blob)");
    run("insert into docs values ('0123456789', hextoraw('A1B2C3'))");
    prepareAndExecute("select c, b from docs");
    char text[5] = {};
    unsigned char bytes[8] = {};
    sb2 indicator[2] = {};
    ub2 length[2] = {}, code[2] = {};
    define(1, text, sizeof text, SQLT_CHR, &indicator[0], &length[0], &code[0]);
    define(2, bytes, sizeof bytes, SQLT_BIN, &indicator[1], &length[1], &code[1]);
    // Text longer than the buffer truncates as any character value does.
    EXPECT_EQ(fetch(), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(conn.error().code, 24345);
    EXPECT_EQ(std::string(text, 5), "01234");
    EXPECT_EQ(indicator[0], 10);
    EXPECT_EQ(code[0], 1406);
    EXPECT_EQ(length[1], 3);
    EXPECT_EQ(bytes[0], 0xA1);

    // A BLOB is no text, nor a CLOB bytes.
    prepareAndExecute("select b from docs");
    define(1, text, sizeof text, SQLT_STR);
    EXPECT_EQ(fetch(), OCI_ERROR);
    EXPECT_EQ(conn.error().text, "ORA-00932: inconsistent datatypes: expected CHAR got BLOB\n");
}

TEST_F(TypesTest, BfileLocatorsNameTheirFileButCannotOpenIt)
{
    run("create table files (f bfile)");
    run("insert into files values (bfilename('DATA_DIR', 'report.pdf'))");
    prepareAndExecute("select f from files");
    void *file = locator(DTYPE_FILE);
    sb2 indicator = 0;
    define(1, &file, sizeof file, SQLT_BFILE, &indicator);
    ASSERT_EQ(fetch(), OCI_SUCCESS) << conn.error().text;
    OraText directory[31] = {}, name[256] = {};
    ub2 directoryLength = sizeof directory, nameLength = sizeof name;
    ASSERT_EQ(
        conn.lib.OCILobFileGetName(conn.env, conn.err, file, directory, &directoryLength, name, &nameLength),
        OCI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(directory), directoryLength), "DATA_DIR");
    EXPECT_EQ(std::string(reinterpret_cast<char *>(name), nameLength), "report.pdf");
    EXPECT_EQ(conn.lib.OCILobFileOpen(conn.svc, conn.err, file, 1), OCI_ERROR);
    EXPECT_EQ(conn.error().text, "ORA-22285: non-existent directory or file for FILEOPEN operation\n");
    conn.lib.OCIDescriptorFree(file, DTYPE_FILE);

    prepareAndExecute("select f from files");
    char text[64];
    define(1, text, sizeof text, SQLT_STR);
    EXPECT_EQ(fetch(), OCI_ERROR);
    EXPECT_EQ(conn.error().text, "ORA-00932: inconsistent datatypes: expected CHAR got FILE\n");
}

TEST_F(TypesTest, ObjectColumnsAsText)
{
    run("create table shapes (x sys.xmltype, g sdo_geometry, r ref sdo_geometry)");
    run("insert into shapes (x, g) values ('<doc/>', sdo_geometry(2001, null, null, null, null))");
    char text[100] = {};
    sb2 indicator = 0;
    prepareAndExecute("select x from shapes");
    define(1, text, sizeof text, SQLT_STR, &indicator);
    ASSERT_EQ(fetch(), OCI_SUCCESS) << conn.error().text;
    EXPECT_STREQ(text, "<doc/>");
    struct Case {
        const char *column;
        const char *message;
    } cases[] = {
        {"g", "ORA-00932: inconsistent datatypes: expected CHAR got MDSYS.SDO_GEOMETRY\n"},
        {"r", "ORA-00932: inconsistent datatypes: expected CHAR got REF MDSYS.SDO_GEOMETRY\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.column);
        prepareAndExecute(std::string("select ") + c.column + " from shapes");
        define(1, text, sizeof text, SQLT_STR, &indicator);
        EXPECT_EQ(fetch(), OCI_ERROR);
        EXPECT_EQ(conn.error().text, c.message);
    }
}

// NUMBER(9,-2) holds 99,999,999,900, more than a 32-bit integer takes.
TEST_F(TypesTest, NegativeScaleNumberOverflowsAFourByteInteger)
{
    run("create table big (n number(9,-2))");
    run("insert into big values (99999999949)");
    EXPECT_EQ(conn.query("select n from big"), (Rows{{"99999999900"}}));
    prepareAndExecute("select n from big");
    int narrow = 0;
    define(1, &narrow, 4, SQLT_INT);
    EXPECT_EQ(fetch(), OCI_ERROR);
    EXPECT_EQ(conn.error().text, "ORA-01455: converting column overflows integer datatype\n");
    prepareAndExecute("select n from big");
    long long wide = 0;
    define(1, &wide, 8, SQLT_INT);
    ASSERT_EQ(fetch(), OCI_SUCCESS);
    EXPECT_EQ(wide, 99999999900LL);
    run("commit");

    Library &lib = conn.lib;
    CdaDef lda{}, cda{};
    ub1 hda[512] = {};
    ASSERT_EQ(lib.olog(&lda, hda, reinterpret_cast<const OraText *>("scott/tiger@DB"), -1, nullptr, -1,
                       nullptr, -1, 0),
              0);
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(lib.oparse(&cda, reinterpret_cast<const OraText *>("select n from big"), -1, 0, 2), 0);
    ASSERT_EQ(lib.odefin(&cda, 1, reinterpret_cast<ub1 *>(&narrow), 4, SQLT_INT, -1, nullptr, nullptr, -1, -1,
                         nullptr, nullptr),
              0);
    EXPECT_NE(lib.oexfet(&cda, 1, 0, 0), 0);
    EXPECT_EQ(cda.rc, 1455);
    lib.oclose(&cda);
    lib.ologof(&lda);
}

} // namespace
