// Oracle's reading and writing of numbers and dates, case by case.

#include "devdb/engine/DateFormat.h"
#include "devdb/engine/Decimal.h"
#include "devdb/engine/Evaluator.h"
#include "devdb/engine/Interval.h"

#include <cmath>
#include <functional>
#include <limits>

#include <gtest/gtest.h>

namespace devdb
{
namespace
{

struct DateCase {
    const char *name;
    const char *text;
    const char *format;
    const char *stored; // "YYYY-MM-DD HH:MM:SS", or empty when an error is expected
    int error;
};

TEST(DateFormat, ReadsTextTheWayOracleDoes)
{
    const DateCase cases[] = {
        {"four-digit year for RR", "12.05.1985", "DD.MM.RR", "1985-05-12 00:00:00", 0},
        {"single-digit day and month", "1.2.1999", "DD.MM.RR", "1999-02-01 00:00:00", 0},
        {"any punctuation matches", "12/05-1985", "DD.MM.RR", "1985-05-12 00:00:00", 0},
        {"blanks match punctuation", "12 05 1985", "DD.MM.YYYY", "1985-05-12 00:00:00", 0},
        {"punctuation left out after full numbers", "12051985", "DD.MM.YYYY", "1985-05-12 00:00:00", 0},
        {"YY takes four digits", "12.05.1985", "DD.MM.YY", "1985-05-12 00:00:00", 0},
        {"MM takes a month name", "12-may-1985", "DD-MM-YYYY", "1985-05-12 00:00:00", 0},
        {"MON takes a full month name", "12-MAY-1985", "DD-MON-YYYY", "1985-05-12 00:00:00", 0},
        {"MONTH", "12 september 1985", "DD MONTH YYYY", "1985-09-12 00:00:00", 0},
        {"time fields", "01.02.2003 13:14:15", "DD.MM.YYYY HH24:MI:SS", "2003-02-01 13:14:15", 0},
        {"time left out", "01.02.2003", "DD.MM.YYYY HH24:MI:SS", "2003-02-01 00:00:00", 0},
        {"twelve-hour clock", "01.02.2003 01:05 PM", "DD.MM.YYYY HH:MI AM", "2003-02-01 13:05:00", 0},
        {"midnight in twelve-hour clock", "01.02.2003 12:05 AM", "DD.MM.YYYY HH12:MI AM",
         "2003-02-01 00:05:00", 0},
        {"quoted text in the format", "2003T01", "YYYY\"T\"MM", "2003-01-01 00:00:00", 0},
        {"leap day", "29.02.2000", "DD.MM.YYYY", "2000-02-29 00:00:00", 0},
        {"input longer than the picture", "01.02.2003 x", "DD.MM.YYYY", "", 1830},
        {"month 13", "01.13.2003", "DD.MM.YYYY", "", 1843},
        {"month name unknown", "01-FOO-2003", "DD-MON-YYYY", "", 1843},
        {"day 0", "00.01.2003", "DD.MM.YYYY", "", 1847},
        {"29 February of a common year", "29.02.2001", "DD.MM.YYYY", "", 1839},
        {"letters for a number", "xx.01.2003", "DD.MM.YYYY", "", 1858},
        {"short number without separator", "1x1.2003", "DD.MM.YYYY", "", 1861},
        {"hour 24", "01.01.2003 24:00", "DD.MM.YYYY HH24:MI", "", 1850},
        {"minute 60", "01.01.2003 23:60", "DD.MM.YYYY HH24:MI", "", 1851},
        {"year 0", "01.01.0000", "DD.MM.YYYY", "", 1841},
        {"bad picture", "01.01.2003", "DD.QQ.YYYY", "", 1821},
        {"MON takes no digits", "15.03.2020", "DD-MON-RR", "", 1843},
        {"MONTH takes no digits", "15 03 2020", "DD MONTH YYYY", "", 1843},
        {"MONTH takes an abbreviation", "15 mar 2020", "DD MONTH YYYY", "2020-03-15 00:00:00", 0},
        {"punctuation left out before a name", "15MAR2020", "DD-MON-YYYY", "2020-03-15 00:00:00", 0},
        {"quoted text in any letter case", "2003t01", "YYYY\"T\"MM", "2003-01-01 00:00:00", 0},
        {"quoted text missing", "2003-01", "YYYY\"T\"MM", "", 1861},
        {"31 April", "31.04.2003", "DD.MM.YYYY", "", 1839},
        {"FX wants full widths", "1.02.2003", "FXDD.MM.YYYY", "", 1862},
        {"FX wants the same punctuation", "01-02-2003", "FXDD.MM.YYYY", "", 1861},
        {"FX leaves nothing out", "01.02", "FXDD.MM.YYYY", "", 1840},
        {"FX with FM allows short numbers", "1.2.2003", "FXFMDD.MM.YYYY", "2003-02-01 00:00:00", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            DateTime d = parseDate(c.text, c.format);
            EXPECT_EQ(c.error, 0);
            EXPECT_EQ(dateToStorage(d, false), c.stored);
        } catch (const OraError &e) {
            EXPECT_EQ(e.code, c.error) << e.text;
        }
    }
}

TEST(DateFormat, NamesOfTheDateLanguage)
{
    const Language &russian = *findLanguage("RUSSIAN");
    const Language &german = *findLanguage("german");
    const Language &french = *findLanguage("FRENCH");
    EXPECT_EQ(dateToStorage(parseDate("15-мар-2020", "DD-MON-YYYY", russian), false), "2020-03-15 00:00:00");
    EXPECT_EQ(dateToStorage(parseDate("15 Сентябрь 2020", "DD MONTH YYYY", russian), false),
              "2020-09-15 00:00:00");
    EXPECT_EQ(dateToStorage(parseDate("15. MÄRZ 2020", "DD. MONTH YYYY", german), false),
              "2020-03-15 00:00:00");
    EXPECT_EQ(dateToStorage(parseDate("1 févr. 2020", "DD MON YYYY", french), false), "2020-02-01 00:00:00");
    // A name of another language is no month.
    EXPECT_THROW(parseDate("15-MAR-2020", "DD-MON-YYYY", russian), OraError);

    const DateTime d{2003, 2, 1, 13, 4, 5, 120000000};
    EXPECT_EQ(formatDate(d, "Day DD Month", german), "Samstag    01 Februar  ");
    EXPECT_EQ(formatDate(d, "fmDY DD MON", russian), "СБ 1 ФЕВ");
    EXPECT_EQ(formatDate(d, "mon", french), "févr.");
    EXPECT_EQ(formatDate(d, "HH24:MI:SSXFF3", german, ','), "13:04:05,120");
}

TEST(DateFormat, TimeZoneElements)
{
    DateTime d = parseDate("2020-01-02 03:04:05 +05:30", "YYYY-MM-DD HH24:MI:SS TZR");
    EXPECT_TRUE(d.zoned);
    EXPECT_EQ(d.zoneMinutes, 330);
    d.zoneMinutes = -330;
    EXPECT_EQ(formatDate(d, "HH24:MI TZR TZH:TZM"), "03:04 -05:30 -05:30");
    EXPECT_EQ(dateFromStorage(dateToStorage(d, true)).zoneMinutes, -330);
    EXPECT_EQ(parseDate("2020-01-02 UTC", "YYYY-MM-DD TZR").zoneMinutes, 0);
}

TEST(Intervals, ReadAndWrittenAsOracleShowsThem)
{
    struct Case {
        const char *name;
        std::function<std::string()> value;
        std::string text; // empty when an error is expected
        int error;
    } cases[] = {
        {"year to month", [] { return intervalYearToMonth("2-3", 2); }, "+02-03", 0},
        {"negative, wider", [] { return intervalYearToMonth("-1-0", 3); }, "-001-00", 0},
        {"years alone", [] { return intervalYearToMonth(" 7 ", 2); }, "+07-00", 0},
        {"leading precision", [] { return intervalYearToMonth("100-0", 2); }, "", 1873},
        {"month 12", [] { return intervalYearToMonth("1-12", 2); }, "", 1843},
        {"no number", [] { return intervalYearToMonth("x", 2); }, "", 1867},
        {"day to second", [] { return intervalDayToSecond("4 05:06:07.891", 3, 2); }, "+004 05:06:07.89", 0},
        {"rounding carries", [] { return intervalDayToSecond("1 23:59:59.999", 2, 2); }, "+02 00:00:00.00",
         0},
        {"days alone", [] { return intervalDayToSecond("3", 2, 0); }, "+03 00:00:00", 0},
        {"hour 24", [] { return intervalDayToSecond("1 24:00:00", 2, 6); }, "", 1850},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            EXPECT_EQ(c.value(), c.text);
            EXPECT_EQ(c.error, 0);
        } catch (const OraError &e) {
            EXPECT_EQ(e.code, c.error) << e.text;
        }
    }
}

TEST(BinaryFloats, ShortestDigitsInOraclesNotation)
{
    EXPECT_EQ(binaryFloatText(1234.5, false, '.'), "1.2345E+003");
    EXPECT_EQ(binaryFloatText(-2, false, '.'), "-2.0E+000");
    EXPECT_EQ(binaryFloatText(0.1, false, ','), "1,0E-001");
    EXPECT_EQ(binaryFloatText(0.1f, true, '.'), "1.0E-001");
    EXPECT_EQ(binaryFloatText(0.1f, false, '.'), "1.0000000149011612E-001"); // a float's value as a double
    EXPECT_EQ(binaryFloatText(0, false, '.'), "0");
    EXPECT_EQ(binaryFloatText(std::numeric_limits<double>::infinity(), false, '.'), "Inf");
    EXPECT_EQ(binaryFloatText(-std::numeric_limits<double>::infinity(), true, '.'), "-Inf");
    EXPECT_EQ(binaryFloatText(std::nan(""), false, '.'), "Nan");
}

TEST(DateFormat, WritesDates)
{
    const DateTime d{2003, 2, 1, 13, 4, 5, 120000000};
    const std::pair<const char *, const char *> cases[] = {
        {"DD.MM.RR", "01.02.03"},
        {"DD-MON-YYYY", "01-FEB-2003"},
        {"dd-Mon-yyyy", "01-Feb-2003"},
        {"DD MONTH YYYY", "01 FEBRUARY  2003"},
        {"fmDD MONTH YYYY", "1 FEBRUARY 2003"},
        {"HH24:MI:SS", "13:04:05"},
        {"HH:MI PM", "01:04 PM"},
        {"DY DAY", "SAT SATURDAY "},
        {"HH24:MI:SSXFF", "13:04:05.120000"},
        {"SS.FF3", "05.120"},
        {"YYYY\"-Q\"", "2003-Q"},
    };
    for (const auto &[format, text] : cases) {
        SCOPED_TRACE(format);
        EXPECT_EQ(formatDate(d, format), text);
    }
}

TEST(Decimal, ReadsAndWritesOracleNumbers)
{
    const std::pair<const char *, std::string> cases[] = {
        {"0.5", ".5"},
        {"-0.5", "-.5"},
        {"12.300", "12.3"},
        {"  +7 ", "7"},
        {"1e3", "1000"},
        {"1.5E-3", ".0015"},
        {"-0", "0"},
        {"000123", "123"},
        {".25", ".25"},
        {"5.", "5"},
        {"123456789012345678901234567890123456789", "123456789012345678901234567890123456789"},
        {"1e40", "1." + std::string(34, '0') + "E+40"},
    };
    for (const auto &[in, out] : cases) {
        SCOPED_TRACE(in);
        auto d = Decimal::parse(in);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->toOracleText(), out);
    }
    for (const char *bad : {"", " ", "1,5", "1 2", "--1", "1e", "e5", ".", "0x10", "1.2.3"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Decimal::parse(bad));
    }
}

TEST(Decimal, RoundsHalfAwayFromZero)
{
    struct Case {
        const char *in;
        int scale;
        const char *out;
    };
    const Case cases[] = {
        {"2.5", 0, "3"},      {"-2.5", 0, "-3"},    {"1.245", 2, "1.25"}, {"9.995", 2, "10"},
        {"1250", -2, "1300"}, {"1249", -2, "1200"}, {"49", -2, "0"},      {"0.0004", 3, "0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(Decimal::parse(c.in)->roundedToScale(c.scale).toOracleText(), c.out);
    }
}

} // namespace
} // namespace devdb
