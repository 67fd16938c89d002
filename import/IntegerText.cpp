#include "import/IntegerText.h"

#include <cstdint>
#include <limits>

namespace rowpour
{

namespace
{

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Reads the digits from `pos` to the end; false on an empty or bad digit run
// or a value above `limit`.
bool readDigits(const QString &text, qsizetype pos, int base, uint64_t limit, uint64_t &value)
{
    if (pos >= text.size())
        return false;
    value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = hexDigit(text[pos]);
        if (digit < 0 || digit >= base)
            return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > limit)
            return false;
    }
    return true;
}

} // namespace

EInvalidInteger::EInvalidInteger(const QString &text)
    : std::runtime_error(invalidIntegerMessage(text).toStdString()), text_(text)
{
}

QString invalidIntegerMessage(const QString &text)
{
    return integer_texts::kNotAnInteger.arg(text);
}

std::optional<int> tryParseInteger(const QString &text)
{
    qsizetype pos = 0;
    while (pos < text.size() && text[pos] == QLatin1Char(' '))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == QLatin1Char('-') || text[pos] == QLatin1Char('+'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }

    bool hex = false;
    if (pos < text.size() && text[pos] == QLatin1Char('$')) {
        hex = true;
        pos += 1;
    } else if (pos + 1 < text.size() && text[pos] == QLatin1Char('0') &&
               (text[pos + 1] == QLatin1Char('x') || text[pos + 1] == QLatin1Char('X'))) {
        hex = true;
        pos += 2;
    }

    uint64_t magnitude = 0;
    if (hex) {
        // A 32-bit pattern: $FFFFFFFF reads as -1.
        if (!readDigits(text, pos, 16, std::numeric_limits<uint32_t>::max(), magnitude))
            return std::nullopt;
        const auto pattern = static_cast<uint32_t>(magnitude);
        const auto value = static_cast<int32_t>(pattern);
        return negative ? static_cast<int>(0u - static_cast<uint32_t>(value)) : value;
    }

    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    if (!readDigits(text, pos, 10, limit, magnitude))
        return std::nullopt;
    return negative ? static_cast<int>(-static_cast<int64_t>(magnitude)) : static_cast<int>(magnitude);
}

int parseInteger(const QString &text)
{
    if (const auto value = tryParseInteger(text))
        return *value;
    throw EInvalidInteger(text);
}

} // namespace rowpour
