// Logon paths and account statements.

#include "TestDatabase.h"

#include "devdb/engine/Errors.h"

#include <sqlite3.h>

namespace devdb::test
{
namespace
{

int logonError(const TempDatabase &db, const std::string &user, const std::string &password,
               Privilege privilege = Privilege::Normal, Credentials credentials = Credentials::Rdbms)
{
    try {
        devdb::logon(db.path(), user, password, credentials, privilege, nullptr);
    } catch (const OraError &e) {
        return e.code;
    }
    return 0;
}

class Accounts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        admin = db.logon();
        run(*admin, "create user scott identified by tiger");
        run(*admin, "create user locked identified by pw account lock");
        run(*admin, "create user expired identified by pw password expire");
        run(*admin, "create user graced identified by pw");
        run(*admin, "alter user graced password grace 5");
        run(*admin, "create user ops$ext identified externally");
        run(*admin, "create user dba identified by pw");
        run(*admin, "grant sysdba to dba");
        run(*admin, "grant sysoper to scott");
    }
    TempDatabase db;
    std::unique_ptr<Session> admin;
};

TEST_F(Accounts, LogonOutcomes)
{
    struct Case {
        const char *name;
        const char *user;
        const char *password;
        Privilege privilege;
        int code;
    };
    const Case cases[] = {
        {"system", "system", "manager", Privilege::Normal, 0},
        {"password case counts from 11g", "SYSTEM", "MANAGER", Privilege::Normal, 1017},
        {"user name case does not", "SYSTEM", "manager", Privilege::Normal, 0},
        {"system as sysdba", "system", "manager", Privilege::SysDba, 0},
        {"wrong password", "scott", "lion", Privilege::Normal, 1017},
        {"unknown user", "nobody", "x", Privilege::Normal, 1017},
        {"null password", "scott", "", Privilege::Normal, 1005},
        {"locked", "locked", "pw", Privilege::Normal, 28000},
        {"locked with wrong password", "locked", "bad", Privilege::Normal, 1017},
        {"expired", "expired", "pw", Privilege::Normal, 28001},
        {"grace logs on", "graced", "pw", Privilege::Normal, 0},
        {"sysdba not granted", "scott", "tiger", Privilege::SysDba, 1031},
        {"sysoper granted", "scott", "tiger", Privilege::SysOper, 0},
        {"sysdba granted", "dba", "pw", Privilege::SysDba, 0},
        {"quoted user name is exact", "\"scott\"", "tiger", Privilege::Normal, 1017},
        {"external account has no password", "ops$ext", "", Privilege::Normal, 1005},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(logonError(db, c.user, c.password, c.privilege), c.code);
    }
}

TEST(AccountPasswords, CaseCountsFromElevenGAndForNewPasswords)
{
    TempDatabase modern;
    auto admin = modern.logon();
    run(*admin, "create user scott identified by Tiger");
    EXPECT_EQ(logonError(modern, "scott", "Tiger"), 0);
    EXPECT_EQ(logonError(modern, "scott", "tiger"), 1017);
    run(*admin, "create user quoted identified by \"MiXed\"");
    EXPECT_EQ(logonError(modern, "quoted", "MiXed"), 0);

    TempDatabase old("Oracle Database 10g Enterprise Edition Release 10.2.0.4.0 - Production");
    run(*old.logon(), "create user scott identified by Tiger");
    EXPECT_EQ(logonError(old, "scott", "TIGER"), 0);
    EXPECT_EQ(logonError(old, "SYSTEM", "MANAGER"), 0);
}

