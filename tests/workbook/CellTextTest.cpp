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

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const NumberCase &c, std::ostream *os)
{
    *os << c.name;
}

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
    NumberFormatKind kind;
    const char *text; // in the C locale
};

void PrintTo(const SerialCase &c, std::ostream *os)
{
    *os << c.name;
}

constexpr auto kDate = NumberFormatKind::Date;
constexpr auto kTime = NumberFormatKind::Time;
constexpr auto kDuration = NumberFormatKind::Duration;

const SerialCase kSerials[] = {
    {"first_day", 1, false, kDate, "01.01.1900"},
    {"before_the_phantom_leap_day", 59, false, kDate, "28.02.1900"},
    {"phantom_leap_day_stays_a_number", 60, false, kDate, "60"},
    {"after_the_phantom_leap_day", 61, false, kDate, "01.03.1900"},
    {"ordinary_date", 45352, false, kDate, "01.03.2024"},
    {"date_and_time", 45352.42444444444, false, kDate, "01.03.2024 10:11:12"},
    {"rounded_to_the_millisecond", 45352 + (10 * 3600 + 11 * 60 + 11.99999) / 86400.0, false, kDate,
     "01.03.2024 10:11:12"},
    {"midnight_is_the_date_alone", 45352.0, false, kDate, "01.03.2024"},
    {"serial_zero_with_a_date_format_is_the_day_before_the_first", 0, false, kDate, "31.12.1899"},
    {"below_one_with_a_date_format_keeps_its_date", 0.5, false, kDate, "31.12.1899 12:00:00"},
    {"time_of_day_only", 0.5, false, kTime, "12:00:00"},
    {"serial_zero_with_a_time_format", 0, false, kTime, "00:00:00"},
    {"time_format_beyond_a_day_keeps_the_date", 45352.5, false, kTime, "01.03.2024 12:00:00"},
    {"duration_beyond_a_day", 1.5, false, kDuration, "36:00:00"},
    {"duration_below_an_hour", 1.0 / 48, false, kDuration, "00:30:00"},
    {"negative_duration", -1.0 / 24, false, kDuration, "-01:00:00"},
    {"duration_of_1904_workbooks_is_the_same", 1.5, true, kDuration, "36:00:00"},
    {"system_1904", 0, true, kDate, "01.01.1904"},
    {"system_1904_later", 43890, true, kDate, "01.03.2024"},
    {"negative_stays_a_number", -1, false, kDate, "-1"},
    {"after_9999_stays_a_number", 2958466, false, kDate, "2958466"},
    {"last_day", 2958465, false, kDate, "31.12.9999"},
    {"number_format", 45352.5, false, NumberFormatKind::Number, "45352.5"},
};

class SerialDates : public testing::TestWithParam<SerialCase>
{
};

