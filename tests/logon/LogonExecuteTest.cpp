// The logon conversation of TOracleLogon against the development database,
// with a scripted window.

#include "LogonDevdb.h"

#include "oracle/LogonHistory.h"
#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>

namespace rowpour::oracle::testing
{
namespace
{

class LogonExecute : public LogonDevdbTest
{
protected:
    void SetUp() override
    {
        LogonDevdbTest::SetUp();
        if (IsSkipped())
            return;
        logon.SetSession(&session);
        logon.Options = ldAuto | ldDatabase | ldDatabaseList | ldLogonHistory | ldConnectAs;
        logon.HistoryRegSection = QStringLiteral("rowpour");
        logon.HistorySize = 6;
        logon.HistoryWithPassword = true;
    }
    void TearDown() override
    {
        session.LogOff();
        LogonTexts() = DefaultLogonTexts();
        LogonDevdbTest::TearDown();
    }

    ScriptedLogonUi &ui() { return scope.ui(); }
    void script(std::initializer_list<Showing> showings) { ui().showings.assign(showings); }

    static QString stored(int n)
    {
        return UnscrambleHistoryText(platform::Registry::readString(platform::RegistryRoot::CurrentUser,
                                                                    QStringLiteral("rowpour"),
                                                                    QStringLiteral("Logon%1").arg(n)));
    }

    ScriptedUiScope scope;
    TOracleSession session;
    TOracleLogon logon;
};

const char invalidLogon[] = "ORA-01017";

TEST_F(LogonExecute, WithoutSessionNothingHappens)
{
    TOracleLogon alone;
    EXPECT_FALSE(alone.Execute());
    {
        TOracleSession gone;
        alone.SetSession(&gone);
        EXPECT_EQ(alone.Session(), &gone);
    }
    EXPECT_EQ(alone.Session(), nullptr);
    EXPECT_FALSE(alone.Execute());
    EXPECT_TRUE(ui().windows.empty());
}

TEST_F(LogonExecute, CancelOnTheFirstShowingChangesNothing)
{
    script({Cancel()});
    EXPECT_FALSE(logon.Execute());
    EXPECT_FALSE(session.Connected());
    EXPECT_TRUE(session.LogonUsername().isEmpty());
    EXPECT_TRUE(ui().messages.isEmpty());
    // The history is written back after a cancelled Execute too.
    EXPECT_TRUE(QFile::exists(platform::Registry::currentUserFile()));
}

TEST_F(LogonExecute, ThreeFailedAttemptsShowThreeMessagesAndReturnTrue)
{
    script({LogonAs("scott", "wrong", "ORCL"), LogonAs("scott", "wrong", "ORCL"),
            LogonAs("scott", "wrong", "ORCL")});
    EXPECT_TRUE(logon.Execute());
    EXPECT_FALSE(session.Connected());
    EXPECT_EQ(ui().shownTitles.size(), 3);
    ASSERT_EQ(ui().messages.size(), 3);
    for (const QString &message : ui().messages)
        EXPECT_TRUE(message.startsWith(invalidLogon)) << message.toStdString();
    EXPECT_EQ(LogonHistory().Count(), 0);
}

TEST_F(LogonExecute, CancelAfterAFailedAttemptStillReturnsTrue)
{
    script({LogonAs("scott", "wrong", "ORCL"), Cancel()});
    EXPECT_TRUE(logon.Execute());
    EXPECT_FALSE(session.Connected());
    EXPECT_EQ(ui().messages.size(), 1);
}

TEST_F(LogonExecute, SecondAttemptAfterAFailureConnectsWithTheSplitFields)
{
    script({LogonAs("scott", "wrong", "ORCL"), LogonAs("scott/tiger@orcl", "", "")});
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.LogonUsername(), QStringLiteral("scott"));
    EXPECT_EQ(session.LogonDatabase(), QStringLiteral("orcl"));
    EXPECT_EQ(stored(0), QStringLiteral("scott/tiger@orcl"));
}

TEST_F(LogonExecute, UserIdOnTheCommandLineLogsOnOnceWithoutTheWindow)
{
    setArguments({QStringLiteral("userid=scott/tiger@ORCL")});
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(ui().shownTitles.isEmpty());
    EXPECT_EQ(logon.Options & ldAuto, 0);

    session.LogOff();
    script({Cancel()});
    EXPECT_FALSE(logon.Execute());
    EXPECT_EQ(ui().shownTitles.size(), 1);
}

TEST_F(LogonExecute, StoredSessionFieldsLogOnAutomaticallyOnce)
{
    session.SetLogonUsername(QStringLiteral("scott"));
    session.SetLogonPassword(QStringLiteral("tiger"));
    session.SetLogonDatabase(QStringLiteral("ORCL"));
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(ui().shownTitles.isEmpty());
}

TEST_F(LogonExecute, HistoryKeepsOneEntryPerLogonAndSkipsControlHeld)
{
    script({LogonAs("scott", "tiger", "ORCL")});
    ASSERT_TRUE(logon.Execute());
    session.LogOff();
    script({LogonAs("SCOTT", "tiger", "orcl")});
    ASSERT_TRUE(logon.Execute());
    session.LogOff();
    script({LogonAs("soon", "soon", "ORCL", true)});
    ASSERT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());

    EXPECT_EQ(stored(0), QStringLiteral("SCOTT/tiger@orcl"));
    EXPECT_TRUE(stored(1).isEmpty());
}

