// Logon texts, server versions and client messages: the parts of the session
// and the error that need no database.

#include "oracle/Oracle.h"
#include "oracle/OracleTexts.h"

#include <gtest/gtest.h>

namespace rowpour::oracle
{
namespace
{

struct SplitCase {
    const char *name;
    const char *user, *password, *database; // fields before
    TConnectAsOption connectAsBefore;
    const char *composed;                                  // text the OCI7 logon sends
    const char *splitUser, *splitPassword, *splitDatabase; // fields after
    TConnectAsOption connectAs;
};
void PrintTo(const SplitCase &c, std::ostream *os)
{
    *os << c.name;
}

class ConnectTextTest : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(ConnectTextTest, ComposesAndSplitsTheLogonFields)
{
    const SplitCase &c = GetParam();
    TOracleSession session;
    session.SetLogonUsername(QString::fromUtf8(c.user));
    session.SetLogonPassword(QString::fromUtf8(c.password));
    session.SetLogonDatabase(QString::fromUtf8(c.database));
    session.SetConnectAs(c.connectAsBefore);
    EXPECT_EQ(session.ComposeAndSplitConnectText(), QString::fromUtf8(c.composed));
    EXPECT_EQ(session.LogonUsername(), QString::fromUtf8(c.splitUser));
    EXPECT_EQ(session.LogonPassword(), QString::fromUtf8(c.splitPassword));
    EXPECT_EQ(session.LogonDatabase(), QString::fromUtf8(c.splitDatabase));
    EXPECT_EQ(session.ConnectAs(), c.connectAs);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ConnectTextTest,
    ::testing::Values(SplitCase{"SeparateFields", "scott", "tiger", "orcl", caNormal, "scott/tiger@orcl",
                                "scott", "tiger", "orcl", caNormal},
                      SplitCase{"WholeLogonInUserName", "scott/tiger@orcl", "", "", caNormal,
                                "scott/tiger@orcl", "scott", "tiger", "orcl", caNormal},
                      SplitCase{"NoDatabase", "scott/tiger", "", "", caNormal, "scott/tiger", "scott",
                                "tiger", "", caNormal},
                      SplitCase{"UserAtDatabaseWithoutPassword", "scott@orcl", "", "", caNormal, "scott@orcl",
                                "scott", "", "orcl", caNormal},
                      SplitCase{"OperatingSystemLogon", "/@orcl", "", "", caNormal, "/@orcl", "", "", "orcl",
                                caNormal},
                      SplitCase{"TrailingAtSignGivesNoDatabase", "scott/tiger@", "", "", caNormal,
                                "scott/tiger@", "scott", "tiger", "", caNormal},
                      SplitCase{"SysdbaAfterTheDatabase", "sys/pw@db AS SYSDBA", "", "", caNormal,
                                "sys/pw@db AS SYSDBA", "sys", "pw", "db", caSYSDBA},
                      SplitCase{"SysdbaAfterTheUserInLowerCase", "sys as sysdba", "pw", "", caNormal,
                                "sys as sysdba/pw", "sys", "pw", "", caSYSDBA},
                      SplitCase{"SysoperInTheDatabaseField", "op", "pw", "db as sysoper", caNormal,
                                "op/pw@db as sysoper", "op", "pw", "db", caSYSOPER},
                      SplitCase{"TabsCountAsBlanks", "sys\tAS\tsysdba", "pw", "", caNormal,
                                "sys\tAS\tsysdba/pw", "sys", "pw", "", caSYSDBA},
                      SplitCase{"OtherWordSelectsNormal", "scott as boss", "tiger", "", caSYSDBA,
                                "scott as boss/tiger", "scott", "tiger", "", caNormal},
                      SplitCase{"NoSuffixKeepsConnectAs", "sys", "pw", "db", caSYSOPER, "sys/pw@db", "sys",
                                "pw", "db", caSYSOPER},
                      SplitCase{"CyrillicPassword", "пользователь", "пароль", "база", caNormal,
                                "пользователь/пароль@база", "пользователь", "пароль", "база", caNormal}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SplitConnectAs, LeavesAFieldWithoutSuffixAlone)
{
    QString field = QStringLiteral("Basil");
    QString mode = QStringLiteral("unchanged");
    EXPECT_FALSE(SplitConnectAs(field, mode));
    EXPECT_EQ(field, QStringLiteral("Basil"));
    EXPECT_EQ(mode, QStringLiteral("unchanged"));
}

TEST(ServerReleaseNumber, ReadsTheReleaseOfEveryBannerForm)
{
    const std::pair<const char *, int> cases[] = {
        {"Oracle7 Server Release 7.3.4.0.0 - Production\nPL/SQL Release 2.3.4.0.0 - Production", 7},
        {"Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production\nJServer Release 8.1.7.0.0", 8},
        {"Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production", 9},
        {"Oracle Database 10g Enterprise Edition Release 10.2.0.4.0 - Production", 10},
        {"Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production\nVersion 19.3.0.0.0", 19},
        {"Oracle Database 23ai Free Release 23.0.0.0.0 - Develop, Learn, and Run for Free", 23},
        {"Oracle8 Server", 8},
        {"Personal Oracle 7.1", 7},
        {"", 0},
        {"unknown server", 0},
    };
    for (const auto &[text, release] : cases)
        EXPECT_EQ(ServerReleaseNumber(QString::fromUtf8(text)), release) << text;
}

TEST(OracleMessage, IsCutAtTheLengthLimitAndKeepsItsLineFeed)
{
    std::string ascii(1100, 'x');
    ascii.resize(OracleMessageBufferSize, '\0');
    EXPECT_EQ(OracleMessageFromBuffer(ascii.data(), OracleMessageBufferSize).size(),
              OracleMessageLengthLimit);

    const char withLineFeed[] = "ORA-01017: invalid username/password; logon denied\n";
    EXPECT_EQ(OracleMessageFromBuffer(withLineFeed, sizeof withLineFeed),
              QStringLiteral("ORA-01017: invalid username/password; logon denied\n"));

    // A Cyrillic message is cut by characters, never inside a character.
    QByteArray cyrillic = QString(1100, QChar(0x0416)).toUtf8();
    cyrillic.resize(OracleMessageBufferSize, '\0');
    const QString cut = OracleMessageFromBuffer(cyrillic.constData(), OracleMessageBufferSize);
    EXPECT_EQ(cut, QString(OracleMessageLengthLimit, QChar(0x0416)));

    const char unterminated[4] = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(OracleMessageFromBuffer(unterminated, 4), QStringLiteral("ABCD"));
}

TEST(OracleError, CarriesNumberAndMessage)
{
    const EOracleError e(28001, QStringLiteral("ORA-28001: the password has expired\n"));
    EXPECT_EQ(e.ErrorNumber(), 28001);
    EXPECT_STREQ(e.what(), "ORA-28001: the password has expired\n");
}

TEST(SessionConfiguration, ChangesAreAcceptedWhileNotConnected)
{
    TOracleSession session;
    session.Preferences().SetUseOCI7(true);
    session.SetThreadSafe(true);
    session.SetMTSOptions(moImplicit);
    session.SetPooling(spNone);
    EXPECT_TRUE(session.Preferences().UseOCI7());
    EXPECT_TRUE(session.ThreadSafe());
    EXPECT_EQ(session.MTSOptions(), moImplicit);
    EXPECT_FALSE(session.Connected());
    session.Commit(); // nothing to do without a connection
    session.Rollback();
    session.LogOff();
    session.SetConnected(false);
}

TEST(SessionConfiguration, BridgeModeFollowsTheLogonFields)
{
    TOracleSession session;
    session.SetLogonDatabase(QStringLiteral("odbc:payroll"));
    EXPECT_TRUE(session.BridgeMode());
    session.SetLogonDatabase(QStringLiteral("orcl"));
    EXPECT_FALSE(session.BridgeMode());
}

TEST(SessionRegistry, KnowsEverySessionThatExists)
{
    const auto before = TOracleSession::Sessions().size();
    {
        TOracleSession a;
        TOracleSession b;
        EXPECT_EQ(TOracleSession::Sessions().size(), before + 2);
    }
    EXPECT_EQ(TOracleSession::Sessions().size(), before);
}

} // namespace
} // namespace rowpour::oracle
