#include "Interval.h"

#include "Errors.h"

#include <cctype>
#include <cstdio>

namespace devdb
{
namespace
{

[[noreturn]] void invalid()
{
    errors::raise(1867, "the interval is invalid");
}

class Scanner
{
public:
    explicit Scanner(const std::string &t) : text(t) {}
    void skipBlanks()
    {
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
    }
    bool sign()
    {
        skipBlanks();
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            return text[pos++] == '-';
        return false;
    }
    // Digits; *count receives how many.
    long long number(int *count = nullptr)
    {
        long long v = 0;
        int n = 0;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && n < 18) {
            v = v * 10 + (text[pos++] - '0');
            ++n;
        }
        if (n == 0)
            invalid();
        if (count)
            *count = n;
        return v;
    }
    bool accept(char c)
    {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    void end()
    {
        skipBlanks();
        if (pos != text.size())
            invalid();
    }
    const std::string &text;
    std::size_t pos = 0;
};

void checkLeading(long long value, int precision)
{
    long long limit = 1;
    for (int k = 0; k < precision; ++k)
        limit *= 10;
    if (value >= limit)
        errors::raise(1873, "the leading precision of the interval is too small");
}

} // namespace

std::string intervalYearToMonth(const std::string &text, int yearPrecision)
{
    Scanner s(text);
    bool negative = s.sign();
    long long years = s.number();
    long long months = 0;
    if (s.accept('-')) {
        months = s.number();
        if (months > 11)
            errors::raise(1843, errors::kNotValidMonth);
    }
    s.end();
    checkLeading(years, yearPrecision);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%c%0*lld-%02lld", negative ? '-' : '+', yearPrecision, years, months);
    return buf;
}

std::string intervalDayToSecond(const std::string &text, int dayPrecision, int fractionDigits)
{
    Scanner s(text);
    bool negative = s.sign();
    long long days = s.number();
    long long hours = 0, minutes = 0, seconds = 0, nanos = 0;
    s.skipBlanks();
    if (s.pos < s.text.size()) {
        hours = s.number();
        if (s.accept(':')) {
            minutes = s.number();
            if (s.accept(':')) {
                seconds = s.number();
                if (s.accept('.')) {
                    int digits = 0;
                    long long fraction = s.number(&digits);
                    for (; digits > 9; --digits)
                        fraction /= 10;
                    for (; digits < 9; ++digits)
                        fraction *= 10;
                    nanos = fraction;
                }
            }
        }
    }
    s.end();
    if (hours > 23)
        errors::raise(1850, errors::kHourRange);
    if (minutes > 59)
        errors::raise(1851, errors::kMinuteRange);
    if (seconds > 59)
        errors::raise(1852, errors::kSecondRange);
    // The fraction is rounded to its digits, carrying into the seconds.
    long long unit = 1;
    for (int k = fractionDigits; k < 9; ++k)
        unit *= 10;
    long long total = (((days * 24 + hours) * 60 + minutes) * 60 + seconds) * 1000000000LL + nanos;
    total = (total + unit / 2) / unit * unit;
    nanos = total % 1000000000LL;
    total /= 1000000000LL;
    seconds = total % 60;
    minutes = total / 60 % 60;
    hours = total / 3600 % 24;
    days = total / 86400;
    checkLeading(days, dayPrecision);
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%c%0*lld %02lld:%02lld:%02lld", negative ? '-' : '+',
                          dayPrecision, days, hours, minutes, seconds);
    if (fractionDigits > 0) {
        char fraction[16];
        std::snprintf(fraction, sizeof fraction, "%09lld", nanos);
        std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ".%.*s", fractionDigits, fraction);
    }
    return buf;
}

} // namespace devdb
