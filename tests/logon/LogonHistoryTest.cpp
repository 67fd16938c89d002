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

namespace
{

QStringList displayTexts(const THistoryItems &history)
{
    QStringList texts;
    for (const THistoryItem &item : history.Items())
        texts << item.DisplayText();
    return texts;
}

TEST(LogonHistory, AddLogonSplitsTheTextAndTheModeSuffix)
{
    struct Case {
        const char *name, *text, *password, *connectAs, *database;
        bool withPassword;
        const char *user, *expectedPassword, *expectedDatabase, *expectedConnectAs;
    };
    const Case cases[] = {
        {"PlainFields", "scott", "tiger", "", "orcl", true, "scott", "tiger", "orcl", ""},
        {"FullText", "scott/tiger@orcl", "", "", "", true, "scott", "tiger", "orcl", ""},
        {"NoPasswordKept", "scott/tiger@orcl", "x", "", "", false, "scott", "", "orcl", ""},
        {"UserAtDatabase", "scott@orcl", "pw", "", "", true, "scott", "pw", "orcl", ""},
        {"TrailingAt", "scott/tiger@", "", "", "db", true, "scott", "tiger", "db", ""},
        {"StoredWithMode", "sys/pw@orcl as SYSDBA", "", "", "", true, "sys", "pw", "orcl", "SYSDBA"},
        {"ModeEmptyDatabase", "sys/pw@ as sysoper", "", "", "", true, "sys", "pw", "", "SYSOPER"},
        {"ModeInUserName", "sys as sysdba", "", "", "", true, "sys", "", "", "SYSDBA"},
        {"ModeArgument", "sys", "", "SYSOPER", "db", true, "sys", "", "db", "SYSOPER"},
        {"Cyrillic", "пользователь/пароль@база", "", "", "", true, "пользователь", "пароль", "база", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        THistoryItems history;
        history.WithPassword = c.withPassword;
        history.AddLogon(QString::fromUtf8(c.text), QString::fromUtf8(c.password), true,
                         QString::fromUtf8(c.connectAs), QString::fromUtf8(c.database));
        ASSERT_EQ(history.Count(), 1);
        const THistoryItem &item = history.Item(0);
        EXPECT_EQ(item.Username, QString::fromUtf8(c.user));
        EXPECT_EQ(item.Password, QString::fromUtf8(c.expectedPassword));
        EXPECT_EQ(item.Database, QString::fromUtf8(c.expectedDatabase));
        EXPECT_EQ(item.ConnectAsText, QString::fromUtf8(c.expectedConnectAs));
    }
}

TEST(LogonHistory, SameLogonInAnyCaseKeepsOneEntryAtTheTopAndTheSeventhDropsTheOldest)
{
    THistoryItems history;
    history.MaxItems = 6;
    history.AddLogon("", "pw", true, "", "db"); // nothing to record
    history.AddLogon("scott", "a", true, "", "orcl");
    history.AddLogon("hr", "b", true, "", "orcl");
    history.AddLogon("SCOTT", "c", true, "", "ORCL");
    history.AddLogon("scott", "", true, "SYSDBA", "orcl"); // another mode: another entry
    EXPECT_EQ(displayTexts(history), (QStringList{"scott@orcl as SYSDBA", "SCOTT@ORCL", "hr@orcl"}));
    for (int i = 1; i <= 4; ++i)
        history.AddLogon(QStringLiteral("user%1").arg(i), "", true, "", "db");
    EXPECT_EQ(displayTexts(history), (QStringList{"user4@db", "user3@db", "user2@db", "user1@db",
                                                  "scott@orcl as SYSDBA", "SCOTT@ORCL"}));
}

TEST(HistoryScrambling, RoundTripsThroughDigitsWithAFreshNumberEachTimeAndRejectsForeignValues)
{
    const QString text = QStringLiteral("scott/tiger@orcl as SYSDBA — пароль");
    QSet<QString> forms;
    for (int i = 0; i < 20; ++i) {
        const QString digits = ScrambleHistoryText(text);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+$")).match(digits).hasMatch());
        EXPECT_EQ(UnscrambleHistoryText(digits), text);
        forms.insert(digits);
    }
    EXPECT_GT(forms.size(), 1);
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
        return UnscrambleHistoryText(Registry::readString(rowpour::platform::RegistryRoot::CurrentUser,
                                                          "rowpour", QStringLiteral("Logon%1").arg(n)));
    }

    QTemporaryDir dir_;
    QByteArray previous_;
};

TEST_F(HistoryRegistry, SavedHistoryLoadsBackInOrderFromAPrivateFile)
{
    Registry::writeString("rowpour", "Other", "kept");
    THistoryItems saved;
    saved.WithPassword = true;
    for (const char *user : {"a", "b", "c", "hr"})
        saved.AddLogon(user, "hrpw", true, "", "orcl");
    saved.SaveToRegistry("rowpour");
    saved.Clear();
    saved.AddLogon("hr", "hrpw", true, "", "orcl");
    saved.AddLogon("sys", "syspw", true, "SYSDBA", "");
    saved.SaveToRegistry("\\rowpour"); // one leading backslash is dropped

    EXPECT_EQ(stored(0), QStringLiteral("sys/syspw@ as SYSDBA"));
    EXPECT_EQ(stored(1), QStringLiteral("hr/hrpw@orcl"));
    EXPECT_TRUE(stored(2).isEmpty()); // the longer history's values are gone
    EXPECT_EQ(Registry::readString(rowpour::platform::RegistryRoot::CurrentUser, "rowpour", "Other"), "kept");
    struct stat info {
    };
    ASSERT_EQ(::stat(QFile::encodeName(Registry::currentUserFile()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    THistoryItems loaded;
    loaded.WithPassword = true;
    loaded.LoadFromRegistry("rowpour");
    EXPECT_EQ(displayTexts(loaded), (QStringList{"sys as SYSDBA", "hr@orcl"}));
    EXPECT_EQ(loaded.Item(0).Password, QStringLiteral("syspw"));
}

TEST_F(HistoryRegistry, WithoutPasswordsTheStoredTextHasAnEmptyPassword)
{
    THistoryItems history;
    history.AddLogon("scott", "tiger", true, "", "orcl");
    history.SaveToRegistry("rowpour");
    EXPECT_EQ(stored(0), QStringLiteral("scott/@orcl"));
}

TEST_F(HistoryRegistry, LoadingStopsAtAForeignValueAndHonoursMaxItems)
{
    for (const char *text : {"a/@", "b/@", "c/@"})
        Registry::writeString("rowpour", QStringLiteral("Logon%1").arg(text[0] - 'a'),
                              ScrambleHistoryText(text));
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

TEST_F(HistoryRegistry, UnwritableStoreLeavesTheHistoryInMemory)
{
    // A plain file where the store's folder should be.
    QFile blocker(dir_.filePath("rowpour"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    THistoryItems history;
    history.AddLogon("scott", "", true, "", "");
    EXPECT_NO_THROW(history.SaveToRegistry("rowpour"));
    EXPECT_EQ(history.Count(), 1);
}

} // namespace
