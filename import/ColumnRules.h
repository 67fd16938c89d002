#pragma once
// What a column of the target table refuses. The import writes every value as
// a character literal, so the session converts the text to the column's type
// by its own rules: numbers in the session's decimal character, dates in its
// date format, text measured in the database's character set. These rules
// judge a value text the same way before any change is made.

#include "import/ImportTexts.h"
#include "import/OracleDateText.h"

#include <QString>

#include <optional>

namespace rowpour
{

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
