// Logon paths of the OCI8 call set: credentials, account states, privileges,
// connect identifier resolution.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace ocitest;

namespace
{

class LogonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"
                                             "create user locked identified by x\n"
                                             "alter user locked account lock\n"
                                             "create user expired identified by old\n"
                                             "alter user expired password expire\n"
                                             "create user grace identified by g\n"
                                             "alter user grace password grace 5\n"
                                             "create user dba identified by d\n"
                                             "grant sysdba to dba\n"
                                             "create user oper identified by o\n"
                                             "grant sysoper to oper\n"
                                             "create user ops$tester identified externally\n"),
                  0);
    }
    TempHome home;
};

struct LogonCase {
    const char *name;
    const char *user;
    const char *password;
    ub4 mode;
    ub4 credentials;
    sword status;
    int code;
    const char *message;
};

void PrintTo(const LogonCase &c, std::ostream *os)
{
    *os << c.name;
}

const LogonCase kLogonCases[] = {
    {"Ok", "scott", "tiger", 0, CRED_RDBMS, OCI_SUCCESS, 0, ""},
    {"UserNameAnyCase", "SCOTT", "tiger", 0, CRED_RDBMS, OCI_SUCCESS, 0, ""},
    {"WrongPassword", "scott", "lion", 0, CRED_RDBMS, OCI_ERROR, 1017,
     "ORA-01017: invalid username/password; logon denied\n"},
    {"UnknownUser", "nobody", "tiger", 0, CRED_RDBMS, OCI_ERROR, 1017,
     "ORA-01017: invalid username/password; logon denied\n"},
    {"Locked", "locked", "x", 0, CRED_RDBMS, OCI_ERROR, 28000, "ORA-28000: the account is locked\n"},
    {"Expired", "expired", "old", 0, CRED_RDBMS, OCI_ERROR, 28001, "ORA-28001: the password has expired\n"},
    {"Grace", "grace", "g", 0, CRED_RDBMS, OCI_SUCCESS_WITH_INFO, 28002,
     "ORA-28002: the password will expire within 5 days\n"},
    {"SysdbaGranted", "dba", "d", SYSDBA, CRED_RDBMS, OCI_SUCCESS, 0, ""},
    {"SysdbaOfSystem", "system", "manager", SYSDBA, CRED_RDBMS, OCI_SUCCESS, 0, ""},
    {"SysdbaNotGranted", "scott", "tiger", SYSDBA, CRED_RDBMS, OCI_ERROR, 1031,
     "ORA-01031: insufficient privileges\n"},
    {"SysoperGranted", "oper", "o", SYSOPER, CRED_RDBMS, OCI_SUCCESS, 0, ""},
    {"SysoperNotGranted", "dba", "d", SYSOPER, CRED_RDBMS, OCI_ERROR, 1031,
     "ORA-01031: insufficient privileges\n"},
    {"External", "", "", 0, CRED_EXT, OCI_SUCCESS, 0, ""},
};

class LogonCases : public LogonTest, public ::testing::WithParamInterface<LogonCase>
{
};

