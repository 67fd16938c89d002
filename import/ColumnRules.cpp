#include "import/ColumnRules.h"

#include <QStringList>

#include <algorithm>

namespace rowpour
{

namespace
{

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\v') || c == QLatin1Char('\f');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The largest decimal exponent a NUMBER holds: values below 1.0E126.
constexpr int kMaxExponent = 126;

enum class Encoding { Utf8, Cesu8, Utf16, SingleByte, Unknown };

// Oracle names a character set after its region, its bits per character and
// its name: US7ASCII, WE8MSWIN1252, CL8MSWIN1251 are single-byte sets.
Encoding encodingOf(const QString &charset)
{
    const QString name = charset.trimmed().toUpper();
    if (name == QLatin1String("AL32UTF8"))
        return Encoding::Utf8;
    if (name == QLatin1String("UTF8"))
        return Encoding::Cesu8;
    if (name == QLatin1String("AL16UTF16"))
        return Encoding::Utf16;
    qsizetype i = 0;
    while (i < name.size() && name[i].isLetter())
        ++i;
    if (i > 0 && i < name.size() && (name[i] == QLatin1Char('7') || name[i] == QLatin1Char('8')) &&
        (i + 1 == name.size() || !isDigit(name[i + 1])))
        return Encoding::SingleByte;
    return Encoding::Unknown;
}

QString shortened(const QString &value)
{
    constexpr qsizetype kShown = 60;
    return value.size() <= kShown ? value : value.left(kShown) + QStringLiteral("...");
}

} // namespace

OracleNumber OracleNumber::roundedToScale(int scale) const
{
    const long keep = long(exponent) + scale; // digits kept
    if (keep >= digits.size())
        return *this;
    OracleNumber rounded;
    rounded.negative = negative;
    if (keep < 0)
        return rounded;
    const bool up = digits[keep] >= QLatin1Char('5');
    QString kept = digits.left(keep);
    rounded.exponent = exponent;
    if (up) {
        qsizetype i = kept.size() - 1;
        while (i >= 0 && kept[i] == QLatin1Char('9'))
            kept[i--] = QLatin1Char('0');
        if (i >= 0) {
            kept[i] = QChar(kept[i].unicode() + 1);
        } else {
            kept.prepend(QLatin1Char('1'));
            ++rounded.exponent;
        }
    }
    while (kept.endsWith(QLatin1Char('0')))
        kept.chop(1);
    rounded.digits = kept;
    if (kept.isEmpty())
        rounded.exponent = 0;
    return rounded;
}

std::optional<OracleNumber> ReadOracleNumber(const QString &text, QChar decimal)
{
    qsizetype i = 0, n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    while (n > i && isBlank(text[n - 1]))
        --n;
    OracleNumber number;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        number.negative = text[i++] == QLatin1Char('-');
    QString digits;
    long pointAt = 0; // digits before the decimal character
    bool anyDigit = false;
    for (; i < n && isDigit(text[i]); ++i, ++pointAt, anyDigit = true)
        digits += text[i];
    if (i < n && text[i] == decimal) {
        for (++i; i < n && isDigit(text[i]); ++i, anyDigit = true)
            digits += text[i];
    }
    if (!anyDigit)
        return std::nullopt;
    long power = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool negativePower = false;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            negativePower = text[i++] == QLatin1Char('-');
        bool anyPowerDigit = false;
        for (; i < n && isDigit(text[i]); ++i, anyPowerDigit = true)
            power = std::min(power * 10 + (text[i].unicode() - u'0'), 1000000L);
        if (!anyPowerDigit)
            return std::nullopt;
        if (negativePower)
            power = -power;
    }
    if (i != n)
        return std::nullopt;
    qsizetype lead = 0;
    while (lead < digits.size() && digits[lead] == QLatin1Char('0'))
        ++lead;
    digits.remove(0, lead);
    while (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    if (digits.isEmpty())
        return OracleNumber{};
    const long exponent = pointAt - long(lead) + power;
    number.digits = digits;
    number.exponent = int(std::clamp(exponent, -1000000L, 1000000L));
    return number;
}

int ByteLengthIn(const QString &text, const QString &charset)
{
    switch (encodingOf(charset)) {
    case Encoding::Utf8:
        return int(text.toUtf8().size());
    case Encoding::Cesu8: {
        // A character outside the basic plane is two surrogates of three bytes each.
        int bytes = 0;
        for (const QChar c : text)
            bytes += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
        return bytes;
    }
    case Encoding::Utf16:
        return int(text.size()) * 2;
    case Encoding::SingleByte:
    case Encoding::Unknown:
        return CharacterLengthIn(text, QStringLiteral("AL32UTF8"));
    }
    return int(text.size());
}

int CharacterLengthIn(const QString &text, const QString &charset)
{
    const Encoding encoding = encodingOf(charset);
    if (encoding == Encoding::Cesu8 || encoding == Encoding::Utf16)
        return int(text.size());
    int characters = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++characters) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    return characters;
}

