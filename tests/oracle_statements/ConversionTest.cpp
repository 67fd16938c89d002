// The value conversion rules: dates, line breaks, number texts, the describe
// rule of each column kind and the statement text.

#include "oracle/OracleTypes.h"
#include "platform/OperatorLocale.h"

#include <gtest/gtest.h>

#include <QDate>

#include <array>

namespace rowpour::oracle
{
namespace
{

using Bytes = std::array<unsigned char, 7>;

TEST(OracleDate, SevenBytesToDateTime)
{
    struct Case {
        const char *name;
        Bytes bytes;
        double expected;
    };
    const Case cases[] = {
        {"epoch", {118, 199, 12, 30, 1, 1, 1}, 0.0},
        {"millennium midnight", {120, 100, 1, 1, 1, 1, 1}, 36526.0},
        {"noon", {120, 100, 1, 1, 13, 1, 1}, 36526.5},
        {"before the epoch", {118, 100, 1, 1, 1, 1, 1}, -36522.0},
        {"year zero keeps its time below the substitute", {100, 100, 1, 1, 7, 1, 1}, -693594.25},
        {"invalid day", {120, 101, 2, 30, 1, 1, 1}, -693594.0},
        {"invalid time counts 0", {120, 100, 1, 1, 25, 1, 1}, 36526.0},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(OracleDateToDateTime(c.bytes.data()), c.expected) << c.name;
}

TEST(OracleDate, DateTimeToSevenBytesAndBack)
{
    const double values[] = {36526.0, 36526.5 + 1.0 / 86400, 0.0, 2958465.99998843, 1.0};
    for (double value : values) {
        Bytes bytes{};
        DateTimeToOracleDate(value, bytes.data());
        EXPECT_NEAR(OracleDateToDateTime(bytes.data()), value, 1.0 / 86400) << value;
    }
    Bytes bytes{};
    DateTimeToOracleDate(36526.0 + (10 * 3600 + 11 * 60 + 12.4) / 86400, bytes.data());
    EXPECT_EQ(bytes, (Bytes{120, 100, 1, 1, 11, 12, 13})); // milliseconds dropped
}

TEST(ConvertCRLF, LineBreaksBecomeCrLf)
{
    struct Case {
        const char *name;
        QString in;
        QString out;
    };
    const Case cases[] = {
        {"none", "abc", "abc"},
        {"bare LF", "a\nb", "a\r\nb"},
        {"bare CR", "a\rb", "a\r\nb"},
        {"CR LF stays", "a\r\nb", "a\r\nb"},
        {"LF CR", "a\n\rb", "a\r\n\r\nb"},
        {"trailing", "a\n", "a\r\n"},
        {"two LFs", "\n\n", "\r\n\r\n"},
        {"Cyrillic", QString::fromUtf8("д\nб"), QString::fromUtf8("д\r\nб")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ConvertCRLF(c.in), c.out) << c.name;
    EXPECT_EQ(RemoveCR("a\r\nb\r"), QStringLiteral("a\nb"));
}

TEST(FloatToText, ShortestFormWithFifteenDigits)
{
    const QString sep = platform::OperatorLocale::system().decimalSeparator();
    struct Case {
        double value;
        QString text;
    };
    const Case cases[] = {
        {12.5, "12" + sep + "5"},
        {-3.0, "-3"},
        {0.1 + 0.2, "0" + sep + "3"},
        {1.0 / 3, "0" + sep + "333333333333333"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {0.0001, "0" + sep + "0001"},
        {0.00001, "1E-5"},
        {-1.5e-7, "-1" + sep + "5E-7"},
        {0.0, "0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FloatToText(c.value), c.text) << c.value;
}

TEST(DateTimeToText, TimeOnlyWhenNotMidnight)
{
    const platform::OperatorLocale locale = platform::OperatorLocale::system();
    const QString date = QDate(2000, 1, 1).toString(locale.shortDateFormat());
    EXPECT_EQ(DateTimeToText(36526.0), date);
    EXPECT_EQ(DateTimeToText(36526.0 + (10 * 3600 + 10 * 60 + 10) / 86400.0),
              date + " " + QTime(10, 10, 10).toString(locale.longTimeFormat()));
}

TEST(DescribeRule, ExternalTypesAndBuffers)
{
    struct Case {
        const char *name;
        TColumnDescription column;
        TDefineRule expected;
        bool oci8 = true;
        bool stringsOnly = false;
    };
    const Case cases[] = {
        {"NUMBER(9)", {2, 22, 9, 0}, {extInteger, 4, extInteger}},
        {"NUMBER(10)", {2, 22, 10, 0}, {extFloat, 8, extFloat}},
        {"NUMBER(5,-2)", {2, 22, 5, -2}, {extInteger, 4, extInteger}},
        {"NUMBER(9,-2) holds eleven digits", {2, 22, 9, -2}, {extFloat, 8, extFloat}},
        {"NUMBER(7,-2)", {2, 22, 7, -2}, {extInteger, 4, extInteger}},
        {"NUMBER(9,-2) as text", {2, 22, 9, -2}, {extString, 13, extString}, true, true},
        {"NUMBER(9,2)", {2, 22, 9, 2}, {extFloat, 8, extFloat}},
        {"NUMBER", {2, 22, 0, -127}, {extFloat, 8, extFloat}},
        {"NUMBER(*,0)", {2, 22, 0, 0}, {extFloat, 8, extFloat}},
        {"NUMBER(9) as text", {2, 22, 9, 0}, {extString, 11, extString}, true, true},
        {"NUMBER(9,2) as text", {2, 22, 9, 2}, {extString, 12, extString}, true, true},
        {"FLOAT as text", {2, 22, 126, -127}, {extString, 38 + 3 + 132, extString}, true, true},
        {"VARCHAR2(30) of a client that gives no character size", {1, 30, 0, 0}, {extString, 91, extString}},
        {"VARCHAR2(30 CHAR)", {1, 120, 0, 0, 30}, {extString, 121, extString}},
        {"VARCHAR2(30 BYTE) of a single-byte database", {1, 30, 0, 0, 30}, {extString, 121, extString}},
        {"NVARCHAR2(10)", {1, 20, 0, 0, 10}, {extString, 41, extString}},
        {"VARCHAR2(32767)", {1, 32767, 0, 0, 32767}, {extString, 65535, extString}},
        {"VARCHAR2 of size 0", {1, 0, 0, 0}, {extString, 1, extString}},
        {"CHAR(10)", {96, 10, 0, 0, 10}, {extString, 41, extString}},
        {"RAW(16)", {23, 16, 0, 0}, {extString, 33, extString}},
        {"ROWID", {11, 10, 0, 0}, {extString, 19, extString}},
        {"DATE", {12, 7, 0, 0}, {extDate, 7, extDate}},
        {"DATE as text", {12, 7, 0, 0}, {extString, 11, extString}, true, true},
        {"LONG OCI8", {8, 0, 0, 0}, {extLong, 0, extLong}},
        {"LONG OCI7", {8, 0, 0, 0}, {extLong, 2000, extLong}, false},
        {"LONG RAW OCI8", {24, 0, 0, 0}, {extLongRaw, 0, extLongRaw}},
        {"MLSLABEL", {106, 255, 0, 0}, {extString, 255, 106}},
        {"object", {108, 0, 0, 0}, {extObject, 4, extObject}},
        {"cursor", {116, 0, 0, 0}, {extCursor, 4, extCursor}},
        {"TIMESTAMP", {180, 11, 0, 6}, {extString, 200, extString}},
        {"TIMESTAMP external code", {187, 11, 0, 6}, {extString, 200, extString}},
        {"TIMESTAMP WITH TIME ZONE", {181, 13, 0, 6}, {extString, 200, extString}},
        {"INTERVAL DAY TO SECOND", {183, 11, 2, 6}, {extString, 200, extString}},
        {"INTERVAL YEAR TO MONTH external code", {189, 5, 2, 0}, {extString, 200, extString}},
        {"BINARY_DOUBLE", {101, 8, 0, 0}, {extString, 200, extString}},
        {"BINARY_FLOAT", {100, 4, 0, 0}, {extString, 200, extString}},
        {"UROWID", {208, 4000, 0, 0}, {extString, 4001, extString}},
        {"CLOB OCI8: a locator per row", {112, 4000, 0, 0}, {extClob, int(sizeof(void *)), extClob}},
        {"BLOB OCI8", {113, 4000, 0, 0}, {extBlob, int(sizeof(void *)), extBlob}},
        {"BFILE OCI8", {114, 530, 0, 0}, {extBfile, int(sizeof(void *)), extBfile}},
        {"CLOB OCI7: text in the row", {112, 4000, 0, 0}, {extClob, InlineLobBufferSize, extString}, false},
        {"BLOB OCI7: bytes in the row", {113, 4000, 0, 0}, {extBlob, InlineLobBufferSize, 23}, false},
    };
    for (const Case &c : cases) {
        TDescribeSettings settings;
        settings.oci8Mode = c.oci8;
        settings.stringFieldsOnly = c.stringsOnly;
        const TDefineRule rule = DefineRuleFor(c.column, settings);
        EXPECT_EQ(rule.externalType, c.expected.externalType) << c.name;
        EXPECT_EQ(rule.bufferSize, c.expected.bufferSize) << c.name;
        EXPECT_EQ(rule.defineType, c.expected.defineType) << c.name;
    }
}

TEST(DescribeRule, PreferencesMoveTheLimits)
{
    TDescribeSettings settings;
    settings.bridgeMode = true;
    EXPECT_EQ(DefineRuleFor({2, 22, 10, 0}, settings).externalType, extInteger);
    settings.bridgeMode = false;
    settings.integerPrecision = 4;
    EXPECT_EQ(DefineRuleFor({2, 22, 5, 0}, settings).externalType, extFloat);
    settings.floatPrecision = 15;
    EXPECT_EQ(DefineRuleFor({2, 22, 16, 2}, settings).externalType, extString);
    EXPECT_EQ(DefineRuleFor({2, 22, 16, 2}, settings).bufferSize, 19);
    EXPECT_EQ(DefineRuleFor({2, 22, 15, 2}, settings).externalType, extFloat);
    settings.clientBytesPerCharacter = 1;
    settings.bytesPerCharacter = 3;
    EXPECT_EQ(DefineRuleFor({232, 11, 0, 6}, settings).bufferSize, 150);
    EXPECT_EQ(DefineRuleFor({1, 30, 0, 0, 30}, settings).bufferSize, 31);
}

TEST(StatementText, LinesEndInLineFeeds)
{
    struct Case {
        const char *name;
        QStringList lines;
        QByteArray text;
    };
    const Case cases[] = {
        {"no lines", {}, " "},
        {"one empty line", {""}, "\n"},
        {"one line", {"select 1 from dual"}, "select 1 from dual\n"},
        {"two lines", {"select 1", "from dual"}, "select 1\nfrom dual\n"},
        {"CR inside a line", {"a\rb", "c\r\n"}, "ab\nc\n\n"},
        {"semicolon kept", {"delete from t;"}, "delete from t;\n"},
        {"UTF-8", {QString::fromUtf8("'д'")}, "'\xd0\xb4'\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TOracleQuery::BuildStatementText(c.lines), c.text) << c.name;
}

} // namespace
} // namespace rowpour::oracle