TEST_P(SerialDates, AsTheLocaleShortDateAndLongTime)
{
    const CellTextFormatter formatter(cLocale());
    StringPool pool;
    const SerialCase &c = GetParam();
    EXPECT_EQ(formatter.text(serialToValue(c.serial, c.date1904, c.kind), pool, nullptr).toStdString(),
              c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialDates, testing::ValuesIn(kSerials),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CellTextFormatter, FollowsTheLocaleFormats)
{
    StringPool pool;
    const CellValue dateTime = serialToValue(45352.42444444444, false, kDate);
    EXPECT_EQ(CellTextFormatter(ruLocale()).text(dateTime, pool, nullptr),
              QStringLiteral("01.03.2024 10:11:12"));
    const rowpour::platform::OperatorLocale us(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(CellTextFormatter(us).text(dateTime, pool, nullptr), QStringLiteral("3/1/2024 10:11:12 AM"));
    // A duration is no time of day: the same in every locale.
    EXPECT_EQ(CellTextFormatter(us).text(serialToValue(1.5, false, kDuration), pool, nullptr),
              QStringLiteral("36:00:00"));
    EXPECT_EQ(CellTextFormatter(cLocale()).text(CellValue::booleanValue(true), pool, nullptr),
              QStringLiteral("True"));
    EXPECT_EQ(CellTextFormatter(ruLocale()).text(CellValue::booleanValue(false), pool, nullptr),
              QStringLiteral("False"));
}

struct FormatCase {
    const char *code;
    NumberFormatKind kind;
    const char *name;
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.name;
}

const FormatCase kFormats[] = {
    {"dd.mm.yyyy", kDate, "dotted_date"},
    {"m/d/yy h:mm", kDate, "date_and_time"},
    {"mmm", kDate, "month_name"},
    {"mm.yyyy", kDate, "month_and_year"},
    {"[$-419]d mmmm yyyy", kDate, "locale_tagged_date"},
    {"h:mm:ss AM/PM", kTime, "twelve_hour_time"},
    {"mm:ss", kTime, "minutes_and_seconds"},
    {"hh:mm", kTime, "hours_and_minutes"},
    {"[h]:mm", kDuration, "elapsed_hours"},
    {"[h]:mm:ss", kDuration, "elapsed_hours_and_seconds"},
    {"[mm]:ss", kDuration, "elapsed_minutes"},
    {"General", NumberFormatKind::Number, "general"},
    {"0.00", NumberFormatKind::Number, "fixed_decimals"},
    {"#,##0\\ \"руб.\"", NumberFormatKind::Number, "quoted_currency_text"},
    {"0.00E+00", NumberFormatKind::Number, "scientific"},
    {"[Red]0.00;[Blue]-0.00", NumberFormatKind::Number, "colour_sections"},
    {"\"day\" 0", NumberFormatKind::Number, "quoted_day_text"},
    {"_-* #,##0.00_-", NumberFormatKind::Number, "accounting_padding"},
    {"@", NumberFormatKind::Number, "text"},
};

class DateFormats : public testing::TestWithParam<FormatCase>
{
};

TEST_P(DateFormats, AreRecognisedOutsideQuotesAndBrackets)
{
    EXPECT_EQ(formatCodeKind(QString::fromUtf8(GetParam().code)), GetParam().kind) << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(Cases, DateFormats, testing::ValuesIn(kFormats),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DateFormats, BuiltInNumbers)
{
    for (int id : {14, 15, 16, 17, 22})
        EXPECT_EQ(builtinFormatKind(id), kDate) << id;
    for (int id : {18, 19, 20, 21, 45, 47})
        EXPECT_EQ(builtinFormatKind(id), kTime) << id;
    EXPECT_EQ(builtinFormatKind(46), kDuration);
    for (int id : {0, 1, 2, 9, 10, 11, 12, 13, 37, 44, 48, 49})
        EXPECT_EQ(builtinFormatKind(id), NumberFormatKind::Number) << id;
}

TEST(IsoTexts, DatesTimesAndDurations)
{
    CellValue v;
    ASSERT_TRUE(parseIsoDateTime("2024-03-01T10:11:12.5", v));
    EXPECT_EQ(v.kind, CellKind::DateTime);
    EXPECT_EQ(v.millis, (45352LL * 86400 + 36672) * 1000 + 500);
    ASSERT_TRUE(parseIsoDateTime("2024-03-01T10:11:12+03:00", v));
    EXPECT_EQ(v.millis, (45352LL * 86400 + 36672) * 1000);
    // A time alone, as some writers store a time of day in a date cell.
    ASSERT_TRUE(parseIsoDateTime("10:11:12", v));
    EXPECT_EQ(v.kind, CellKind::Time);
    EXPECT_EQ(v.millis, 36672000);
    EXPECT_FALSE(parseIsoDateTime("24:00:00", v));
    EXPECT_FALSE(parseIsoDateTime("2024-02-30", v));
    EXPECT_FALSE(parseIsoDateTime("2024-03-01 tomorrow", v));
    EXPECT_FALSE(parseIsoDateTime("yesterday", v));
    std::int64_t ms = 0;
    ASSERT_TRUE(parseIsoDuration("PT10H11M12S", ms));
    EXPECT_EQ(ms, 36672000);
    ASSERT_TRUE(parseIsoDuration("P1DT1H", ms));
    EXPECT_EQ(ms, 90000000);
    EXPECT_FALSE(parseIsoDuration("PT", ms));
    EXPECT_FALSE(parseIsoDuration("10:11", ms));
}

} // namespace
