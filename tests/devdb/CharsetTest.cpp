// Character sets: every text that crosses the library is converted between
// the client character set (NLS_LANG, OCIEnvNlsCreate) and the database's,
// lengths are counted in bytes of the database character set or in
// characters, and a value that grows on its way to the client is truncated
// as a real client truncates it.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ocitest;

namespace
{

using Rows = std::vector<std::vector<std::string>>;

const std::string kPrivetUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"; // Привет
const std::string kGruesseUtf8 = "Gr\xC3\xBC\xC3\x9F"
                                 "e";              // Grüße
const std::string kEuroUtf8 = "\xE2\x82\xAC";      // €
const std::string kSmileUtf8 = "\xF0\x9F\x98\x80"; // U+1F600

std::unique_ptr<Connection> connectAs(const std::string &nlsLang, const std::string &user = "scott")
{
    ScopedEnvironment scoped{{"NLS_LANG", nlsLang}, {"NLS_LENGTH_SEMANTICS", ""}};
    auto conn = std::make_unique<Connection>();
    EXPECT_EQ(conn->logOn(user, "tiger"), OCI_SUCCESS) << conn->error().text;
    return conn;
}

void createScott(TempHome &home)
{
    ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"), 0);
}

struct ClientCase {
    const char *charset;
    std::string privet, gruesse, euro, smile; // the stored values as this client receives them
};

void PrintTo(const ClientCase &c, std::ostream *os)
{
    *os << c.charset;
}

class ClientCharsets : public ::testing::TestWithParam<ClientCase>
{
protected:
    void SetUp() override
    {
        createScott(home);
        auto utf8 = connectAs(".AL32UTF8");
        ASSERT_EQ(utf8->execute("create table t (id number, s varchar2(40))"), OCI_SUCCESS);
        const std::string values[] = {kPrivetUtf8, kGruesseUtf8, kEuroUtf8, kSmileUtf8};
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(
                utf8->execute("insert into t values (" + std::to_string(i + 1) + ", '" + values[i] + "')"),
                OCI_SUCCESS);
        ASSERT_EQ(utf8->logOff(), OCI_SUCCESS);
    }
    TempHome home;
};

TEST_P(ClientCharsets, ValuesArriveInTheClientCharacterSetAndGoBack)
{
    const ClientCase &c = GetParam();
    auto conn = connectAs(std::string("AMERICAN_AMERICA.") + c.charset);
    EXPECT_EQ(conn->query("select s from t order by id"),
              (Rows{{c.privet}, {c.gruesse}, {c.euro}, {c.smile}}));
    // What the client sends in its own character set is stored as the characters it means.
    const std::string *received[] = {&c.privet, &c.gruesse, &c.euro, &c.smile};
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(
            conn->execute("insert into t values (" + std::to_string(i + 11) + ", '" + *received[i] + "')"),
            OCI_SUCCESS)
            << conn->error().text;
    EXPECT_EQ(conn->query("select s from t where id > 10 order by id"),
              (Rows{{c.privet}, {c.gruesse}, {c.euro}, {c.smile}}));
    ASSERT_EQ(conn->execute("commit"), OCI_SUCCESS);
    auto utf8 = connectAs(".AL32UTF8");
    for (int i = 0; i < 4; ++i) {
        bool replaced = received[i]->find_first_of("?\xBF") != std::string::npos;
        if (replaced)
            continue;
        EXPECT_EQ(utf8->query("select s from t where id = " + std::to_string(i + 11)),
                  utf8->query("select s from t where id = " + std::to_string(i + 1)))
            << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Nls, ClientCharsets,
    ::testing::Values(ClientCase{"AL32UTF8", kPrivetUtf8, kGruesseUtf8, kEuroUtf8, kSmileUtf8},
                      // UTF8 writes characters beyond the BMP as two three-byte surrogates.
                      ClientCase{"UTF8", kPrivetUtf8, kGruesseUtf8, kEuroUtf8, "\xED\xA0\xBD\xED\xB8\x80"},
                      ClientCase{"CL8MSWIN1251", "\xCF\xF0\xE8\xE2\xE5\xF2", "Gr??e", "\x88", "?"},
                      ClientCase{"CL8KOI8R", "\xF0\xD2\xC9\xD7\xC5\xD4", "Gr??e", "?", "?"},
                      // The Western European sets replace with the inverted question mark.
                      ClientCase{"WE8MSWIN1252", std::string(6, '\xBF'),
                                 "Gr\xFC\xDF"
                                 "e",
                                 "\x80", "\xBF"},
                      ClientCase{"WE8ISO8859P1", std::string(6, '\xBF'),
                                 "Gr\xFC\xDF"
                                 "e",
                                 "\xBF", "\xBF"},
                      ClientCase{"US7ASCII", "??????", "Gr??e", "?", "?"}),
    [](const auto &info) { return std::string(info.param.charset); });

TEST(Charsets, LengthsCountBytesOfTheDatabaseOrCharacters)
{
    TempHome home;
    createScott(home);
    auto conn = connectAs(".AL32UTF8");
    ASSERT_EQ(
        conn->execute("create table l (b varchar2(6), c varchar2(6 char), n nvarchar2(6), f char(3 char))"),
        OCI_SUCCESS);
    struct Case {
        const char *column;
        std::string value;
        std::string message; // empty: stored
    } cases[] = {
        {"b", kPrivetUtf8, "(actual: 12, maximum: 6)"},
        {"b", "abcdef", ""},
        {"c", kPrivetUtf8, ""},
        {"c", kPrivetUtf8 + "!", "(actual: 7, maximum: 6)"},
        {"n", kPrivetUtf8, ""},
        {"n", kPrivetUtf8 + "!", "(actual: 7, maximum: 6)"},
        {"f", "\xD0\x94\xD0\xB0", ""}, // Да
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.column) + " " + c.value);
        sword rc = conn->execute(std::string("insert into l (") + c.column + ") values ('" + c.value + "')");
        if (c.message.empty()) {
            EXPECT_EQ(rc, OCI_SUCCESS) << conn->error().text;
            continue;
        }
        ASSERT_EQ(rc, OCI_ERROR);
        EXPECT_EQ(conn->error().text,
                  std::string("ORA-12899: value too large for column \"SCOTT\".\"L\".\"") +
                      static_cast<char>(std::toupper(c.column[0])) + "\" " + c.message + "\n");
    }
    // CHAR(3 CHAR) is blank-padded to three characters.
    EXPECT_EQ(conn->query("select length(f), lengthb(f) from l where f is not null"), (Rows{{"3", "5"}}));
    EXPECT_EQ(conn->query("select column_name, data_length, char_length, char_used, character_set_name"
                          " from user_tab_columns where table_name = 'L' order by column_id"),
              (Rows{{"B", "6", "6", "B", "CHAR_CS"},
                    {"C", "24", "6", "C", "CHAR_CS"},
                    {"N", "12", "6", "C", "NCHAR_CS"},
                    {"F", "12", "3", "C", "CHAR_CS"}}));

