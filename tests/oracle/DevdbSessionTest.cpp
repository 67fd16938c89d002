// Logging on and off against the development database, in both call modes,
// with its client library and its variants.

#include "HomeTemplate.h"
#include "TestEnvironment.h"

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"
#include "platform/Environment.h"
#include "tests/support/RecordedDesktop.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <stdexcept>

namespace rowpour::oracle::testing
{
namespace
{

namespace Environment = platform::Environment;
using rowpour::testing::copyHomeTemplate;

const char *const oracle7Version = "Oracle7 Server Release 7.3.4.0.0 - Production";
const char *const oracle8Version = "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production";

QString buildDir()
{
    const QString fromEnvironment = Environment::variable("ROWPOUR_BUILD_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(ROWPOUR_TEST_BUILD_DIR) : fromEnvironment;
}
QString devdbTool()
{
    return buildDir() + QStringLiteral("/devdb/home/bin/rowpour-devdb");
}

struct ProcessResult {
    int exitCode = -1;
    QString out;
    QString err;
};

ProcessResult run(const QString &program, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return {};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// ORCL with scott (table T), an expired account, one in its grace period,
// a locked one and an externally identified one.
void layOutHome(const QString &home)
{
    const auto require = [](const ProcessResult &result) {
        if (result.exitCode != 0)
            throw std::runtime_error(result.err.toStdString());
    };
    require(run(devdbTool(), {QStringLiteral("home"), home}));
    require(run(devdbTool(), {QStringLiteral("database"), home, QStringLiteral("ORCL")}));
    require(run(devdbTool(),
                {QStringLiteral("sql"), home, QStringLiteral("ORCL"), QStringLiteral("system/manager")},
                "create user scott identified by tiger\n"
                "create user gone identified by old\n"
                "alter user gone password expire\n"
                "create user soon identified by soon\n"
                "alter user soon password grace 5\n"
                "create user locked identified by x\n"
                "alter user locked account lock\n"
                "create user ops identified externally\n"));
    require(run(devdbTool(),
                {QStringLiteral("sql"), home, QStringLiteral("ORCL"), QStringLiteral("scott/tiger")},
                "create table t (n number(9))\n"));
}

// Counts the calls the session makes through the busy-cursor hook.
// A statement or result set as the session sees it.
class FakeClient : public ISessionClient
{
public:
    void SessionLoggingOff() override
    {
        ++loggingOff;
        if (throwOnRelease)
            throw std::runtime_error("release failed");
    }
    void SessionDestroyed() override { ++destroyed; }
    int loggingOff = 0;
    int destroyed = 0;
    bool throwOnRelease = false;
};

class DevdbSessionTest : public OracleLayerTest
{
protected:
    void SetUp() override
    {
        OracleLayerTest::SetUp();
        if (!QFileInfo::exists(devdbTool()))
            GTEST_SKIP() << "the development database tool is not built: " << devdbTool().toStdString();
        home_ = path(QStringLiteral("oracle"));
        copyHomeTemplate(QStringLiteral("ORCL"), home_, layOutHome);
        Environment::setVariable("ORACLE_HOME", home_);
    }

    void createDatabase(const QString &alias, const char *version = nullptr)
    {
        QStringList args{QStringLiteral("database"), home_, alias};
        if (version)
            args << QStringLiteral("--version") << QString::fromUtf8(version);
        const ProcessResult r = run(devdbTool(), args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

    ProcessResult sql(const QString &alias, const QString &account, const QByteArray &statements)
    {
        const ProcessResult r = run(devdbTool(), {QStringLiteral("sql"), home_, alias, account}, statements);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return r;
    }

    QString countRows(const QString &alias = QStringLiteral("ORCL"))
    {
        return sql(alias, QStringLiteral("scott/tiger"), "select count(*) from t\n").out.trimmed();
    }

    // Runs one statement on the session's own connection through the OCI8
    // entry points.
    void execute(TOracleSession &session, const QByteArray &statement)
    {
        ASSERT_TRUE(session.OCI8Mode());
        void *stmt = nullptr;
        ASSERT_EQ(oci::OCIHandleAlloc(session.EnvHandle(), &stmt, oci::OCI_HTYPE_STMT, 0, nullptr), 0);
        QByteArray text = statement;
        auto *s = static_cast<oci::OCIStmt *>(stmt);
        EXPECT_EQ(oci::OCIStmtPrepare(s, session.ErrorHandle(), reinterpret_cast<oci::OraText *>(text.data()),
                                      oci::ub4(text.size()), oci::OCI_NTV_SYNTAX, oci::OCI_DEFAULT),
                  0);
        EXPECT_EQ(oci::OCIStmtExecute(session.SvcCtx(), s, session.ErrorHandle(), 1, 0, nullptr, nullptr,
                                      oci::OCI_DEFAULT),
                  0);
        oci::OCIHandleFree(stmt, oci::OCI_HTYPE_STMT);
    }

    // Logs on with the whole logon text in the user name field, as the
    // logon dialog hands it over when typed that way.
    void logOn(TOracleSession &session, const QString &logon)
    {
        session.SetLogonUsername(logon);
        session.SetLogonPassword({});
        session.SetLogonDatabase({});
        session.LogOn();
    }

    void useVariant(const char *variant)
    {
        ClientLibrary::instance().SetOCIDLL(home_ + QStringLiteral("/variants/") + QLatin1String(variant) +
                                            QStringLiteral("/libclntsh.so"));
    }

    QString home_;
};

TEST_F(DevdbSessionTest, LogsOnAndOffInOCI8Mode)
{
    TOracleSession session;
    logOn(session, QStringLiteral("scott/tiger@orcl"));
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(session.OCI8Mode());
    EXPECT_FALSE(session.LdaMode());
    EXPECT_EQ(session.MaxStringSize(), 4000);
    EXPECT_TRUE(session.ServerVersion().contains(QStringLiteral("Release 19.")));
    EXPECT_EQ(session.LogonUsername(), QStringLiteral("scott"));
    EXPECT_EQ(session.LogonPassword(), QStringLiteral("tiger"));
    EXPECT_EQ(session.LogonDatabase(), QStringLiteral("orcl"));
    EXPECT_TRUE(session.PasswordExpiryWarning().isEmpty());
    EXPECT_EQ(ClientLibrary::instance().OCIDLL(), home_ + QStringLiteral("/lib/libclntsh.so"));
    session.LogOff();
    EXPECT_FALSE(session.Connected());
    EXPECT_FALSE(session.Attached());
    EXPECT_EQ(session.EnvHandle(), nullptr);
    session.LogOff(); // again: nothing left to do
}

TEST_F(DevdbSessionTest, ConnectedWrittenTwiceLogsOnOnce)
{
    TOracleSession session;
    int logons = 0;
    session.AfterLogOn = [&](TOracleSession &) { ++logons; };
    session.SetLogonUsername(QStringLiteral("scott"));
    session.SetLogonPassword(QStringLiteral("tiger"));
    session.SetLogonDatabase(QStringLiteral("ORCL"));
    session.SetConnected(true);
    session.SetConnected(true);
    EXPECT_EQ(logons, 1);
    session.LogOn(); // a direct LogOn reconnects
    EXPECT_EQ(logons, 2);
    EXPECT_TRUE(session.Connected());
    session.SetConnected(false);
    session.SetConnected(false);
    EXPECT_FALSE(session.Connected());
}

TEST_F(DevdbSessionTest, UseOCI7LogsOnWithTheOCI7CallSet)
{
    TOracleSession session;
    session.Preferences().SetUseOCI7(true);
    logOn(session, QStringLiteral("scott/tiger@ORCL"));
    EXPECT_TRUE(session.Connected());
    EXPECT_FALSE(session.OCI8Mode());
    EXPECT_FALSE(session.LdaMode());
    EXPECT_EQ(session.MaxStringSize(), 2000);
    session.SetAutoCommit(true); // ocon on the logon data area
    session.SetAutoCommit(false);
    session.Commit();
    session.Rollback();
    session.LogOff();
    EXPECT_FALSE(session.Connected());
}

TEST_F(DevdbSessionTest, Oracle7ServerIsReachedThroughAConvertedConnection)
{
    createDatabase(QStringLiteral("OLD7"), oracle7Version);
    sql(QStringLiteral("OLD7"), QStringLiteral("system/manager"), "create user scott identified by tiger\n");
    TOracleSession session;
    logOn(session, QStringLiteral("scott/tiger@OLD7"));
    EXPECT_TRUE(session.Connected());
    EXPECT_FALSE(session.OCI8Mode());
    EXPECT_TRUE(session.LdaMode());
    session.Commit(); // ocom on the converted logon data area
    session.LogOff(); // converts back before ending the session
    EXPECT_FALSE(session.Connected());
    EXPECT_FALSE(session.LdaMode());
    EXPECT_TRUE(session.OCI8Mode());
}

TEST_F(DevdbSessionTest, Oracle8AndLaterServersStayInOCI8Mode)
{
    createDatabase(QStringLiteral("OLD8"), oracle8Version);
    sql(QStringLiteral("OLD8"), QStringLiteral("system/manager"), "create user scott identified by tiger\n");
    TOracleSession session;
    logOn(session, QStringLiteral("scott/tiger@OLD8"));
    EXPECT_TRUE(session.OCI8Mode());
    EXPECT_FALSE(session.LdaMode());
    session.LogOff();
}

struct RejectedLogon {
    const char *name;
    const char *logon;
    bool useOCI7;
    int errorNumber;
};
void PrintTo(const RejectedLogon &c, std::ostream *os)
{
    *os << c.name;
}

class RejectedLogonTest : public DevdbSessionTest, public ::testing::WithParamInterface<RejectedLogon>
{
};

TEST_P(RejectedLogonTest, RaisesTheClientsErrorAndStaysDisconnected)
{
    const RejectedLogon &c = GetParam();
    TOracleSession session;
    session.Preferences().SetUseOCI7(c.useOCI7);
    try {
        logOn(session, QString::fromUtf8(c.logon));
        FAIL() << "no error";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorNumber(), c.errorNumber);
        EXPECT_TRUE(
            e.Message().startsWith(QStringLiteral("ORA-%1: ").arg(c.errorNumber, 5, 10, QLatin1Char('0'))))
            << e.what();
    }
    EXPECT_FALSE(session.Connected());
    session.LogOff(); // detaches and releases what the failed logon left
    EXPECT_FALSE(session.Attached());
    EXPECT_EQ(session.EnvHandle(), nullptr);
    session.SetConnectAs(caNormal);                     // a text without " AS " leaves the mode as it was
    logOn(session, QStringLiteral("scott/tiger@ORCL")); // the session is usable afterwards
    EXPECT_TRUE(session.Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, RejectedLogonTest,
    ::testing::Values(RejectedLogon{"WrongPassword", "scott/lion@ORCL", false, 1017},
                      RejectedLogon{"WrongPasswordOCI7", "scott/lion@ORCL", true, 1017},
                      RejectedLogon{"UnknownAlias", "scott/tiger@NOWHERE", false, 12154},
                      RejectedLogon{"UnknownAliasOCI7", "scott/tiger@NOWHERE", true, 12154},
                      RejectedLogon{"PasswordExpired", "gone/old@ORCL", false, 28001},
                      RejectedLogon{"AccountLocked", "locked/x@ORCL", false, 28000},
                      RejectedLogon{"NoSysdbaPrivilege", "scott/tiger@ORCL as sysdba", false, 1031}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DevdbSessionTest, PasswordAboutToExpireLogsOnWithAWarning)
{
    for (const bool useOCI7 : {false, true}) {
        SCOPED_TRACE(useOCI7 ? "OCI7" : "OCI8");
        TOracleSession session;
        session.Preferences().SetUseOCI7(useOCI7);
        logOn(session, QStringLiteral("soon/soon@ORCL"));
        EXPECT_TRUE(session.Connected());
        EXPECT_TRUE(session.PasswordExpiryWarning().startsWith(QStringLiteral("ORA-28002: ")))
            << session.PasswordExpiryWarning().toStdString();
        EXPECT_EQ(session.LogonWarning(), session.PasswordExpiryWarning());
        EXPECT_EQ(session.LastStatus(), 0);
        // The warning is not left behind as the error of the next call.
        EXPECT_EQ(session.ErrorNumber(), 0);
        // OCI8 goes on to read the server's version, as after any logon.
        if (!useOCI7)
            EXPECT_FALSE(session.ServerVersion().isEmpty());
        session.LogOff();
    }
}

// A warning other than the grace time's (ORA-28011, the account will expire
// soon) is a successful logon too: the session exists and works.
TEST_F(DevdbSessionTest, OtherLogonWarningsAreSuccessfulLogons)
{
    sql(QStringLiteral("ORCL"), QStringLiteral("system/manager"), "alter user scott logon warning 28011\n");
    for (const bool useOCI7 : {false, true}) {
        SCOPED_TRACE(useOCI7 ? "OCI7" : "OCI8");
        TOracleSession session;
        session.Preferences().SetUseOCI7(useOCI7);
        logOn(session, QStringLiteral("scott/tiger@ORCL"));
        EXPECT_TRUE(session.Connected());
        EXPECT_EQ(session.LogonWarningNumber(), 28011);
        EXPECT_TRUE(session.LogonWarning().startsWith(QStringLiteral("ORA-28011: ")))
            << session.LogonWarning().toStdString();
        EXPECT_TRUE(session.PasswordExpiryWarning().isEmpty());
        EXPECT_EQ(session.ErrorNumber(), 0);
        if (!useOCI7)
            EXPECT_FALSE(session.ServerVersion().isEmpty());
        session.Commit();
        session.LogOff();
    }
    sql(QStringLiteral("ORCL"), QStringLiteral("system/manager"), "alter user scott logon warning none\n");
    TOracleSession session;
    logOn(session, QStringLiteral("scott/tiger@ORCL"));
    EXPECT_TRUE(session.LogonWarning().isEmpty());
    session.LogOff();
}

TEST_F(DevdbSessionTest, BatchLogonPrintsTheWarning)
{
    sql(QStringLiteral("ORCL"), QStringLiteral("system/manager"), "alter user scott logon warning 28011\n");
    const ProcessResult r =
        run(buildDir() + QStringLiteral("/cli/rowpour-batch"),
            {QStringLiteral("logon"), QStringLiteral("--userid"), QStringLiteral("scott/tiger@ORCL")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nWarning: ORA-28011: "))) << r.out.toStdString();
}

TEST_F(DevdbSessionTest, PasswordInItsGraceTimeIsChangedAfterLoggingOn)
{
    for (const bool useOCI7 : {false, true}) {
        SCOPED_TRACE(useOCI7 ? "OCI7" : "OCI8");
        const QString user = useOCI7 ? QStringLiteral("grace7") : QStringLiteral("grace8");
        sql(QStringLiteral("ORCL"), QStringLiteral("system/manager"),
            QStringLiteral("create user %1 identified by old\nalter user %1 password grace 3\n")
                .arg(user)
                .toUtf8());
        TOracleSession session;
        session.Preferences().SetUseOCI7(useOCI7);
        logOn(session, user + QStringLiteral("/old@ORCL"));
        ASSERT_FALSE(session.PasswordExpiryWarning().isEmpty());
        EXPECT_NO_THROW(session.ChangePassword(QStringLiteral("fresh")));
        EXPECT_EQ(session.LogonPassword(), QStringLiteral("fresh"));
        session.LogOff();
        TOracleSession again;
        logOn(again, user + QStringLiteral("/fresh@ORCL"));
        EXPECT_TRUE(again.Connected());
        EXPECT_TRUE(again.LogonWarning().isEmpty());
    }
}

TEST_F(DevdbSessionTest, ExpiredPasswordIsChangedAndTheLogonThenSucceeds)
{
    TOracleSession session;
    EXPECT_THROW(logOn(session, QStringLiteral("gone/old@ORCL")), EOracleError);
    session.ChangePassword(QStringLiteral("new"));
    EXPECT_EQ(session.LogonPassword(), QStringLiteral("new"));
    session.LogOn();
    EXPECT_TRUE(session.Connected());
    session.LogOff();
}

TEST_F(DevdbSessionTest, PasswordChangeInOCI7ModeRunsAlterUser)
{
    TOracleSession session;
    session.Preferences().SetUseOCI7(true);
    logOn(session, QStringLiteral("scott/tiger@ORCL"));
    session.ChangePassword(QStringLiteral("lion"));
    session.LogOff();
    logOn(session, QStringLiteral("scott/lion@ORCL"));
    EXPECT_TRUE(session.Connected());
}

TEST_F(DevdbSessionTest, EmptyUserAndPasswordLogOnWithOperatingSystemCredentials)
{
    TOracleSession session;
    logOn(session, QStringLiteral("/@ORCL"));
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(session.LogonUsername().isEmpty());
}

TEST_F(DevdbSessionTest, SysdbaSuffixLogsOnPrivileged)
{
    TOracleSession session;
    logOn(session, QStringLiteral("system/manager@ORCL AS SYSDBA"));
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.ConnectAs(), caSYSDBA);
    EXPECT_EQ(session.LogonDatabase(), QStringLiteral("ORCL"));
}

TEST_F(DevdbSessionTest, LogOffNeitherCommitsNorRollsBackWithTheProgramsConfiguration)
{
    {
        TOracleSession session;
        logOn(session, QStringLiteral("scott/tiger@ORCL"));
        execute(session, "insert into t (n) values (1)");
        EXPECT_EQ(countRows(), QStringLiteral("0")) << "not committed while connected";
        session.LogOff(); // the server commits as the session ends
    }
    EXPECT_EQ(countRows(), QStringLiteral("1"));
    {
        TOracleSession session;
        session.RollbackOnDisconnect = true;
        logOn(session, QStringLiteral("scott/tiger@ORCL"));
        execute(session, "insert into t (n) values (2)");
        session.LogOff();
    }
    EXPECT_EQ(countRows(), QStringLiteral("1")) << "RollbackOnDisconnect rolls back before the end";
}

TEST_F(DevdbSessionTest, CommitAndRollbackEndTheTransaction)
{
    TOracleSession session;
    logOn(session, QStringLiteral("scott/tiger@ORCL"));
    execute(session, "insert into t (n) values (1)");
    session.Rollback();
    execute(session, "insert into t (n) values (2)");
    session.Commit();
    EXPECT_EQ(countRows(), QStringLiteral("1"));
    session.LogOff();
}

TEST_F(DevdbSessionTest, AutoCommitIsReappliedAtLogonInOCI7Mode)
{
    TOracleSession session;
    session.Preferences().SetUseOCI7(true);
    session.SetAutoCommit(true);
    logOn(session, QStringLiteral("scott/tiger@ORCL"));
    EXPECT_TRUE(session.AutoCommit());
    session.LogOff();
}

TEST_F(DevdbSessionTest, ConfigurationChangesAreRefusedWhileConnected)
{
    TOracleSession session;
    logOn(session, QStringLiteral("scott/tiger@ORCL"));
    const auto messageOf = [](const std::function<void()> &change) {
        try {
            change();
        } catch (const std::runtime_error &e) {
            return std::string(e.what());
        }
        return std::string("<accepted>");
    };
    EXPECT_EQ(messageOf([&] { session.Preferences().SetUseOCI7(true); }), texts::CannotChangeUseOCI7);
    EXPECT_EQ(messageOf([&] { session.SetThreadSafe(true); }), texts::CannotChangeThreadSafe);
    EXPECT_EQ(messageOf([&] { session.SetPooling(spInternal); }), texts::CannotChangePooling);
    EXPECT_EQ(messageOf([&] { session.SetMTSOptions(0); }), texts::CannotChangeMTSOptions);
    // Writing the current value is accepted.
    session.Preferences().SetUseOCI7(false);
    session.SetThreadSafe(false);
    session.SetPooling(spNone);
    session.SetMTSOptions(moImplicit | moUniqueServer);
    EXPECT_TRUE(session.Connected());
}

TEST_F(DevdbSessionTest, LogOffReleasesRegisteredStatementsAndResultSets)
{
    FakeClient statement, failing, resultSet;
    failing.throwOnRelease = true;
    {
        TOracleSession session;
        session.RegisterStatement(&failing);
        session.RegisterStatement(&statement);
        session.RegisterResultSet(&resultSet);
        session.LogOff();
        EXPECT_EQ(statement.loggingOff, 0) << "nothing to release without a connection";
        logOn(session, QStringLiteral("scott/tiger@ORCL"));
        session.LogOff();
        EXPECT_EQ(failing.loggingOff, 1);
        EXPECT_EQ(statement.loggingOff, 1);
        EXPECT_EQ(resultSet.loggingOff, 1);
        session.UnregisterStatement(&failing);
    }
    EXPECT_EQ(failing.destroyed, 0);
    EXPECT_EQ(statement.destroyed, 1);
    EXPECT_EQ(resultSet.destroyed, 1);
}

TEST_F(DevdbSessionTest, BusyCursorIsShownAndRestoredInPairs)
{
    rowpour::testing::RecordedDesktop desktop;
    {
        TOracleSession session;
        logOn(session, QStringLiteral("scott/tiger@ORCL"));
        EXPECT_THROW(logOn(session, QStringLiteral("scott/lion@ORCL")), EOracleError);
        session.LogOff();
        session.Cursor = crDefault;
        logOn(session, QStringLiteral("scott/tiger@ORCL"));
    }
    EXPECT_FALSE(desktop.cursorsShown.empty());
    EXPECT_EQ(desktop.cursorsShown, std::vector<TCursor>(desktop.cursorsShown.size(), crHourGlass));
    EXPECT_EQ(int(desktop.cursorsShown.size()), desktop.cursorsRestored);
}

TEST_F(DevdbSessionTest, OCI7OnlyLibraryLogsOnInOCI7Mode)
{
    useVariant("oci7");
    TOracleSession session;
    logOn(session, QStringLiteral("scott/tiger@ORCL"));
    EXPECT_FALSE(ClientFlags().OCI8Available);
    EXPECT_TRUE(ClientFlags().OpinitAvailable);
    EXPECT_FALSE(session.OCI8Mode());
    session.Commit();
    session.LogOff();
}

TEST_F(DevdbSessionTest, LibraryWithoutOracle81NamesStillWorksInOCI8Mode)
{
    useVariant("no81");
    TOracleSession session;
    logOn(session, QStringLiteral("scott/tiger@ORCL"));
    EXPECT_FALSE(ClientFlags().EnvCreateAvailable);
    EXPECT_TRUE(session.OCI8Mode());
    session.LogOff();
}

TEST_F(DevdbSessionTest, LibraryWithNeitherCallSetCannotInitialize)
{
    useVariant("incomplete");
    TOracleSession session;
    try {
        logOn(session, QStringLiteral("scott/tiger@ORCL"));
        FAIL() << "no error";
    } catch (const EInitializationError &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(QLatin1String(texts::InitializationError) +
                                                           QStringLiteral("\r\n") +
                                                           QLatin1String(texts::CouldNotInitialize)));
    }
    EXPECT_FALSE(session.Connected());
    EXPECT_FALSE(ClientLibraryLoaded());
}

TEST_F(DevdbSessionTest, AliasesComeFromTheHomesTnsNames)
{
    createDatabase(QStringLiteral("Sales"));
    EXPECT_EQ(ClientLibrary::instance().DatabaseAliases(),
              (QStringList{QStringLiteral("ORCL"), QStringLiteral("SALES")}));
}

TEST_F(DevdbSessionTest, BatchLogonPrintsTheCallModeAndVersion)
{
    const QString batch = buildDir() + QStringLiteral("/cli/rowpour-batch");
    if (!QFileInfo::exists(batch))
        GTEST_SKIP() << "rowpour-batch is not built";
    ProcessResult ok = run(batch, {QStringLiteral("logon"), QStringLiteral("--userid"),
                                   QStringLiteral("scott/tiger@ORCL"), QStringLiteral("--verbose")});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.contains(QStringLiteral("Call mode: OCI8\n"))) << ok.out.toStdString();
    EXPECT_TRUE(ok.out.contains(QStringLiteral("Release 19."))) << ok.out.toStdString();
    EXPECT_TRUE(
        ok.out.contains(QStringLiteral("Client library: ") + home_ + QStringLiteral("/lib/libclntsh.so")))
        << ok.out.toStdString();

    const QString oci7 = home_ + QStringLiteral("/variants/oci7/libclntsh.so");
    ProcessResult seven = run(batch, {QStringLiteral("logon"), QStringLiteral("UserId=scott/tiger@ORCL"),
                                      QStringLiteral("OCIDLL=") + oci7});
    EXPECT_EQ(seven.exitCode, 0) << seven.err.toStdString();
    EXPECT_TRUE(seven.out.contains(QStringLiteral("Call mode: OCI7\n"))) << seven.out.toStdString();

    ProcessResult bad =
        run(batch, {QStringLiteral("logon"), QStringLiteral("--userid"), QStringLiteral("scott/x@ORCL")});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_TRUE(bad.err.startsWith(QStringLiteral("ORA-01017: "))) << bad.err.toStdString();

    ProcessResult aliases = run(batch, {QStringLiteral("aliases")});
    EXPECT_EQ(aliases.exitCode, 0);
    EXPECT_EQ(aliases.out, QStringLiteral("ORCL\n"));
}

} // namespace
} // namespace rowpour::oracle::testing
