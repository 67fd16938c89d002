#include "import/CellValue.h"

#include <gtest/gtest.h>

using namespace rowpour;
using rowpour::platform::OperatorLocale;

namespace
{

const OperatorLocale &cLocale()
{
    static const OperatorLocale locale{QLocale::c()};
    return locale;
}

} // namespace

TEST(CellValue, GetLexeme)
{
    const struct {
        int n;
        const char *text;
        const char *delimiter;
        const char *expected;
    } cases[] = {
        {1, "Ivanov Ivan Petrovich", " ", "Ivanov"},
        {3, "Ivanov Ivan Petrovich", " ", "Petrovich"},
        {4, "Ivanov Ivan Petrovich", " ", ""},
        {0, "Ivanov Ivan", " ", "Ivanov"},
        {2, "Ivanov  Ivan", " ", ""},
        {3, "Ivanov  Ivan", " ", "Ivan"},
        {1, " Ivan", " ", ""},
        {2, "", " ", ""},
        {2, "a--b-c--d", "--", "b-c"},
        {2, "aXbxc", "x", "c"},
        {1, "abc", "", ""},
        {2147483647, "a b", " ", ""},
        {6, "NAME,VARCHAR2,1,3,L2,", ",", ""},
        {2, "Иванов Иван", " ", "Иван"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(GetLexeme(c.n, QString::fromUtf8(c.text), QString::fromUtf8(c.delimiter)),
                  QString::fromUtf8(c.expected))
            << c.n << " '" << c.text << "' '" << c.delimiter << "'";
    }
}

TEST(CellValue, NormalizeDateDayMonthYear)
{
    const struct {
        const char *input;
        const char *expected;
    } cases[] = {
        {"", "01.01.1900"},
        {"   ", "01.01.1900"},
        {"1985", "01.01.1985"},
        {"85", "01.01.1985"},
        {"07", "01.01.1907"},
        {"1985г.", "01.01.1985"},
        {"1985 г.", "01.01.1900"},
        {"12.05.1985 г.р.", "12.05.1985"},
        {"12,05,1985", "12.05.1985"},
        {".12.05.1985.", "12.05.1985"},
        {"985", "01.01.1900"},
        {"г.", "01.01.1900"},
        {"abc", "01.01.1900"},
        {"12 05 1985", "01.01.1900"},
        {"85гр", "01.01.1985"},
        {"\t1985\r\n", "01.01.1985"},
        {"31.02.1985", "01.01.1900"},
        // A text that passes goes on unchanged, in the form the check accepted.
        {"1.2.1985", "1.2.1985"},
        {"12.05.85", "12.05.85"},
        {"12.05", "12.05"},
    };
    for (const OperatorLocale &locale : {cLocale(), OperatorLocale(QLocale(QStringLiteral("ru_RU")))}) {
        ASSERT_EQ(locale.shortDateFormat(), QStringLiteral("dd.MM.yyyy"));
        for (const auto &c : cases)
            EXPECT_EQ(NormalizeDate(QString::fromUtf8(c.input), locale), QString::fromUtf8(c.expected))
                << c.input;
    }
}

// Under a locale whose short date is not day.month.year, a text passes in
// the locale's own order, and what code D builds itself (a year alone, the
// no-date text) is written in that order too: the check, the value and the
// database session's date format then all read the same day, and a year
// given alone is not lost.
TEST(CellValue, NormalizeDateFollowsTheShortDateFormat)
{
    const OperatorLocale us(QLocale(QStringLiteral("en_US")));
    // Qt's "M/d/yy" with the year widened: a two-digit year would land in the
    // database's 50-year window (1930 read back as 2030).
    ASSERT_EQ(us.shortDateFormat(), QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(OperatorLocale(QLocale(QStringLiteral("de_DE"))).shortDateFormat(), QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(NormalizeDate(QStringLiteral("1985"), us), QStringLiteral("01/01/1985"));
    EXPECT_EQ(NormalizeDate(QStringLiteral("85"), us), QStringLiteral("01/01/1985"));
    EXPECT_EQ(NormalizeDate(QStringLiteral("12/31/85"), us), QStringLiteral("12/31/85"));
    EXPECT_EQ(NormalizeDate(QStringLiteral("31/12/85"), us), QStringLiteral("01/01/1900"));
    // Day.month.year typed under a month/day/year locale is refused, not swapped.
    EXPECT_EQ(NormalizeDate(QStringLiteral("31.12.1985"), us), QStringLiteral("01/01/1900"));

    const OperatorLocale swedish(QLocale(QStringLiteral("sv_SE"))); // yyyy-MM-dd
    ASSERT_EQ(swedish.shortDateFormat(), QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(NormalizeDate(QStringLiteral("1985"), swedish), QStringLiteral("1985-01-01"));
    EXPECT_EQ(NormalizeDate(QStringLiteral("abc"), swedish), QStringLiteral("1900-01-01"));
    EXPECT_EQ(NormalizeDate(QStringLiteral("1985-05-12"), swedish), QStringLiteral("1985-05-12"));
}

// What the date check accepts for dd.MM.yyyy, with 2026 as the current year.
TEST(CellValue, ShortDateCheck)
{
    const struct {
        const char *text;
        bool valid;
    } cases[] = {
        {"12.05.1985", true},   {"1.2.1985", true},    {"12.05.85", true},     {"12.05.5", true},
        {"12.05.985", true},    {"12.05", true},       {"12.05.1985.", true},  {"12 . 05 .1985 ", true},
        {"29.02.00", true},     {"29.02.01", false},   {"29.02.1900", false},  {"00.05.1985", false},
        {"12.13.1985", false},  {"01.01.0000", false}, {"1985 ", false},       {"12-05-1985", false},
        {"12.05.1985x", false}, {"1.1.19.85", false},  {"12.05.19850", false}, {".", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isShortDateText(QString::fromUtf8(c.text), cLocale(), 2026), c.valid) << c.text;
}

// Two-digit years lie in the hundred years that begin fifty years back: in
// 2050 "00" is 2000, a leap year; a year later it is 2100, which is none.
TEST(CellValue, TwoDigitYearsFromFiftyYearsBack)
{
    EXPECT_TRUE(isShortDateText(QStringLiteral("29.02.00"), cLocale(), 2050));
    EXPECT_FALSE(isShortDateText(QStringLiteral("29.02.00"), cLocale(), 2051));
}
