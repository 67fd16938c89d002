#include "LogonDevdb.h"

#include "platform/Environment.h"

#include <QFileInfo>
#include <QProcess>

namespace rowpour::oracle::testing
{

namespace
{

QString devdbTool()
{
    return platform::Environment::variable("ROWPOUR_BUILD_DIR") +
           QStringLiteral("/devdb/home/bin/rowpour-devdb");
}

QString run(const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(devdbTool(), args);
    EXPECT_TRUE(p.waitForStarted(10000)) << devdbTool().toStdString();
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << args.join(' ').toStdString() << ": "
                               << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

void LogonDevdbTest::SetUp()
{
    OracleLayerTest::SetUp();
    if (!QFileInfo::exists(devdbTool()))
        GTEST_SKIP() << "the development database tool is not built: " << devdbTool().toStdString();
    home_ = path(QStringLiteral("oracle"));
    run({QStringLiteral("home"), home_});
    run({QStringLiteral("database"), home_, QStringLiteral("ORCL")});
    sql(QStringLiteral("system/manager"), "create user scott identified by tiger\n"
                                          "create user gone identified by old\n"
                                          "alter user gone password expire\n"
                                          "create user soon identified by soon\n"
                                          "alter user soon password grace 5\n"
                                          "create user empty identified by empty\n");
    // Created out of name order: the list keeps the server's order.
    sql(QStringLiteral("scott/tiger"), "create table zeta (id number(9), name varchar2(30), born date)\n"
                                       "create table alpha (code varchar2(10))\n"
                                       "create table mid (a number, b number, c number, d number)\n");
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
