// The logon history: recording logons, its registry form and the scrambling
// of the stored texts.

#include "oracle/LogonHistory.h"
#include "platform/Registry.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace rowpour::oracle;
namespace Registry = rowpour::platform::Registry;
using rowpour::platform::RegistryRoot;

namespace
{

struct HistoryCase {
    const char *name;
    const char *text;
    const char *password;
    const char *connectAs;
    const char *database;
    bool withPassword;
    const char *username;
    const char *expectedPassword;
    const char *expectedDatabase;
    const char *expectedConnectAs;
};

void PrintTo(const HistoryCase &c, std::ostream *os)
{
    *os << c.name;
}

class AddLogonSplit : public ::testing::TestWithParam<HistoryCase>
{
};

TEST_P(AddLogonSplit, FieldsOfTheNewEntry)
{
    const HistoryCase &c = GetParam();
    THistoryItems history;
    history.WithPassword = c.withPassword;
    history.AddLogon(QString::fromUtf8(c.text), QString::fromUtf8(c.password), true,
                     QString::fromUtf8(c.connectAs), QString::fromUtf8(c.database));
    ASSERT_EQ(history.Count(), 1);
    const THistoryItem &item = history.Item(0);
    EXPECT_EQ(item.Username.toStdString(), c.username);
    EXPECT_EQ(item.Password.toStdString(), c.expectedPassword);
    EXPECT_EQ(item.Database.toStdString(), c.expectedDatabase);
    EXPECT_EQ(item.ConnectAsText.toStdString(), c.expectedConnectAs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddLogonSplit,
    ::testing::Values(
        HistoryCase{"PlainFields", "scott", "tiger", "", "orcl", true, "scott", "tiger", "orcl", ""},
        HistoryCase{"FullLogonText", "scott/tiger@orcl", "", "", "", true, "scott", "tiger", "orcl", ""},
        HistoryCase{"PasswordDroppedWithoutWithPassword", "scott/tiger@orcl", "x", "", "", false, "scott", "",
                    "orcl", ""},
        HistoryCase{"UserAtDatabase", "scott@orcl", "pw", "", "", true, "scott", "pw", "orcl", ""},
        HistoryCase{"TrailingAtKeepsDatabaseArgument", "scott/tiger@", "", "", "db", true, "scott", "tiger",
                    "db", ""},
        HistoryCase{"StoredFormWithMode", "sys/pw@orcl as SYSDBA", "", "", "", true, "sys", "pw", "orcl",
                    "SYSDBA"},
        HistoryCase{"ModeWithEmptyDatabase", "sys/pw@ as sysoper", "", "", "", true, "sys", "pw", "",
                    "SYSOPER"},
        HistoryCase{"ModeInUserName", "sys as sysdba", "", "", "", true, "sys", "", "", "SYSDBA"},
        HistoryCase{"ModeArgumentKeptWithoutSuffix", "sys", "", "SYSOPER", "db", true, "sys", "", "db",
                    "SYSOPER"},
        HistoryCase{"CyrillicText", "пользователь/пароль@база", "", "", "", true, "пользователь", "пароль",
                    "база", ""}),
    [](const auto &info) { return std::string(info.param.name); });

QStringList displayTexts(const THistoryItems &history)
{
    QStringList texts;
    for (const THistoryItem &item : history.Items())
        texts << item.DisplayText();
    return texts;
}

TEST(LogonHistory, SameLogonInAnyLetterCaseKeepsOneEntryAtTheTop)
{
    THistoryItems history;
    history.AddLogon("scott", "a", true, "", "orcl");
    history.AddLogon("hr", "b", true, "", "orcl");
    history.AddLogon("SCOTT", "c", true, "", "ORCL");
    EXPECT_EQ(displayTexts(history), (QStringList{"SCOTT@ORCL", "hr@orcl"}));
    // A different mode or database is another entry.
    history.AddLogon("scott", "", true, "SYSDBA", "orcl");
    history.AddLogon("scott", "", true, "", "other");
    EXPECT_EQ(displayTexts(history),
              (QStringList{"scott@other", "scott@orcl as SYSDBA", "SCOTT@ORCL", "hr@orcl"}));
}

TEST(LogonHistory, SeventhLogonDropsTheOldest)
{
    THistoryItems history;
    history.MaxItems = 6;
    for (int i = 1; i <= 7; ++i)
        history.AddLogon(QStringLiteral("user%1").arg(i), "", true, "", "db");
    EXPECT_EQ(displayTexts(history),
              (QStringList{"user7@db", "user6@db", "user5@db", "user4@db", "user3@db", "user2@db"}));
}

TEST(LogonHistory, EmptyTextIsNotRecorded)
{
    THistoryItems history;
    history.AddLogon("", "pw", true, "", "db");
    EXPECT_EQ(history.Count(), 0);
}

TEST(HistoryScrambling, RoundTripsThroughDecimalDigitsWithAFreshNumberEachTime)
{
    const QString text = QStringLiteral("scott/tiger@orcl as SYSDBA — пароль");
    QSet<QString> forms;
    for (int i = 0; i < 20; ++i) {
        const QString digits = ScrambleHistoryText(text);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+$")).match(digits).hasMatch())
            << digits.toStdString();
        EXPECT_FALSE(digits.contains(QStringLiteral("tiger")));
        EXPECT_EQ(UnscrambleHistoryText(digits), text);
        forms.insert(digits);
    }
    EXPECT_GT(forms.size(), 1);
}

TEST(HistoryScrambling, ForeignValuesUnscrambleToNothing)
{
    for (const char *stored : {"", "12", "12345", "abcdef", "123999", "12a456"})
        EXPECT_TRUE(UnscrambleHistoryText(QString::fromLatin1(stored)).isEmpty()) << stored;
}

class HistoryRegistry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        previous_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", previous_); }

    static QString stored(int n)
    {
        return Registry::readString(RegistryRoot::CurrentUser, "rowpour", QStringLiteral("Logon%1").arg(n));
    }

    QTemporaryDir dir_;
    QByteArray previous_;
};

TEST_F(HistoryRegistry, SavedHistoryLoadsBackInOrder)
{
    THistoryItems saved;
    saved.WithPassword = true;
    saved.AddLogon("hr", "hrpw", true, "", "orcl");
    saved.AddLogon("sys", "syspw", true, "SYSDBA", "");
    saved.SaveToRegistry("\\rowpour");

    EXPECT_EQ(UnscrambleHistoryText(stored(0)), QStringLiteral("sys/syspw@ as SYSDBA"));
    EXPECT_EQ(UnscrambleHistoryText(stored(1)), QStringLiteral("hr/hrpw@orcl"));
    EXPECT_TRUE(stored(2).isEmpty());

    THistoryItems loaded;
    loaded.WithPassword = true;
    loaded.LoadFromRegistry("rowpour");
    ASSERT_EQ(loaded.Count(), 2);
    EXPECT_EQ(loaded.Item(0).DisplayText(), QStringLiteral("sys as SYSDBA"));
    EXPECT_EQ(loaded.Item(0).Password, QStringLiteral("syspw"));
    EXPECT_EQ(loaded.Item(1).DisplayText(), QStringLiteral("hr@orcl"));
}

TEST_F(HistoryRegistry, WithoutPasswordsTheStoredTextHasAnEmptyPassword)
{
    THistoryItems history;
    history.AddLogon("scott", "tiger", true, "", "orcl");
    history.SaveToRegistry("rowpour");
    EXPECT_EQ(UnscrambleHistoryText(stored(0)), QStringLiteral("scott/@orcl"));
}

TEST_F(HistoryRegistry, ShorterHistoryRemovesStaleValuesAndKeepsOthers)
{
    Registry::writeString("rowpour", "Other", "kept");
    THistoryItems history;
    for (const char *user : {"a", "b", "c"})
        history.AddLogon(user, "", true, "", "");
    history.SaveToRegistry("rowpour");
    history.Clear();
    history.AddLogon("d", "", true, "", "");
    history.SaveToRegistry("rowpour");

    EXPECT_EQ(UnscrambleHistoryText(stored(0)), QStringLiteral("d/@"));
    EXPECT_TRUE(stored(1).isEmpty());
    EXPECT_TRUE(stored(2).isEmpty());
    EXPECT_EQ(Registry::readString(RegistryRoot::CurrentUser, "rowpour", "Other"), QStringLiteral("kept"));
}

TEST_F(HistoryRegistry, LoadingStopsAtAGapOrAForeignValueAndHonoursMaxItems)
{
    Registry::writeString("rowpour", "Logon0", ScrambleHistoryText("a/@"));
    Registry::writeString("rowpour", "Logon1", ScrambleHistoryText("b/@"));
    Registry::writeString("rowpour", "Logon2", ScrambleHistoryText("c/@"));
    Registry::writeString("rowpour", "Logon3", "not digits");
    Registry::writeString("rowpour", "Logon4", ScrambleHistoryText("e/@"));

    THistoryItems all;
    all.LoadFromRegistry("rowpour");
    EXPECT_EQ(displayTexts(all), (QStringList{"a", "b", "c"}));

    THistoryItems limited;
    limited.MaxItems = 2;
    limited.LoadFromRegistry("rowpour");
    EXPECT_EQ(displayTexts(limited), (QStringList{"a", "b"}));
}

TEST_F(HistoryRegistry, StoreFileIsPrivateToTheUser)
{
    THistoryItems history;
    history.AddLogon("scott", "tiger", true, "", "orcl");
    history.SaveToRegistry("rowpour");
    struct stat info {
    };
    ASSERT_EQ(::stat(QFile::encodeName(Registry::currentUserFile()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(HistoryRegistry, EmptySectionNeitherReadsNorWrites)
{
    THistoryItems history;
    history.AddLogon("scott", "", true, "", "");
    history.SaveToRegistry("");
    EXPECT_FALSE(QFile::exists(Registry::currentUserFile()));
    history.LoadFromRegistry("");
    EXPECT_EQ(history.Count(), 1);
}

TEST_F(HistoryRegistry, UnwritableStoreLeavesTheHistoryInMemory)
{
    // A plain file where the store's folder should be: saving cannot succeed.
    QFile blocker(dir_.filePath("rowpour"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    THistoryItems history;
    history.AddLogon("scott", "", true, "", "");
    EXPECT_NO_THROW(history.SaveToRegistry("rowpour"));
    EXPECT_EQ(history.Count(), 1);
}

} // namespace
