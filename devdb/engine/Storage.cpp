#include "Storage.h"

#include "Charset.h"
#include "DateFormat.h"
#include "Errors.h"
#include "Interval.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace devdb
{
namespace
{

std::string qualifiedColumn(const TableInfo &t, const ColumnInfo &c)
{
    return "\"" + t.owner + "\".\"" + t.name + "\".\"" + c.desc.name + "\"";
}

// Fractional seconds rounded to the column's precision, carrying into the seconds.
DateTime roundFraction(DateTime d, int digits)
{
    long long unit = 1;
    for (int k = digits; k < 9; ++k)
        unit *= 10;
    long long rounded = (d.nanosecond + unit / 2) / unit * unit;
    if (rounded < 1000000000) {
        d.nanosecond = static_cast<int>(rounded);
        return d;
    }
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = d.hour;
    tm.tm_min = d.minute;
    tm.tm_sec = d.second + 1;
    std::time_t t = timegm(&tm);
    gmtime_r(&t, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
}

[[noreturn]] void inconsistent(OraType expected, OraType got)
{
    errors::raise(932, errors::format(errors::kInconsistentTypes, typeName(expected), typeName(got)));
}

bool isCharacter(OraType t)
{
    return t == OraType::Varchar2 || t == OraType::Char || t == OraType::Long || t == OraType::Clob;
}

// Bytes of a character column's value: the national set is AL16UTF16.
std::size_t storedBytes(const std::string &text, const ColumnDesc &c, const SessionSettings &settings)
{
    return c.charsetForm == 2 ? 2 * utf16Length(text) : encodedLength(text, settings.databaseCharset);
}

// Checks a text against a VARCHAR2 or CHAR column and blank-pads CHAR values.
// Byte semantics count bytes of the database character set; CHAR semantics
// count characters (and still allow no more bytes than the column holds), and
// the error then reports characters. CHAR values lose trailing blanks beyond
// the length, as they compare blank-padded.
template <class TooLarge>
void fitText(std::string &text, const ColumnDesc &c, const SessionSettings &settings, TooLarge &&tooLarge)
{
    const std::size_t maxBytes = static_cast<std::size_t>(c.dataSize);
    const std::size_t maxChars = static_cast<std::size_t>(c.charLength);
    auto over = [&](const std::string &t) {
        return storedBytes(t, c, settings) > maxBytes || (c.charUsed && characterCount(t) > maxChars);
    };
    if (over(text)) {
        std::string trimmed = text;
        if (c.type == OraType::Char) {
            while (!trimmed.empty() && trimmed.back() == ' ' && over(trimmed))
                trimmed.pop_back();
        }
        if (over(trimmed)) {
            if (c.charUsed)
                tooLarge(characterCount(text), maxChars);
            tooLarge(storedBytes(text, c, settings), maxBytes);
        }
        text = std::move(trimmed);
    }
    if (c.type == OraType::Char) {
        std::size_t blankBytes = c.charsetForm == 2 ? 2 : 1;
        std::size_t room = (maxBytes - storedBytes(text, c, settings)) / blankBytes;
        if (c.charUsed)
            room = std::min(room, maxChars - characterCount(text));
        text.append(room, ' ');
    }
}

} // namespace

Datum readStored(sqlite3_stmt *st, int i, const ColumnDesc &column)
{
    Datum d;
    if (sqlite3_column_type(st, i) == SQLITE_NULL)
        return d;
    switch (column.type) {
    case OraType::Number: {
        auto n = Decimal::parse(columnText(st, i));
        d.kind = Value::Kind::Number;
        d.number = n ? *n : Decimal();
        break;
    }
    case OraType::BinaryFloat:
    case OraType::BinaryDouble:
        d.kind = Value::Kind::Number;
        d.number = Decimal::fromDouble(sqlite3_column_double(st, i));
        break;
    case OraType::Date:
    case OraType::Timestamp:
    case OraType::TimestampTz:
    case OraType::TimestampLtz:
        d.kind = Value::Kind::Date;
        d.date = dateFromStorage(columnText(st, i));
        d.date.fractionDigits = column.scale;
        break;
    case OraType::Raw:
    case OraType::LongRaw:
    case OraType::Blob: {
        d.kind = Value::Kind::Binary;
        const void *p = sqlite3_column_blob(st, i);
        if (p)
            d.text.assign(static_cast<const char *>(p),
                          static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
        break;
    }
    default:
        d.kind = Value::Kind::Text;
        d.text = columnText(st, i);
    }
    return d;
}

void bindStored(sqlite3_stmt *st, int i, const Datum &d, OraType type)
{
    switch (d.kind) {
    case Value::Kind::Null:
        sqlite3_bind_null(st, i);
        break;
    case Value::Kind::Number:
        if (type == OraType::BinaryFloat || type == OraType::BinaryDouble)
            sqlite3_bind_double(st, i, static_cast<double>(d.number.toDouble()));
        else
            bindText(st, i, d.number.toStorageText());
        break;
    case Value::Kind::Date:
        bindText(st, i, dateToStorage(d.date, type != OraType::Date));
        break;
    case Value::Kind::Binary:
        // An empty BLOB is stored as a blob of no bytes, not as NULL.
        sqlite3_bind_blob(st, i, d.text.empty() ? "" : d.text.data(), static_cast<int>(d.text.size()),
                          SQLITE_TRANSIENT);
        break;
    case Value::Kind::Text:
        bindText(st, i, d.text);
        break;
    }
}

// A value made fit for a column, with Oracle's checks.
Datum coerce(const Datum &v, const ColumnDesc &from, const TableInfo &table, const ColumnInfo &column,
             const SessionSettings &settings, bool updating)
{
    const ColumnDesc &c = column.desc;
    if (v.isNull()) {
        if (!c.nullable) {
            const char *pattern = updating ? errors::kCannotUpdateNull : errors::kCannotInsertNull;
            int code = updating ? 1407 : 1400;
            errors::raise(code, errors::format(pattern, qualifiedColumn(table, column)));
        }
        return v;
    }
    Datum out;
    auto tooLarge = [&](std::size_t actual, std::size_t maximum) {
        if (settings.majorVersion < 10)
            errors::raise(1401, "inserted value too large for column");
        errors::raise(12899, errors::format(errors::kValueTooLarge, qualifiedColumn(table, column),
                                            std::to_string(actual), std::to_string(maximum)));
    };
    switch (c.type) {
    case OraType::Varchar2:
    case OraType::Char:
    case OraType::Long:
        if (from.type == OraType::Bfile || from.type == OraType::Object || from.type == OraType::Ref)
            inconsistent(c.type == OraType::Long ? OraType::Long : OraType::Char, from.type);
        out.kind = Value::Kind::Text;
        out.text = toText(v, from.type, settings);
        if (c.type != OraType::Long)
            fitText(out.text, c, settings, tooLarge);
        if (out.text.empty())
            out.kind = Value::Kind::Null;
        break;
    case OraType::Number: {
        Decimal d = toNumber(v, settings.decimal);
        if (column.dataType == "FLOAT") {
            int digits = static_cast<int>(std::ceil(column.dictPrecision * 0.30103));
            d = d.roundedToSignificant(digits);
        } else if (column.hasPrecision) {
            int scale = column.hasScale ? column.dictScale : 0;
            d = d.roundedToScale(scale);
            if (!d.isZero() && d.integerDigits() > column.dictPrecision - scale)
                errors::raise(1438, errors::kPrecisionTooLarge);
        } else if (column.hasScale) {
            d = d.roundedToScale(column.dictScale);
            if (!d.isZero() && d.integerDigits() > 38)
                errors::raise(1438, errors::kPrecisionTooLarge);
        } else {
            d = d.roundedToSignificant(38);
        }
        if (!d.isZero() && d.integerDigits() > 126)
            errors::raise(1426, errors::kNumericOverflow);
        out.kind = Value::Kind::Number;
        out.number = d;
        break;
    }
    case OraType::Date:
    case OraType::Timestamp: {
        bool ts = c.type == OraType::Timestamp;
        out.kind = Value::Kind::Date;
        out.date = toDate(v, settings, ts && v.kind == Value::Kind::Text);
        if (!ts) {
            out.date.nanosecond = 0;
        } else {
            out.date = roundFraction(out.date, c.scale);
            out.date.fractionDigits = c.scale;
        }
        break;
    }
    case OraType::Raw:
    case OraType::LongRaw:
        out.kind = Value::Kind::Binary;
        out.text = toRaw(v);
        if (c.type == OraType::Raw && out.text.size() > static_cast<std::size_t>(c.dataSize))
            tooLarge(out.text.size(), static_cast<std::size_t>(c.dataSize));
        if (out.text.empty())
            out.kind = Value::Kind::Null;
        break;
    case OraType::Rowid:
    case OraType::Urowid: {
        out.kind = Value::Kind::Text;
        out.text = toText(v, from.type, settings);
        long long tableId = 0, rowid = 0;
        if (c.type == OraType::Rowid && !decodeRowid(out.text, &tableId, &rowid))
            errors::raise(1410, errors::kInvalidRowid);
        if (out.text.size() > static_cast<std::size_t>(c.dataSize))
            tooLarge(out.text.size(), static_cast<std::size_t>(c.dataSize));
        break;
    }
    case OraType::Clob:
        // Text of any length; an empty LOB stays a LOB (only '' is NULL).
        if (from.type == OraType::Bfile || from.type == OraType::Blob || from.type == OraType::Object ||
            from.type == OraType::Ref)
            inconsistent(c.type, from.type);
        out.kind = Value::Kind::Text;
        out.text = toText(v, from.type, settings);
        break;
    case OraType::Blob:
        if (from.type == OraType::Clob || from.type == OraType::Bfile || from.type == OraType::Object)
            inconsistent(c.type, from.type);
        out.kind = Value::Kind::Binary;
        out.text = toRaw(v);
        break;
    case OraType::Bfile:
        if (from.type != OraType::Bfile)
            inconsistent(c.type, from.type);
        out = v;
        break;
    case OraType::BinaryFloat:
    case OraType::BinaryDouble: {
        long double d = toNumber(v, settings.decimal).toDouble();
        d = c.type == OraType::BinaryFloat ? static_cast<float>(d) : static_cast<double>(d);
        out.kind = Value::Kind::Number;
        out.number = Decimal::fromDouble(d);
        break;
    }
    case OraType::TimestampTz:
    case OraType::TimestampLtz: {
        out.kind = Value::Kind::Date;
        bool zoned = c.type == OraType::TimestampTz;
        if (v.kind == Value::Kind::Text)
            out.date = parseDate(v.text, zoned ? settings.timestampTzFormat : settings.timestampFormat,
                                 *settings.dateLanguage);
        else
            out.date = toDate(v, settings, true);
        // Without a zone of its own a value is in the session's time zone.
        if (zoned && !out.date.zoned) {
            out.date.zoned = true;
            out.date.zoneMinutes = settings.zoneMinutes;
        }
        if (!zoned)
            out.date.zoned = false;
        bool keepZone = out.date.zoned;
        int zone = out.date.zoneMinutes;
        out.date = roundFraction(out.date, c.scale);
        out.date.zoned = keepZone;
        out.date.zoneMinutes = zone;
        out.date.fractionDigits = c.scale;
        break;
    }
    case OraType::IntervalYm:
    case OraType::IntervalDs: {
        if (v.kind != Value::Kind::Text)
            inconsistent(c.type, from.type == OraType::Varchar2 ? OraType::Number : from.type);
        out.kind = Value::Kind::Text;
        // A value of the other interval kind does not convert.
        bool yearToMonth = c.type == OraType::IntervalYm;
        if ((from.type == OraType::IntervalYm && !yearToMonth) ||
            (from.type == OraType::IntervalDs && yearToMonth))
            inconsistent(c.type, from.type);
        out.text = yearToMonth ? intervalYearToMonth(v.text, c.precision)
                               : intervalDayToSecond(v.text, c.precision, c.scale);
        break;
    }
    case OraType::Object:
        // XMLTYPE also takes text; other object types only values of their own type.
        if (from.type == OraType::Object ? from.typeName != c.typeName
                                         : !(c.typeName == "XMLTYPE" && isCharacter(from.type)))
            errors::raise(932,
                          errors::format(errors::kInconsistentTypes, c.typeOwner + "." + c.typeName,
                                         from.type == OraType::Object ? from.typeOwner + "." + from.typeName
                                                                      : typeName(from.type)));
        out.kind = Value::Kind::Text;
        out.text = toText(v, from.type, settings);
        break;
    case OraType::Ref:
        errors::raise(932, errors::format(errors::kInconsistentTypes, "REF " + c.typeOwner + "." + c.typeName,
                                          typeName(from.type)));
    }
    if (out.isNull() && !c.nullable)
        return coerce(out, from, table, column, settings, updating);
    return out;
}

} // namespace devdb