TEST_P(LogonCases, StatusAndErrorRecord)
{
    const LogonCase &c = GetParam();
    Connection conn;
    EXPECT_EQ(conn.logOn(c.user, c.password, "DB", c.mode, c.credentials), c.status);
    ErrorInfo e = conn.error();
    if (c.code) {
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.text, c.message);
    }
    if (c.status == OCI_SUCCESS || c.status == OCI_SUCCESS_WITH_INFO) {
        auto rows = conn.query("select user from dual");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_FALSE(rows[0][0].empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Accounts, LogonCases, ::testing::ValuesIn(kLogonCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(LogonTest, ExpiredPasswordIsRenewedWithOCIPasswordChange)
{
    Connection conn;
    ASSERT_EQ(conn.logOn("expired", "old"), OCI_ERROR);
    const std::string user = "expired", oldPassword = "old", newPassword = "new";
    auto text = [](const std::string &s) { return reinterpret_cast<const OraText *>(s.data()); };
    ASSERT_EQ(conn.lib.OCIPasswordChange(conn.svc, conn.err, text(user), 7, text(oldPassword), 3,
                                         text(newPassword), 3, 0),
              OCI_SUCCESS)
        << conn.error().text;
    conn.lib.OCIServerDetach(conn.server, conn.err, 0);

    Connection again;
    EXPECT_EQ(again.logOn("expired", "new"), OCI_SUCCESS) << again.error().text;
    Connection old;
    EXPECT_EQ(old.logOn("expired", "old"), OCI_ERROR);
    EXPECT_EQ(old.error().code, 1017);
}

TEST_F(LogonTest, PasswordChangeOfALoggedOnSession)
{
    Connection conn;
    ASSERT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS);
    auto text = [](const char *s) { return reinterpret_cast<const OraText *>(s); };
    EXPECT_EQ(
        conn.lib.OCIPasswordChange(conn.svc, conn.err, text("scott"), 5, text("wrong"), 5, text("x"), 1, 0),
        OCI_ERROR);
    EXPECT_EQ(conn.error().code, 1017);
    ASSERT_EQ(conn.lib.OCIPasswordChange(conn.svc, conn.err, text("scott"), 5, text("tiger"), 5, text("lion"),
                                         4, 0),
              OCI_SUCCESS);
    conn.logOff();
    Connection again;
    EXPECT_EQ(again.logOn("scott", "lion"), OCI_SUCCESS);
}

TEST_F(LogonTest, ConnectIdentifiers)
{
    struct Case {
        const char *identifier;
        sword status;
        const char *message;
    } cases[] = {
        {"DB", OCI_SUCCESS, ""},
        {"db", OCI_SUCCESS, ""},
        {"NOSUCH", OCI_ERROR, "ORA-12154: TNS:could not resolve the connect identifier specified\n"},
        {"(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=x)(PORT=1521)))", OCI_ERROR,
         "ORA-12560: TNS:protocol adapter error\n"},
    };
    for (const auto &c : cases) {
        Connection conn;
        EXPECT_EQ(conn.logOn("scott", "tiger", c.identifier), c.status) << c.identifier;
        if (c.status != OCI_SUCCESS) {
            EXPECT_EQ(conn.error().text, c.message) << c.identifier;
        }
    }
    // A full descriptor needs no tnsnames.ora entry.
    std::string descriptor =
        "(DESCRIPTION=(ADDRESS=(PROTOCOL=devdb)(FILE=" + home.path() + "/oradata/db.db)))";
    Connection conn;
    EXPECT_EQ(conn.logOn("scott", "tiger", descriptor), OCI_SUCCESS) << conn.error().text;
}

TEST_F(LogonTest, OCILogonAndOCILogoffCommit)
{
    Library &lib = buildLibrary();
    Connection holder;
    auto text = [](const char *s) { return reinterpret_cast<const OraText *>(s); };
    void *svc = nullptr;
    ASSERT_EQ(lib.OCILogon(holder.env, holder.err, &svc, text("scott"), 5, text("lion"), 4, text("DB"), 2),
              OCI_ERROR);
    EXPECT_EQ(holder.error().code, 1017);
    ASSERT_EQ(lib.OCILogon(holder.env, holder.err, &svc, text("scott"), 5, text("tiger"), 5, text("DB"), 2),
              OCI_SUCCESS);
    void *stmt = nullptr;
    lib.OCIHandleAlloc(holder.env, &stmt, HTYPE_STMT, 0, nullptr);
    const char *sql = "create table t (n number)";
    ASSERT_EQ(lib.OCIStmtPrepare(stmt, holder.err, text(sql), std::strlen(sql), 1, 0), OCI_SUCCESS);
    ASSERT_EQ(lib.OCIStmtExecute(svc, stmt, holder.err, 1, 0, nullptr, nullptr, 0), OCI_SUCCESS);
    sql = "insert into t values (1)";
    ASSERT_EQ(lib.OCIStmtPrepare(stmt, holder.err, text(sql), std::strlen(sql), 1, 0), OCI_SUCCESS);
    ASSERT_EQ(lib.OCIStmtExecute(svc, stmt, holder.err, 1, 0, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(lib.OCILogoff(svc, holder.err), OCI_SUCCESS);
    Connection observer;
    ASSERT_EQ(observer.logOn("scott", "tiger"), OCI_SUCCESS);
    EXPECT_EQ(observer.query("select count(*) from t")[0][0], "1");
}

TEST_F(LogonTest, AliasesFromIncludedFilesAndDomains)
{
    namespace fs = std::filesystem;
    fs::path admin = home.path() + "/other";
    fs::create_directories(admin);
    std::string file = home.path() + "/oradata/db.db";
    std::ofstream(admin / "more.ora")
        << "# more\nSECOND.WORLD =\n (DESCRIPTION =\n  (ADDRESS = (PROTOCOL = devdb)(FILE = " << file
        << "))\n )\n";
    std::ofstream(admin / "tnsnames.ora") << "IFILE = " << (admin / "more.ora").string() << "\n";
    setenv("TNS_ADMIN", admin.c_str(), 1);
    Connection conn;
    EXPECT_EQ(conn.logOn("scott", "tiger", "second"), OCI_SUCCESS) << conn.error().text;
}

// With neither TNS_ADMIN nor ORACLE_HOME, the library finds tnsnames.ora in the
// home it was loaded from, so naming the library file alone is enough.
TEST_F(LogonTest, HomeOfTheLibraryFileItself)
{
    unsetenv("TNS_ADMIN");
    unsetenv("ORACLE_HOME");
    Library own(home.path() + "/lib/libclntsh.so");
    Connection conn(own);
    EXPECT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS) << conn.error().text;
}

TEST_F(LogonTest, OracleHomeBeforeTheLibraryHome)
{
    TempHome other;
    unsetenv("TNS_ADMIN");
    setenv("ORACLE_HOME", home.path().c_str(), 1);
    // The library of the other home; ORACLE_HOME points at this one, which knows scott.
    Library lib(other.path() + "/lib/libclntsh.so");
    Connection conn(lib);
    EXPECT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS) << conn.error().text;
    unsetenv("ORACLE_HOME");
}

TEST_F(LogonTest, SessionBeginWithoutAttachAndTwice)
{
    Connection conn;
    EXPECT_EQ(conn.lib.OCISessionBegin(conn.svc, conn.err, conn.session, CRED_RDBMS, 0), OCI_ERROR);
    EXPECT_EQ(conn.error().code, 24324);
    ASSERT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS);
    EXPECT_EQ(conn.lib.OCISessionBegin(conn.svc, conn.err, conn.session, CRED_RDBMS, 0), OCI_ERROR);
    EXPECT_EQ(conn.error().code, 24313);
}

TEST_F(LogonTest, ServerVersionIsTheDatabasesBanner)
{
    struct Case {
        const char *version;
        const char *expected;
    } cases[] = {
        {"", "Oracle Database 19c"},
        {"Oracle7 Server Release 7.3.4.0.0 - Production", "Oracle7 Server Release 7.3.4.0.0 - Production"},
        {"Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production",
         "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production"},
    };
    for (const auto &c : cases) {
        TempHome h(c.version);
        ASSERT_EQ(h.sql("system/manager", "create user scott identified by tiger\n"), 0);
        Connection conn;
        ASSERT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS);
        char buf[501] = {0};
        ASSERT_EQ(
            conn.lib.OCIServerVersion(conn.server, conn.err, reinterpret_cast<OraText *>(buf), sizeof buf, 8),
            OCI_SUCCESS);
        EXPECT_EQ(std::string(buf).rfind(c.expected, 0), 0u) << buf;
        char small[8] = {0};
        ASSERT_EQ(conn.lib.OCIServerVersion(conn.svc, conn.err, reinterpret_cast<OraText *>(small),
                                            sizeof small, 3),
                  OCI_SUCCESS);
        EXPECT_EQ(std::string(small), std::string(buf).substr(0, 7));
    }
}

