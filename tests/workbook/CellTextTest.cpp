// Number, date and time texts, and date format recognition.

#include "WorkbookTestSupport.h"

#include "import/workbook/CellText.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rowpour::workbook;
using namespace rowpour::workbook::test;

namespace
{

struct NumberCase {
    const char *name;
    double value;
    const char *c;
    const char *ru;
};

const NumberCase kNumbers[] = {
    {"zero", 0.0, "0", "0"},
    {"negative_zero", -0.0, "0", "0"},
    {"integer", 42, "42", "42"},
    {"negative_decimal", -3.5, "-3.5", "-3,5"},
    {"binary_fraction_noise", 0.1 + 0.2, "0.3", "0,3"},
    {"fifteen_digits", 123456789012345.0, "123456789012345", "123456789012345"},
    {"sixteen_digits", 1234567890123456.0, "1.23456789012346E+15", "1,23456789012346E+15"},
    {"large", 1e15, "1E+15", "1E+15"},
    {"small", 0.0001, "0.0001", "0,0001"},
    {"tiny", 1e-6, "1E-06", "1E-06"},
    {"rounds_to_fifteen", 2.0 / 3.0, "0.666666666666667", "0,666666666666667"},
    {"money", 1234.56, "1234.56", "1234,56"},
};

class NumberText : public testing::TestWithParam<NumberCase>
{
};

TEST_P(NumberText, ShortestGeneralFormWithTheLocaleSeparator)
{
    EXPECT_EQ(numberText(GetParam().value, QLatin1Char('.')).toStdString(), GetParam().c);
    EXPECT_EQ(numberText(GetParam().value, QLatin1Char(',')).toStdString(), GetParam().ru);
}

INSTANTIATE_TEST_SUITE_P(Cases, NumberText, testing::ValuesIn(kNumbers),
                         [](const auto &info) { return std::string(info.param.name); });

struct SerialCase {
    const char *name;
    double serial;
    bool date1904;
    const char *text; // in the C locale
};

const SerialCase kSerials[] = {
    {"first_day", 1, false, "01.01.1900"},
    {"before_the_phantom_leap_day", 59, false, "28.02.1900"},
    {"phantom_leap_day_stays_a_number", 60, false, "60"},
    {"after_the_phantom_leap_day", 61, false, "01.03.1900"},
    {"ordinary_date", 45352, false, "01.03.2024"},
    {"date_and_time", 45352.42444444444, false, "01.03.2024 10:11:12"},
    {"rounded_to_the_millisecond", 45352 + (10 * 3600 + 11 * 60 + 11.99999) / 86400.0, false,
     "01.03.2024 10:11:12"},
    {"time_of_day_only", 0.5, false, "12:00:00"},
    {"midnight_is_the_date_alone", 45352.0, false, "01.03.2024"},
    {"system_1904", 0, true, "01.01.1904"},
    {"system_1904_later", 43890, true, "01.03.2024"},
    {"negative_stays_a_number", -1, false, "-1"},
    {"after_9999_stays_a_number", 2958466, false, "2958466"},
    {"last_day", 2958465, false, "31.12.9999"},
};

class SerialDates : public testing::TestWithParam<SerialCase>
{
};

TEST_P(SerialDates, AsTheLocaleShortDateAndLongTime)
{
    const CellTextFormatter formatter(cLocale());
    StringPool pool;
    EXPECT_EQ(formatter.text(serialToValue(GetParam().serial, GetParam().date1904), pool).toStdString(),
              GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialDates, testing::ValuesIn(kSerials),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CellTextFormatter, FollowsTheLocaleFormats)
{
    StringPool pool;
    const CellValue dateTime = serialToValue(45352.42444444444, false);
    EXPECT_EQ(CellTextFormatter(ruLocale()).text(dateTime, pool), QStringLiteral("01.03.2024 10:11:12"));
    const rowpour::platform::OperatorLocale us(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(CellTextFormatter(us).text(dateTime, pool), QStringLiteral("3/1/24 10:11:12 AM"));
    EXPECT_EQ(CellTextFormatter(cLocale()).text(CellValue::booleanValue(true), pool), QStringLiteral("True"));
    EXPECT_EQ(CellTextFormatter(ruLocale()).text(CellValue::booleanValue(false), pool),
              QStringLiteral("False"));
}

struct FormatCase {
    const char *code;
    bool date;
};

const FormatCase kFormats[] = {
    {"dd.mm.yyyy", true},         {"h:mm:ss AM/PM", true},   {"[h]:mm", true},
    {"[$-419]d mmmm yyyy", true}, {"General", false},        {"0.00", false},
    {"#,##0\\ \"руб.\"", false},  {"0.00E+00", false},       {"[Red]0.00;[Blue]-0.00", false},
    {"\"day\" 0", false},         {"_-* #,##0.00_-", false}, {"@", false},
};

class DateFormats : public testing::TestWithParam<FormatCase>
{
};

TEST_P(DateFormats, AreRecognisedOutsideQuotesAndBrackets)
{
    EXPECT_EQ(isDateFormatCode(QString::fromUtf8(GetParam().code)), GetParam().date) << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(Cases, DateFormats, testing::ValuesIn(kFormats));

TEST(DateFormats, BuiltInNumbers)
{
    for (int id : {14, 15, 16, 17, 18, 19, 20, 21, 22, 45, 46, 47})
        EXPECT_TRUE(isBuiltinDateFormat(id)) << id;
    for (int id : {0, 1, 2, 9, 10, 11, 12, 13, 37, 44, 48, 49})
        EXPECT_FALSE(isBuiltinDateFormat(id)) << id;
}

TEST(IsoTexts, DatesAndDurations)
{
    std::int64_t ms = 0;
    ASSERT_TRUE(parseIsoDateTime("2024-03-01T10:11:12.5", ms));
    EXPECT_EQ(ms, (45352LL * 86400 + 36672) * 1000 + 500);
    EXPECT_FALSE(parseIsoDateTime("2024-02-30", ms));
    EXPECT_FALSE(parseIsoDateTime("yesterday", ms));
    ASSERT_TRUE(parseIsoDuration("PT10H11M12S", ms));
    EXPECT_EQ(ms, 36672000);
    ASSERT_TRUE(parseIsoDuration("P1DT1H", ms));
    EXPECT_EQ(ms, 90000000);
    EXPECT_FALSE(parseIsoDuration("PT", ms));
    EXPECT_FALSE(parseIsoDuration("10:11", ms));
}

} // namespace
