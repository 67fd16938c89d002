#pragma once
// Surroundings of the logon tests against the development database: a private
// Oracle home with the database ORCL and a few accounts, and a scripted logon
// window that answers each showing the way the test says.

#include "../oracle/TestEnvironment.h"

#include "oracle/DesktopServices.h"
#include "oracle/OracleLogonComponent.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace rowpour::oracle::testing
{

// A home with ORCL and the accounts scott/tiger (three tables), gone/old
// (password expired), soon/soon (in its grace period) and empty/empty (no
// tables). ORACLE_HOME points at it.
class LogonDevdbTest : public OracleLayerTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs statements, one per line, as account ("user/password") on ORCL.
    QString sql(const QString &account, const QByteArray &statements);
    QString home() const { return home_; }

private:
    QString home_;
};

class ScriptedLogonUi;

class ScriptedLogonWindow : public ILogonWindow
{
public:
    ScriptedLogonWindow(ScriptedLogonUi &ui, const TLogonWindowSetup &setup) : ui_(ui), setup_(setup) {}
    QString Username() const override { return username; }
    void SetUsername(const QString &text) override { username = text; }
    QString Password() const override { return password; }
    void SetPassword(const QString &text) override { password = text; }
    QString Database() const override { return database; }
    void SetDatabase(const QString &text) override { database = text; }
    int ConnectAsIndex() const override { return connectAs; }
    void SetConnectAsIndex(int index) override { connectAs = index; }
    bool ShowModal() override;
    bool ControlHeldOnOK() const override { return controlHeld; }

    const TLogonWindowSetup &Setup() const { return setup_; }

    QString username;
    QString password;
    QString database;
    int connectAs = 0;
    bool controlHeld = false;

private:
    ScriptedLogonUi &ui_;
    TLogonWindowSetup setup_;
};

// One showing of a window: changes its fields and answers OK (true) or Cancel.
using Showing = std::function<bool(ScriptedLogonWindow &)>;

Showing Cancel();
Showing LogonAs(const QString &user, const QString &password, const QString &database, bool control = false);
// The change-password window: new password and its verification.
Showing NewPassword(const QString &password, const QString &verification);

class ScriptedLogonUi : public ILogonUi
{
public:
    std::unique_ptr<ILogonWindow> CreateLogonWindow(const TLogonWindowSetup &setup) override;
    void ShowMessage(const QString &text) override { messages << text; }
    bool Confirm(const QString &text) override
    {
        confirmations << text;
        return confirmAnswer;
    }

    std::deque<Showing> showings;           // consumed one per ShowModal, in order
    std::vector<TLogonWindowSetup> windows; // every window created
    QStringList shownTitles;                // the title of each showing
    QStringList messages;
    QStringList confirmations;
    bool confirmAnswer = false;
};

// Desktop services whose logon window is the given one.
class LogonWindowServices : public ForwardingDesktopServices
{
public:
    explicit LogonWindowServices(std::shared_ptr<ILogonUi> ui);
    std::shared_ptr<ILogonUi> logonUi() override;

private:
    std::shared_ptr<ILogonUi> ui_;
};

// Installs a scripted UI for the lifetime of the object.
class ScriptedUiScope
{
public:
    ScriptedUiScope();
    ~ScriptedUiScope();
    ScriptedLogonUi &ui() { return *ui_; }

private:
    std::shared_ptr<ScriptedLogonUi> ui_;
    DesktopServicesScope scope_;
};

} // namespace rowpour::oracle::testing
