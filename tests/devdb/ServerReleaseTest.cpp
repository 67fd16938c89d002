// What depends on the account and on the server's release at logon: warnings
// other than the grace period's, case-sensitive passwords, the length of
// names, and the second line 23ai clients add to every message.

#include "OciClient.h"

#include <gtest/gtest.h>

using namespace ocitest;

namespace
{

const OraText *text(const char *s)
{
    return reinterpret_cast<const OraText *>(s);
}

class LogonWarnings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"
                                             "alter user scott logon warning 28011\n"),
                  0);
    }
    TempHome home;
    const std::string warningText = "ORA-28011: the account will expire soon; change your password now\n";
};

TEST_F(LogonWarnings, SessionBeginSucceedsWithTheWarning)
{
    Connection conn;
    EXPECT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(conn.error().code, 28011);
    EXPECT_EQ(conn.error().text, warningText);
    EXPECT_EQ(conn.query("select user from dual"), (std::vector<std::vector<std::string>>{{"SCOTT"}}));
    EXPECT_EQ(conn.logOff(), OCI_SUCCESS);
}

TEST_F(LogonWarnings, LogonAndLogon2KeepTheServiceContext)
{
    Library &lib = buildLibrary();
    for (bool second : {false, true}) {
        SCOPED_TRACE(second ? "OCILogon2" : "OCILogon");
        Connection conn;
        void *svc = nullptr;
        sword rc = second ? lib.OCILogon2(conn.env, conn.err, &svc, text("scott"), 5, text("tiger"), 5,
                                          text("DB"), 2, 0)
                          : lib.OCILogon(conn.env, conn.err, &svc, text("scott"), 5, text("tiger"), 5,
                                         text("DB"), 2);
        EXPECT_EQ(rc, OCI_SUCCESS_WITH_INFO);
        EXPECT_EQ(conn.error().code, 28011);
        ASSERT_NE(svc, nullptr);
        char banner[512] = {};
        EXPECT_EQ(lib.OCIServerVersion(svc, conn.err, reinterpret_cast<OraText *>(banner), sizeof banner,
                                       HTYPE_SVCCTX),
                  OCI_SUCCESS);
        EXPECT_NE(std::string(banner).find("Release"), std::string::npos);
        EXPECT_EQ(lib.OCILogoff(svc, conn.err), OCI_SUCCESS);
    }
}

TEST_F(LogonWarnings, Oci7LogonSucceedsWithTheCodeInTheDataArea)
{
    Library &lib = buildLibrary();
    CdaDef lda{}, cda{};
    ub1 hda[512] = {};
    EXPECT_EQ(lib.olog(&lda, hda, text("scott/tiger@DB"), -1, nullptr, -1, nullptr, -1, 0), 0);
    EXPECT_EQ(lda.rc, 28011);
    char message[512] = {};
    lib.oerhms(&lda, static_cast<sb2>(lda.rc), reinterpret_cast<OraText *>(message), sizeof message);
    EXPECT_EQ(message, warningText);
    // The next call on the data area starts afresh.
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    EXPECT_EQ(lib.ocom(&lda), 0);
    EXPECT_EQ(lda.rc, 0);
    lib.oclose(&cda);
    EXPECT_EQ(lib.ologof(&lda), 0);
}

TEST_F(LogonWarnings, ClearedWarningLogsOnPlainly)
{
    ASSERT_EQ(home.sql("system/manager", "alter user scott logon warning none\n"), 0);
    Connection conn;
    EXPECT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS);
}

TEST(Passwords, CaseCountsFromElevenG)
{
    TempHome modern;
    ASSERT_EQ(modern.sql("system/manager", "create user scott identified by Tiger\n"), 0);
    {
        Connection conn;
        EXPECT_EQ(conn.logOn("scott", "tiger"), OCI_ERROR);
        EXPECT_EQ(conn.error().code, 1017);
    }
    {
        Connection conn;
        EXPECT_EQ(conn.logOn("SCOTT", "Tiger"), OCI_SUCCESS);
    }
    TempHome old("Oracle Database 10g Enterprise Edition Release 10.2.0.4.0 - Production");
    ASSERT_EQ(old.sql("system/manager", "create user scott identified by Tiger\n"), 0);
    Connection conn;
    EXPECT_EQ(conn.logOn("scott", "TIGER"), OCI_SUCCESS);
}

