// What a column refuses, judged as the session converts a literal: dates in
// the session's format, numbers with its decimal character, text in the
// database's character set.

#include "import/ColumnRules.h"

#include <gtest/gtest.h>

using namespace rowpour;

namespace
{

constexpr int kYear = 2025;
constexpr int kMonth = 6;

// 0: taken; -1: not judged; otherwise the Oracle error.
int dateOutcome(const QString &format, const QString &text, const QString &language = "AMERICAN")
{
    const auto compiled = OracleDateFormat::compile(format, language);
    if (!compiled)
        return -2;
    const ValueReading reading = compiled->read(text, kYear, kMonth);
    return reading.verdict == Verdict::Taken       ? 0
           : reading.verdict == Verdict::NotJudged ? -1
                                                   : reading.oracleCode;
}

TEST(OracleDateText, TheSessionFormatWithOraclesTolerance)
{
    const QString format = "DD.MM.RRRR HH24:MI:SS";
    const struct Case {
        const char *text;
        int outcome;
    } cases[] = {
        {"12.05.1985", 0},
        {"12.05.1985 10:11:12", 0},
        {"1.5.85", 0},       // fewer digits; RR places the year
        {"12051985", 0},     // punctuation left out after full-width numbers
        {" 12-05/1985 ", 0}, // any punctuation, blanks around
        {"12.05", 0},        // trailing elements left out
        {"12.May.1985", 0},  // MM takes a month name
        {"29.02.2024", 0},
        {"29.02.1500", 0}, // a Julian leap year
        {"", 0},           // NULL
        {"29.02.2023", 1839},
        {"31.04.2024", 1839},
        {"32.01.2024", 1847},
        {"0.5.1985", 1847},
        {"12.13.2024", 1843},
        {"12.Mai.2024", 1843},
        {"12.05.0000", 1841},
        {"12.05.1985 24:00:00", 1850},
        {"12.05.1985 10:60", 1851},
        {"12.05.1985 10:11:60", 1852},
        {"abc", 1858},
        {"12.05.1985 10:11:12 x", 1830},
        {"1.5x1985", 1861},
        {"1 5 1985", 0},
        {"1.5.1985.1.2.3.4", 1830},
        {"15.1985", 1843},
    };
    for (const Case &c : cases)
        EXPECT_EQ(dateOutcome(format, QString::fromUtf8(c.text)), c.outcome) << c.text;
}

TEST(OracleDateText, TwelveHourClocksNamesQuotesAndFormatsNotFollowed)
{
    const QString american = "MM/DD/RRRR HH:MI:SS AM";
    EXPECT_EQ(dateOutcome(american, "5/12/1985 10:11:12 PM"), 0);
    EXPECT_EQ(dateOutcome(american, "5/12/1985 10:11:12 p.m."), 0);
    EXPECT_EQ(dateOutcome(american, "5/12/1985 13:11:12 PM"), 1849);
    EXPECT_EQ(dateOutcome(american, "5/12/1985 10:11:12 XM"), 1855);
    EXPECT_EQ(dateOutcome(american, "12/31/1985"), 0);
    EXPECT_EQ(dateOutcome(american, "31/12/1985"), 1843);

    EXPECT_EQ(dateOutcome("DD-MON-RR", "12-MAY-85"), 0);
    EXPECT_EQ(dateOutcome("DD-MON-RR", "12-may-1985"), 0);
    EXPECT_EQ(dateOutcome("DD-MON-RR", "12-MAI-85"), 1843);
    EXPECT_EQ(dateOutcome("DD-MON-RR", "12-MAY-85", "RUSSIAN"), -1) << "names of another language";
    EXPECT_EQ(dateOutcome("DD.MM.RRRR", "12.05.1985", "RUSSIAN"), 0) << "numbers need no names";
    EXPECT_EQ(dateOutcome("DY DD.MM.YYYY", "Sun 12.05.1985"), 0);
    EXPECT_EQ(dateOutcome("\"Day\" DD", "day 12"), 0);
    EXPECT_EQ(dateOutcome("\"Day\" DD", "dat 12"), 1861);
    EXPECT_EQ(dateOutcome("YYYY-MM-DD HH24:MI:SS.FF", "2024-01-02 03:04:05.123456"), 0);

    for (const char *format : {"J", "DD.MM.YYYY TZR", "FXDD.MM.YYYY", "DDD", "SSSSS", "\"open"})
        EXPECT_EQ(dateOutcome(format, "1"), -2) << format;
}

TEST(OracleNumberText, ImplicitConversionOfTextToNumber)
{
    const struct Case {
        const char *text;
        char decimal;
        bool reads;
    } cases[] = {
        {"123", '.', true},    {" 12 ", '.', true},   {"-1.5", '.', true}, {"+.5", '.', true},
        {"5.", '.', true},     {"1e5", '.', true},    {"1E-3", '.', true}, {"1,5", ',', true},
        {"1,5", '.', false},   {"1.5", ',', false},   {"abc", '.', false}, {"1e", '.', false},
        {"+", '.', false},     {"1 000", '.', false}, {"--1", '.', false}, {"0x10", '.', false},
        {"1.2.3", '.', false}, {".", '.', false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReadOracleNumber(c.text, QLatin1Char(c.decimal)).has_value(), c.reads) << c.text;

    const OracleNumber n = *ReadOracleNumber("-00120.4500", '.');
    EXPECT_TRUE(n.negative);
    EXPECT_EQ(n.digits, "12045");
    EXPECT_EQ(n.exponent, 3);
    EXPECT_EQ(ReadOracleNumber("0.000", '.')->digits, "");
}

struct Judged {
    const char *name;
    TableColumn column;
    const char *value;
    int oracleCode; // 0: taken
};

void expectJudged(const std::vector<Judged> &cases, const SessionConversions &session)
{
    for (const Judged &c : cases) {
        const ColumnJudge judge(c.column, session, kYear, kMonth);
        const std::optional<ColumnFault> fault = judge.faultOf(QString::fromUtf8(c.value));
        if (c.oracleCode == 0)
            EXPECT_FALSE(fault) << c.name << ": " << fault.value_or(ColumnFault{}).text.toStdString();
        else if (!fault)
            ADD_FAILURE() << c.name << ": taken";
        else
            EXPECT_EQ(fault->oracleCode, c.oracleCode) << c.name << ": " << fault->text.toStdString();
    }
}

TableColumn column(const char *name, const char *type, int bytes)
{
    TableColumn c;
    c.name = name;
    c.dataType = type;
    c.dataLength = bytes;
    return c;
}

TableColumn number(std::optional<int> precision, std::optional<int> scale, const char *type = "NUMBER")
{
    TableColumn c = column("N", type, 22);
    c.precision = precision;
    c.scale = scale;
    return c;
}

TEST(ColumnRules, NumbersRoundToTheScaleAndFailBeyondThePrecision)
{
    SessionConversions session;
    expectJudged(
        {
            {"rounds", number(5, 2), "123.456", 0},
            {"beyond the precision", number(5, 2), "1234.5", 1438},
            {"rounds below", number(5, 2), "999.994", 0},
            {"rounds up beyond", number(5, 2), "999.995", 1438},
            {"negative", number(5, 2), "-999.99", 0},
            {"small", number(5, 2), "0.001", 0},
            {"integer rounds", number(3, 0), "999.4", 0},
            {"integer rounds up beyond", number(3, 0), "999.5", 1438},
            {"negative scale", number(5, -2), "1234567", 0},
            {"negative scale beyond", number(5, -2), "12345678", 1438},
            {"scale above precision", number(2, 5), "0.00099", 0},
            {"scale above precision beyond", number(2, 5), "0.001", 1438},
            {"INTEGER", number(std::nullopt, 0), "1.5", 0},
            {"INTEGER beyond 38 digits", number(std::nullopt, 0), "123456789012345678901234567890123456789",
             1438},
            {"plain NUMBER", number(std::nullopt, std::nullopt), "9.99e125", 0},
            {"overflow", number(std::nullopt, std::nullopt), "1e126", 1426},
            {"not a number", number(5, 2), "12,5", 1722},
            {"FLOAT rounds", number(126, std::nullopt, "FLOAT"), "1.23456789012345678901234567890123456789",
             0},
            {"FLOAT not a number", number(126, std::nullopt, "FLOAT"), "x", 1722},
            {"BINARY_DOUBLE infinity", number(std::nullopt, std::nullopt, "BINARY_DOUBLE"), "-Inf", 0},
            {"NULL", number(5, 2), "", 0},
        },
        session);
    session.decimal = QLatin1Char(',');
    expectJudged({{"decimal comma", number(5, 2), "123,45", 0}, {"point", number(5, 2), "123.45", 1722}},
                 session);
}

TableColumn text(const char *type, int bytes, int characters = 0, bool charSemantics = false,
                 bool nullable = true)
{
    TableColumn c = column("T", type, bytes);
    c.charLength = characters ? characters : bytes;
    c.charSemantics = charSemantics;
    c.nullable = nullable;
    return c;
}

TEST(ColumnRules, TextIsMeasuredInTheDatabasesCharacterSet)
{
    SessionConversions utf8;
    utf8.databaseCharset = "AL32UTF8";
    utf8.nationalCharset = "AL16UTF16";
    expectJudged(
        {
            {"fits", text("VARCHAR2", 10), "Ivanov", 0},
            {"Cyrillic in bytes", text("VARCHAR2", 10), "Иванов", 12899},
            {"exactly full", text("VARCHAR2", 12), "Иванов", 0},
            {"character semantics", text("VARCHAR2", 40, 10, true), "Иванов", 0},
            {"too many characters", text("VARCHAR2", 20, 5, true), "Иванов", 12899},
            {"trailing blanks count", text("VARCHAR2", 3), "abc ", 12899},
            {"CHAR trailing blanks count too", text("CHAR", 3), "abc  ", 12899},
            {"CHAR pads a short value", text("CHAR", 3), "a", 0},
            {"NVARCHAR2 counts characters", text("NVARCHAR2", 10, 5), "Иванов", 12899},
            {"NOT NULL", text("VARCHAR2", 10, 0, false, false), "", 1400},
            {"a blank is no NULL", text("CHAR", 1, 0, false, false), " ", 0},
            {"RAW", text("RAW", 2), "0a0B", 0},
            {"RAW too long", text("RAW", 2), "0A0B0C", 12899},
            {"RAW not hex", text("RAW", 2), "XY", 1465},
            {"CLOB beyond a literal", text("CLOB", 4000), std::string(4001, 'x').c_str(), 1704},
            {"time zone not judged", text("TIMESTAMP(6) WITH TIME ZONE", 13), "whenever", 0},
            {"unknown type not judged", text("XMLTYPE", 2000), "<a/>", 0},
        },
        utf8);

    SessionConversions cyrillic;
    cyrillic.databaseCharset = "CL8MSWIN1251";
    expectJudged({{"one byte a letter", text("VARCHAR2", 6), "Иванов", 0}}, cyrillic);
    EXPECT_EQ(ByteLengthIn("😀", "AL32UTF8"), 4);
    EXPECT_EQ(ByteLengthIn("😀", "UTF8"), 6);
    EXPECT_EQ(ByteLengthIn("Иванов", "JA16SJIS"), 6) << "an unknown set counts its least";
    EXPECT_EQ(CharacterLengthIn("😀a", "AL32UTF8"), 2);
    EXPECT_EQ(CharacterLengthIn("😀a", "AL16UTF16"), 3);
}

TEST(ColumnRules, DatesInTheSessionsFormatAndTheFaultText)
{
    SessionConversions session;
    session.dateFormat = "DD.MM.RRRR HH24:MI:SS";
    session.timestampFormat = "DD.MM.RRRR HH24:MI:SSXFF";
    const TableColumn born = column("BORN", "DATE", 7);
    expectJudged({{"date", born, "12.05.1985", 0},
                  {"invalid date", born, "31.02.1985", 1839},
                  {"timestamp", text("TIMESTAMP(6)", 11), "12.05.1985 10:11:12.123", 0},
                  {"timestamp invalid", text("TIMESTAMP(6)", 11), "12.05.1985 10:11:99", 1852}},
                 session);
    const ColumnJudge judge(born, session, kYear, kMonth);
    EXPECT_EQ(
        judge.faultOf("31.02.1985").value_or(ColumnFault{}).text,
        "BORN: '31.02.1985' is not a date in the session's format DD.MM.RRRR HH24:MI:SS: date not valid "
        "for month specified (ORA-01839)");
    EXPECT_EQ(ColumnJudge(number(5, 2), session, kYear, kMonth).faultOf("1234.5").value_or(ColumnFault{}).text,
              "N: 1234.5 has more digits before the decimal point than NUMBER(5,2) allows (ORA-01438)");
    session.dateFormat = "J";
    EXPECT_FALSE(ColumnJudge(born, session, kYear, kMonth).judgesValues());
}

} // namespace
