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
        logon.SetSession(&session);
        logon.Options = ldAuto | ldDatabase | ldDatabaseList | ldLogonHistory | ldConnectAs;
        logon.HistoryRegSection = QStringLiteral("rowpour");
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

TEST_F(LogonExecute, WithoutSessionOrWhenCancelledAtOnceItAnswersFalse)
{
    TOracleLogon alone;
    {
        TOracleSession gone;
        alone.SetSession(&gone);
    }
    EXPECT_EQ(alone.Session(), nullptr); // forgotten with the session
    EXPECT_FALSE(alone.Execute());
    EXPECT_TRUE(ui().windows.empty());

    script({Cancel()});
    EXPECT_FALSE(logon.Execute());
    EXPECT_FALSE(session.Connected());
    EXPECT_TRUE(session.LogonUsername().isEmpty());
    EXPECT_TRUE(ui().messages.isEmpty());
    // The history is written back after a cancelled Execute too.
    EXPECT_TRUE(QFile::exists(platform::Registry::currentUserFile()));
}

TEST_F(LogonExecute, EachFailedAttemptIsShownAndThreeAreTheMost)
{
    const Showing wrong = LogonAs("scott", "wrong", "ORCL");
    script({wrong, wrong, wrong});
    EXPECT_TRUE(logon.Execute());
    EXPECT_FALSE(session.Connected());
    EXPECT_EQ(ui().shownTitles.size(), 3);
    ASSERT_EQ(ui().messages.size(), 3);
    for (const QString &message : ui().messages)
        EXPECT_TRUE(message.startsWith(QStringLiteral("ORA-01017"))) << message.toStdString();

    // Cancel after a failure still answers true; a later attempt may succeed.
    script({wrong, Cancel()});
    EXPECT_TRUE(logon.Execute());
    script({wrong, LogonAs("scott/tiger@orcl", "", "")});
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.LogonUsername(), QStringLiteral("scott")); // the split fields
    EXPECT_EQ(session.LogonDatabase(), QStringLiteral("orcl"));
}

TEST_F(LogonExecute, UserIdOnTheCommandLineLogsOnOnceWithoutTheWindow)
{
    setArguments({QStringLiteral("userid=scott/tiger@ORCL")});
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(ui().shownTitles.isEmpty());
    session.LogOff();
    script({Cancel()});
    EXPECT_FALSE(logon.Execute());
    EXPECT_EQ(ui().shownTitles.size(), 1);
}

TEST_F(LogonExecute, HistoryKeepsOneEntryPerLogonAndSkipsLogonsWithControlHeld)
{
    for (const Showing &showing : {LogonAs("scott", "tiger", "ORCL"), LogonAs("SCOTT", "tiger", "orcl"),
                                   LogonAs("empty", "empty", "ORCL", true)}) {
        script({showing});
        ASSERT_TRUE(logon.Execute());
        ASSERT_TRUE(session.Connected());
        session.LogOff();
    }
    EXPECT_EQ(stored(0), QStringLiteral("SCOTT/tiger@orcl"));
    EXPECT_TRUE(stored(1).isEmpty());

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
    session.LogOff();
    session.SetLogonPassword(QStringLiteral("new1"));
    EXPECT_NO_THROW(session.LogOn());
}

TEST_F(LogonExecute, PasswordInItsGraceTimeAsksWhetherToChangeIt)
{
    for (const bool change : {false, true}) {
        ui().confirmAnswer = change;
        ui().confirmations.clear();
        script({LogonAs("soon", "soon", "ORCL"), NewPassword("later", "later")});
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

// Any other warning the server logs on with is a successful logon whose
// message is shown once, after logging on; nothing is asked.
TEST_F(LogonExecute, OtherLogonWarningIsShownOnceAfterLoggingOn)
{
    sql(QStringLiteral("system/manager"), "alter user scott logon warning 28011\n");
    script({LogonAs("scott", "tiger", "ORCL")});
    ASSERT_TRUE(logon.Execute());
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(ui().confirmations.isEmpty());
    ASSERT_EQ(ui().messages.size(), 1);
    EXPECT_TRUE(ui().messages[0].startsWith(QStringLiteral("ORA-28011"))) << ui().messages[0].toStdString();
    EXPECT_EQ(stored(0), QStringLiteral("scott/tiger@ORCL"));
}

TEST_F(LogonExecute, WindowOffersTheAliasesAndTheConnectAsRowOnlyWithOCI8)
{
    struct Case {
        const char *name;
        bool useOCI7;
        const char *variant;
        bool connectAsRow;
    };
    logon.Caption = QStringLiteral("Own title");
    for (const Case c : {Case{"OCI8", false, nullptr, true}, Case{"UseOCI7", true, nullptr, false},
                         Case{"OCI7OnlyLibrary", false, "oci7", false}}) {
        SCOPED_TRACE(c.name);
        resetClientLibrary();
        ui().windows.clear();
        session.Preferences().SetUseOCI7(c.useOCI7);
        if (c.variant)
            ClientLibrary::instance().SetOCIDLL(home() + "/variants/" + c.variant + "/libclntsh.so");
        script({Cancel()});
        logon.Execute();
        ASSERT_EQ(ui().windows.size(), 1u);
        EXPECT_EQ(ui().windows[0].Title, QStringLiteral("Own title"));
        EXPECT_EQ(ui().windows[0].Aliases, QStringList{QStringLiteral("ORCL")});
        EXPECT_EQ(ui().windows[0].ConnectAsRow, c.connectAsRow);
    }
}

TEST_F(LogonExecute, WithoutTnsNamesTheAliasListIsEmptyAndTypedTextIsUsed)
{
    QDir(home() + QStringLiteral("/network/admin")).removeRecursively();
    script({LogonAs("scott", "tiger", "typed_db"), Cancel()});
    EXPECT_TRUE(logon.Execute());
    EXPECT_TRUE(ui().windows.at(0).Aliases.isEmpty());
    EXPECT_EQ(session.LogonDatabase(), QStringLiteral("typed_db"));
    EXPECT_EQ(ui().messages.size(), 1); // the unknown database
}

TEST_F(LogonExecute, SysdbaChosenInTheWindowIsRecordedWithTheMode)
{
    sql(QStringLiteral("system/manager"), "grant sysdba to scott\n");
    script({[](ScriptedLogonWindow &window) {
        window.connectAs = 1;
        return LogonAs("scott", "tiger", "ORCL")(window);
    }});
    ASSERT_TRUE(logon.Execute());
    EXPECT_EQ(session.ConnectAs(), caSYSDBA);
    EXPECT_EQ(stored(0), QStringLiteral("scott/tiger@ORCL as SYSDBA"));
}

} // namespace
} // namespace rowpour::oracle::testing