TEST(Names, OneHundredTwentyEightBytesFromTwelveTwo)
{
    const std::string cyrillic = "\xD0\x96"; // two bytes in AL32UTF8
    auto repeat = [](const std::string &s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    };
    ScopedEnvironment utf8{{"NLS_LANG", ".AL32UTF8"}};
    std::string out;
    {
        TempHome twelveOne("Oracle Database 12c Enterprise Edition Release 12.1.0.2.0 - 64bit Production");
        EXPECT_NE(
            twelveOne.sql("system/manager", "create table " + std::string(31, 'a') + " (n number)\n", &out),
            0);
        EXPECT_NE(out.find("ORA-00972"), std::string::npos) << out;
    }
    TempHome twelveTwo("Oracle Database 12c Enterprise Edition Release 12.2.0.1.0 - 64bit Production");
    ASSERT_EQ(twelveTwo.sql("system/manager", "create table " + std::string(128, 'a') + " (n number)\n"), 0);
    EXPECT_NE(
        twelveTwo.sql("system/manager", "create table " + std::string(129, 'b') + " (n number)\n", &out), 0);
    // The limit counts bytes: 64 two-byte letters fit, 65 do not.
    EXPECT_EQ(twelveTwo.sql("system/manager", "create table " + repeat(cyrillic, 64) + " (n number)\n"), 0);
    EXPECT_NE(twelveTwo.sql("system/manager", "create table " + repeat(cyrillic, 65) + " (n number)\n"), 0);

    // Select-list names of more than 30 bytes stay whole and distinct.
    Connection conn;
    ASSERT_EQ(conn.logOn("system", "manager"), OCI_SUCCESS);
    const std::string first = "a_column_name_well_beyond_thirty_bytes_1", second = first.substr(0, 39) + "2";
    ASSERT_EQ(conn.execute("select 1 " + first + ", 2 " + second + " from dual"), OCI_SUCCESS);
    for (ub4 i = 1; i <= 2; ++i) {
        void *param = nullptr;
        conn.lib.OCIParamGet(conn.stmt, HTYPE_STMT, conn.err, &param, i);
        OraText *name = nullptr;
        ub4 length = 0;
        conn.lib.OCIAttrGet(param, DTYPE_PARAM, &name, &length, ATTR_NAME, conn.err);
        std::string expected = i == 1 ? first : second;
        for (char &c : expected)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(std::string(reinterpret_cast<char *>(name), length), expected);
    }
}

// DEVDB_ERROR_HELP=1 makes every message end as a 23ai client's does.
TEST(Messages, HelpLineOfTwentyThreeAi)
{
    TempHome home;
    ScopedEnvironment help{{"DEVDB_ERROR_HELP", "1"}};
    Connection conn;
    ASSERT_EQ(conn.logOn("system", "manager"), OCI_SUCCESS);
    EXPECT_EQ(conn.execute("select * from nosuch"), OCI_ERROR);
    EXPECT_EQ(conn.error().text, "ORA-00942: table or view does not exist\n"
                                 "Help: https://docs.oracle.com/error-help/db/ora-00942/\n");
    Library &lib = buildLibrary();
    CdaDef lda{};
    ub1 hda[512] = {};
    EXPECT_NE(lib.olog(&lda, hda, text("system/wrong@DB"), -1, nullptr, -1, nullptr, -1, 0), 0);
    char message[512] = {};
    lib.oerhms(&lda, static_cast<sb2>(lda.rc), reinterpret_cast<OraText *>(message), sizeof message);
    EXPECT_STREQ(message, "ORA-01017: invalid username/password; logon denied\n"
                          "Help: https://docs.oracle.com/error-help/db/ora-01017/\n");
    ScopedEnvironment bad{{"NLS_LANG", "KLINGON"}};
    void *env = nullptr;
    ASSERT_EQ(lib.OCIEnvCreate(&env, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_ERROR);
    char envMessage[512] = {};
    sb4 code = 0;
    lib.OCIErrorGet(env, 1, nullptr, &code, reinterpret_cast<OraText *>(envMessage), sizeof envMessage,
                    HTYPE_ENV);
    EXPECT_STREQ(envMessage, "ORA-12705: Cannot access NLS data files or invalid environment specified\n"
                             "Help: https://docs.oracle.com/error-help/db/ora-12705/\n");
    lib.OCIHandleFree(env, HTYPE_ENV);
}

} // namespace
