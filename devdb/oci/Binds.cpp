#include "devdb/oci/Binds.h"

#include "devdb/engine/Charset.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace devdb::oci
{
namespace
{

using devdb::OraType;
using Kind = devdb::Value::Kind;

const char *element(const void *base, ub4 skip, ub4 row)
{
    return static_cast<const char *>(base) + std::size_t(skip) * row;
}

template <class T> T read(const char *p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

devdb::BindValue textValue(std::string_view bytes, const Bind &bind, OraType type)
{
    const ClientEnvironment &client = bind.env->client;
    devdb::BindValue b;
    b.type = type;
    b.value.kind = Kind::Text;
    b.value.text =
        devdb::decodeText(bytes, bind.charsetForm == SQLCS_NCHAR ? client.ncharsetId : client.charsetId);
    return b;
}

devdb::BindValue numberValue(std::string canonical, OraType type = OraType::Number)
{
    devdb::BindValue b;
    b.type = type;
    b.value.kind = Kind::Number;
    b.value.text = std::move(canonical);
    return b;
}

template <class T> std::string integerText(const char *p)
{
    return std::to_string(read<T>(p));
}

std::string signedText(const char *p, sb4 size)
{
    switch (size) {
    case 1:
        return integerText<signed char>(p);
    case 2:
        return integerText<short>(p);
    case 4:
        return integerText<int>(p);
    case 8:
        return integerText<long long>(p);
    default:
        throw clientError(kUnreasonableConversion);
    }
}

std::string unsignedText(const char *p, sb4 size)
{
    switch (size) {
    case 1:
        return integerText<unsigned char>(p);
    case 2:
        return integerText<unsigned short>(p);
    case 4:
        return integerText<unsigned int>(p);
    case 8:
        return integerText<unsigned long long>(p);
    default:
        throw clientError(kUnreasonableConversion);
    }
}

// The shortest decimal text that reads back as the same binary value.
std::string floatingText(double value, bool single)
{
    if (std::isnan(value))
        throw clientError(kInvalidNumber);
    if (std::isinf(value))
        throw clientError(1426, "numeric overflow");
    char buf[64];
    auto result = single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(value))
                         : std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

double floatingValue(const char *p, sb4 size)
{
    if (size == 4)
        return read<float>(p);
    if (size == 8)
        return read<double>(p);
    throw clientError(kUnreasonableConversion);
}

bool validDate(int year, int month, int day, int hour, int minute, int second)
{
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > days[month - 1] || hour > 23 || minute > 59 ||
        second > 59 || hour < 0 || minute < 0 || second < 0 || year == 0)
        return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return !(month == 2 && day == 29 && !leap);
}

devdb::BindValue dateValue(int year, int month, int day, int hour, int minute, int second)
{
    if (!validDate(year, month, day, hour, minute, second))
        throw clientError(1858, "a non-numeric character was found where a numeric was expected");
    devdb::BindValue b;
    b.type = OraType::Date;
    b.value.kind = Kind::Date;
    b.value.date.year = year;
    b.value.date.month = month;
    b.value.date.day = day;
    b.value.date.hour = hour;
    b.value.date.minute = minute;
    b.value.date.second = second;
    return b;
}

// The 7-byte DATE: century and year of century in excess-100, then month,
// day and the time of day in excess-1.
devdb::BindValue oracleDate(const unsigned char *d)
{
    int century = d[0] - 100, yearOfCentury = d[1] - 100;
    int year = century >= 0 ? century * 100 + yearOfCentury : century * 100 - yearOfCentury;
    return dateValue(year, d[2], d[3], d[4] - 1, d[5] - 1, d[6] - 1);
}

// OCIDate: sb2 year, ub1 month, ub1 day, then ub1 hour, minute, second.
devdb::BindValue ociDate(const char *p)
{
    auto year = read<sb2>(p);
    auto *b = reinterpret_cast<const unsigned char *>(p);
    return dateValue(year, b[2], b[3], b[4], b[5], b[6]);
}

// Bytes of a text or byte buffer: the length from the program's length
// array, else the whole buffer.
std::size_t givenLength(const Bind &bind, ub4 row)
{
    std::size_t size = static_cast<std::size_t>(std::max(bind.valueSize, 0));
    if (!bind.lengths)
        return size;
    auto length = read<ub2>(element(bind.lengths, bind.lengthSkip ? bind.lengthSkip : 2, row));
    return std::min<std::size_t>(length, size);
}

std::size_t terminatedLength(const char *p, sb4 size)
{
    return size > 0 ? strnlen(p, static_cast<std::size_t>(size)) : 0;
}

// The SQL type a value of an external type has on the server (NULLs too, so
// that a NULL in an array does not change the statement's types).
OraType sqlType(ub2 externalType)
{
    switch (externalType) {
    case SQLT_AFC:
    case SQLT_AVC:
        return OraType::Char;
    case SQLT_INT:
    case SQLT_UIN:
    case SQLT_FLT:
    case SQLT_NUM:
    case SQLT_VNU:
        return OraType::Number;
    case SQLT_BFLOAT:
    case SQLT_IBFLOAT:
        return OraType::BinaryFloat;
    case SQLT_BDOUBLE:
    case SQLT_IBDOUBLE:
        return OraType::BinaryDouble;
    case SQLT_DAT:
    case SQLT_ODT:
        return OraType::Date;
    case SQLT_BIN:
    case SQLT_LBI:
    case SQLT_LVB:
        return OraType::Raw;
    default:
        return OraType::Varchar2;
    }
}

} // namespace

bool supportedBindType(ub2 type)
{
    switch (type) {
    case SQLT_CHR:
    case SQLT_STR:
    case SQLT_LNG:
    case SQLT_VCS:
    case SQLT_LVC:
    case SQLT_AFC:
    case SQLT_AVC:
    case SQLT_INT:
    case SQLT_UIN:
    case SQLT_FLT:
    case SQLT_NUM:
    case SQLT_VNU:
    case SQLT_BFLOAT:
    case SQLT_BDOUBLE:
    case SQLT_IBFLOAT:
    case SQLT_IBDOUBLE:
    case SQLT_DAT:
    case SQLT_ODT:
    case SQLT_BIN:
    case SQLT_LBI:
    case SQLT_LVB:
        return true;
    default:
        return false;
    }
}

std::string decodeOracleNumber(const unsigned char *bytes, std::size_t length)
{
    if (length == 0 || length > 22)
        throw clientError(kUnreasonableConversion);
    if (length == 1 && bytes[0] == 0x80)
        return "0";
    bool negative = !(bytes[0] & 0x80);
    int exponent = negative ? 0x3E - bytes[0] : bytes[0] - 0xC1; // in powers of 100
    std::string digits;
    for (std::size_t i = 1; i < length; ++i) {
        int b = bytes[i];
        if (negative && b == 102) // the terminator of a negative number
            break;
        int pair = negative ? 101 - b : b - 1;
        if (pair < 0 || pair > 99)
            throw clientError(kInvalidNumber);
        digits += static_cast<char>('0' + pair / 10);
        digits += static_cast<char>('0' + pair % 10);
    }
    if (digits.empty())
        throw clientError(kInvalidNumber);
    // value = 0.digits * 100^(exponent + 1)
    return std::string(negative ? "-" : "") + "0." + digits + "e" + std::to_string(2 * (exponent + 1));
}

devdb::BindValue bindValue(const Bind &bind, ub4 row)
{
    if (bind.indicators &&
        read<sb2>(element(bind.indicators, bind.indicatorSkip ? bind.indicatorSkip : 2, row)) == -1) {
        devdb::BindValue null;
        null.type = sqlType(bind.type);
        return null;
    }
    if (!bind.value)
        throw clientError(kUnreasonableConversion);
    const sb4 size = bind.valueSize;
    const char *p =
        element(bind.value, bind.valueSkip ? bind.valueSkip : static_cast<ub4>(std::max(size, 0)), row);
    const auto *bytes = reinterpret_cast<const unsigned char *>(p);
    switch (bind.type) {
    case SQLT_CHR:
    case SQLT_LNG:
        return textValue(std::string_view(p, givenLength(bind, row)), bind, OraType::Varchar2);
    case SQLT_AFC:
        return textValue(std::string_view(p, givenLength(bind, row)), bind, OraType::Char);
    case SQLT_STR:
        return textValue(std::string_view(p, terminatedLength(p, size)), bind, OraType::Varchar2);
    case SQLT_AVC:
        return textValue(std::string_view(p, terminatedLength(p, size)), bind, OraType::Char);
    case SQLT_VCS:
        if (size < 2)
            throw clientError(kUnreasonableConversion);
        return textValue(std::string_view(p + 2, std::min<std::size_t>(read<ub2>(p), size - 2)), bind,
                         OraType::Varchar2);
    case SQLT_LVC:
    case SQLT_LVB: {
        if (size < 4)
            throw clientError(kUnreasonableConversion);
        std::size_t length =
            std::min<std::size_t>(static_cast<std::size_t>(std::max(read<sb4>(p), 0)), size - 4);
        if (bind.type == SQLT_LVC)
            return textValue(std::string_view(p + 4, length), bind, OraType::Varchar2);
        devdb::BindValue b;
        b.type = OraType::Raw;
        b.value.kind = Kind::Binary;
        b.value.text.assign(p + 4, length);
        return b;
    }
    case SQLT_BIN:
    case SQLT_LBI: {
        devdb::BindValue b;
        b.type = OraType::Raw;
        b.value.kind = Kind::Binary;
        b.value.text.assign(p, givenLength(bind, row));
        return b;
    }
    case SQLT_INT:
        return numberValue(signedText(p, size));
    case SQLT_UIN:
        return numberValue(unsignedText(p, size));
    case SQLT_FLT:
        return numberValue(floatingText(floatingValue(p, size), size == 4));
    case SQLT_BFLOAT:
    case SQLT_IBFLOAT:
        if (size != 4)
            throw clientError(kUnreasonableConversion);
        return numberValue(floatingText(read<float>(p), true), OraType::BinaryFloat);
    case SQLT_BDOUBLE:
    case SQLT_IBDOUBLE:
        if (size != 8)
            throw clientError(kUnreasonableConversion);
        return numberValue(floatingText(read<double>(p), false), OraType::BinaryDouble);
    case SQLT_NUM:
        return numberValue(decodeOracleNumber(bytes, givenLength(bind, row)));
    case SQLT_VNU:
        if (size < 1 || bytes[0] >= size)
            throw clientError(kUnreasonableConversion);
        return numberValue(decodeOracleNumber(bytes + 1, bytes[0]));
    case SQLT_DAT:
        if (size < 7)
            throw clientError(kUnreasonableConversion);
        return oracleDate(bytes);
    case SQLT_ODT:
        if (size < 7)
            throw clientError(kUnreasonableConversion);
        return ociDate(p);
    default:
        throw clientError(kUnimplemented);
    }
}

} // namespace devdb::oci
