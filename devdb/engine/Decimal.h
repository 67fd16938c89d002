#pragma once
// Oracle NUMBER values as exact decimals: sign, significant digits and the
// position of the decimal point, so that storage and text keep every digit.

#include <optional>
#include <string>

namespace devdb
{

class Decimal
{
public:
    Decimal() = default;
    static Decimal fromLong(long long value);
    // Oracle's implicit TO_NUMBER: optional blanks, sign, digits, point, exponent.
    // decimal is the session's decimal character (NLS_NUMERIC_CHARACTERS).
    static std::optional<Decimal> parse(const std::string &text, char decimal = '.');
    static Decimal fromDouble(long double value);

    bool isZero() const { return digits_.empty(); }
    bool negative() const { return negative_; }
    // Digits before the decimal point (may be zero or negative for fractions).
    int integerDigits() const { return exponent_; }
    int significantDigits() const { return static_cast<int>(digits_.size()); }

    // Rounds half away from zero to the given number of digits after the point
    // (negative: to tens, hundreds, ...).
    Decimal roundedToScale(int scale) const;
    Decimal roundedToSignificant(int digits) const;

    // Oracle's text: ".5", "-12.3", "100"; scientific beyond 40 characters.
    std::string toOracleText(char decimal = '.') const;
    // Plain positional text used for storage: "0.5", "-12.3".
    std::string toStorageText() const;
    long double toDouble() const;
    std::optional<long long> toLong() const;

    int compare(const Decimal &other) const;
    Decimal negated() const;

private:
    void normalize();
    bool negative_ = false;
    std::string digits_; // no leading or trailing zeros; empty for zero
    int exponent_ = 0;   // value = 0.digits_ * 10^exponent_
};

} // namespace devdb