TEST(HandleChecks, WrongAndFreedHandlesAreRejected)
{
    TempHome home;
    Library &lib = buildLibrary();
    Connection conn;
    EXPECT_EQ(lib.OCIServerAttach(conn.svc, conn.err, reinterpret_cast<const OraText *>("DB"), 2, 0),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(lib.OCIServerAttach(conn.server, conn.server, reinterpret_cast<const OraText *>("DB"), 2, 0),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(lib.OCIStmtExecute(nullptr, conn.stmt, conn.err, 1, 0, nullptr, nullptr, 0),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(lib.OCIHandleFree(conn.stmt, HTYPE_SERVER), OCI_INVALID_HANDLE);
    void *stmt = nullptr;
    ASSERT_EQ(lib.OCIHandleAlloc(conn.env, &stmt, HTYPE_STMT, 0, nullptr), OCI_SUCCESS);
    EXPECT_EQ(lib.OCIHandleAlloc(conn.err, &stmt, HTYPE_STMT, 0, nullptr), OCI_INVALID_HANDLE);
    void *rowid = nullptr;
    ASSERT_EQ(lib.OCIDescriptorAlloc(conn.env, &rowid, DTYPE_ROWID, 0, nullptr), OCI_SUCCESS);
    EXPECT_EQ(lib.OCIDescriptorFree(rowid, DTYPE_ROWID), OCI_SUCCESS);
    void *extra = nullptr;
    ASSERT_EQ(lib.OCIHandleAlloc(conn.env, &stmt, HTYPE_STMT, 16, &extra), OCI_SUCCESS);
    ASSERT_NE(extra, nullptr);
    static_cast<char *>(extra)[15] = 1;
    EXPECT_EQ(lib.OCIErrorGet(conn.err, 1, nullptr, nullptr, nullptr, 0, HTYPE_ERROR), OCI_NO_DATA);
}

TEST(OracleEightOneNames, LibraryWithoutThemWorksThroughOCIEnvInit)
{
    TempHome home;
    ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"), 0);
    // The variant finds its home's tnsnames.ora by itself.
    unsetenv("TNS_ADMIN");
    unsetenv("ORACLE_HOME");
    Library lib(home.path() + "/variants/no81/libclntsh.so");
    ASSERT_EQ(lib.OCIEnvCreate, nullptr);
    Connection conn(lib);
    ASSERT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS);
    ASSERT_EQ(conn.execute("select * fromm dual"), OCI_ERROR);
    ub2 offset = 0;
    ASSERT_EQ(lib.OCIAttrGet(conn.stmt, HTYPE_STMT, &offset, nullptr, 128, conn.err), OCI_SUCCESS);
    EXPECT_EQ(offset, 9);
}

} // namespace
