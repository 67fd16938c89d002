#pragma once
// What a column of the target table refuses. The import writes every value as
// a character literal, so the session converts the text to the column's type
// by its own rules: numbers in the session's decimal character, dates in its
// date format, text measured in the database's character set. These rules
// judge a value text the same way before any change is made.

#include "import/OracleDateText.h"

#include <QString>

#include <optional>

namespace rowpour
{

// The report's texts for what a column refuses: the column, why, and the
// Oracle error a load of the row would meet.
namespace check_texts
{
inline const QString kFault = QStringLiteral("%1: %2 (ORA-%3)");
inline const QString kNoValue = QStringLiteral("no value, and the column is NOT NULL");
inline const QString kNotLoaded = QStringLiteral("not loaded, and the column is NOT NULL without a default");
inline const QString kTooManyBytes = QStringLiteral("%1 bytes, more than the %2 bytes the column holds");
inline const QString kTooManyCharacters =
    QStringLiteral("%1 characters, more than the %2 characters the column holds");
inline const QString kNotANumber =
    QStringLiteral("'%1' is not a number the session reads (decimal character '%2')");
inline const QString kTooManyDigits =
    QStringLiteral("%1 has more digits before the decimal point than %2 allows");
inline const QString kNumberOverflow = QStringLiteral("%1 is beyond the largest number");
inline const QString kNotADate = QStringLiteral("'%1' is not a date in the session's format %2: %3");
inline const QString kNotHex = QStringLiteral("'%1' is not a hexadecimal text");
inline const QString kLiteralTooLong = QStringLiteral("%1 bytes, more than the %2 bytes a literal holds");
} // namespace check_texts

// A column as the column listing (user_tab_columns) gives it.
struct TableColumn {
    QString name;
    QString dataType;             // DATA_TYPE: VARCHAR2, NUMBER, DATE, TIMESTAMP(6), ...
    int dataLength = 0;           // DATA_LENGTH, in bytes
    std::optional<int> precision; // DATA_PRECISION
    std::optional<int> scale;     // DATA_SCALE
    bool nullable = true;         // NULLABLE
    bool hasDefault = false;      // DATA_DEFAULT given
    int charLength = 0;           // CHAR_LENGTH
    bool charSemantics = false;   // CHAR_USED 'C': the length counts characters
};

// How the session reads text into values (nls_session_parameters and
// nls_database_parameters).
struct SessionConversions {
    QString dateFormat;
    QString timestampFormat;
    QString dateLanguage;
    QChar decimal = QLatin1Char('.');
    QString databaseCharset; // empty when unknown: lengths are then judged by their least
    QString nationalCharset;
};

// The largest character literal a statement may hold, in bytes.
inline constexpr int kMaxLiteralBytes = 4000;

// A number as the session reads it: 0.digits x 10^exponent, digits without
// leading or trailing zeros (none for zero).
struct OracleNumber {
    bool negative = false;
    QString digits;
    int exponent = 0;
    // Rounded half away from zero to `scale` digits after the decimal point.
    OracleNumber roundedToScale(int scale) const;
};

// The session's implicit conversion of text to NUMBER: blanks around it, a
// sign, digits with at most one decimal character, an exponent; nullopt for
// anything else (ORA-01722).
std::optional<OracleNumber> ReadOracleNumber(const QString &text, QChar decimal);

// Bytes and characters of a text in an Oracle character set; an unknown set
// counts one byte per character, the least any set needs.
int ByteLengthIn(const QString &text, const QString &charset);
int CharacterLengthIn(const QString &text, const QString &charset);

// One value the column refuses: the report's line and the Oracle error.
struct ColumnFault {
    QString text;
    int oracleCode = 0;
    // A number or date the session cannot read: in a seek, too, it is refused.
    bool unreadable() const { return oracleCode == 1722 || (oracleCode >= 1800 && oracleCode < 1900); }
};

// Judges the value texts of one column.
class ColumnJudge
{
public:
    ColumnJudge(TableColumn column, const SessionConversions &session, int currentYear, int currentMonth);

    // The fault (its line "COLUMN: why (ORA-nnnnn)"), or nullopt when the
    // column takes the value (an empty text is NULL) or the check cannot tell.
    std::optional<ColumnFault> faultOf(const QString &value) const;
    // False for a column whose type (or whose session format) the check
    // does not read: its values are judged for NULL only.
    bool judgesValues() const { return kind_ != Kind::Unjudged; }
    // "NUMBER(5,2)", "VARCHAR2(10 CHAR)": the type as the report names it.
    QString typeText() const;
    const TableColumn &column() const { return column_; }

private:
    enum class Kind {
        Character,
        National,
        Number,
        Float,
        BinaryNumber,
        Date,
        Raw,
        LongText,
        LongBinary,
        Unjudged
    };

    std::optional<ColumnFault> lengthFault(const QString &value, const QString &charset) const;
    std::optional<ColumnFault> numberFault(const QString &value) const;
    std::optional<ColumnFault> hexFault(const QString &value, std::optional<int> maxBytes) const;
    ColumnFault fault(const QString &why, int oracleCode) const;

    TableColumn column_;
    SessionConversions session_;
    Kind kind_ = Kind::Unjudged;
    std::optional<OracleDateFormat> dateFormat_;
    int currentYear_;
    int currentMonth_;
};

} // namespace rowpour