ColumnJudge::ColumnJudge(TableColumn column, const SessionConversions &session, int currentYear,
                         int currentMonth)
    : column_(std::move(column)), session_(session), currentYear_(currentYear), currentMonth_(currentMonth)
{
    const QString type = column_.dataType.trimmed().toUpper();
    if (type == QLatin1String("VARCHAR2") || type == QLatin1String("VARCHAR") ||
        type == QLatin1String("CHAR")) {
        kind_ = Kind::Character;
    } else if (type == QLatin1String("NVARCHAR2") || type == QLatin1String("NCHAR")) {
        kind_ = Kind::National;
    } else if (type == QLatin1String("NUMBER")) {
        kind_ = Kind::Number;
    } else if (type == QLatin1String("FLOAT")) {
        kind_ = Kind::Float;
    } else if (type == QLatin1String("BINARY_FLOAT") || type == QLatin1String("BINARY_DOUBLE")) {
        kind_ = Kind::BinaryNumber;
    } else if (type == QLatin1String("DATE")) {
        dateFormat_ = OracleDateFormat::compile(session_.dateFormat, session_.dateLanguage);
        kind_ = dateFormat_ ? Kind::Date : Kind::Unjudged;
    } else if (type.startsWith(QLatin1String("TIMESTAMP")) &&
               (!type.contains(QLatin1String("TIME ZONE")) || type.contains(QLatin1String("LOCAL")))) {
        dateFormat_ = OracleDateFormat::compile(session_.timestampFormat, session_.dateLanguage);
        kind_ = dateFormat_ ? Kind::Date : Kind::Unjudged;
    } else if (type == QLatin1String("RAW")) {
        kind_ = Kind::Raw;
    } else if (type == QLatin1String("LONG") || type == QLatin1String("CLOB") ||
               type == QLatin1String("NCLOB")) {
        kind_ = Kind::LongText;
    } else if (type == QLatin1String("LONG RAW") || type == QLatin1String("BLOB")) {
        kind_ = Kind::LongBinary;
    }
}

QString ColumnJudge::typeText() const
{
    const QString type = column_.dataType;
    switch (kind_) {
    case Kind::Character:
    case Kind::National:
        if (column_.charSemantics && kind_ == Kind::Character)
            return QStringLiteral("%1(%2 CHAR)").arg(type).arg(column_.charLength);
        return QStringLiteral("%1(%2)").arg(type).arg(kind_ == Kind::National ? column_.charLength
                                                                              : column_.dataLength);
    case Kind::Number:
        if (!column_.precision)
            return column_.scale ? QStringLiteral("%1(*,%2)").arg(type).arg(*column_.scale) : type;
        return QStringLiteral("%1(%2,%3)").arg(type).arg(*column_.precision).arg(column_.scale.value_or(0));
    case Kind::Raw:
        return QStringLiteral("%1(%2)").arg(type).arg(column_.dataLength);
    default:
        return type;
    }
}

ColumnFault ColumnJudge::fault(const QString &why, int oracleCode) const
{
    return {check_texts::kFault.arg(column_.name, why,
                                   QStringLiteral("%1").arg(oracleCode, 5, 10, QLatin1Char('0'))),
            oracleCode};
}

