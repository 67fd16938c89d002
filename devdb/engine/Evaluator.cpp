#include "Evaluator.h"

#include "DateFormat.h"
#include "Errors.h"
#include "Interval.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <tuple>

namespace devdb
{

void SessionSettings::applyTerritory(const Territory &t)
{
    territory = &t;
    dateFormat = t.dateFormat;
    timestampFormat = t.timestampFormat;
    timestampTzFormat = t.timestampTzFormat;
    decimal = t.numericCharacters[0];
    group = t.numericCharacters[1];
}

namespace
{

ColumnDesc numberType()
{
    ColumnDesc d;
    d.type = OraType::Number;
    d.dataSize = 22;
    d.precision = 0;
    d.scale = -127;
    return d;
}

ColumnDesc textType(int size, OraType type = OraType::Varchar2)
{
    ColumnDesc d;
    d.type = type;
    d.dataSize = size;
    if (type == OraType::Varchar2 || type == OraType::Char || type == OraType::Long ||
        type == OraType::Clob) {
        d.charsetForm = 1;
        d.charLength = size;
    }
    return d;
}

ColumnDesc dateType(bool timestamp = false)
{
    ColumnDesc d;
    d.type = timestamp ? OraType::Timestamp : OraType::Date;
    d.dataSize = timestamp ? 11 : 7;
    d.scale = timestamp ? 6 : 0;
    return d;
}

ColumnDesc typeOfKind(OraType type, int size, int precision = 0, int scale = 0)
{
    ColumnDesc d = textType(size, type);
    d.precision = precision;
    d.scale = scale;
    return d;
}

ColumnDesc objectType(const char *name, const char *owner)
{
    ColumnDesc d = typeOfKind(OraType::Object, std::strcmp(name, "XMLTYPE") == 0 ? 2000 : 1);
    d.typeName = name;
    d.typeOwner = owner;
    return d;
}

bool isTextType(OraType t)
{
    return t == OraType::Varchar2 || t == OraType::Char || t == OraType::Long || t == OraType::Rowid ||
           t == OraType::Urowid || t == OraType::Clob;
}

bool isDateType(OraType t)
{
    return t == OraType::Date || t == OraType::Timestamp || t == OraType::TimestampTz ||
           t == OraType::TimestampLtz;
}

DateTime timestampLiteral(const std::string &text);

// Types no comparison, ORDER BY, MIN or MAX may use.
bool isUncomparable(OraType t)
{
    return t == OraType::Clob || t == OraType::Blob || t == OraType::Bfile || t == OraType::Object ||
           t == OraType::Ref;
}

bool isRawType(OraType t)
{
    return t == OraType::Raw || t == OraType::LongRaw;
}

const char *typeWord(OraType t)
{
    switch (t) {
    case OraType::Number:
        return "NUMBER";
    case OraType::Date:
        return "DATE";
    case OraType::Timestamp:
    case OraType::TimestampLtz:
        return "TIMESTAMP";
    case OraType::TimestampTz:
        return "TIMESTAMP WITH TIME ZONE";
    case OraType::IntervalYm:
        return "INTERVAL YEAR TO MONTH";
    case OraType::IntervalDs:
        return "INTERVAL DAY TO SECOND";
    case OraType::Clob:
        return "CLOB";
    case OraType::Blob:
        return "BLOB";
    case OraType::Bfile:
        return "FILE";
    case OraType::Object:
        return "ADT";
    case OraType::Ref:
        return "REF";
    case OraType::BinaryFloat:
        return "BINARY_FLOAT";
    case OraType::BinaryDouble:
        return "BINARY_DOUBLE";
    case OraType::Rowid:
    case OraType::Urowid:
        return "ROWID";
    case OraType::Raw:
    case OraType::LongRaw:
        return "BINARY";
    case OraType::Long:
        return "LONG";
    default:
        return "CHAR";
    }
}

[[noreturn]] void inconsistent(OraType expected, OraType got)
{
    errors::raise(932, errors::format(errors::kInconsistentTypes, typeWord(expected), typeWord(got)));
}

Datum nullDatum()
{
    return Datum();
}

Datum numberDatum(const Decimal &d)
{
    Datum r;
    r.kind = Value::Kind::Number;
    r.number = d;
    return r;
}

Datum textDatum(std::string s)
{
    Datum r;
    if (s.empty())
        return r; // '' is NULL
    r.kind = Value::Kind::Text;
    r.text = std::move(s);
    return r;
}

Datum dateDatum(const DateTime &d)
{
    Datum r;
    r.kind = Value::Kind::Date;
    r.date = d;
    return r;
}

std::string rtrimBlanks(const std::string &s)
{
    std::size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return s.substr(0, n);
}

// Days since 0001-01-01 (proleptic Gregorian) and back, for date arithmetic.
long long dayNumber(int y, int m, int d)
{
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

DateTime fromDayNumber(long long z)
{
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long d = doy - (153 * mp + 2) / 5 + 1;
    long long m = mp + (mp < 10 ? 3 : -9);
    DateTime r;
    r.year = static_cast<int>(y + (m <= 2));
    r.month = static_cast<int>(m);
    r.day = static_cast<int>(d);
    return r;
}

long double dateToDays(const DateTime &d)
{
    return static_cast<long double>(dayNumber(d.year, d.month, d.day)) +
           (d.hour * 3600 + d.minute * 60 + d.second) / 86400.0L;
}

DateTime daysToDate(long double days)
{
    long long whole = static_cast<long long>(std::floor(days));
    long long seconds = std::llround((days - static_cast<long double>(whole)) * 86400.0L);
    if (seconds >= 86400) {
        ++whole;
        seconds -= 86400;
    }
    DateTime r = fromDayNumber(whole);
    r.hour = static_cast<int>(seconds / 3600);
    r.minute = static_cast<int>(seconds / 60 % 60);
    r.second = static_cast<int>(seconds % 60);
    return r;
}

std::string expressionName(const std::string &source)
{
    // Oracle names an expression column by its text without blanks, upper-cased
    // outside double quotes.
    std::string out;
    bool inString = false, inQuotes = false;
    for (char c : source) {
        if (c == '\'' && !inQuotes)
            inString = !inString;
        else if (c == '"' && !inString) {
            inQuotes = !inQuotes;
            continue;
        }
        if (!inString && !inQuotes && std::isspace(static_cast<unsigned char>(c)))
            continue;
        out += inQuotes ? c : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

const char *const kRowidAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void appendBase64(std::string &out, long long value, int width)
{
    std::string part(static_cast<std::size_t>(width), 'A');
    for (int i = width - 1; i >= 0; --i) {
        part[static_cast<std::size_t>(i)] = kRowidAlphabet[value & 63];
        value >>= 6;
    }
    out += part;
}

bool readBase64(const std::string &text, std::size_t start, int width, long long *value)
{
    *value = 0;
    for (int i = 0; i < width; ++i) {
        const char *p = std::strchr(kRowidAlphabet, text[start + static_cast<std::size_t>(i)]);
        if (!p || !*p)
            return false;
        *value = (*value << 6) | (p - kRowidAlphabet);
    }
    return true;
}

bool likeMatch(const std::string &s, std::size_t si, const std::string &p, std::size_t pi)
{
    while (pi < p.size()) {
        if (p[pi] == '%') {
            while (pi < p.size() && p[pi] == '%')
                ++pi;
            if (pi == p.size())
                return true;
            for (std::size_t k = si; k <= s.size(); ++k) {
                if (likeMatch(s, k, p, pi))
                    return true;
            }
            return false;
        }
        if (si >= s.size())
            return false;
        if (p[pi] != '_' && p[pi] != s[si])
            return false;
        ++si;
        ++pi;
    }
    return si == s.size();
}

} // namespace

std::string encodeRowid(long long tableId, long long rowid)
{
    std::string out;
    appendBase64(out, tableId, 6);
    appendBase64(out, 4, 3);
    appendBase64(out, rowid >> 12, 6);
    appendBase64(out, rowid & 0xFFF, 3);
    return out;
}

bool decodeRowid(const std::string &text, long long *tableId, long long *rowid)
{
    if (text.size() != 18)
        return false;
    long long file, block, slot;
    if (!readBase64(text, 0, 6, tableId) || !readBase64(text, 6, 3, &file) ||
        !readBase64(text, 9, 6, &block) || !readBase64(text, 15, 3, &slot))
        return false;
    *rowid = (block << 12) | slot;
    return true;
}

std::string hexText(const std::string &bytes)
{
    static const char *digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

const char *typeName(OraType type)
{
    return typeWord(type);
}

void requireComparable(const ColumnDesc &type, int offset)
{
    if (isUncomparable(type.type))
        errors::raise(932, errors::format(errors::kInconsistentTypes, "-", typeWord(type.type)), offset);
}

Decimal toNumber(const Datum &v, char decimal)
{
    switch (v.kind) {
    case Value::Kind::Number:
        return v.number;
    case Value::Kind::Text: {
        auto d = Decimal::parse(v.text, decimal);
        if (!d)
            errors::raise(1722, errors::kInvalidNumber);
        return *d;
    }
    case Value::Kind::Date:
        inconsistent(OraType::Number, OraType::Date);
    default:
        inconsistent(OraType::Number, OraType::Raw);
    }
}

DateTime toDate(const Datum &v, const SessionSettings &settings, bool timestamp)
{
    switch (v.kind) {
    case Value::Kind::Date:
        return v.date;
    case Value::Kind::Text:
        return parseDate(v.text, timestamp ? settings.timestampFormat : settings.dateFormat,
                         *settings.dateLanguage);
    case Value::Kind::Number:
        inconsistent(timestamp ? OraType::Timestamp : OraType::Date, OraType::Number);
    default:
        inconsistent(timestamp ? OraType::Timestamp : OraType::Date, OraType::Raw);
    }
}

std::string binaryFloatText(long double value, bool single, char decimal)
{
    if (std::isnan(value))
        return "Nan";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : "Inf";
    if (value == 0)
        return "0";
    // The fewest digits that read back as the same value, as "d.dddE+nnn".
    const int maxDigits = single ? 9 : 17;
    char buf[64];
    for (int digits = 1; digits <= maxDigits; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*Le", digits - 1, value);
        long double back = std::strtold(buf, nullptr);
        if (single ? static_cast<float>(back) == static_cast<float>(value)
                   : static_cast<double>(back) == static_cast<double>(value))
            break;
    }
    std::string text = buf;
    auto e = text.find('e');
    std::string mantissa = text.substr(0, e);
    int exponent = std::atoi(text.c_str() + e + 1);
    if (mantissa.find('.') == std::string::npos)
        mantissa += ".0";
    std::replace(mantissa.begin(), mantissa.end(), '.', decimal);
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%c%03d", exponent < 0 ? '-' : '+',
                  exponent < 0 ? -exponent : exponent);
    return mantissa + tail;
}

std::string toText(const Datum &v, OraType staticType, const SessionSettings &settings)
{
    switch (v.kind) {
    case Value::Kind::Null:
        return std::string();
    case Value::Kind::Number:
        if (staticType == OraType::BinaryFloat || staticType == OraType::BinaryDouble)
            return binaryFloatText(v.number.toDouble(), staticType == OraType::BinaryFloat, settings.decimal);
        return v.number.toOracleText(settings.decimal);
    case Value::Kind::Date: {
        const std::string &format = staticType == OraType::TimestampTz ? settings.timestampTzFormat
                                    : staticType == OraType::Timestamp || staticType == OraType::TimestampLtz
                                        ? settings.timestampFormat
                                        : settings.dateFormat;
        return formatDate(v.date, format, *settings.dateLanguage, settings.decimal);
    }
    case Value::Kind::Binary:
        return hexText(v.text);
    case Value::Kind::Text:
        break;
    }
    return v.text;
}

std::string toRaw(const Datum &v)
{
    if (v.kind == Value::Kind::Binary)
        return v.text;
    if (v.kind != Value::Kind::Text)
        inconsistent(OraType::Raw, v.kind == Value::Kind::Number ? OraType::Number : OraType::Date);
    const std::string &h = v.text;
    std::string out;
    std::size_t i = 0;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    if (h.size() % 2) { // an odd count starts with one digit
        int a = nibble(h[0]);
        if (a < 0)
            errors::raise(1465, errors::kInvalidHex);
        out += static_cast<char>(a);
        i = 1;
    }
    for (; i + 1 < h.size() + 1 && i < h.size(); i += 2) {
        int a = nibble(h[i]), b = nibble(h[i + 1]);
        if (a < 0 || b < 0)
            errors::raise(1465, errors::kInvalidHex);
        out += static_cast<char>(a * 16 + b);
    }
    return out;
}

Value toValue(const Datum &d)
{
    Value v;
    v.kind = d.kind;
    switch (d.kind) {
    case Value::Kind::Number:
        v.text = d.number.toStorageText();
        break;
    case Value::Kind::Date:
        v.date = d.date;
        break;
    case Value::Kind::Text:
    case Value::Kind::Binary:
        v.text = d.text;
        break;
    case Value::Kind::Null:
        break;
    }
    return v;
}

ColumnDesc bindType(const BindValue &bind)
{
    switch (bind.type) {
    case OraType::Number:
        return numberType();
    case OraType::BinaryFloat:
        return typeOfKind(OraType::BinaryFloat, 4);
    case OraType::BinaryDouble:
        return typeOfKind(OraType::BinaryDouble, 8);
    case OraType::Date:
        return dateType();
    case OraType::Raw:
        return typeOfKind(OraType::Raw, std::max<int>(1, static_cast<int>(bind.value.text.size())));
    case OraType::Char:
        return textType(std::max<int>(1, static_cast<int>(bind.value.text.size())), OraType::Char);
    default:
        return textType(4000);
    }
}

Datum bindDatum(const BindValue &bind, const SessionSettings &settings)
{
    Datum d;
    const Value &v = bind.value;
    switch (v.kind) {
    case Value::Kind::Null:
        break;
    case Value::Kind::Text:
        if (!v.text.empty())
            d = textDatum(restrictText(v.text, settings.databaseCharset));
        break;
    case Value::Kind::Binary:
        if (!v.text.empty()) {
            d.kind = Value::Kind::Binary;
            d.text = v.text;
        }
        break;
    case Value::Kind::Number: {
        auto n = Decimal::parse(v.text);
        if (!n)
            errors::raise(1722, errors::kInvalidNumber);
        d = numberDatum(*n);
        break;
    }
    case Value::Kind::Date:
        d = dateDatum(v.date);
        break;
    }
    return d;
}

bool isAggregate(const Expr &e)
{
    if (e.kind != Expr::Kind::Function)
        return false;
    const std::string &n = e.name.name;
    return n == "COUNT" || n == "MAX" || n == "MIN" || n == "SUM" || n == "AVG";
}

bool containsAggregate(const Expr &e)
{
    if (isAggregate(e))
        return true;
    for (const auto &a : e.args) {
        if (containsAggregate(*a))
            return true;
    }
    return false;
}

bool referencesRow(const Expr &e)
{
    if (isAggregate(e))
        return false;
    if (e.kind == Expr::Kind::Column || e.kind == Expr::Kind::Rowid || e.kind == Expr::Kind::Rownum)
        return true;
    for (const auto &a : e.args) {
        if (referencesRow(*a))
            return true;
    }
    return false;
}

void collectAggregates(const Expr &e, std::vector<const Expr *> &out)
{
    if (isAggregate(e)) {
        out.push_back(&e);
        return;
    }
    for (const auto &a : e.args)
        collectAggregates(*a, out);
}

void invalidIdentifier(const std::string &shown, int offset, const SessionSettings &settings)
{
    if (settings.majorVersion < 9)
        errors::raise(904, "invalid column name", offset);
    errors::raise(904, errors::format(errors::kInvalidIdentifier, shown), offset);
}

void resolve(Expr &e, const Relation &rel, const SessionSettings &settings)
{
    for (auto &a : e.args)
        resolve(*a, rel, settings);
    auto arg = [&](std::size_t i) -> const ColumnDesc & { return e.args[i]->type; };
    auto requireArgs = [&](std::size_t min, std::size_t max) {
        if (e.args.size() < min || e.args.size() > max)
            errors::raise(909, "invalid number of arguments", e.offset);
    };
    switch (e.kind) {
    case Expr::Kind::Literal:
        if (e.literal.kind == Value::Kind::Number)
            e.type = numberType();
        else if (e.stringLiteral)
            e.type = textType(static_cast<int>(e.literal.text.size()), OraType::Char);
        else
            e.type = textType(0);
        break;
    case Expr::Kind::Bind:
        break; // typed by the cursor from the bound value before the statement is resolved
    case Expr::Kind::Column: {
        bool qualifierOk = e.qualifier.empty() || e.qualifier == rel.name || e.qualifier == rel.alias;
        int index = -1;
        if (qualifierOk) {
            for (std::size_t i = 0; i < rel.columns.size(); ++i) {
                if (rel.columns[i].name == e.name.name) {
                    index = static_cast<int>(i);
                    break;
                }
            }
        }
        if (index < 0) {
            std::string shown = e.qualifier.empty() ? e.name.name : e.qualifier + "\".\"" + e.name.name;
            invalidIdentifier(shown, e.offset, settings);
        }
        e.columnIndex = index;
        e.type = rel.columns[static_cast<std::size_t>(index)];
        break;
    }
    case Expr::Kind::Rowid:
        if (rel.tableId == 0)
            errors::raise(1445,
                          "cannot select ROWID from, or sample, a join view without a key-preserved table",
                          e.offset);
        e.type = textType(10, OraType::Rowid);
        break;
    case Expr::Kind::Rownum:
        e.type = numberType();
        break;
    case Expr::Kind::Sysdate:
        e.type = dateType();
        break;
    case Expr::Kind::Systimestamp:
        e.type = typeOfKind(OraType::TimestampTz, 13, 0, 6);
        break;
    case Expr::Kind::User:
        e.type = textType(settings.maxIdentifier);
        break;
    case Expr::Kind::Unary:
        e.type = arg(0).type == OraType::Date ? arg(0) : numberType();
        break;
    case Expr::Kind::Binary:
        if (e.op == "||") {
            e.type = textType(std::max(1, arg(0).dataSize + arg(1).dataSize));
        } else if ((e.op == "+" || e.op == "-") && isDateType(arg(0).type) && !isDateType(arg(1).type)) {
            e.type = dateType();
        } else if (e.op == "+" && isDateType(arg(1).type)) {
            e.type = dateType();
        } else {
            e.type = numberType();
        }
        break;
    case Expr::Kind::Function: {
        const std::string &n = e.name.name;
        if (n == "COUNT") {
            if (!e.star)
                requireArgs(1, 1);
            e.type = numberType();
        } else if (n == "SUM" || n == "AVG") {
            requireArgs(1, 1);
            e.type = numberType();
        } else if (n == "MAX" || n == "MIN") {
            requireArgs(1, 1);
            e.type = arg(0);
            e.type.nullable = true;
        } else if (n == "UPPER" || n == "LOWER" || n == "TRIM" || n == "LTRIM" || n == "RTRIM") {
            requireArgs(1, 1);
            e.type = textType(isTextType(arg(0).type) ? arg(0).dataSize : 40);
        } else if (n == "SUBSTR") {
            requireArgs(2, 3);
            e.type = textType(isTextType(arg(0).type) ? arg(0).dataSize : 40);
        } else if (n == "LENGTH" || n == "LENGTHB" || n == "ABS" || n == "ROUND" || n == "TRUNC" ||
                   n == "TO_NUMBER" || n == "MOD") {
            requireArgs(1, n == "MOD"
                               ? 2
                               : (n == "LENGTH" || n == "LENGTHB" || n == "ABS" || n == "TO_NUMBER" ? 1 : 2));
            if ((n == "ROUND" || n == "TRUNC") && isDateType(arg(0).type))
                e.type = dateType();
            else
                e.type = numberType();
        } else if (n == "TO_CHAR") {
            requireArgs(1, 3);
            e.type = textType(isTextType(arg(0).type) ? arg(0).dataSize
                                                      : (arg(0).type == OraType::Number ? 40 : 75));
        } else if (n == "TO_DATE") {
            requireArgs(1, 3);
            e.type = dateType();
        } else if (n == "DEVDB_REPEAT") {
            // Development-database-only: a LONG of any length, for tests of long values.
            requireArgs(2, 2);
            e.type = textType(0, OraType::Long);
        } else if (n == "TO_CLOB" || n == "EMPTY_CLOB" || n == "EMPTY_BLOB") {
            requireArgs(n == "TO_CLOB" ? 1 : 0, n == "TO_CLOB" ? 1 : 0);
            e.type = typeOfKind(n == "EMPTY_BLOB" ? OraType::Blob : OraType::Clob, 4000);
        } else if (n == "HEXTORAW") {
            requireArgs(1, 1);
            e.type = typeOfKind(OraType::Raw, std::max(1, (arg(0).dataSize + 1) / 2));
        } else if (n == "RAWTOHEX") {
            requireArgs(1, 1);
            e.type = textType(std::max(1, 2 * arg(0).dataSize));
        } else if (n == "BFILENAME") {
            requireArgs(2, 2);
            e.type = typeOfKind(OraType::Bfile, 530);
        } else if (n == "XMLTYPE") {
            requireArgs(1, 1);
            e.type = objectType("XMLTYPE", "SYS");
        } else if (n == "SDO_GEOMETRY" || n == "SDO_POINT_TYPE" || n == "SDO_ELEM_INFO_ARRAY" ||
                   n == "SDO_ORDINATE_ARRAY") {
            if (n == "SDO_GEOMETRY")
                requireArgs(5, 5);
            if (n == "SDO_POINT_TYPE")
                requireArgs(3, 3);
            e.type = objectType(n.c_str(), "MDSYS");
        } else if (n == "TO_TIMESTAMP" || n == "TO_TIMESTAMP_TZ") {
            requireArgs(1, 2);
            e.type = n == "TO_TIMESTAMP" ? typeOfKind(OraType::Timestamp, 11, 0, 9)
                                         : typeOfKind(OraType::TimestampTz, 13, 0, 9);
        } else if (n == "TO_BINARY_DOUBLE" || n == "TO_BINARY_FLOAT") {
            requireArgs(1, 1);
            e.type = n == "TO_BINARY_DOUBLE" ? typeOfKind(OraType::BinaryDouble, 8)
                                             : typeOfKind(OraType::BinaryFloat, 4);
        } else if (n == "DATE LITERAL") {
            e.type = dateType();
        } else if (n == "TIMESTAMP LITERAL") {
            // A zone in the literal makes it a TIMESTAMP WITH TIME ZONE.
            bool zoned = timestampLiteral(e.args[0]->literal.text).zoned;
            e.type =
                zoned ? typeOfKind(OraType::TimestampTz, 13, 0, 9) : typeOfKind(OraType::Timestamp, 11, 0, 9);
        } else if (n == "INTERVAL YEAR TO MONTH") {
            e.type =
                typeOfKind(OraType::IntervalYm, 5, static_cast<int>(*e.args[1]->literal.number.toLong()), 0);
        } else if (n == "INTERVAL DAY TO SECOND") {
            e.type =
                typeOfKind(OraType::IntervalDs, 11, static_cast<int>(*e.args[1]->literal.number.toLong()),
                           static_cast<int>(*e.args[2]->literal.number.toLong()));
        } else if (n == "NVL") {
            requireArgs(2, 2);
            e.type = arg(0);
            e.type.nullable = true;
        } else if (n == "DECODE") {
            if (e.args.size() < 3)
                errors::raise(938, "not enough arguments for function", e.offset);
            e.type = arg(2);
        } else {
            invalidIdentifier(n, e.offset, settings);
        }
        e.type.name.clear();
        break;
    }
    default: // conditions: LONG values can only be tested for NULL, LOBs and objects not compared
        for (const auto &a : e.args) {
            if (e.kind == Expr::Kind::IsNull)
                break;
            if (a->type.type == OraType::Long || a->type.type == OraType::LongRaw)
                errors::raise(997, errors::kInvalidLongUse, a->offset);
            if (e.kind != Expr::Kind::Like) // LIKE reads a CLOB as text
                requireComparable(a->type, a->offset);
        }
        break;
    }
    if (e.kind != Expr::Kind::Column)
        e.type.name = e.source.empty() ? std::string() : expressionName(e.source);
    if (e.kind == Expr::Kind::Function && e.type.type == OraType::Number)
        e.type.nullable = true;
}

namespace
{

// A computed value within NUMBER's range (about 1E126), else ORA-01426.
Decimal checkedNumber(long double value)
{
    if (!std::isfinite(value))
        errors::raise(1426, errors::kNumericOverflow);
    Decimal d = Decimal::fromDouble(value);
    if (!d.isZero() && d.integerDigits() > 126)
        errors::raise(1426, errors::kNumericOverflow);
    return d;
}

Datum arithmetic(const Expr &e, const Datum &a, const Datum &b, char decimal)
{
    if (a.isNull() || b.isNull())
        return nullDatum();
    // DATE + n, DATE - n, DATE - DATE
    if (a.kind == Value::Kind::Date || b.kind == Value::Kind::Date) {
        if (e.op == "-" && a.kind == Value::Kind::Date && b.kind == Value::Kind::Date)
            return numberDatum(Decimal::fromDouble(dateToDays(a.date) - dateToDays(b.date)));
        if (e.op == "+" || e.op == "-") {
            const Datum &d = a.kind == Value::Kind::Date ? a : b;
            const Datum &n = a.kind == Value::Kind::Date ? b : a;
            long double delta = toNumber(n, decimal).toDouble();
            if (e.op == "-")
                delta = -delta;
            DateTime result = daysToDate(dateToDays(d.date) + delta);
            if (result.year < -4712 || result.year > 9999 || result.year == 0)
                errors::raise(1841, errors::kYearRange);
            return dateDatum(result);
        }
        inconsistent(OraType::Number, OraType::Date);
    }
    Decimal x = toNumber(a, decimal), y = toNumber(b, decimal);
    auto lx = x.toLong(), ly = y.toLong();
    if (lx && ly && e.op != "/") {
        long long r;
        bool overflow = e.op == "+"   ? __builtin_add_overflow(*lx, *ly, &r)
                        : e.op == "-" ? __builtin_sub_overflow(*lx, *ly, &r)
                                      : __builtin_mul_overflow(*lx, *ly, &r);
        if (!overflow)
            return numberDatum(Decimal::fromLong(r));
    }
    long double dx = x.toDouble(), dy = y.toDouble();
    if (e.op == "/") {
        if (y.isZero())
            errors::raise(1476, errors::kDivisorZero);
        return numberDatum(checkedNumber(dx / dy));
    }
    long double r = e.op == "+" ? dx + dy : e.op == "-" ? dx - dy : dx * dy;
    return numberDatum(checkedNumber(r));
}

// TIMESTAMP 'YYYY-MM-DD HH24:MI:SS[.fraction] [zone]', the zone an offset or UTC.
DateTime timestampLiteral(const std::string &text)
{
    std::string body = text, zone;
    auto last = text.find_last_of(' ');
    if (last != std::string::npos && last + 1 < text.size() &&
        (text[last + 1] == '+' || text[last + 1] == '-' ||
         std::isalpha(static_cast<unsigned char>(text[last + 1])))) {
        body = text.substr(0, last);
        zone = text.substr(last + 1);
    }
    DateTime d = parseDate(body, "YYYY-MM-DD HH24:MI:SS.FF");
    if (!zone.empty()) {
        DateTime z = parseDate(zone, "TZR");
        d.zoned = true;
        d.zoneMinutes = z.zoneMinutes;
    }
    return d;
}

// The text of an object constructor: NAME(argument, ...) with NULL for NULL arguments.
std::string constructorText(const Expr &e, const std::vector<Datum> &a, const SessionSettings &s)
{
    std::string out = e.name.name + "(";
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i)
            out += ", ";
        out += a[i].isNull() ? std::string("NULL") : toText(a[i], e.args[i]->type.type, s);
    }
    return out + ")";
}

// The language of an NLS parameter text "NLS_DATE_LANGUAGE = name" of TO_CHAR and TO_DATE.
const Language &nlsDateLanguage(const std::string &parameter)
{
    std::string text = upperText(parameter);
    auto equals = text.find('=');
    auto trimmed = [](std::string t) {
        auto first = t.find_first_not_of(" '\"");
        auto last = t.find_last_not_of(" '\"");
        return first == std::string::npos ? std::string() : t.substr(first, last - first + 1);
    };
    if (equals == std::string::npos || trimmed(text.substr(0, equals)) != "NLS_DATE_LANGUAGE")
        errors::raise(12702, "invalid NLS parameter string used in SQL function");
    const Language *language = findLanguage(trimmed(text.substr(equals + 1)));
    if (!language)
        errors::raise(12702, "invalid NLS parameter string used in SQL function");
    return *language;
}

Datum callFunction(const Expr &e, const EvalContext &ctx)
{
    const std::string &n = e.name.name;
    if (isAggregate(e)) {
        if (!ctx.aggregates)
            errors::raise(934, "group function is not allowed here", e.offset);
        auto it = ctx.aggregates->find(&e);
        return it == ctx.aggregates->end() ? nullDatum() : it->second;
    }
    std::vector<Datum> a;
    a.reserve(e.args.size());
    for (const auto &x : e.args)
        a.push_back(evaluate(*x, ctx));
    const SessionSettings &s = *ctx.settings;
    if (n == "DEVDB_REPEAT") {
        if (a[0].isNull() || a[1].isNull())
            return nullDatum();
        std::string unit = toText(a[0], e.args[0]->type.type, s);
        long long count = toNumber(a[1]).toLong().value_or(0);
        if (count < 0 || static_cast<long double>(count) * unit.size() > 64.0L * 1024 * 1024)
            errors::raise(1428, "argument '" + std::to_string(count) + "' is out of range");
        std::string out;
        out.reserve(unit.size() * static_cast<std::size_t>(count));
        for (long long k = 0; k < count; ++k)
            out += unit;
        return textDatum(std::move(out));
    }
    if (n == "NVL")
        return a[0].isNull() ? a[1] : a[0];
    if (n == "SDO_GEOMETRY" || n == "SDO_POINT_TYPE" || n == "SDO_ELEM_INFO_ARRAY" ||
        n == "SDO_ORDINATE_ARRAY")
        return textDatum(constructorText(e, a, s));
    if (n == "EMPTY_CLOB" || n == "EMPTY_BLOB") {
        Datum empty; // an empty LOB, not NULL
        empty.kind = n == "EMPTY_CLOB" ? Value::Kind::Text : Value::Kind::Binary;
        return empty;
    }
    if (n == "DECODE") {
        for (std::size_t i = 1; i + 1 < a.size(); i += 2) {
            bool match = (a[0].isNull() && a[i].isNull()) ||
                         (!a[0].isNull() && !a[i].isNull() &&
                          compareValues(a[0], e.args[0]->type, a[i], e.args[i]->type, s) == 0);
            if (match)
                return a[i + 1];
        }
        return a.size() % 2 == 0 ? a.back() : nullDatum();
    }
    for (const Datum &d : a) {
        if (d.isNull())
            return nullDatum();
    }
    OraType t0 = e.args[0]->type.type;
    if (n == "UPPER")
        return textDatum(upperText(toText(a[0], t0, s)));
    if (n == "LOWER")
        return textDatum(lowerText(toText(a[0], t0, s)));
    if (n == "TRIM" || n == "LTRIM" || n == "RTRIM") {
        std::string t = toText(a[0], t0, s);
        std::size_t b = 0, end = t.size();
        if (n != "RTRIM")
            while (b < end && t[b] == ' ')
                ++b;
        if (n != "LTRIM")
            while (end > b && t[end - 1] == ' ')
                --end;
        return textDatum(t.substr(b, end - b));
    }
    // LENGTH and SUBSTR count characters, not bytes.
    if (n == "LENGTH")
        return numberDatum(Decimal::fromLong(static_cast<long long>(characterCount(toText(a[0], t0, s)))));
    if (n == "LENGTHB")
        return numberDatum(
            Decimal::fromLong(static_cast<long long>(encodedLength(toText(a[0], t0, s), s.databaseCharset))));
    if (n == "SUBSTR") {
        std::string t = toText(a[0], t0, s);
        long long size = static_cast<long long>(characterCount(t));
        long long start = toNumber(a[1]).roundedToScale(0).toLong().value_or(0);
        long long len = a.size() > 2 ? toNumber(a[2]).roundedToScale(0).toLong().value_or(0) : size;
        if (start < 0)
            start = size + start + 1; // counted from the end; before the start gives NULL
        else if (start == 0)
            start = 1;
        if (start < 1 || start > size || len < 1)
            return nullDatum();
        std::size_t from = characterOffset(t, static_cast<std::size_t>(start - 1));
        std::size_t to =
            from + characterOffset(std::string_view(t).substr(from), static_cast<std::size_t>(len));
        return textDatum(t.substr(from, to - from));
    }
    if (n == "TO_NUMBER")
        return numberDatum(toNumber(a[0], s.decimal));
    if (n == "TO_CLOB")
        return textDatum(toText(a[0], t0, s));
    if (n == "HEXTORAW") {
        Datum raw;
        raw.kind = Value::Kind::Binary;
        raw.text = toRaw(a[0]);
        return raw.text.empty() ? nullDatum() : raw;
    }
    if (n == "RAWTOHEX")
        return textDatum(hexText(toRaw(a[0])));
    if (n == "BFILENAME")
        return textDatum(toText(a[0], t0, s) + '\0' + toText(a[1], e.args[1]->type.type, s));
    if (n == "XMLTYPE") {
        std::string xml = toText(a[0], t0, s);
        auto first = xml.find_first_not_of(" \t\r\n");
        if (first == std::string::npos || xml[first] != '<')
            errors::raise(31011, "XML parsing failed");
        return textDatum(xml);
    }
    if (n == "TO_TIMESTAMP" || n == "TO_TIMESTAMP_TZ") {
        if (a[0].kind == Value::Kind::Date)
            return a[0];
        bool zoned = n == "TO_TIMESTAMP_TZ";
        std::string format = a.size() > 1 ? toText(a[1], e.args[1]->type.type, s)
                                          : (zoned ? s.timestampTzFormat : s.timestampFormat);
        DateTime d = parseDate(toText(a[0], t0, s), format, *s.dateLanguage);
        if (zoned && !d.zoned) {
            d.zoned = true;
            d.zoneMinutes = s.zoneMinutes;
        }
        if (!zoned)
            d.zoned = false;
        d.fractionDigits = 9;
        return dateDatum(d);
    }
    if (n == "TO_BINARY_DOUBLE" || n == "TO_BINARY_FLOAT") {
        long double v = toNumber(a[0], s.decimal).toDouble();
        v = n == "TO_BINARY_FLOAT" ? static_cast<float>(v) : static_cast<double>(v);
        return numberDatum(Decimal::fromDouble(v));
    }
    if (n == "DATE LITERAL")
        return dateDatum(parseDate(toText(a[0], t0, s), "FXYYYY-MM-DD"));
    if (n == "TIMESTAMP LITERAL") {
        DateTime d = timestampLiteral(toText(a[0], t0, s));
        d.fractionDigits = 9;
        return dateDatum(d);
    }
    if (n == "INTERVAL YEAR TO MONTH")
        return textDatum(intervalYearToMonth(toText(a[0], t0, s), static_cast<int>(*a[1].number.toLong())));
    if (n == "INTERVAL DAY TO SECOND")
        return textDatum(intervalDayToSecond(toText(a[0], t0, s), static_cast<int>(*a[1].number.toLong()),
                                             static_cast<int>(*a[2].number.toLong())));
    if (n == "ABS") {
        Decimal d = toNumber(a[0]);
        return numberDatum(d.negative() ? d.negated() : d);
    }
    if (n == "MOD") {
        Decimal x = toNumber(a[0]), y = toNumber(a[1]);
        if (y.isZero())
            return numberDatum(x);
        return numberDatum(Decimal::fromDouble(std::fmod(x.toDouble(), y.toDouble())));
    }
    if (n == "ROUND" || n == "TRUNC") {
        if (a[0].kind == Value::Kind::Date) {
            DateTime d = a[0].date;
            d.hour = d.minute = d.second = d.nanosecond = 0;
            return dateDatum(d);
        }
        Decimal d = toNumber(a[0]);
        int places = a.size() > 1 ? static_cast<int>(toNumber(a[1]).toLong().value_or(0)) : 0;
        if (n == "ROUND")
            return numberDatum(d.roundedToScale(places));
        // Truncation: round the magnitude down.
        Decimal r = d.roundedToScale(places);
        if (r.compare(d) != 0 && (d.negative() ? r.compare(d) < 0 : r.compare(d) > 0)) {
            long double step = std::pow(10.0L, -places);
            r = Decimal::fromDouble(r.toDouble() + (d.negative() ? step : -step)).roundedToScale(places);
        }
        return numberDatum(r);
    }
    if (n == "TO_CHAR") {
        const Language &language =
            a.size() > 2 ? nlsDateLanguage(toText(a[2], OraType::Varchar2, s)) : *s.dateLanguage;
        if (a.size() > 1 && a[0].kind == Value::Kind::Date)
            return textDatum(
                formatDate(a[0].date, toText(a[1], e.args[1]->type.type, s), language, s.decimal));
        return textDatum(toText(a[0], t0, s));
    }
    if (n == "TO_DATE") {
        if (a[0].kind == Value::Kind::Date)
            return a[0];
        std::string format = a.size() > 1 ? toText(a[1], e.args[1]->type.type, s) : s.dateFormat;
        const Language &language =
            a.size() > 2 ? nlsDateLanguage(toText(a[2], OraType::Varchar2, s)) : *s.dateLanguage;
        if (a[0].kind != Value::Kind::Text)
            inconsistent(OraType::Date, OraType::Number);
        return dateDatum(parseDate(a[0].text, format, language));
    }
    errors::raise(904, errors::format(errors::kInvalidIdentifier, n), e.offset);
}

} // namespace

Datum evaluate(const Expr &e, const EvalContext &ctx)
{
    switch (e.kind) {
    case Expr::Kind::Literal:
    case Expr::Kind::Bind:
        return e.literal;
    case Expr::Kind::Column:
        return ctx.row->values[static_cast<std::size_t>(e.columnIndex)];
    case Expr::Kind::Rowid:
        return textDatum(encodeRowid(ctx.relation->tableId, ctx.row->rowid));
    case Expr::Kind::Rownum:
        return numberDatum(Decimal::fromLong(ctx.rownum));
    case Expr::Kind::Sysdate:
        return dateDatum(currentDateTime(false));
    case Expr::Kind::Systimestamp: {
        DateTime now = currentDateTime(true);
        now.zoned = true;
        now.zoneMinutes = ctx.settings->zoneMinutes;
        return dateDatum(now);
    }
    case Expr::Kind::User:
        return textDatum(ctx.settings->user);
    case Expr::Kind::Unary: {
        Datum v = evaluate(*e.args[0], ctx);
        if (v.isNull() || e.op == "+")
            return v;
        return numberDatum(toNumber(v, ctx.settings->decimal).negated());
    }
    case Expr::Kind::Binary: {
        Datum a = evaluate(*e.args[0], ctx);
        Datum b = evaluate(*e.args[1], ctx);
        if (e.op == "||") {
            std::string joined = toText(a, e.args[0]->type.type, *ctx.settings) +
                                 toText(b, e.args[1]->type.type, *ctx.settings);
            if (encodedLength(joined, ctx.settings->databaseCharset) > 4000)
                errors::raise(1489, "result of string concatenation is too large");
            return textDatum(std::move(joined));
        }
        return arithmetic(e, a, b, ctx.settings->decimal);
    }
    case Expr::Kind::Function:
        return callFunction(e, ctx);
    default: {
        errors::raise(920, "invalid relational operator", e.offset);
    }
    }
}

int compareValues(const Datum &a, const ColumnDesc &at, const Datum &b, const ColumnDesc &bt,
                  const SessionSettings &s)
{
    for (const ColumnDesc *t : {&at, &bt}) {
        if (isUncomparable(t->type))
            errors::raise(932, errors::format(errors::kInconsistentTypes, "-", typeWord(t->type)));
    }
    if (at.type == OraType::Long || bt.type == OraType::Long || at.type == OraType::LongRaw ||
        bt.type == OraType::LongRaw)
        errors::raise(997, errors::kInvalidLongUse);
    auto sign = [](int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); };
    if (at.type == OraType::Number || bt.type == OraType::Number || a.kind == Value::Kind::Number ||
        b.kind == Value::Kind::Number)
        return toNumber(a, s.decimal).compare(toNumber(b, s.decimal));
    if (isDateType(at.type) || isDateType(bt.type) || a.kind == Value::Kind::Date ||
        b.kind == Value::Kind::Date) {
        bool ts = at.type == OraType::Timestamp || bt.type == OraType::Timestamp;
        DateTime x = toDate(a, s, ts);
        DateTime y = toDate(b, s, ts);
        // Values with a time zone compare as the instants they are.
        auto key = [](const DateTime &d) {
            long long minutes = (dayNumber(d.year, d.month, d.day) * 24 + d.hour) * 60 + d.minute -
                                (d.zoned ? d.zoneMinutes : 0);
            return std::make_tuple(minutes, d.second, d.nanosecond);
        };
        return key(x) < key(y) ? -1 : (key(x) > key(y) ? 1 : 0);
    }
    if (at.type == OraType::Rowid || bt.type == OraType::Rowid) {
        long long table = 0, row = 0;
        for (const Datum *d : {&a, &b}) {
            if (d->kind != Value::Kind::Text || !decodeRowid(d->text, &table, &row))
                errors::raise(1410, errors::kInvalidRowid);
        }
    }
    if (isRawType(at.type) || isRawType(bt.type))
        return sign(toRaw(a).compare(toRaw(b)));
    if (at.type == OraType::Char && bt.type == OraType::Char)
        return sign(rtrimBlanks(a.text).compare(rtrimBlanks(b.text))); // blank-padded comparison
    return sign(toText(a, at.type, s).compare(toText(b, bt.type, s)));
}

int truth(const Expr &e, const EvalContext &ctx)
{
    switch (e.kind) {
    case Expr::Kind::And: {
        int a = truth(*e.args[0], ctx);
        if (a == 0)
            return 0;
        int b = truth(*e.args[1], ctx);
        if (b == 0)
            return 0;
        return a == 1 && b == 1 ? 1 : -1;
    }
    case Expr::Kind::Or: {
        int a = truth(*e.args[0], ctx);
        if (a == 1)
            return 1;
        int b = truth(*e.args[1], ctx);
        if (b == 1)
            return 1;
        return a == 0 && b == 0 ? 0 : -1;
    }
    case Expr::Kind::Not: {
        int a = truth(*e.args[0], ctx);
        return a < 0 ? -1 : 1 - a;
    }
    case Expr::Kind::IsNull: {
        bool isNull = evaluate(*e.args[0], ctx).isNull();
        return isNull != e.negated ? 1 : 0;
    }
    case Expr::Kind::Compare: {
        Datum a = evaluate(*e.args[0], ctx);
        Datum b = evaluate(*e.args[1], ctx);
        if (a.isNull() || b.isNull())
            return -1;
        int c = compareValues(a, e.args[0]->type, b, e.args[1]->type, *ctx.settings);
        const std::string &op = e.op;
        bool r = op == "="    ? c == 0
                 : op == "<>" ? c != 0
                 : op == "<"  ? c < 0
                 : op == ">"  ? c > 0
                 : op == "<=" ? c <= 0
                              : c >= 0;
        return r ? 1 : 0;
    }
    case Expr::Kind::Like: {
        Datum a = evaluate(*e.args[0], ctx);
        Datum b = evaluate(*e.args[1], ctx);
        if (a.isNull() || b.isNull())
            return -1;
        bool m = likeMatch(toText(a, e.args[0]->type.type, *ctx.settings), 0,
                           toText(b, e.args[1]->type.type, *ctx.settings), 0);
        return m != e.negated ? 1 : 0;
    }
    case Expr::Kind::In: {
        Datum a = evaluate(*e.args[0], ctx);
        if (a.isNull())
            return -1;
        bool unknown = false;
        for (std::size_t i = 1; i < e.args.size(); ++i) {
            Datum b = evaluate(*e.args[i], ctx);
            if (b.isNull()) {
                unknown = true;
                continue;
            }
            if (compareValues(a, e.args[0]->type, b, e.args[i]->type, *ctx.settings) == 0)
                return e.negated ? 0 : 1;
        }
        if (unknown)
            return -1;
        return e.negated ? 1 : 0;
    }
    case Expr::Kind::Between: {
        Datum a = evaluate(*e.args[0], ctx);
        Datum lo = evaluate(*e.args[1], ctx);
        Datum hi = evaluate(*e.args[2], ctx);
        if (a.isNull() || lo.isNull() || hi.isNull())
            return -1;
        bool in = compareValues(a, e.args[0]->type, lo, e.args[1]->type, *ctx.settings) >= 0 &&
                  compareValues(a, e.args[0]->type, hi, e.args[2]->type, *ctx.settings) <= 0;
        return in != e.negated ? 1 : 0;
    }
    default:
        errors::raise(920, "invalid relational operator", e.offset);
    }
}

Datum aggregate(const Expr &f, const std::vector<const Row *> &rows, const EvalContext &base)
{
    const std::string &n = f.name.name;
    EvalContext ctx = base;
    ctx.aggregates = nullptr;
    if (n == "COUNT") {
        long long count = 0;
        for (const Row *r : rows) {
            ctx.row = r;
            if (f.star || !evaluate(*f.args[0], ctx).isNull())
                ++count;
        }
        return numberDatum(Decimal::fromLong(count));
    }
    Datum best;
    long double sum = 0;
    long long count = 0;
    long long exactSum = 0;
    bool exact = true;
    for (const Row *r : rows) {
        ctx.row = r;
        Datum v = evaluate(*f.args[0], ctx);
        if (v.isNull())
            continue;
        if (n == "MAX" || n == "MIN") {
            if (best.isNull()) {
                best = v;
            } else {
                int c = compareValues(v, f.args[0]->type, best, f.args[0]->type, *base.settings);
                if ((n == "MAX" && c > 0) || (n == "MIN" && c < 0))
                    best = v;
            }
        } else {
            Decimal d = toNumber(v, base.settings->decimal);
            auto l = d.toLong();
            if (exact && l && !__builtin_add_overflow(exactSum, *l, &exactSum)) {
            } else {
                exact = false;
            }
            sum += d.toDouble();
            ++count;
        }
    }
    if (n == "MAX" || n == "MIN")
        return best;
    if (count == 0)
        return nullDatum();
    if (n == "SUM")
        return numberDatum(exact ? Decimal::fromLong(exactSum) : Decimal::fromDouble(sum));
    return numberDatum(Decimal::fromDouble(sum / count));
}

} // namespace devdb