    ASSERT_EQ(conn->execute("commit"), OCI_SUCCESS);

    // NLS_LENGTH_SEMANTICS from the environment makes CHAR the default.
    ScopedEnvironment chars{{"NLS_LANG", ".AL32UTF8"}, {"NLS_LENGTH_SEMANTICS", "CHAR"}};
    Connection charConn;
    ASSERT_EQ(charConn.logOn("scott", "tiger"), OCI_SUCCESS) << charConn.error().text;
    ASSERT_EQ(charConn.execute("create table l2 (v varchar2(6), w varchar2(6 byte))"), OCI_SUCCESS);
    EXPECT_EQ(charConn.execute("insert into l2 (v) values ('" + kPrivetUtf8 + "')"), OCI_SUCCESS);
    EXPECT_EQ(charConn.execute("insert into l2 (w) values ('" + kPrivetUtf8 + "')"), OCI_ERROR);
}

TEST(Charsets, SingleByteDatabase)
{
    TempHome home("", "CL8MSWIN1251");
    createScott(home);
    auto conn = connectAs(".AL32UTF8");
    EXPECT_EQ(conn->query("select value from nls_database_parameters where parameter = 'NLS_CHARACTERSET'"),
              (Rows{{"CL8MSWIN1251"}}));
    ASSERT_EQ(conn->execute("create table t (s varchar2(6), c varchar2(6 char))"), OCI_SUCCESS);
    // Six Cyrillic letters are six bytes here; what the set lacks is lost on the way in.
    EXPECT_EQ(conn->execute("insert into t (s) values ('" + kPrivetUtf8 + "')"), OCI_SUCCESS)
        << conn->error().text;
    EXPECT_EQ(conn->execute("insert into t (s) values ('" + kGruesseUtf8 + "')"), OCI_SUCCESS);
    EXPECT_EQ(conn->query("select s from t"), (Rows{{kPrivetUtf8}, {"Gr??e"}}));
    EXPECT_EQ(conn->query("select data_length from user_tab_columns where column_name = 'C'"), (Rows{{"6"}}));

    TempHome latin("", "WE8ISO8859P1");
    createScott(latin);
    auto latinConn = connectAs(".AL32UTF8");
    ASSERT_EQ(latinConn->execute("create table t (s varchar2(6))"), OCI_SUCCESS);
    ASSERT_EQ(latinConn->execute("insert into t values ('" + kPrivetUtf8 + "')"), OCI_SUCCESS);
    EXPECT_EQ(latinConn->query("select s from t"),
              (Rows{{"\xC2\xBF\xC2\xBF\xC2\xBF\xC2\xBF\xC2\xBF\xC2\xBF"}}));

    std::string out;
    EXPECT_NE(TempHome::tool({"database", latin.path(), "OTHER", "--charset", "KLINGON8"}, {}, &out), 0);
    EXPECT_NE(out.find("ORA-12701"), std::string::npos) << out;
}