std::optional<ColumnFault> ColumnJudge::faultOf(const QString &value) const
{
    if (value.isEmpty())
        return column_.nullable ? std::nullopt : std::optional(fault(check_texts::kNoValue, 1400));
    switch (kind_) {
    case Kind::Character:
        return lengthFault(value, session_.databaseCharset);
    case Kind::National:
        return lengthFault(value, session_.nationalCharset);
    case Kind::Number:
    case Kind::Float:
    case Kind::BinaryNumber:
        return numberFault(value);
    case Kind::Date: {
        const ValueReading reading = dateFormat_->read(value, currentYear_, currentMonth_);
        if (reading.verdict != Verdict::Refused)
            return std::nullopt;
        return fault(check_texts::kNotADate.arg(shortened(value), dateFormat_->text(), reading.reason),
                     reading.oracleCode);
    }
    case Kind::Raw:
        return hexFault(value, column_.dataLength);
    case Kind::LongText: {
        const int bytes = ByteLengthIn(value, session_.databaseCharset);
        if (bytes <= kMaxLiteralBytes)
            return std::nullopt;
        return fault(check_texts::kLiteralTooLong.arg(bytes).arg(kMaxLiteralBytes), 1704);
    }
    case Kind::LongBinary:
        return hexFault(value, std::nullopt);
    case Kind::Unjudged:
        break;
    }
    return std::nullopt;
}

std::optional<ColumnFault> ColumnJudge::lengthFault(const QString &value, const QString &charset) const
{
    const bool countsCharacters = column_.charSemantics || kind_ == Kind::National;
    if (countsCharacters && column_.charLength > 0) {
        const int characters = CharacterLengthIn(value, charset);
        if (characters > column_.charLength)
            return fault(check_texts::kTooManyCharacters.arg(characters).arg(column_.charLength), 12899);
    }
    const int bytes = ByteLengthIn(value, charset);
    if (column_.dataLength > 0 && bytes > column_.dataLength)
        return fault(check_texts::kTooManyBytes.arg(bytes).arg(column_.dataLength), 12899);
    return std::nullopt;
}

std::optional<ColumnFault> ColumnJudge::numberFault(const QString &value) const
{
    const std::optional<OracleNumber> number = ReadOracleNumber(value, session_.decimal);
    if (!number) {
        // The binary types also read the texts of infinity and not-a-number.
        static const QStringList specials = {QStringLiteral("INF"), QStringLiteral("-INF"),
                                             QStringLiteral("+INF"), QStringLiteral("NAN")};
        if (kind_ == Kind::BinaryNumber && specials.contains(value.trimmed().toUpper()))
            return std::nullopt;
        return fault(check_texts::kNotANumber.arg(shortened(value), QString(session_.decimal)), 1722);
    }
    if (kind_ == Kind::BinaryNumber)
        return std::nullopt;
    OracleNumber stored = *number;
    std::optional<int> maxExponent; // the value stays below 10^maxExponent
    // FLOAT has a binary precision: its values are rounded, never refused for their digits.
    if (kind_ == Kind::Number && column_.precision) {
        const int scale = column_.scale.value_or(0);
        stored = number->roundedToScale(scale);
        maxExponent = *column_.precision - scale; // a scale above the precision asks for leading zeros
    } else if (kind_ == Kind::Number && column_.scale) {
        stored = number->roundedToScale(*column_.scale);
        maxExponent = 38;
    }
    if (!stored.digits.isEmpty() && maxExponent && stored.exponent > *maxExponent)
        return fault(check_texts::kTooManyDigits.arg(shortened(value.trimmed()), typeText()), 1438);
    if (!stored.digits.isEmpty() && stored.exponent > kMaxExponent)
        return fault(check_texts::kNumberOverflow.arg(shortened(value.trimmed())), 1426);
    return std::nullopt;
}

std::optional<ColumnFault> ColumnJudge::hexFault(const QString &value, std::optional<int> maxBytes) const
{
    for (const QChar c : value) {
        if (!isDigit(c) && !(c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('F')))
            return fault(check_texts::kNotHex.arg(shortened(value)), 1465);
    }
    const int bytes = int((value.size() + 1) / 2);
    if (maxBytes && *maxBytes > 0 && bytes > *maxBytes)
        return fault(check_texts::kTooManyBytes.arg(bytes).arg(*maxBytes), 12899);
    if (!maxBytes && value.size() > kMaxLiteralBytes)
        return fault(check_texts::kLiteralTooLong.arg(value.size()).arg(kMaxLiteralBytes), 1704);
    return std::nullopt;
}

} // namespace rowpour
