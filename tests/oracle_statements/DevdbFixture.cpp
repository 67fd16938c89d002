#include "DevdbFixture.h"

#include "platform/Environment.h"

#include <QFileInfo>
#include <QProcess>

namespace rowpour::oracle::testing
{

namespace
{

namespace Environment = platform::Environment;

QString buildDir()
{
    return Environment::variable("ROWPOUR_BUILD_DIR");
}
QString devdbTool()
{
    return buildDir() + QStringLiteral("/devdb/home/bin/rowpour-devdb");
}

} // namespace

std::string callModeName(const ::testing::TestParamInfo<CallMode> &info)
{
    switch (info.param) {
    case CallMode::OCI8:
        return "OCI8";
    case CallMode::OCI7Server:
        return "OCI7Server";
    case CallMode::OCI7Preference:
        return "OCI7Preference";
    }
    return "unknown";
}

void PrintTo(CallMode mode, std::ostream *os)
{
    *os << callModeName(::testing::TestParamInfo<CallMode>(mode, 0));
}

ToolResult runProgram(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return {};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString batchTool()
{
    return buildDir() + QStringLiteral("/cli/rowpour-batch");
}

void DevdbStatementTest::SetUp()
{
    OracleLayerTest::SetUp();
    if (!QFileInfo::exists(devdbTool()))
        GTEST_SKIP() << "the development database tool is not built: " << devdbTool().toStdString();
    home_ = path(QStringLiteral("oracle"));
    ASSERT_EQ(runProgram(devdbTool(), {QStringLiteral("home"), home_}).exitCode, 0);
    QStringList database{QStringLiteral("database"), home_};
    if (GetParam() == CallMode::OCI7Server) {
        alias_ = QStringLiteral("OLD");
        database << alias_ << QStringLiteral("--version")
                 << QStringLiteral("Oracle7 Server Release 7.3.4.0.0 - Production");
    } else {
        alias_ = QStringLiteral("ORCL");
        database << alias_;
    }
    const ToolResult created = runProgram(devdbTool(), database);
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    const ToolResult user =
        runProgram(devdbTool(), {QStringLiteral("sql"), home_, alias_, QStringLiteral("system/manager")},
                   "create user scott identified by tiger\n");
    ASSERT_EQ(user.exitCode, 0) << user.err.toStdString();
    Environment::setVariable("ORACLE_HOME", home_);
    logOn(session_);
    ASSERT_EQ(session_.OCI8Mode(), GetParam() == CallMode::OCI8);
}

void DevdbStatementTest::TearDown()
{
    try {
        session_.LogOff();
    } catch (...) {
    }
    Environment::unsetVariable("ORACLE_HOME");
    OracleLayerTest::TearDown();
}

QString DevdbStatementTest::devdbSql(const QByteArray &statements)
{
    const ToolResult r = runProgram(
        devdbTool(), {QStringLiteral("sql"), home_, alias_, QStringLiteral("scott/tiger")}, statements);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return r.out;
}

void DevdbStatementTest::logOn(TOracleSession &session)
{
    if (GetParam() == CallMode::OCI7Preference)
        session.Preferences().SetUseOCI7(true);
    session.SetLogonUsername(QStringLiteral("scott"));
    session.SetLogonPassword(QStringLiteral("tiger"));
    session.SetLogonDatabase(alias_);
    session.LogOn();
}

} // namespace rowpour::oracle::testing