TEST(Charsets, DescribeReportsBytesCharactersAndForm)
{
    TempHome home;
    createScott(home);
    auto conn = connectAs(".AL32UTF8");
    ASSERT_EQ(
        conn->execute("create table d (b varchar2(10), c varchar2(10 char), n nvarchar2(10), m nchar(3),"
                      " x number)"),
        OCI_SUCCESS);
    ASSERT_EQ(conn->execute("select * from d"), OCI_SUCCESS);
    struct Expected {
        ub2 size, charSize;
        ub1 charUsed, form;
        ub2 charsetId;
    } expected[] = {
        {10, 10, 0, 1, 873}, {40, 10, 1, 1, 873}, {20, 10, 1, 2, 2000}, {6, 3, 1, 2, 2000}, {22, 0, 0, 0, 0}};
    for (ub4 i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        void *param = nullptr;
        ASSERT_EQ(conn->lib.OCIParamGet(conn->stmt, HTYPE_STMT, conn->err, &param, i + 1), OCI_SUCCESS);
        ub2 size = 0, charSize = 0, charsetId = 9;
        ub1 charUsed = 9, form = 9;
        conn->lib.OCIAttrGet(param, DTYPE_PARAM, &size, nullptr, ATTR_DATA_SIZE, conn->err);
        conn->lib.OCIAttrGet(param, DTYPE_PARAM, &charSize, nullptr, ATTR_CHAR_SIZE, conn->err);
        conn->lib.OCIAttrGet(param, DTYPE_PARAM, &charUsed, nullptr, ATTR_CHAR_USED, conn->err);
        conn->lib.OCIAttrGet(param, DTYPE_PARAM, &form, nullptr, ATTR_CHARSET_FORM, conn->err);
        conn->lib.OCIAttrGet(param, DTYPE_PARAM, &charsetId, nullptr, ATTR_CHARSET_ID, conn->err);
        EXPECT_EQ(size, expected[i].size);
        EXPECT_EQ(charSize, expected[i].charSize);
        EXPECT_EQ(charUsed, expected[i].charUsed);
        EXPECT_EQ(form, expected[i].form);
        EXPECT_EQ(charsetId, expected[i].charsetId);
    }
}

