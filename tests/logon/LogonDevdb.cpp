#include "LogonDevdb.h"

#include "HomeTemplate.h"

#include "platform/Environment.h"

#include <QFileInfo>
#include <QProcess>

#include <stdexcept>

namespace rowpour::oracle::testing
{

namespace
{

QString devdbTool()
{
    return platform::Environment::variable("ROWPOUR_BUILD_DIR") +
           QStringLiteral("/devdb/home/bin/rowpour-devdb");
}

struct ToolRun {
    bool ok = false;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(devdbTool(), args);
    if (!p.waitForStarted(10000))
        return {false, {}, QStringLiteral("cannot start ") + devdbTool()};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString run(const QStringList &args, const QByteArray &input = {})
{
    const ToolRun result = runTool(args, input);
    EXPECT_TRUE(result.ok) << args.join(' ').toStdString() << ": " << result.err.toStdString();
    return result.out;
}

// ORCL with the accounts and tables the tests expect.
void layOutHome(const QString &home)
{
    const auto require = [](const ToolRun &result) {
        if (!result.ok)
            throw std::runtime_error(result.err.toStdString());
    };
    require(runTool({QStringLiteral("home"), home}));
    require(runTool({QStringLiteral("database"), home, QStringLiteral("ORCL")}));
    require(runTool({QStringLiteral("sql"), home, QStringLiteral("ORCL"), QStringLiteral("system/manager")},
                    "create user scott identified by tiger\n"
                    "create user gone identified by old\n"
                    "alter user gone password expire\n"
                    "create user soon identified by soon\n"
                    "alter user soon password grace 5\n"
                    "create user empty identified by empty\n"));
    // Created out of name order: the list keeps the server's order.
    require(runTool({QStringLiteral("sql"), home, QStringLiteral("ORCL"), QStringLiteral("scott/tiger")},
                    "create table zeta (id number(9), name varchar2(30), born date)\n"
                    "create table alpha (code varchar2(10))\n"
                    "create table mid (a number, b number, c number, d number)\n"));
}

} // namespace

void LogonDevdbTest::SetUp()
{
    OracleLayerTest::SetUp();
    if (!QFileInfo::exists(devdbTool()))
        GTEST_SKIP() << "the development database tool is not built: " << devdbTool().toStdString();
    home_ = path(QStringLiteral("oracle"));
    rowpour::testing::copyHomeTemplate(QStringLiteral("ORCL"), home_, layOutHome);
    platform::Environment::setVariable("ORACLE_HOME", home_);
}

void LogonDevdbTest::TearDown()
{
    platform::Environment::unsetVariable("ORACLE_HOME");
    OracleLayerTest::TearDown();
}

QString LogonDevdbTest::sql(const QString &account, const QByteArray &statements)
{
    return run({QStringLiteral("sql"), home_, QStringLiteral("ORCL"), account}, statements);
}

bool ScriptedLogonWindow::ShowModal()
{
    ui_.shownTitles << setup_.Title;
    controlHeld = false;
    if (ui_.showings.empty()) {
        ADD_FAILURE() << "the window was shown more often than the test expected";
        return false;
    }
    const Showing showing = ui_.showings.front();
    ui_.showings.pop_front();
    return showing(*this);
}

std::unique_ptr<ILogonWindow> ScriptedLogonUi::CreateLogonWindow(const TLogonWindowSetup &setup)
{
    windows.push_back(setup);
    return std::make_unique<ScriptedLogonWindow>(*this, setup);
}

Showing Cancel()
{
    return [](ScriptedLogonWindow &) { return false; };
}

Showing LogonAs(const QString &user, const QString &password, const QString &database, bool control)
{
    return [=](ScriptedLogonWindow &window) {
        window.username = user;
        window.password = password;
        window.database = database;
        window.controlHeld = control;
        return true;
    };
}

Showing NewPassword(const QString &password, const QString &verification)
{
    return [=](ScriptedLogonWindow &window) {
        EXPECT_TRUE(window.Setup().PasswordForm);
        window.username = password;
        window.password = verification;
        return true;
    };
}

LogonWindowServices::LogonWindowServices(std::shared_ptr<ILogonUi> ui) : ui_(std::move(ui)) {}

std::shared_ptr<ILogonUi> LogonWindowServices::logonUi()
{
    return ui_;
}

ScriptedUiScope::ScriptedUiScope()
    : ui_(std::make_shared<ScriptedLogonUi>()), scope_(std::make_unique<LogonWindowServices>(ui_))
{
}

ScriptedUiScope::~ScriptedUiScope() = default;

} // namespace rowpour::oracle::testing
