#include "devdb/oci/Values.h"

#include "devdb/engine/Charset.h"
#include "devdb/engine/Evaluator.h"
#include "devdb/oci/Errors.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace devdb::oci
{
namespace
{

using Kind = devdb::Value::Kind;

// Oracle writes numbers between -1 and 1 without the leading zero (".5").
std::string oracleNumberText(const std::string &canonical)
{
    if (canonical.rfind("0.", 0) == 0)
        return canonical.substr(1);
    if (canonical.rfind("-0.", 0) == 0)
        return "-" + canonical.substr(2);
    return canonical;
}

std::string hexText(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string twoDigits(int v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", ((v % 100) + 100) % 100);
    return buf;
}

// The session's default date form, DD.MM.RR (time of day and fractions only for timestamps).
std::string dateText(const devdb::DateTime &d, bool withTime)
{
    std::string out = twoDigits(d.day) + "." + twoDigits(d.month) + "." + twoDigits(d.year);
    if (withTime) {
        char buf[40];
        std::snprintf(buf, sizeof buf, " %02d:%02d:%02d,%06d", d.hour, d.minute, d.second,
                      d.nanosecond / 1000);
        out += buf;
    }
    return out;
}

long double parseNumber(const std::string &text)
{
    const char *begin = text.c_str();
    while (*begin == ' ')
        ++begin;
    if (*begin == '\0')
        throw clientError(kInvalidNumber);
    char *end = nullptr;
    errno = 0;
    long double v = std::strtold(begin, &end);
    while (end && *end == ' ')
        ++end;
    if (end == begin || *end != '\0' || std::isnan(v) || std::isinf(v))
        throw clientError(kInvalidNumber);
    return v;
}

// A character value converts as the server converts it (the session's decimal character).
long double numericValue(const devdb::Value &value, const devdb::Session *session)
{
    if (value.kind == Kind::Text && session)
        return parseNumber(session->textToNumber(value.text).text);
    if (value.kind == Kind::Number || value.kind == Kind::Text)
        return parseNumber(value.text);
    throw clientError(kInconsistentTypes);
}

template <class T> void storeInteger(long double v, void *buffer)
{
    long double t = std::trunc(v);
    if (t < static_cast<long double>(std::numeric_limits<T>::min()) ||
        t > static_cast<long double>(std::numeric_limits<T>::max()))
        throw clientError(kIntegerOverflow);
    T x = static_cast<T>(t);
    std::memcpy(buffer, &x, sizeof x);
}

void setFullLength(const ValueSlot &slot, std::size_t full)
{
    if (slot.indicator)
        *slot.indicator = full > 32767 ? -2 : static_cast<sb2>(full);
    if (slot.returnCode)
        *slot.returnCode = kTruncated;
}

// Text-like and byte-like buffers: copy what fits, report truncation.
bool storeBytes(const std::string &bytes, const ValueSlot &slot, bool nulTerminated)
{
    std::size_t room = slot.size > 0 ? static_cast<std::size_t>(slot.size) : 0;
    if (nulTerminated && room > 0)
        --room;
    std::size_t n = std::min(room, bytes.size());
    if (n > 0)
        std::memcpy(slot.buffer, bytes.data(), n);
    if (nulTerminated && slot.size > 0)
        static_cast<char *>(slot.buffer)[n] = '\0';
    if (slot.length)
        *slot.length = static_cast<ub2>(n);
    if (n < bytes.size()) {
        setFullLength(slot, bytes.size());
        return true;
    }
    return false;
}

enum class DefineKind { Text, Binary, Numeric, Date, Lob, Other };

DefineKind kindOf(ub2 externalType)
{
    switch (externalType) {
    case SQLT_CHR:
    case SQLT_STR:
    case SQLT_LNG:
    case SQLT_AFC:
        return DefineKind::Text;
    case SQLT_BIN:
    case SQLT_LBI:
        return DefineKind::Binary;
    case SQLT_INT:
    case SQLT_UIN:
    case SQLT_FLT:
    case SQLT_BFLOAT:
    case SQLT_BDOUBLE:
    case SQLT_IBFLOAT:
    case SQLT_IBDOUBLE:
        return DefineKind::Numeric;
    case SQLT_DAT:
        return DefineKind::Date;
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
        return DefineKind::Lob;
    default:
        return DefineKind::Other;
    }
}

const char *expectedWord(ub2 externalType)
{
    switch (kindOf(externalType)) {
    case DefineKind::Binary:
        return "BINARY";
    case DefineKind::Numeric:
        return "NUMBER";
    case DefineKind::Date:
        return "DATE";
    case DefineKind::Lob:
        return externalType == SQLT_CLOB ? "CLOB" : externalType == SQLT_BLOB ? "BLOB" : "FILE";
    default:
        return "CHAR";
    }
}

// What the column is called when a define cannot take it.
std::string gotWord(const devdb::ColumnDesc &column)
{
    using devdb::OraType;
    switch (column.type) {
    case OraType::Object:
        return column.typeOwner + "." + column.typeName;
    case OraType::Ref:
        return "REF " + column.typeOwner + "." + column.typeName;
    default:
        return devdb::typeName(column.type);
    }
}

// The external types a column's values convert to, as Oracle allows them.
bool definable(const devdb::ColumnDesc &column, ub2 externalType)
{
    using devdb::OraType;
    DefineKind kind = kindOf(externalType);
    switch (column.type) {
    case OraType::Clob:
        return kind == DefineKind::Text || externalType == SQLT_CLOB;
    case OraType::Blob:
        return kind == DefineKind::Binary || externalType == SQLT_BLOB;
    case OraType::Bfile:
        return externalType == SQLT_BFILEE;
    case OraType::Object:
        return column.typeName == "XMLTYPE" && kind == DefineKind::Text;
    case OraType::Ref:
        return false;
    case OraType::IntervalYm:
    case OraType::IntervalDs:
        return kind == DefineKind::Text;
    case OraType::Number:
    case OraType::BinaryFloat:
    case OraType::BinaryDouble:
        return kind == DefineKind::Text || kind == DefineKind::Numeric;
    default:
        return kind != DefineKind::Lob;
    }
}

} // namespace

void checkDefine(const devdb::ColumnDesc &column, ub2 externalType)
{
    if (!definable(column, externalType))
        throw clientError(kInconsistentTypes, "inconsistent datatypes: expected " +
                                                  std::string(expectedWord(externalType)) + " got " +
                                                  gotWord(column));
}

void encodeDate(const devdb::DateTime &d, unsigned char out[7])
{
    int year = d.year;
    if (year >= 0) {
        out[0] = static_cast<unsigned char>(year / 100 + 100);
        out[1] = static_cast<unsigned char>(year % 100 + 100);
    } else {
        out[0] = static_cast<unsigned char>(100 - (-year) / 100);
        out[1] = static_cast<unsigned char>(100 - (-year) % 100);
    }
    out[2] = static_cast<unsigned char>(d.month);
    out[3] = static_cast<unsigned char>(d.day);
    out[4] = static_cast<unsigned char>(d.hour + 1);
    out[5] = static_cast<unsigned char>(d.minute + 1);
    out[6] = static_cast<unsigned char>(d.second + 1);
}

std::string valueAsText(const devdb::Value &value, const devdb::Session *session, devdb::OraType columnType)
{
    if (session && (value.kind == Kind::Number || value.kind == Kind::Date))
        return session->toText(value, columnType);
    switch (value.kind) {
    case Kind::Null:
        return {};
    case Kind::Text:
        return value.text;
    case Kind::Number:
        return oracleNumberText(value.text);
    case Kind::Binary:
        return hexText(value.text);
    case Kind::Date:
        return dateText(value.date, value.date.nanosecond != 0);
    }
    return {};
}

std::string valueAsBytes(const devdb::Value &value, ub2 externalType, const devdb::Session *session,
                         devdb::OraType columnType, int charsetId)
{
    bool raw = externalType == SQLT_BIN || externalType == SQLT_LBI;
    if (raw && value.kind == Kind::Binary)
        return value.text;
    if (raw && value.kind == Kind::Text)
        return devdb::encodeText(value.text, charsetId);
    if (raw)
        throw clientError(kInconsistentTypes);
    return devdb::encodeText(valueAsText(value, session, columnType), charsetId);
}

bool storeValue(const devdb::Value &value, const ValueSlot &slot, const devdb::Session *session)
{
    if (value.kind == Kind::Null) {
        if (!slot.indicator)
            throw clientError(kNullFetched);
        *slot.indicator = -1;
        if (slot.length)
            *slot.length = 0;
        if (slot.returnCode)
            *slot.returnCode = kNullFetched;
        return false;
    }
    if (slot.indicator)
        *slot.indicator = 0;
    if (slot.returnCode)
        *slot.returnCode = 0;
    // XMLTYPE reads as text only up to 4,000 bytes.
    if (slot.columnType == devdb::OraType::Object && value.text.size() > 4000)
        throw clientError(19011, "Character string buffer too small");
    switch (slot.type) {
    case SQLT_INT: {
        long double v = numericValue(value, session);
        switch (slot.size) {
        case 1:
            storeInteger<signed char>(v, slot.buffer);
            break;
        case 2:
            storeInteger<short>(v, slot.buffer);
            break;
        case 4:
            storeInteger<int>(v, slot.buffer);
            break;
        case 8:
            storeInteger<long long>(v, slot.buffer);
            break;
        default:
            throw clientError(kInconsistentTypes);
        }
        if (slot.length)
            *slot.length = static_cast<ub2>(slot.size);
        return false;
    }
    case SQLT_UIN: {
        long double v = numericValue(value, session);
        switch (slot.size) {
        case 1:
            storeInteger<unsigned char>(v, slot.buffer);
            break;
        case 2:
            storeInteger<unsigned short>(v, slot.buffer);
            break;
        case 4:
            storeInteger<unsigned int>(v, slot.buffer);
            break;
        case 8:
            storeInteger<unsigned long long>(v, slot.buffer);
            break;
        default:
            throw clientError(kInconsistentTypes);
        }
        if (slot.length)
            *slot.length = static_cast<ub2>(slot.size);
        return false;
    }
    case SQLT_FLT:
    case SQLT_BFLOAT:
    case SQLT_BDOUBLE:
    case SQLT_IBFLOAT:
    case SQLT_IBDOUBLE: {
        long double v = numericValue(value, session);
        if (slot.size == 4) {
            float f = static_cast<float>(v);
            std::memcpy(slot.buffer, &f, 4);
        } else if (slot.size == 8) {
            double d = static_cast<double>(v);
            std::memcpy(slot.buffer, &d, 8);
        } else {
            throw clientError(kInconsistentTypes);
        }
        if (slot.length)
            *slot.length = static_cast<ub2>(slot.size);
        return false;
    }
    case SQLT_DAT: {
        if (value.kind != Kind::Date || slot.size < 7)
            throw clientError(kInconsistentTypes);
        encodeDate(value.date, static_cast<unsigned char *>(slot.buffer));
        if (slot.length)
            *slot.length = 7;
        return false;
    }
    case SQLT_STR:
        return storeBytes(valueAsBytes(value, slot.type, session, slot.columnType, slot.charsetId), slot,
                          true);
    case SQLT_CHR:
    case SQLT_LNG:
    case SQLT_AFC:
    case SQLT_BIN:
    case SQLT_LBI:
        return storeBytes(valueAsBytes(value, slot.type, session, slot.columnType, slot.charsetId), slot,
                          false);
    default:
        throw clientError(kUnimplemented);
    }
}

} // namespace devdb::oci
