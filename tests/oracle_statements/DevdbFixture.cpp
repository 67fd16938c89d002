#include "DevdbFixture.h"

#include "HomeTemplate.h"
#include "platform/Environment.h"

#include <QFileInfo>
#include <QProcess>

#include <stdexcept>

namespace rowpour::oracle::testing
{

namespace
{

namespace Environment = platform::Environment;
using rowpour::testing::copyHomeTemplate;
using rowpour::testing::devdbTool;

QString buildDir()
{
    return Environment::variable("ROWPOUR_BUILD_DIR");
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
    QString version;
    if (GetParam() == CallMode::OCI7Server) {
        alias_ = QStringLiteral("OLD");
        version = QStringLiteral("Oracle7 Server Release 7.3.4.0.0 - Production");
    } else {
        alias_ = QStringLiteral("ORCL");
    }
    // scott/tiger in a database of the call mode's server release.
    copyHomeTemplate(alias_, home_, [&](const QString &home) {
        const auto require = [](const ToolResult &result) {
            if (result.exitCode != 0)
                throw std::runtime_error(result.err.toStdString());
        };
        require(runProgram(devdbTool(), {QStringLiteral("home"), home}));
        QStringList database{QStringLiteral("database"), home, alias_};
        if (!version.isEmpty())
            database << QStringLiteral("--version") << version;
        require(runProgram(devdbTool(), database));
        require(runProgram(devdbTool(),
                           {QStringLiteral("sql"), home, alias_, QStringLiteral("system/manager")},
                           "create user scott identified by tiger\n"));
    });
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