TEST_F(LogonExecute, WithoutHistoryWithPasswordTheStoredPasswordIsEmpty)
{
    logon.HistoryWithPassword = false;
    script({LogonAs("scott", "tiger", "ORCL")});
    ASSERT_TRUE(logon.Execute());
    EXPECT_EQ(stored(0), QStringLiteral("scott/@ORCL"));
}

TEST_F(LogonExecute, ExpiredPasswordOpensThePasswordWindowUntilBothTextsAgree)
{
    script({LogonAs("gone", "old", "ORCL"), NewPassword("new1", "NEW1"), NewPassword("new1", "new1")});
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(ui().messages, QStringList{DefaultLogonTexts()[ltVerificationFailed]});
    ASSERT_EQ(ui().windows.size(), 2u);
    EXPECT_EQ(ui().windows[1].Title, QStringLiteral("Your password has expired"));
    EXPECT_EQ(ui().windows[1].UsernameLabel, QStringLiteral("New password"));
    EXPECT_EQ(ui().windows[1].PasswordLabel, QStringLiteral("Verification"));
    EXPECT_EQ(session.LogonPassword(), QStringLiteral("new1"));

    // The new password is the account's now.
    session.LogOff();
    session.SetLogonPassword(QStringLiteral("new1"));
    EXPECT_NO_THROW(session.LogOn());
}

TEST_F(LogonExecute, CancelledPasswordChangeLeavesTheSessionDisconnected)
{
    script({LogonAs("gone", "old", "ORCL"), Cancel(), Cancel()});
    EXPECT_TRUE(logon.Execute());
    EXPECT_FALSE(session.Connected());
}

TEST_F(LogonExecute, PasswordInItsGraceTimeAsksWhetherToChangeIt)
{
    for (const bool change : {false, true}) {
        ui().confirmAnswer = change;
        ui().confirmations.clear();
        if (change)
            script({LogonAs("soon", "soon", "ORCL"), NewPassword("later", "later")});
        else
            script({LogonAs("soon", "soon", "ORCL")});
        ASSERT_TRUE(logon.Execute());
        EXPECT_TRUE(session.Connected());
        ASSERT_EQ(ui().confirmations.size(), 1);
        EXPECT_TRUE(ui().confirmations[0].startsWith(QStringLiteral("ORA-28002")));
        EXPECT_TRUE(
            ui().confirmations[0].endsWith(QStringLiteral("\r\nDo you wish to change your password now?")));
        EXPECT_EQ(session.LogonPassword(), change ? QStringLiteral("later") : QStringLiteral("soon"));
        session.LogOff();
    }
}

TEST_F(LogonExecute, WindowOffersTheAliasesAndTheConnectAsRowWithOCI8)
{
    logon.Caption = QStringLiteral("Own title");
    script({Cancel()});
    logon.Execute();
    ASSERT_EQ(ui().windows.size(), 1u);
    const TLogonWindowSetup &setup = ui().windows[0];
    EXPECT_EQ(setup.Title, QStringLiteral("Own title"));
    EXPECT_TRUE(setup.DatabaseList);
    EXPECT_EQ(setup.Aliases, QStringList{QStringLiteral("ORCL")});
    EXPECT_TRUE(setup.ConnectAsRow);
    EXPECT_TRUE(setup.HistoryButton);
    EXPECT_FALSE(setup.HistoryEnabled);
}

TEST_F(LogonExecute, ConnectAsRowNeedsTheOCI8CallSet)
{
    struct Case {
        const char *name;
        bool useOCI7;
        const char *variant;
    };
    for (const Case c : {Case{"UseOCI7", true, nullptr}, Case{"OCI7OnlyLibrary", false, "oci7"}}) {
        resetClientLibrary();
        ui().windows.clear();
        session.Preferences().SetUseOCI7(c.useOCI7);
        if (c.variant)
            ClientLibrary::instance().SetOCIDLL(home() + QStringLiteral("/variants/") + c.variant +
                                                QStringLiteral("/libclntsh.so"));
        script({Cancel()});
        logon.Execute();
        ASSERT_EQ(ui().windows.size(), 1u) << c.name;
        EXPECT_FALSE(ui().windows[0].ConnectAsRow) << c.name;
    }
}

TEST_F(LogonExecute, WithoutTnsNamesTheAliasListIsEmptyAndTypedTextIsUsed)
{
    QDir(home() + QStringLiteral("/network/admin")).removeRecursively();
    script({LogonAs("scott", "tiger", "typed_db"), Cancel()});
    EXPECT_TRUE(logon.Execute());
    ASSERT_EQ(ui().windows.size(), 1u);
    EXPECT_TRUE(ui().windows[0].Aliases.isEmpty());
    EXPECT_EQ(session.LogonDatabase(), QStringLiteral("typed_db"));
    EXPECT_EQ(ui().messages.size(), 1); // the unknown database
}

TEST_F(LogonExecute, SysdbaChosenInTheWindowIsRecordedWithTheMode)
{
    sql(QStringLiteral("system/manager"), "grant sysdba to scott\n");
    script({[](ScriptedLogonWindow &window) {
        LogonAs("scott", "tiger", "ORCL")(window);
        window.connectAs = 1;
        return true;
    }});
    ASSERT_TRUE(logon.Execute());
    EXPECT_EQ(session.ConnectAs(), caSYSDBA);
    EXPECT_EQ(stored(0), QStringLiteral("scott/tiger@ORCL as SYSDBA"));
}

} // namespace
} // namespace rowpour::oracle::testing
