// The client's NLS environment (NLS_LANG and the NLS_* variables) as the
// session sees it: date and number formats of the territory, month names of
// the language, and the environment that a client refuses.

#include "OciClient.h"

#include <gtest/gtest.h>

using namespace ocitest;

namespace
{

using Rows = std::vector<std::vector<std::string>>;

class NlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"
                                             "grant connect to scott\n"),
                  0);
        ScopedEnvironment plain{{"NLS_LANG", ""}};
        ASSERT_EQ(home.sql("scott/tiger", "create table t (d date, n number)\n"
                                          "insert into t values (to_date('2020-03-15 13:04:05',"
                                          " 'YYYY-MM-DD HH24:MI:SS'), 1234.5)\n"),
                  0);
    }
    // A session opened under the given environment.
    std::unique_ptr<Connection>
    connect(std::initializer_list<std::pair<const char *, std::string>> environment)
    {
        ScopedEnvironment scoped(environment);
        auto conn = std::make_unique<Connection>();
        EXPECT_EQ(conn->logOn("scott", "tiger"), OCI_SUCCESS) << conn->error().text;
        return conn;
    }
    // The status and error code of one statement.
    static std::pair<sword, int> outcome(Connection &conn, const std::string &sql)
    {
        sword rc = conn.execute(sql);
        return {rc, rc == OCI_SUCCESS ? 0 : conn.error().code};
    }

    TempHome home;
};

struct TerritoryCase {
    const char *name;
    const char *nlsLang; // empty: unset
    const char *dateText;
    const char *numberText;
    const char *dateLiteral;   // accepted by the territory's date format
    const char *numberLiteral; // accepted with the territory's decimal character
    const char *foreignDate;   // refused
    int foreignDateError;
    const char *foreignNumber; // refused with ORA-01722
};

void PrintTo(const TerritoryCase &c, std::ostream *os)
{
    *os << c.name;
}

class Territories : public NlsTest, public ::testing::WithParamInterface<TerritoryCase>
{
};

TEST_P(Territories, DateAndNumberFormatsOfTheTerritory)
{
    const TerritoryCase &c = GetParam();
    auto conn = connect({{"NLS_LANG", c.nlsLang}, {"NLS_DATE_FORMAT", ""}, {"NLS_NUMERIC_CHARACTERS", ""}});
    EXPECT_EQ(conn->query("select d, n from t"), (Rows{{c.dateText, c.numberText}}));
    EXPECT_EQ(outcome(*conn, std::string("insert into t values ('") + c.dateLiteral + "', '" +
                                 c.numberLiteral + "')"),
              (std::pair<sword, int>{OCI_SUCCESS, 0}));
    EXPECT_EQ(outcome(*conn, std::string("insert into t (d) values ('") + c.foreignDate + "')"),
              (std::pair<sword, int>{OCI_ERROR, c.foreignDateError}));
    EXPECT_EQ(outcome(*conn, std::string("insert into t (n) values ('") + c.foreignNumber + "')"),
              (std::pair<sword, int>{OCI_ERROR, 1722}));
    // The literal read back is the very value written.
    EXPECT_EQ(conn->query("select to_char(d, 'YYYY-MM-DD'), to_char(n) from t where n is not null and"
                          " d <> to_date('2020-03-15 13:04:05', 'YYYY-MM-DD HH24:MI:SS')"),
              (Rows{{"2021-12-31", c.numberLiteral}}));
}

