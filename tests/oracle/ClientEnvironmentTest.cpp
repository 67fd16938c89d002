// The client's national-language environment: NLS_LANG in UTF-8, and the
// session's date format and numeric characters taken from the operator's
// locale so that the session reads the texts the import writes.

#include "TestEnvironment.h"

#include "oracle/ClientEnvironment.h"
#include "platform/Environment.h"
#include "platform/OperatorLocale.h"

#include <QLocale>

namespace rowpour::oracle::testing
{
namespace
{

namespace Environment = platform::Environment;
using platform::OperatorLocale;

OperatorLocale localeOf(const char *name)
{
    return OperatorLocale(QLocale(QString::fromLatin1(name)));
}

TEST(ClientNlsLang, OnlyTheCharacterSetIsReplaced)
{
    const struct {
        const char *operatorValue;
        const char *expected;
    } cases[] = {
        {"", "AMERICAN_AMERICA.AL32UTF8"},
        {"   ", "AMERICAN_AMERICA.AL32UTF8"},
        {"RUSSIAN_RUSSIA.CL8MSWIN1251", "RUSSIAN_RUSSIA.AL32UTF8"},
        {"AMERICAN_AMERICA.WE8ISO8859P1", "AMERICAN_AMERICA.AL32UTF8"},
        {"GERMAN_GERMANY", "GERMAN_GERMANY.AL32UTF8"},
        {"_RUSSIA.CL8KOI8R", "_RUSSIA.AL32UTF8"},
        {".US7ASCII", ".AL32UTF8"},
        {"ENGLISH_UNITED KINGDOM.WE8MSWIN1252", "ENGLISH_UNITED KINGDOM.AL32UTF8"},
        {"RUSSIAN_CIS.AL32UTF8", "RUSSIAN_CIS.AL32UTF8"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Utf8NlsLang(QString::fromLatin1(c.operatorValue)), QString::fromLatin1(c.expected))
            << c.operatorValue;
}

TEST(ClientDateFormat, QtFormatsBecomeOracleFormats)
{
    const struct {
        const char *qt;
        const char *oracle;
    } cases[] = {
        {"dd.MM.yyyy", "DD.MM.RRRR"},
        {"M/d/yy", "MM/DD/RRRR"},
        {"yyyy-MM-dd", "RRRR-MM-DD"},
        {"HH:mm:ss", "HH24:MI:SS"},
        {"h:mm:ss AP", "HH:MI:SS AM"},
        {"h:mm:ss ap", "HH:MI:SS AM"},
        {"H:mm:ss", "HH24:MI:SS"},
        {"d MMM yyyy", "DD MON RRRR"},
        {"dddd, MMMM d, yyyy", "DAY, MONTH DD, RRRR"},
        {"HH:mm:ss.zzz", "HH24:MI:SS"},
        {"d.MM.yy 'г'.", "DD.MM.RRRR \"г\"."},
        {"yyyy'年'M'月'd'日'", "RRRR\"年\"MM\"月\"DD\"日\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OracleDateFormat(QString::fromUtf8(c.qt)), QString::fromUtf8(c.oracle)) << c.qt;
}

// The session's formats read what the workbook writes: its short date, then
// a blank and its long time (Oracle accepts a text that ends before the
// format), and the locale's decimal separator.
TEST(ClientDateFormat, FollowsTheOperatorsLocale)
{
    const struct {
        const char *locale;
        const char *dateFormat;
        const char *numericCharacters;
    } cases[] = {
        {"C", "DD.MM.RRRR HH24:MI:SS", ".,"},
        {"ru_RU", "DD.MM.RRRR HH24:MI:SS", ", "},
        {"en_US", "MM/DD/RRRR HH:MI:SS AM", ".,"},
        {"de_DE", "DD.MM.RRRR HH24:MI:SS", ", "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.locale);
        const OperatorLocale locale = localeOf(c.locale);
        EXPECT_EQ(SessionDateFormat(locale), QString::fromUtf8(c.dateFormat));
        EXPECT_EQ(SessionNumericCharacters(locale), QString::fromLatin1(c.numericCharacters));
    }
    EXPECT_EQ(SessionTimestampFormat(localeOf("ru_RU")), QStringLiteral("DD.MM.RRRR HH24:MI:SSXFF"));
    EXPECT_EQ(SessionTimestampTzFormat(localeOf("ru_RU")), QStringLiteral("DD.MM.RRRR HH24:MI:SSXFF TZR"));
    // The fraction cannot go between the seconds and AM/PM of the cell texts.
    EXPECT_EQ(SessionTimestampFormat(localeOf("en_US")), QStringLiteral("MM/DD/RRRR HH:MI:SS AM"));
    EXPECT_EQ(SessionTimestampTzFormat(localeOf("en_US")), QStringLiteral("MM/DD/RRRR HH:MI:SS AM TZR"));
}

class ClientEnvironmentTest : public OracleLayerTest
{
protected:
    static void unsetAll()
    {
        for (const char *name : {"NLS_LANG", "NLS_DATE_FORMAT", "NLS_TIMESTAMP_FORMAT",
                                 "NLS_TIMESTAMP_TZ_FORMAT", "NLS_NUMERIC_CHARACTERS"})
            Environment::unsetVariable(name);
    }

    void SetUp() override
    {
        OracleLayerTest::SetUp();
        unsetAll();
    }
    void TearDown() override
    {
        unsetAll();
        OracleLayerTest::TearDown();
    }
};

TEST_F(ClientEnvironmentTest, SetsAllThreeWhenTheOperatorSetNone)
{
    const ClientNlsEnvironment nls = PrepareClientEnvironment(localeOf("ru_RU"));
    EXPECT_EQ(Environment::variable("NLS_LANG"), QStringLiteral("AMERICAN_AMERICA.AL32UTF8"));
    EXPECT_EQ(Environment::variable("NLS_DATE_FORMAT"), QStringLiteral("DD.MM.RRRR HH24:MI:SS"));
    EXPECT_EQ(Environment::variable("NLS_NUMERIC_CHARACTERS"), QStringLiteral(", "));
    EXPECT_TRUE(nls.dateFormat.setByProgram);
    EXPECT_TRUE(nls.numericCharacters.setByProgram);
}

TEST_F(ClientEnvironmentTest, OperatorsOwnFormatsAreKept)
{
    Environment::setVariable("NLS_LANG", QStringLiteral("RUSSIAN_RUSSIA.CL8MSWIN1251"));
    Environment::setVariable("NLS_DATE_FORMAT", QStringLiteral("YYYY-MM-DD"));
    const ClientNlsEnvironment nls = PrepareClientEnvironment(localeOf("en_US"));
    EXPECT_EQ(Environment::variable("NLS_LANG"), QStringLiteral("RUSSIAN_RUSSIA.AL32UTF8"));
    EXPECT_EQ(Environment::variable("NLS_DATE_FORMAT"), QStringLiteral("YYYY-MM-DD"));
    EXPECT_FALSE(nls.dateFormat.setByProgram);
    EXPECT_EQ(Environment::variable("NLS_NUMERIC_CHARACTERS"), QStringLiteral(".,"));
}

// A value the program set itself is the program's to change: preparing
// again under another locale follows that locale.
TEST_F(ClientEnvironmentTest, ProgramsOwnValuesFollowTheLocaleAgain)
{
    PrepareClientEnvironment(localeOf("ru_RU"));
    const ClientNlsEnvironment nls = PrepareClientEnvironment(localeOf("en_US"));
    EXPECT_EQ(Environment::variable("NLS_DATE_FORMAT"), QStringLiteral("MM/DD/RRRR HH:MI:SS AM"));
    EXPECT_EQ(Environment::variable("NLS_NUMERIC_CHARACTERS"), QStringLiteral(".,"));
    EXPECT_TRUE(nls.dateFormat.setByProgram);
    EXPECT_EQ(Environment::variable("NLS_LANG"), QStringLiteral("AMERICAN_AMERICA.AL32UTF8"));
}

} // namespace
} // namespace rowpour::oracle::testing
