#include "Decimal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace devdb
{

void Decimal::normalize()
{
    std::size_t lead = 0;
    while (lead < digits_.size() && digits_[lead] == '0')
        ++lead;
    digits_.erase(0, lead);
    exponent_ -= static_cast<int>(lead);
    while (!digits_.empty() && digits_.back() == '0')
        digits_.pop_back();
    if (digits_.empty()) {
        negative_ = false;
        exponent_ = 0;
    }
}

Decimal Decimal::fromLong(long long value)
{
    Decimal d;
    d.negative_ = value < 0;
    unsigned long long magnitude =
        d.negative_ ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    d.digits_ = std::to_string(magnitude);
    d.exponent_ = static_cast<int>(d.digits_.size());
    d.normalize();
    return d;
}

std::optional<Decimal> Decimal::parse(const std::string &text, char decimal)
{
    std::size_t i = 0, n = text.size();
    auto blank = [&](std::size_t k) { return std::isspace(static_cast<unsigned char>(text[k])) != 0; };
    while (i < n && blank(i))
        ++i;
    while (n > i && blank(n - 1))
        --n;
    Decimal d;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        d.negative_ = text[i] == '-';
        ++i;
    }
    bool anyDigit = false;
    int intDigits = 0;
    for (; i < n && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        d.digits_ += text[i];
        ++intDigits;
        anyDigit = true;
    }
    if (i < n && text[i] == decimal) {
        ++i;
        for (; i < n && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            d.digits_ += text[i];
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    long exp10 = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            negExp = text[i] == '-';
            ++i;
        }
        bool expDigit = false;
        for (; i < n && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            exp10 = exp10 * 10 + (text[i] - '0');
            if (exp10 > 100000)
                return std::nullopt;
            expDigit = true;
        }
        if (!expDigit)
            return std::nullopt;
        if (negExp)
            exp10 = -exp10;
    }
    if (i != n)
        return std::nullopt;
    d.exponent_ = intDigits + static_cast<int>(exp10);
    d.normalize();
    return d;
}

Decimal Decimal::fromDouble(long double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.18Le", value);
    auto d = parse(buf);
    return d ? d->roundedToSignificant(17) : Decimal();
}

Decimal Decimal::roundedToSignificant(int count) const
{
    return roundedToScale(count - exponent_);
}

Decimal Decimal::roundedToScale(int scale) const
{
    long keep = static_cast<long>(exponent_) + scale; // digits kept
    if (keep >= static_cast<long>(digits_.size()))
        return *this;
    Decimal r;
    r.negative_ = negative_;
    if (keep < 0)
        return Decimal();
    bool roundUp = digits_[static_cast<std::size_t>(keep)] >= '5';
    r.digits_ = digits_.substr(0, static_cast<std::size_t>(keep));
    r.exponent_ = exponent_;
    if (roundUp) {
        long k = keep - 1;
        while (k >= 0 && r.digits_[static_cast<std::size_t>(k)] == '9') {
            r.digits_[static_cast<std::size_t>(k)] = '0';
            --k;
        }
        if (k < 0) {
            r.digits_.insert(r.digits_.begin(), '1');
            ++r.exponent_;
        } else {
            ++r.digits_[static_cast<std::size_t>(k)];
        }
    }
    r.normalize();
    return r;
}

static std::string positional(bool negative, const std::string &digits, int exponent, bool leadingZero)
{
    if (digits.empty())
        return "0";
    std::string s = negative ? "-" : "";
    int n = static_cast<int>(digits.size());
    if (exponent <= 0) {
        if (leadingZero)
            s += '0';
        s += '.';
        s.append(static_cast<std::size_t>(-exponent), '0');
        s += digits;
    } else if (exponent >= n) {
        s += digits;
        s.append(static_cast<std::size_t>(exponent - n), '0');
    } else {
        s += digits.substr(0, static_cast<std::size_t>(exponent));
        s += '.';
        s += digits.substr(static_cast<std::size_t>(exponent));
    }
    return s;
}

std::string Decimal::toOracleText(char decimal) const
{
    std::string s = positional(negative_, digits_, exponent_, false);
    if (s.size() <= 40) {
        if (decimal != '.')
            std::replace(s.begin(), s.end(), '.', decimal);
        return s;
    }
    // Scientific form: d.dddE+xx with as many digits as fit 40 characters.
    int exp = exponent_ - 1;
    std::string expText = (exp < 0 ? "E-" : "E+");
    int absExp = exp < 0 ? -exp : exp;
    expText += (absExp < 10 ? "0" : "") + std::to_string(absExp);
    int room = 40 - static_cast<int>(expText.size()) - (negative_ ? 1 : 0) - 1;
    Decimal r = roundedToSignificant(room);
    if (r.exponent_ != exponent_)
        return r.toOracleText(decimal);
    // The mantissa is filled with zeros to 40 characters, as TO_CHAR's TM format does.
    std::string m = r.negative_ ? "-" : "";
    m += r.digits_[0];
    m += decimal + r.digits_.substr(1);
    m.append(40 - m.size() - expText.size(), '0');
    return m + expText;
}

std::string Decimal::toStorageText() const
{
    return positional(negative_, digits_, exponent_, true);
}

long double Decimal::toDouble() const
{
    return std::strtold(toStorageText().c_str(), nullptr);
}

std::optional<long long> Decimal::toLong() const
{
    if (digits_.empty())
        return 0LL;
    if (exponent_ < static_cast<int>(digits_.size()) || exponent_ > 18)
        return std::nullopt;
    return std::stoll(toStorageText());
}

int Decimal::compare(const Decimal &other) const
{
    int sa = isZero() ? 0 : (negative_ ? -1 : 1);
    int sb = other.isZero() ? 0 : (other.negative_ ? -1 : 1);
    if (sa != sb)
        return sa < sb ? -1 : 1;
    if (sa == 0)
        return 0;
    int magnitude;
    if (exponent_ != other.exponent_)
        magnitude = exponent_ < other.exponent_ ? -1 : 1;
    else {
        int c = digits_.compare(other.digits_);
        magnitude = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return sa < 0 ? -magnitude : magnitude;
}

Decimal Decimal::negated() const
{
    Decimal r = *this;
    if (!r.isZero())
        r.negative_ = !r.negative_;
    return r;
}

} // namespace devdb