// A file made before case-sensitive passwords: its accounts keep logging on in
// any letter case until their password changes, as accounts with only the old
// password verifier do on Oracle.
TEST(AccountPasswords, FileFromAnEarlierReleaseKeepsItsPasswords)
{
    TempDatabase db;
    run(*db.logon(), "create user scott identified by tiger");
    {
        sqlite3 *raw = nullptr;
        ASSERT_EQ(sqlite3_open(db.path().c_str(), &raw), SQLITE_OK);
        for (const char *sql : {"ALTER TABLE devdb_users DROP COLUMN case_sensitive",
                                "ALTER TABLE devdb_users DROP COLUMN logon_warning",
                                "ALTER TABLE devdb_columns DROP COLUMN char_used",
                                "ALTER TABLE devdb_columns DROP COLUMN char_length",
                                "ALTER TABLE devdb_columns DROP COLUMN data_type_owner",
                                "ALTER TABLE devdb_columns DROP COLUMN data_type_mod"})
            ASSERT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_close(raw);
    }
    EXPECT_EQ(logonError(db, "scott", "TIGER"), 0);
    auto scott = db.logon("scott", "tiger");
    run(*scott, "create table t (v varchar2(5))");
    EXPECT_EQ(single(*scott, "select char_used from user_tab_columns"), "B");
    run(*scott, "alter user scott identified by Lion");
    EXPECT_EQ(logonError(db, "scott", "LION"), 1017);
    EXPECT_EQ(logonError(db, "scott", "Lion"), 0);
}

TEST_F(Accounts, LogonWarningSetForAnAccount)
{
    run(*admin, "alter user scott logon warning 28011");
    std::optional<OraError> warning;
    auto s = devdb::logon(db.path(), "scott", "tiger", Credentials::Rdbms, Privilege::Normal, &warning);
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->code, 28011);
    EXPECT_EQ(warning->text, "the account will expire soon; change your password now");
    EXPECT_EQ(single(*s, "select user from dual"), "SCOTT");
    // Only administrators set it; NONE clears it.
    EXPECT_EQ(failure(*s, "alter user scott logon warning none").code, 1031);
    run(*admin, "alter user scott logon warning none");
    warning.reset();
    devdb::logon(db.path(), "scott", "tiger", Credentials::Rdbms, Privilege::Normal, &warning);
    EXPECT_FALSE(warning);
    EXPECT_EQ(failure(*admin, "alter user scott logon warning").code, 2017);
}

TEST_F(Accounts, GraceGivesAWarningAndASession)
{
    std::optional<OraError> warning;
    auto s = devdb::logon(db.path(), "graced", "pw", Credentials::Rdbms, Privilege::Normal, &warning);
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->code, 28002);
    EXPECT_TRUE(warning->warning);
    EXPECT_EQ(warning->text, errors::format(errors::kPasswordWillExpire, "5"));
    EXPECT_EQ(single(*s, "select user from dual"), "GRACED");
    run(*s, "alter user graced identified by newpw");
    warning.reset();
    devdb::logon(db.path(), "graced", "newpw", Credentials::Rdbms, Privilege::Normal, &warning);
    EXPECT_FALSE(warning);
}

TEST_F(Accounts, ExpiredPasswordIsRenewed)
{
    EXPECT_EQ(logonError(db, "expired", "pw"), 28001);
    EXPECT_THROW(changePassword(db.path(), "expired", "wrong", "new"), OraError);
    changePassword(db.path(), "expired", "pw", "new");
    EXPECT_EQ(logonError(db, "expired", "new"), 0);
    run(*admin, "alter user expired password expire");
    EXPECT_EQ(logonError(db, "expired", "new"), 28001);
    run(*admin, "alter user expired identified by again");
    EXPECT_EQ(logonError(db, "expired", "again"), 0);
}

TEST_F(Accounts, SessionChangesItsOwnPassword)
{
    auto s = db.logon("scott", "tiger");
    EXPECT_THROW(s->changePassword("scott", "wrong", "x"), OraError);
    s->changePassword("scott", "tiger", "lion");
    EXPECT_EQ(logonError(db, "scott", "lion"), 0);
}

TEST_F(Accounts, LockAndUnlock)
{
    run(*admin, "alter user locked account unlock");
    EXPECT_EQ(logonError(db, "locked", "pw"), 0);
    run(*admin, "alter user scott account lock");
    EXPECT_EQ(logonError(db, "scott", "tiger"), 28000);
}