INSTANTIATE_TEST_SUITE_P(
    Nls, Territories,
    ::testing::Values(TerritoryCase{"Unset", "", "15-MAR-20", "1234.5", "31-DEC-21", "2.5", "15.03.2020",
                                    1843, "2,5"},
                      TerritoryCase{"AmericaCharsetOnly", ".AL32UTF8", "15-MAR-20", "1234.5", "31-Dec-2021",
                                    "2.5", "15.03.2020", 1843, "2,5"},
                      TerritoryCase{"UnitedKingdom", "ENGLISH_UNITED KINGDOM.AL32UTF8", "15-MAR-20", "1234.5",
                                    "31-DEC-21", "2.5", "31.12.2021", 1843, "2,5"},
                      TerritoryCase{"Russia", "RUSSIAN_RUSSIA.AL32UTF8", "15.03.20", "1234,5", "31.12.2021",
                                    "2,5", "31-DEC-21", 1843, "2.5"},
                      TerritoryCase{"Cis", "AMERICAN_CIS.AL32UTF8", "15.03.20", "1234,5", "31.12.21", "2,5",
                                    "2021-12-31", 1843, "2.5"},
                      TerritoryCase{"Germany", "GERMAN_GERMANY.AL32UTF8", "15.03.20", "1234,5", "31.12.2021",
                                    "2,5", "12/31/2021", 1843, "2.5"},
                      TerritoryCase{"France", "FRENCH_FRANCE.AL32UTF8", "15/03/20", "1234,5", "31/12/2021",
                                    "2,5", "2021-31-12", 1843, "2.5"},
                      TerritoryCase{"LanguageOnly", "russian", "15.03.20", "1234,5", "31.12.2021", "2,5",
                                    "31-DEC-21", 1843, "2.5"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(NlsTest, NlsVariablesCountOnlyWithNlsLang)
{
    const std::pair<const char *, std::string> formats[] = {{"NLS_DATE_FORMAT", "DD.MM.YYYY HH24:MI"},
                                                            {"NLS_NUMERIC_CHARACTERS", ",."}};
    {
        auto conn = connect({{"NLS_LANG", ""}, formats[0], formats[1]});
        EXPECT_EQ(conn->query("select d, n from t"), (Rows{{"15-MAR-20", "1234.5"}}));
    }
    auto conn = connect({{"NLS_LANG", "AMERICAN_AMERICA.US7ASCII"}, formats[0], formats[1]});
    EXPECT_EQ(conn->query("select d, n from t"), (Rows{{"15.03.2020 13:04", "1234,5"}}));
    EXPECT_EQ(outcome(*conn, "insert into t values ('01.02.2003 04:05', '0,25')"),
              (std::pair<sword, int>{OCI_SUCCESS, 0}));
    // ALTER SESSION still wins over the environment.
    ASSERT_EQ(conn->execute("alter session set nls_date_format = 'YYYY-MM-DD'"), OCI_SUCCESS);
    ASSERT_EQ(conn->execute("alter session set nls_numeric_characters = '.,'"), OCI_SUCCESS);
    EXPECT_EQ(conn->query("select d, n from t where n < 1"), (Rows{{"2003-02-01", ".25"}}));
}

TEST_F(NlsTest, MonthNamesOfTheDateLanguage)
{
    struct Case {
        const char *nlsLang;
        const char *dateLanguage;
        const char *month;       // MONTH, blank-padded to the longest name
        const char *abbreviated; // MON
        const char *capitalized; // Mon
    } cases[] = {
        {"AMERICAN_AMERICA.AL32UTF8", "", "MARCH    ", "MAR", "Mar"},
        {"RUSSIAN_RUSSIA.AL32UTF8", "", "МАРТ    ", "МАР", "Мар"},
        {"GERMAN_GERMANY.AL32UTF8", "", "MÄRZ     ", "MÄR", "Mär"},
        {"FRENCH_FRANCE.AL32UTF8", "", "MARS     ", "MARS", "Mars"},
        {"AMERICAN_AMERICA.AL32UTF8", "GERMAN", "MÄRZ     ", "MÄR", "Mär"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.nlsLang) + " " + c.dateLanguage);
        auto conn = connect({{"NLS_LANG", c.nlsLang},
                             {"NLS_DATE_LANGUAGE", c.dateLanguage},
                             {"NLS_DATE_FORMAT", "DD MONTH YYYY"}});
        EXPECT_EQ(conn->query("select d, to_char(d, 'MON'), to_char(d, 'Mon') from t"),
                  (Rows{{std::string("15 ") + c.month + " 2020", c.abbreviated, c.capitalized}}));
        // A name is read back in any letter case, full or abbreviated.
        auto lowerFull = conn->query(std::string("select lower('") + c.month + "') from dual")[0][0];
        EXPECT_EQ(outcome(*conn, "insert into t (d) values ('1 " + lowerFull + " 2000')").first, OCI_SUCCESS);
        EXPECT_EQ(
            outcome(*conn, std::string("insert into t (d) values ('2 ") + c.abbreviated + " 2000')").first,
            OCI_SUCCESS);
        EXPECT_EQ(conn->query("select count(*) from t where d in (to_date('2000-03-01', 'YYYY-MM-DD'),"
                              " to_date('2000-03-02', 'YYYY-MM-DD'))"),
                  (Rows{{"2"}}));
        ASSERT_EQ(conn->execute("delete from t where d < to_date('2001', 'YYYY')"), OCI_SUCCESS);
    }
}

TEST_F(NlsTest, AlterSessionTerritoryAndLanguage)
{
    auto conn = connect({{"NLS_LANG", "AMERICAN_AMERICA.AL32UTF8"}});
    ASSERT_EQ(conn->execute("alter session set nls_territory = germany"), OCI_SUCCESS);
    EXPECT_EQ(conn->query("select d, n from t"), (Rows{{"15.03.20", "1234,5"}}));
    ASSERT_EQ(conn->execute("alter session set nls_language = 'RUSSIAN'"), OCI_SUCCESS);
    EXPECT_EQ(conn->query("select to_char(d, 'DD MON') from t"), (Rows{{"15 МАР"}}));
    EXPECT_EQ(conn->query("select value from nls_session_parameters where parameter = 'NLS_TERRITORY'"),
              (Rows{{"GERMANY"}}));
    EXPECT_EQ(outcome(*conn, "alter session set nls_territory = atlantis"),
              (std::pair<sword, int>{OCI_ERROR, 12705}));
}

TEST_F(NlsTest, InvalidEnvironmentFailsEnvironmentCreation)
{
    for (const char *value : {"KLINGON_AMERICA.AL32UTF8", "AMERICAN_ATLANTIS", "AMERICAN_AMERICA.NOSUCHSET",
                              "AMERICA.AL32UTF8", "AMERICAN_AMERICA."}) {
        SCOPED_TRACE(value);
        ScopedEnvironment scoped{{"NLS_LANG", value}};
        Library &lib = buildLibrary();
        void *env = nullptr;
        ASSERT_EQ(lib.OCIEnvCreate(&env, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_ERROR);
        ASSERT_NE(env, nullptr); // the handle is made so that the reason can be read from it
        sb4 code = 0;
        char text[512] = {};
        EXPECT_EQ(lib.OCIErrorGet(env, 1, nullptr, &code, reinterpret_cast<OraText *>(text), sizeof text,
                                  HTYPE_ENV),
                  OCI_SUCCESS);
        EXPECT_EQ(code, 12705);
        EXPECT_STREQ(text, "ORA-12705: Cannot access NLS data files or invalid environment specified\n");
        EXPECT_EQ(lib.OCIHandleFree(env, HTYPE_ENV), OCI_SUCCESS);

        // The OCI7 logon reads the environment too.
        CdaDef lda{};
        ub1 hda[512] = {};
        EXPECT_NE(lib.olog(&lda, hda, reinterpret_cast<const OraText *>("scott/tiger@DB"), -1, nullptr, -1,
                           nullptr, -1, 0),
                  0);
        EXPECT_EQ(lda.rc, 12705);
    }
}

TEST_F(NlsTest, InvalidNlsVariablesFailTheLogon)
{
    struct Case {
        const char *name;
        const char *value;
        int code;
    } cases[] = {
        {"NLS_DATE_FORMAT", "DD.QQ.YYYY", 1821},
        {"NLS_NUMERIC_CHARACTERS", "..", 12705},
        {"NLS_DATE_LANGUAGE", "KLINGON", 12705},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment scoped{{"NLS_LANG", "AMERICAN_AMERICA.AL32UTF8"}, {c.name, c.value}};
        Connection conn;
        EXPECT_EQ(conn.logOn("scott", "tiger"), OCI_ERROR);
        EXPECT_EQ(conn.error().code, c.code);
    }
}

TEST_F(NlsTest, Oci7LogonUsesTheEnvironment)
{
    ScopedEnvironment scoped{{"NLS_LANG", "RUSSIAN_RUSSIA.AL32UTF8"}};
    Library &lib = buildLibrary();
    CdaDef lda{}, cda{};
    ub1 hda[512] = {};
    ASSERT_EQ(lib.olog(&lda, hda, reinterpret_cast<const OraText *>("scott/tiger@DB"), -1, nullptr, -1,
                       nullptr, -1, 0),
              0);
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    const char *insert = "insert into t values ('31.12.2021', '0,5')";
    ASSERT_EQ(lib.oparse(&cda, reinterpret_cast<const OraText *>(insert), -1, 0, 2), 0) << cda.rc;
    EXPECT_EQ(lib.oexec(&cda), 0) << cda.rc;
    const char *wrong = "insert into t (n) values ('0.5')";
    ASSERT_EQ(lib.oparse(&cda, reinterpret_cast<const OraText *>(wrong), -1, 0, 2), 0);
    EXPECT_NE(lib.oexec(&cda), 0);
    EXPECT_EQ(cda.rc, 1722);
    EXPECT_EQ(lib.oclose(&cda), 0);
    EXPECT_EQ(lib.ologof(&lda), 0);
}

} // namespace