// A single-byte database read by a UTF-8 client: four bytes of the column
// become seven on the way, and a buffer of the described size truncates.
TEST(Charsets, ExpansionTruncatesAsOracleReportsIt)
{
    TempHome home("", "CL8MSWIN1251");
    createScott(home);
    auto conn = connectAs(".AL32UTF8");
    ASSERT_EQ(conn->execute("create table t (s varchar2(4))"), OCI_SUCCESS);
    const std::string dom = "\xD0\x94\xD0\xBE\xD0\xBC!"; // Дом!
    ASSERT_EQ(conn->execute("insert into t values ('" + dom + "')"), OCI_SUCCESS);
    ASSERT_EQ(conn->execute("commit"), OCI_SUCCESS);

    const std::string select = "select s from t";
    ASSERT_EQ(conn->lib.OCIStmtPrepare(conn->stmt, conn->err,
                                       reinterpret_cast<const OraText *>(select.data()),
                                       static_cast<ub4>(select.size()), 1, 0),
              OCI_SUCCESS);
    ASSERT_EQ(conn->lib.OCIStmtExecute(conn->svc, conn->stmt, conn->err, 0, 0, nullptr, nullptr, 0),
              OCI_SUCCESS);
    char buffer[4] = {};
    sb2 indicator = 0;
    ub2 length = 0, code = 0;
    void *define = nullptr;
    ASSERT_EQ(conn->lib.OCIDefineByPos(conn->stmt, &define, conn->err, 1, buffer, sizeof buffer, 1,
                                       &indicator, &length, &code, 0),
              OCI_SUCCESS);
    EXPECT_EQ(conn->lib.OCIStmtFetch(conn->stmt, conn->err, 1, FETCH_NEXT, 0), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(conn->error().code, 24345);
    EXPECT_EQ(code, 1406);
    EXPECT_EQ(indicator, 7);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(std::string(buffer, 4), dom.substr(0, 4));

    // The v7 calls report the same truncation in the cursor's return code.
    Library &lib = buildLibrary();
    ScopedEnvironment utf8{{"NLS_LANG", ".AL32UTF8"}};
    CdaDef lda{}, cda{};
    ub1 hda[512] = {};
    ASSERT_EQ(lib.olog(&lda, hda, reinterpret_cast<const OraText *>("scott/tiger@DB"), -1, nullptr, -1,
                       nullptr, -1, 0),
              0);
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(lib.oparse(&cda, reinterpret_cast<const OraText *>(select.c_str()), -1, 0, 2), 0);
    indicator = 0;
    code = 0;
    ASSERT_EQ(lib.odefin(&cda, 1, reinterpret_cast<ub1 *>(buffer), sizeof buffer, 1, -1, &indicator, nullptr,
                         -1, -1, &length, &code),
              0);
    ASSERT_EQ(lib.oexec(&cda), 0);
    EXPECT_EQ(lib.ofen(&cda, 1), 0); // a warning: the row is fetched
    EXPECT_EQ(cda.rc, 1406);
    EXPECT_EQ(cda.v2_rc, 3);
    EXPECT_EQ(cda.rpc, 1u);
    EXPECT_NE(cda.wrn & 2, 0);
    EXPECT_EQ(code, 1406);
    EXPECT_EQ(indicator, 7);
    EXPECT_NE(lib.ofen(&cda, 1), 0);
    EXPECT_EQ(cda.rc, 1403);
    lib.oclose(&cda);
    lib.ologof(&lda);
}

TEST(Charsets, EnvironmentCharacterSetIds)
{
    Library &lib = buildLibrary();
    auto charsetOf = [&](void *env, ub4 attribute) {
        ub2 id = 0;
        lib.OCIAttrGet(env, HTYPE_ENV, &id, nullptr, attribute, nullptr);
        return id;
    };
    {
        ScopedEnvironment scoped{{"NLS_LANG", "RUSSIAN_RUSSIA.CL8MSWIN1251"}};
        void *env = nullptr;
        ASSERT_EQ(lib.OCIEnvCreate(&env, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
        EXPECT_EQ(charsetOf(env, ATTR_CHARSET_ID), 171);
        EXPECT_EQ(charsetOf(env, ATTR_NCHARSET_ID), 171);
        EXPECT_EQ(lib.OCINlsCharSetNameToId(env, reinterpret_cast<const OraText *>("cl8koi8r")), 196);
        EXPECT_EQ(lib.OCINlsCharSetNameToId(env, reinterpret_cast<const OraText *>("AL32UTF8")), 873);
        EXPECT_EQ(lib.OCINlsCharSetNameToId(env, reinterpret_cast<const OraText *>("KLINGON8")), 0);
        OraText name[32] = {};
        EXPECT_EQ(lib.OCINlsCharSetIdToName(env, name, sizeof name, 178), OCI_SUCCESS);
        EXPECT_STREQ(reinterpret_cast<char *>(name), "WE8MSWIN1252");
        lib.OCIHandleFree(env, HTYPE_ENV);
        // Ids given to OCIEnvNlsCreate win over NLS_LANG.
        ASSERT_EQ(lib.OCIEnvNlsCreate(&env, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 873, 873),
                  OCI_SUCCESS);
        EXPECT_EQ(charsetOf(env, ATTR_CHARSET_ID), 873);
        lib.OCIHandleFree(env, HTYPE_ENV);
    }
    ScopedEnvironment unset{{"NLS_LANG", ""}};
    void *env = nullptr;
    ASSERT_EQ(lib.OCIEnvCreate(&env, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
    EXPECT_EQ(charsetOf(env, ATTR_CHARSET_ID), 1); // US7ASCII
    lib.OCIHandleFree(env, HTYPE_ENV);
}

TEST(Charsets, NamesAndMessagesInTheClientCharacterSet)
{
    TempHome home;
    createScott(home);
    const std::string table = "\xD0\x94\xD0\x9E\xD0\x9C", column = "\xD0\x98\xD0\x9C\xD0\xAF"; // ДОМ, ИМЯ
    auto utf8 = connectAs(".AL32UTF8");
    ASSERT_EQ(utf8->execute("create table " + table + " (" + column + " varchar2(2))"), OCI_SUCCESS);

    auto cp1251 = connectAs("RUSSIAN_RUSSIA.CL8MSWIN1251");
    const std::string table1251 = "\xC4\xCE\xCC", column1251 = "\xC8\xCC\xDF";
    ASSERT_EQ(cp1251->execute("select " + column1251 + " from " + table1251), OCI_SUCCESS)
        << cp1251->error().text;
    void *param = nullptr;
    ASSERT_EQ(cp1251->lib.OCIParamGet(cp1251->stmt, HTYPE_STMT, cp1251->err, &param, 1), OCI_SUCCESS);
    OraText *name = nullptr;
    ub4 nameLength = 0;
    cp1251->lib.OCIAttrGet(param, DTYPE_PARAM, &name, &nameLength, ATTR_NAME, cp1251->err);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(name), nameLength), column1251);
    ASSERT_EQ(cp1251->execute("insert into " + table1251 + " values ('abc')"), OCI_ERROR);
    EXPECT_EQ(cp1251->error().text, "ORA-12899: value too large for column \"SCOTT\".\"" + table1251 +
                                        "\".\"" + column1251 + "\" (actual: 3, maximum: 2)\n");
    // The parse error offset counts the client's bytes: the two-letter word is two bytes here.
    ASSERT_EQ(cp1251->execute("select \xC4\xC0 x y from dual"), OCI_ERROR);
    ub2 offset = 0;
    cp1251->lib.OCIAttrGet(cp1251->stmt, HTYPE_STMT, &offset, nullptr, ATTR_PARSE_ERROR_OFFSET, cp1251->err);
    EXPECT_EQ(offset, 12);
}

} // namespace