TEST_F(Accounts, ExternalCredentials)
{
    auto s = devdb::logon(db.path(), "", "", Credentials::External, Privilege::Normal, nullptr);
    EXPECT_EQ(s->userName(), "OPS$EXT");
    EXPECT_EQ(logonError(db, "scott", "", Privilege::Normal, Credentials::External), 1017);
}

TEST_F(Accounts, OnlyAdministratorsManageAccounts)
{
    auto s = db.logon("scott", "tiger");
    struct Case {
        const char *sql;
        int code;
    };
    const Case cases[] = {
        {"create user x identified by y", 1031},   {"alter user system identified by x", 1031},
        {"alter user scott account lock", 1031},   {"grant sysdba to scott", 1031},
        {"alter user scott identified by cat", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(failure(*s, c.sql).code, c.code);
    }
    EXPECT_EQ(failure(*admin, "create user scott identified by x").code, 1920);
    EXPECT_EQ(failure(*admin, "alter user nobody account lock").code, 1918);
}

TEST_F(Accounts, GrantsAndRevokes)
{
    run(*admin, "revoke sysdba from dba");
    EXPECT_EQ(logonError(db, "dba", "pw", Privilege::SysDba), 1031);
    run(*admin, "grant connect, resource, create session to scott");
    EXPECT_EQ(failure(*admin, "grant sysdba to nobody").code, 1917);
    run(*admin, "grant sysdba to \"OPS$EXT\"");
    EXPECT_EQ(logonError(db, "", "", Privilege::SysDba, Credentials::External), 0);
}

TEST_F(Accounts, DropUserNeedsCascadeForTables)
{
    auto scott = db.logon("scott", "tiger");
    run(*scott, "create table t (a number)");
    scott.reset();
    EXPECT_EQ(failure(*admin, "drop user scott").code, 1922);
    run(*admin, "drop user scott cascade");
    EXPECT_EQ(logonError(db, "scott", "tiger"), 1017);
    EXPECT_EQ(failure(*admin, "select * from scott.t").code, 942);
    EXPECT_EQ(failure(*admin, "drop user system").code, 1940);
}

TEST_F(Accounts, SchemasAreSeparate)
{
    auto scott = db.logon("scott", "tiger");
    run(*scott, "create table t (a number)");
    run(*admin, "create table t (b varchar2(1))");
    run(*scott, "insert into t values (1)");
    scott->commit();
    EXPECT_EQ(single(*admin, "select count(*) from t"), "0");
    EXPECT_EQ(single(*admin, "select count(*) from scott.t"), "1");
}

TEST(Versions, BannerAndMessagesFollowTheRelease)
{
    TempDatabase old("Oracle7 Server Release 7.3.4.0.0 - Production");
    auto s = old.logon();
    EXPECT_EQ(s->serverVersion(), "Oracle7 Server Release 7.3.4.0.0 - Production");
    run(*s, "create table t (a varchar2(2))");
    EXPECT_EQ(failure(*s, "insert into t values ('abc')").code, 1401);
    EXPECT_EQ(failure(*s, "select b from t").text, "invalid column name");
    EXPECT_EQ(failure(*s, "create table abcdefghijabcdefghijabcdefghijabc (a number)").code, 972);
    EXPECT_EQ(failure(*s, "create table u (a timestamp)").code, 902);
    EXPECT_EQ(failure(*s, "create table u (a varchar2(2001))").code, 910);
    EXPECT_EQ(failure(*s, "create table u (a varchar2(2000), b char(255))").code, 0);
    TempDatabase modern;
    EXPECT_EQ(modern.logon()->serverVersion(), defaultVersionText);
}

TEST(Databases, MissingFileIsNotAvailable)
{
    try {
        devdb::logon("/nonexistent/devdb.db", "system", "manager", Credentials::Rdbms, Privilege::Normal,
                     nullptr);
        FAIL();
    } catch (const OraError &e) {
        EXPECT_EQ(e.code, 1034);
    }
}

} // namespace
} // namespace devdb::test
