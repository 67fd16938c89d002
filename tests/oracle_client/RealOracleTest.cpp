// What only a real Oracle server can show: the session's national-language
// parameters as the server sees them, and the client's character set.
// Skipped, with the reason, unless ROWPOUR_TEST_ORACLE names a logon.

#include "TestDatabase.h"

#include <gtest/gtest.h>

namespace rowpour::testing
{
namespace
{

class RealOracle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!realOracleLogon())
            GTEST_SKIP() << "needs a real Oracle: set ROWPOUR_TEST_ORACLE to user/password@connect";
        database_ = TestDatabase::open();
    }
    std::unique_ptr<TestDatabase> database_;
};

// The server's own view of the session under en_US: the formats the
// program gave the client, not the territory's defaults.
TEST_F(RealOracle, SessionParametersAreTheProgramsFormats)
{
    const ProcessResult r = database_->batch(
        {QStringLiteral("sql"), QStringLiteral("--userid"), database_->userId(),
         QStringLiteral(
             "select parameter, value from nls_session_parameters where parameter in "
             "('NLS_DATE_FORMAT', 'NLS_TIMESTAMP_FORMAT', 'NLS_NUMERIC_CHARACTERS') order by parameter")},
        {QStringLiteral("LC_ALL=en_US.UTF-8"), QStringLiteral("NLS_LANG"), QStringLiteral("NLS_DATE_FORMAT"),
         QStringLiteral("NLS_TIMESTAMP_FORMAT"), QStringLiteral("NLS_NUMERIC_CHARACTERS")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.mid(1), (QStringList{QStringLiteral("NLS_DATE_FORMAT\tMM/DD/RRRR HH:MI:SS AM"),
                                         QStringLiteral("NLS_NUMERIC_CHARACTERS\t.,"),
                                         QStringLiteral("NLS_TIMESTAMP_FORMAT\tMM/DD/RRRR HH:MI:SS AM")}));
}

// The client talks AL32UTF8 whatever character set the operator's NLS_LANG names.
TEST_F(RealOracle, ClientCharacterSetIsUtf8)
{
    const ProcessResult r = database_->batch({QStringLiteral("logon"), QStringLiteral("--userid"),
                                              database_->userId(), QStringLiteral("--verbose")},
                                             {QStringLiteral("NLS_LANG=RUSSIAN_RUSSIA.CL8MSWIN1251")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("NLS_LANG=RUSSIAN_RUSSIA.AL32UTF8")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("client character set id 873 (AL32UTF8)")) << r.out.toStdString();
}

} // namespace
} // namespace rowpour::testing
